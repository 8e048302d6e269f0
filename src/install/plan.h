// The pure pieces of the install run: the install folder from the typed text, and the file list.
#ifndef SRC_INSTALL_PLAN_H
#define SRC_INSTALL_PLAN_H

#include <stddef.h>

enum {
    LIST_TEXT_SIZE = 1024,  // a list text of at most 1023 bytes
    LIST_MAX_NAMES = 64,
    LIST_NAME_SIZE = 64,    // a name of at most 63 bytes
    // Every installed file's path, and so every install-record value, must be readable
    // back through a 256-byte registry area and listable by the removal.
    INSTALLED_PATH_MAX = 255
};

// Makes <typed>\<brand>\<title>\ from the folder text: trailing backslashes (whole characters)
// are dropped first, so D:\Games, D:\Games\ and D:\Games\\ give the same folder.
// Returns 0, leaving out empty, when the result does not fit size.
int ComposeInstallFolder(const char *typed, const char *brand, const char *title, char *out, size_t size);

enum FileListStatus {
    FILE_LIST_OK = 0,
    FILE_LIST_TOO_MANY_NAMES,
    FILE_LIST_NAME_TOO_LONG
};

// Splits a comma-separated list into names, one per slot, each NUL-terminated. Names are
// taken byte by byte (a comma never occurs inside a double-byte character); empty names are
// kept, so that they fail as missing files. Nothing is written past the slots.
int ParseFileList(const char *list, char names[LIST_MAX_NAMES][LIST_NAME_SIZE], int *count);

// The progress position 0..100 for copied of total bytes (0 for an empty total).
int ProgressPosition(unsigned long long copied, unsigned long long total);

#endif
