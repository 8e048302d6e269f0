// Removal of a (partial) installation and the two launch commands of the main menu.
#include "record.h"

#include <shellapi.h>
#include <shlobj.h>
#include <string.h>

#include "../common/common.h"
#include "../common/path.h"

// Paths of one folder listing are built in buffers of this size; longer ones are skipped.
enum { FOLDER_ENTRY_SIZE = 256 };

static const char kUninstallParent[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

static void NoteLeftover(RemovalLeftovers *leftovers, const char *folder, const char *name)
{
    if (leftovers == NULL) return;
    leftovers->count += 1;
    char line[FOLDER_ENTRY_SIZE + MAX_PATH + 2];
    size_t used = strlen(leftovers->paths);
    if (FormatText(line, sizeof(line), "%s%s\n", folder, name) && used + strlen(line) < sizeof(leftovers->paths)) {
        memcpy(leftovers->paths + used, line, strlen(line) + 1);
    }
}

// Calls visit with the path and name of each plain file of folder until visit returns 0; a file
// whose path does not fit FOLDER_ENTRY_SIZE is visited with an empty path. Returns 0 when the
// folder cannot be listed.
typedef int (*FileVisitor)(const char *path, const char *folder, const char *name, void *context);
static int ForEachFile(const char *folder, FileVisitor visit, void *context)
{
    char pattern[FOLDER_ENTRY_SIZE];
    if (!FormatText(pattern, sizeof(pattern), "%s*.*", folder)) return 0;

    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int going = 1;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        char file[FOLDER_ENTRY_SIZE];
        if (!FormatText(file, sizeof(file), "%s%s", folder, entry.cFileName)) file[0] = '\0';
        going = visit(file, folder, entry.cFileName, context);
    } while (going && FindNextFileA(search, &entry));
    FindClose(search);
    return 1;
}

struct Deletion {
    RemovalLeftovers *leftovers;
    const char *keep;
};

static int DeleteOneFile(const char *path, const char *folder, const char *name, void *context)
{
    Deletion *deletion = (Deletion *)context;
    if (deletion->keep != NULL && lstrcmpiA(name, deletion->keep) == 0) return 1;
    if (path[0] == '\0' || !DeleteFileA(path)) NoteLeftover(deletion->leftovers, folder, name);
    return 1;
}

int DeleteFolderFiles(const char *folder, RemovalLeftovers *leftovers, const char *keep)
{
    Deletion deletion = {leftovers, keep};
    if (!ForEachFile(folder, DeleteOneFile, &deletion)) return 0;
    RemoveDirectoryA(folder);  // stays when anything is left in it
    return 1;
}

struct InUseSearch {
    const char *skip;
    char *path;
    size_t size;
};

// Whether the file's deletion is refused now: marked for deletion and unmarked again, since a
// running program's file can be opened for deletion and is refused only when marked. Systems
// without the call (before Vista) are asked only through the open.
static int DeletionRefused(HANDLE file)
{
    struct Disposition {
        BOOLEAN deleteFile;
    };
    typedef BOOL(WINAPI * SetInformation)(HANDLE, int, LPVOID, DWORD);
    const int kFileDispositionInfo = 4;
    SetInformation setInformation = (SetInformation)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                                           "SetFileInformationByHandle");
    if (setInformation == NULL) return 0;
    Disposition mark = {TRUE};
    if (!setInformation(file, kFileDispositionInfo, &mark, sizeof(mark))) return 1;
    mark.deleteFile = FALSE;
    setInformation(file, kFileDispositionInfo, &mark, sizeof(mark));
    return 0;
}

