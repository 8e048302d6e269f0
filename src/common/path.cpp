// Backslash handling that respects double-byte characters, and folder creation built on it.
#include "path.h"

#include <string.h>

// Offset of the last whole character of text (of length length > 0).
static size_t LastCharacterOffset(const char *text, size_t length)
{
    size_t last = 0;
    for (size_t at = 0; at < length;) {
        last = at;
        at += (IsLeadByte((unsigned char)text[at]) && at + 1 < length) ? 2 : 1;
    }
    return last;
}

int EndsWithBackslash(const char *text)
{
    size_t length = strlen(text);
    if (length == 0) return 0;
    size_t last = LastCharacterOffset(text, length);
    return last == length - 1 && text[last] == '\\';
}

void StripTrailingBackslashes(char *text)
{
    size_t length = strlen(text);
    while (length > 0) {
        size_t last = LastCharacterOffset(text, length);
        if (last != length - 1 || text[last] != '\\') break;
        length = last;
        text[length] = '\0';
    }
}

int ParentFolder(const char *folder, char *out, unsigned size)
{
    size_t length = strlen(folder);
    if (size == 0) return 0;
    out[0] = '\0';
    if (!EndsWithBackslash(folder)) return 0;
    // The last whole backslash before the one that ends folder.
    size_t parent = 0;
    for (size_t at = 0; at < length - 1;) {
        if (folder[at] == '\\') parent = at + 1;
        at += (IsLeadByte((unsigned char)folder[at]) && at + 1 < length) ? 2 : 1;
    }
    if (parent == 0 || parent >= size) return 0;
    memcpy(out, folder, parent);
    out[parent] = '\0';
    return 1;
}
