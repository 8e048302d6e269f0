// Turning the bytes a registry query left into a text: pure, so it also builds off Windows.
#ifndef SRC_RECORD_REGISTRY_TEXT_H
#define SRC_RECORD_REGISTRY_TEXT_H

// Registry texts are read into areas of this many bytes, terminator included.
enum { REG_TEXT_SIZE = 256 };

// out holds the size bytes a successful query (queried != 0) stored. Stored data need not end
// with a NUL: it is terminated here, and data that fills the whole area without room for the
// terminator, a failed query or a size beyond the area leave the empty string.
// Returns 1 for a text, 0 for the empty string of a failure.
int FinishRegistryText(char *out, unsigned long size, int queried);

#endif