// A file is in use when a running program holds it: it cannot be opened for deletion (held open
// without sharing that), or its deletion is refused (a running program's own file). A read-only
// file is refused too, but is in nobody's use: it is named after the removal instead.
static int StopAtFileInUse(const char *path, const char *folder, const char *name, void *context)
{
    (void)folder;
    InUseSearch *search = (InUseSearch *)context;
    if (path[0] == '\0' || (search->skip != NULL && lstrcmpiA(name, search->skip) == 0)) return 1;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return 1;
    HANDLE file = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, 0, NULL);
    int inUse;
    if (file == INVALID_HANDLE_VALUE) {
        inUse = GetLastError() == ERROR_SHARING_VIOLATION;
    } else {
        inUse = DeletionRefused(file);
        CloseHandle(file);
    }
    if (!inUse) return 1;
    FormatText(search->path, search->size, "%s", path);
    return 0;
}

int FindFileInUse(const char *folder, const char *skip, char *path, size_t size)
{
    InUseSearch search = {skip, path, size};
    if (size > 0) path[0] = '\0';
    ForEachFile(folder, StopAtFileInUse, &search);
    return size > 0 && path[0] != '\0';
}

int ShortcutFolderPath(int csidl, char *folder, size_t size)
{
    char special[MAX_PATH];
    special[0] = '\0';
    if (!SHGetSpecialFolderPathA(NULL, special, csidl, FALSE) || special[0] == '\0') return 0;
    return FormatText(folder, size, "%s\\%s\\", special, g_state.title);
}

static void RemoveShortcutFolder(int csidl, RemovalLeftovers *leftovers)
{
    char folder[1024];
    if (ShortcutFolderPath(csidl, folder, sizeof(folder))) DeleteFolderFiles(folder, leftovers);
}

void RemoveShortcutFolders(RemovalLeftovers *leftovers)
{
    RemoveShortcutFolder(CSIDL_PROGRAMS, leftovers);
    if (g_state.osVersion.dwMajorVersion == 6) RemoveShortcutFolder(CSIDL_COMMON_PROGRAMS, leftovers);
}

void DeleteInstallRecord(void)
{
    FormatText(g_state.keyPath, sizeof(g_state.keyPath), "%s", "SOFTWARE");
    RegDeleteSubKey(HKEY_LOCAL_MACHINE, g_state.keyPath, g_state.title);
    FormatText(g_state.keyPath, sizeof(g_state.keyPath), "%s", kUninstallParent);
    RegDeleteSubKey(HKEY_LOCAL_MACHINE, g_state.keyPath, g_state.title);
}

int RemoveInstallation(const char *installDir)
{
    if (IsInstallFolderOf(installDir, g_state.brand, g_state.title)) DeleteFolderFiles(installDir);
    RemoveShortcutFolders(NULL);
    DeleteInstallRecord();
    return 1;
}

void RemoveEmptyFoldersAbove(const char *folder, const char *highest)
{
    char level[1024];
    size_t top = strlen(highest);
    if (!FormatText(level, sizeof(level), "%s", folder) || top == 0 || strncmp(level, highest, top) != 0) return;
    for (;;) {
        char above[1024];
        if (!ParentFolder(level, above, sizeof(above)) || strlen(above) < top) return;
        if (!RemoveDirectoryA(above)) return;  // not empty: nor is anything above it
        memcpy(level, above, strlen(above) + 1);
    }
}

// Starts the program that the product key's value names, in the install folder, then closes
// the installer. Without a recorded program nothing is started.
static void LaunchRecordedProgram(const char *valueName)
{
    char folder[REG_TEXT_SIZE];
    char program[REG_TEXT_SIZE];
    FormatText(g_state.keyPath, sizeof(g_state.keyPath), "SOFTWARE\\%s", g_state.title);
    RegReadString(HKEY_LOCAL_MACHINE, g_state.keyPath, "DIR", folder);
    RegReadString(HKEY_LOCAL_MACHINE, g_state.keyPath, valueName, program);
    if (program[0] != '\0') {
        ShellExecuteA(NULL, "open", program, NULL, folder, SW_SHOWNORMAL);
    }
    CloseInstaller();
}

void LaunchGame(void)
{
    LaunchRecordedProgram("EXE");
}

int LaunchUninstaller(void)
{
    LaunchRecordedProgram("Uninstall");
    return 1;
}
