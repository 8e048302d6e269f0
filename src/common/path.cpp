// Backslash handling that respects double-byte characters, and folder creation built on it.
#include "path.h"

#include <stdio.h>
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

// Characters that no folder name may hold; a colon only after the drive letter.
static int ForbiddenInFolder(unsigned char character)
{
    return character < 0x20 || strchr("<>\"|?*:", character) != NULL;
}

// Offset just past the next whole backslash at or after at, or 0 when there is none.
static size_t PastNextBackslash(const char *text, size_t at)
{
    size_t length = strlen(text);
    while (at < length) {
        if (text[at] == '\\') return at + 1;
        at += (IsLeadByte((unsigned char)text[at]) && at + 1 < length) ? 2 : 1;
    }
    return 0;
}

// Length of the volume root that folder begins with ("X:\" or "\\server\share\"), 0 for none.
static size_t RootLength(const char *folder)
{
    unsigned char drive = (unsigned char)folder[0];
    if (((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) && folder[1] == ':' &&
        folder[2] == '\\') {
        return 3;
    }
    if (folder[0] != '\\' || folder[1] != '\\') return 0;
    // \\server\share\: both named, and no device namespace (\\.\, \\?\).
    size_t share = PastNextBackslash(folder, 2);
    if (share <= 3 || (share == 4 && folder[2] == '.')) return 0;
    size_t end = PastNextBackslash(folder, share);
    return end <= share + 1 ? 0 : end;
}

int FolderNamesAreExact(const char *folder)
{
    size_t length = strlen(folder);
    size_t at = RootLength(folder);
    size_t nameStart = at;
    while (at < length) {
        unsigned char character = (unsigned char)folder[at];
        if (IsLeadByte(character) && at + 1 < length) {
            at += 2;
            continue;
        }
        if (character == '/') return 0;
        if (character == '\\') {
            // Neither a dot nor a blank is ever the second byte of a double-byte character. The
            // backslash that starts a text without a root is left to the check of the root.
            if ((at == nameStart && at > 0) || folder[at - 1] == '.' || folder[at - 1] == ' ') return 0;
            nameStart = at + 1;
        }
        at += 1;
    }
    return 1;
}

int IsAbsoluteFolder(const char *folder)
{
    if (!EndsWithBackslash(folder) || RootLength(folder) == 0 || !FolderNamesAreExact(folder)) return 0;
    size_t names = folder[0] == '\\' ? 2 : 3;  // server and share are names too
    size_t length = strlen(folder);
    for (size_t at = names; at < length;) {
        if (IsLeadByte((unsigned char)folder[at]) && at + 1 < length) {
            at += 2;
            continue;
        }
        if (ForbiddenInFolder((unsigned char)folder[at])) return 0;
        at += 1;
    }
    return 1;
}

int VolumeRoot(const char *folder, char *out, unsigned size)
{
    if (size == 0) return 0;
    out[0] = '\0';
    size_t root = IsAbsoluteFolder(folder) ? RootLength(folder) : 0;
    if (root == 0 || root >= size) return 0;
    memcpy(out, folder, root);
    out[root] = '\0';
    return 1;
}

int IsInstallFolderOf(const char *dir, const char *brand, const char *title)
{
    char suffix[1024];
    char above[1024];
    int written = snprintf(suffix, sizeof(suffix), "%s\\%s\\", brand, title);
    size_t length = strlen(dir);
    if (written < 0 || (size_t)written >= sizeof(suffix) || brand[0] == '\0' || title[0] == '\0') return 0;
    size_t suffixLength = (size_t)written;
    if (length <= suffixLength || length >= sizeof(above)) return 0;
    if (memcmp(dir + length - suffixLength, suffix, suffixLength) != 0) return 0;
    memcpy(above, dir, length - suffixLength);
    above[length - suffixLength] = '\0';
    return IsAbsoluteFolder(above);
}
