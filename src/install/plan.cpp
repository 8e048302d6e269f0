// Install folder composition, file-list parsing and the progress figure; no platform calls.
#include "plan.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "../common/path.h"

int ComposeInstallFolder(const char *typed, const char *brand, const char *title, char *out, size_t size)
{
    char folder[LIST_TEXT_SIZE];
    size_t typedLength = strlen(typed);
    if (size == 0) return 0;
    out[0] = '\0';
    if (typedLength >= sizeof(folder)) return 0;
    memcpy(folder, typed, typedLength + 1);
    StripTrailingBackslashes(folder);
    int written = snprintf(out, size, "%s\\%s\\%s\\", folder, brand, title);
    if (written < 0 || (size_t)written >= size) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

int ParseFileList(const char *list, char names[LIST_MAX_NAMES][LIST_NAME_SIZE], int *count)
{
    *count = 0;
    size_t length = 0;
    for (const char *at = list;; ++at) {
        if (*at != ',' && *at != '\0') {
            if (length + 1 >= LIST_NAME_SIZE) return FILE_LIST_NAME_TOO_LONG;
            if (*count >= LIST_MAX_NAMES) return FILE_LIST_TOO_MANY_NAMES;
            names[*count][length++] = *at;
            continue;
        }
        if (*count >= LIST_MAX_NAMES) return FILE_LIST_TOO_MANY_NAMES;
        names[*count][length] = '\0';
        *count += 1;
        length = 0;
        if (*at == '\0') return FILE_LIST_OK;
    }
}

int ProgressPosition(unsigned long long copied, unsigned long long total)
{
    if (total == 0) return 0;
    if (copied >= total) return 100;
    if (copied <= ULLONG_MAX / 100) return (int)(copied * 100 / total);
    unsigned long long position = copied / (total / 100);  // no real disc comes here
    return position < 100 ? (int)position : 99;
}
