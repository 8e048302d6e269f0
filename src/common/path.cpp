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
