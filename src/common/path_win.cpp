// The platform side of path handling: the code page's lead bytes and folder creation.
#include "path.h"

#include <windows.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

int IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) ? 1 : 0;
}

// Calls visit with every leading level of path that ends before a whole backslash character
// (the drive or share root included), and the offset of that backslash, until visit returns 0.
// Returns the offset of the deepest backslash visited, 0 when there is none or path is too long.
typedef int (*LevelVisitor)(const char *level, size_t end, void *context);
static size_t ForEachLevel(const char *path, LevelVisitor visit, void *context)
{
    char level[1024];
    size_t length = strlen(path);
    if (length == 0 || length >= sizeof(level)) return 0;
    size_t deepest = 0;
    for (size_t at = 0; at < length;) {
        if (path[at] == '\\' && at > 0) {
            memcpy(level, path, at);
            level[at] = '\0';
            deepest = at;
            if (!visit(level, at, context)) break;
        }
        at += (IsLeadByte((unsigned char)path[at]) && at + 1 < length) ? 2 : 1;
    }
    return deepest;
}

struct Levels {
    const char *path;
    char *out;
    unsigned size;
};

// Keeps the first level that visit reports (with its backslash), once.
static void KeepLevel(Levels *levels, size_t end)
{
    if (levels->out == NULL || levels->out[0] != '\0' || end + 1 >= levels->size) return;
    memcpy(levels->out, levels->path, end + 1);
    levels->out[end + 1] = '\0';
}

static int CreateLevel(const char *level, size_t end, void *context)
{
    // The levels that already exist, and the drive or share root, simply fail to be created again.
    if (CreateDirectoryA(level, NULL)) KeepLevel((Levels *)context, end);
    return 1;
}

static int FindMissingLevel(const char *level, size_t end, void *context)
{
    if (GetFileAttributesA(level) != INVALID_FILE_ATTRIBUTES) return 1;
    KeepLevel((Levels *)context, end);
    return 0;
}

int CreateFolderPath(const char *path, char *created, unsigned createdSize)
{
    Levels levels = {path, createdSize > 0 ? created : NULL, createdSize};
    if (levels.out != NULL) levels.out[0] = '\0';
    size_t deepest = ForEachLevel(path, CreateLevel, &levels);
    if (deepest == 0) return 0;
    char level[1024];
    memcpy(level, path, deepest);
    level[deepest] = '\0';
    DWORD attributes = GetFileAttributesA(level);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

void HighestMissingFolder(const char *path, char *out, unsigned size)
{
    Levels levels = {path, size > 0 ? out : NULL, size};
    if (levels.out != NULL) levels.out[0] = '\0';
    ForEachLevel(path, FindMissingLevel, &levels);
}

// How long a volume root may take to answer before it counts as away, in milliseconds.
enum { ROOT_ANSWER_MS = 2000 };

// One look at a volume root, shared by the caller and the thread that looks: whichever lets go
// last frees it, so that a look that outlives the caller's wait ends harmlessly.
struct RootLook {
    LONG holders;
    DWORD attributes;
    DWORD error;
    WCHAR folder[1024];
    WCHAR root[1024];  // the path's own root, until the system names the volume's
};

static void LetGoOfLook(RootLook *look)
{
    if (InterlockedDecrement(&look->holders) == 0) free(look);
}

typedef BOOL(WINAPI *VolumePathNameFunction)(LPCWSTR, LPWSTR, DWORD);

static DWORD WINAPI LookAtRoot(LPVOID context)
{
    RootLook *look = (RootLook *)context;
    // A disk mounted in a folder is a volume of its own: the system names the volume a path is on
    // (from version 5.0 on; before that the path's own root is all there is).
    VolumePathNameFunction volumePathName = (VolumePathNameFunction)(void *)GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "GetVolumePathNameW");
    WCHAR volume[1024];
    if (volumePathName != NULL && volumePathName(look->folder, volume, 1024) && volume[0] != L'\0') {
        memcpy(look->root, volume, sizeof(volume));
    }
    look->attributes = GetFileAttributesW(look->root);
    look->error = GetLastError();
    LetGoOfLook(look);
    return 0;
}

int VolumeAnswers(const char *folder)
{
    char root[1024];
    RootLook *look = (RootLook *)malloc(sizeof(RootLook));
    if (look == NULL) return 0;
    look->holders = 2;
    look->attributes = INVALID_FILE_ATTRIBUTES;
    look->error = ERROR_SUCCESS;
    // The system may take a minute to give up on a network drive that is offline: the look runs
    // on a thread of its own, waited for no longer than the bound.
    HANDLE thread = NULL;
    if (VolumeRoot(folder, root, sizeof(root)) && WideFromAnsiPath(folder, look->folder, 1024) &&
        WideFromAnsiPath(root, look->root, 1024)) {
        thread = CreateThread(NULL, 0, LookAtRoot, look, 0, NULL);
    }
    int answers = 0;
    if (thread == NULL) {
        LetGoOfLook(look);  // the share of the look that never ran
    } else if (WaitForSingleObject(thread, ROOT_ANSWER_MS) == WAIT_OBJECT_0) {
        // A root this user may not look into is there all the same.
        answers = look->attributes != INVALID_FILE_ATTRIBUTES ? (look->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                                                              : look->error == ERROR_ACCESS_DENIED;
    }
    if (thread != NULL) CloseHandle(thread);
    LetGoOfLook(look);
    return answers;
}

int WideFromAnsiPath(const char *path, wchar_t *out, int size)
{
    if (size <= 0) return 0;
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, out, size) > 0) return 1;
    out[0] = L'\0';
    return 0;
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
