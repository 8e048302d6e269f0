// The platform side of path handling: the code page's lead bytes and folder creation.
#include "path.h"

#include <windows.h>
#include <shlobj.h>
#include <string.h>

int IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) ? 1 : 0;
}

int CreateFolderPath(const char *path, char *created, unsigned createdSize)
{
    char level[1024];
    size_t length = strlen(path);
    if (created != NULL && createdSize > 0) created[0] = '\0';
    if (length == 0 || length >= sizeof(level)) return 0;

    // Every prefix that ends before a whole backslash character names one level; the levels
    // that already exist, and the drive or share root, simply fail to be created again.
    size_t deepest = 0;
    for (size_t at = 0; at < length;) {
        if (path[at] == '\\' && at > 0) {
            memcpy(level, path, at);
            level[at] = '\0';
            if (CreateDirectoryA(level, NULL) && created != NULL && at + 1 < createdSize && created[0] == '\0') {
                memcpy(created, path, at + 1);  // with its backslash, as folders are kept
                created[at + 1] = '\0';
            }
            deepest = at;
        }
        at += (IsLeadByte((unsigned char)path[at]) && at + 1 < length) ? 2 : 1;
    }
    if (deepest == 0) return 0;
    memcpy(level, path, deepest);
    level[deepest] = '\0';
    DWORD attributes = GetFileAttributesA(level);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int AnsiFromWidePath(const wchar_t *wide, char *out, unsigned size)
{
    if (size == 0) return 0;
    out[0] = '\0';
    // A UTF-8 code page holds every character, and takes neither the flag nor the question.
    int utf8 = GetACP() == CP_UTF8;
    BOOL lossy = FALSE;
    int written = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, out, (int)size, NULL,
                                      utf8 ? NULL : &lossy);
    if (written <= 0 || lossy) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

int SpecialFolderAnsi(int csidl, char *out, unsigned size)
{
    WCHAR wide[MAX_PATH];
    wide[0] = L'\0';
    if (size > 0) out[0] = '\0';
    if (!SHGetSpecialFolderPathW(NULL, wide, csidl, FALSE) || wide[0] == L'\0') return 0;
    return AnsiFromWidePath(wide, out, size);
}
