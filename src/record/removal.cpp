// The one removal of a (partial) installation, the files-in-use probe and the two launch commands.
#include "record.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <string.h>
#include <wchar.h>

#include "../common/common.h"
#include "../common/path.h"

enum { PATH_SIZE = 1024 };

// Notes a file that stayed, named as the system named it; a line that does not fit whole into the
// list is left out of it, and only counted.
static void NoteLeftover(RemovalLeftovers *leftovers, const WCHAR *path)
{
    if (leftovers == NULL) return;
    leftovers->count += 1;
    size_t used = wcslen(leftovers->paths);
    FormatWide(leftovers->paths + used, sizeof(leftovers->paths) / sizeof(WCHAR) - used, L"%ls\n", path);
}

// How a look into a folder went: listed; no such folder (nothing there to remove); or not listed
// for another reason (its drive went away, access denied), so that what it holds is unknown.
enum Listing { LISTED, NO_FOLDER, UNLISTED };

// Calls visit with the path and name of each plain file of folder until visit returns 0; a file
// whose path does not fit FOUND_PATH_SIZE is visited with an empty path.
typedef int (*FileVisitor)(const WCHAR *path, const WCHAR *name, void *context);
static Listing ForEachFile(const WCHAR *folder, FileVisitor visit, void *context)
{
    WCHAR pattern[FOUND_PATH_SIZE];
    if (!FormatWide(pattern, FOUND_PATH_SIZE, L"%ls*.*", folder)) return UNLISTED;

    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NO_FOLDER : UNLISTED;
    }
    int going = 1;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        WCHAR file[FOUND_PATH_SIZE];
        if (!FormatWide(file, FOUND_PATH_SIZE, L"%ls%ls", folder, entry.cFileName)) file[0] = L'\0';
        going = visit(file, entry.cFileName, context);
    } while (going && FindNextFileW(search, &entry));
    FindClose(search);
    return LISTED;
}

struct Deletion {
    RemovalLeftovers *leftovers;
    const WCHAR *keep;
};

static int DeleteOneFile(const WCHAR *path, const WCHAR *name, void *context)
{
    Deletion *deletion = (Deletion *)context;
    if (deletion->keep != NULL && lstrcmpiW(name, deletion->keep) == 0) return 1;
    if (path[0] == L'\0' || !DeleteFileW(path)) NoteLeftover(deletion->leftovers, path[0] != L'\0' ? path : name);
    return 1;
}

static int DeleteFolderFilesWide(const WCHAR *folder, RemovalLeftovers *leftovers, const WCHAR *keep)
{
    Deletion deletion = {leftovers, keep};
    Listing listing = ForEachFile(folder, DeleteOneFile, &deletion);
    // A folder that could not be listed may hold anything: it is named as staying.
    if (listing == UNLISTED) NoteLeftover(leftovers, folder);
    if (listing != LISTED) return 0;
    RemoveDirectoryW(folder);  // stays when anything is left in it
    return 1;
}

int DeleteFolderFiles(const char *folder, RemovalLeftovers *leftovers, const char *keep)
{
    WCHAR wideFolder[PATH_SIZE];
    WCHAR wideKeep[MAX_PATH];
    if (!WideFromAnsiPath(folder, wideFolder, PATH_SIZE)) return 0;
    if (keep != NULL && !WideFromAnsiPath(keep, wideKeep, MAX_PATH)) return 0;
    return DeleteFolderFilesWide(wideFolder, leftovers, keep != NULL ? wideKeep : NULL);
}

struct InUseSearch {
    const WCHAR *skip;
    WCHAR *path;
    size_t size;
};

// A file is in use when a running program holds it: opened for writing and deletion with every
// sharing allowed, a running program's image or a file held without sharing answers with a
// sharing violation. The probe changes nothing of the file. A read-only file is refused too, but
// is in nobody's use: it is named after the removal instead.
static int StopAtFileInUse(const WCHAR *path, const WCHAR *name, void *context)
{
    InUseSearch *search = (InUseSearch *)context;
    if (path[0] == L'\0' || (search->skip != NULL && lstrcmpiW(name, search->skip) == 0)) return 1;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return 1;
    HANDLE file = CreateFileW(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return 1;
    }
    if (GetLastError() != ERROR_SHARING_VIOLATION) return 1;
    if (!FormatWide(search->path, search->size, L"%ls", path)) search->path[0] = L'\0';
    return 0;
}

int FindFileInUse(const char *folder, const char *skip, WCHAR *path, size_t size)
{
    WCHAR wideFolder[PATH_SIZE];
    WCHAR wideSkip[MAX_PATH];
    if (size == 0) return 0;
    path[0] = L'\0';
    if (!WideFromAnsiPath(folder, wideFolder, PATH_SIZE)) return 0;
    if (skip != NULL && !WideFromAnsiPath(skip, wideSkip, MAX_PATH)) return 0;
    InUseSearch search = {skip != NULL ? wideSkip : NULL, path, size};
    ForEachFile(wideFolder, StopAtFileInUse, &search);
    return path[0] != L'\0';
}

int ShortcutFolderPath(int csidl, WCHAR *folder, size_t size)
{
    WCHAR special[MAX_PATH];
    WCHAR title[256];
    special[0] = L'\0';
    if (!SHGetSpecialFolderPathW(NULL, special, csidl, FALSE) || special[0] == L'\0') return 0;
    if (LoadStringW(g_state.instance, IDS_TITLE, title, 256) <= 0) return 0;
    return FormatWide(folder, size, L"%ls\\%ls\\", special, title);
}

static void RemoveShortcutFolder(int csidl, RemovalLeftovers *leftovers)
{
    WCHAR folder[PATH_SIZE];
    if (ShortcutFolderPath(csidl, folder, PATH_SIZE)) DeleteFolderFilesWide(folder, leftovers, NULL);
}

static void RemoveShortcutFolders(RemovalLeftovers *leftovers)
{
    RemoveShortcutFolder(CSIDL_PROGRAMS, leftovers);
    if (g_state.osVersion.dwMajorVersion == 6) RemoveShortcutFolder(CSIDL_COMMON_PROGRAMS, leftovers);
}

// Deletes the file <folder><name>; one that is there and stays is noted. A folder of that name
// is no file of the installation.
static void DeleteNamedFile(const char *folder, const char *name, RemovalLeftovers *leftovers)
{
    char path[PATH_SIZE];
    WCHAR wide[PATH_SIZE];
    if (!FormatText(path, sizeof(path), "%s%s", folder, name) || !WideFromAnsiPath(path, wide, PATH_SIZE)) return;
    if (DeleteFileW(wide)) return;
    DWORD error = GetLastError();
    DWORD attributes = GetFileAttributesW(wide);
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
        (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))) {
        NoteLeftover(leftovers, wide);
    }
}

static void DeleteInstalledFiles(const Removal *removal, RemovalLeftovers *leftovers)
{
    if (removal->names == NULL) {
        DeleteFolderFiles(removal->installDir, leftovers, removal->keepToLast);
        return;
    }
    for (int i = 0; i < removal->nameCount; ++i) {
        if (removal->keepToLast == NULL || lstrcmpiA(removal->names[i], removal->keepToLast) != 0) {
            DeleteNamedFile(removal->installDir, removal->names[i], leftovers);
        }
    }
}

// Removes folder, then the folders above it up to highest (a leading part of folder), each only
// while it is empty: a level that is missing is stepped over, one that still holds something
// ends the walk, since so does every level above it. No level above highest is touched.
static void RemoveMadeFolders(const char *folder, const char *highest)
{
    char level[PATH_SIZE];
    size_t top = strlen(highest);
    int walkUp = top > 0 && strncmp(folder, highest, top) == 0;
    if (!FormatText(level, sizeof(level), "%s", folder)) return;
    for (;;) {
        if (!RemoveDirectoryA(level) && GetFileAttributesA(level) != INVALID_FILE_ATTRIBUTES) return;
        char above[PATH_SIZE];
        if (!walkUp || !ParentFolder(level, above, sizeof(above)) || strlen(above) < top) return;
        memcpy(level, above, strlen(above) + 1);
    }
}

static int IsOneOf(const char *name, const char *const *names, int count)
{
    for (int i = 0; i < count; ++i) {
        if (lstrcmpiA(name, names[i]) == 0) return 1;
    }
    return 0;
}

// Whether a key of the record holds nothing but values of the installer's own names and no subkey.
// A name too long for the listing's buffer is none of them: it counts as a value of worth.
static int KeyHoldsNothingOfValue(const char *keyPath, const char *const *own, int ownCount)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD subKeys = 0;
    int nothing = RegQueryInfoKeyA(key, NULL, NULL, NULL, &subKeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL) ==
                      ERROR_SUCCESS &&
                  subKeys == 0;
    char name[256];
    DWORD length = sizeof(name);
    for (DWORD i = 0; nothing; ++i, length = sizeof(name)) {
        LONG status = RegEnumValueA(key, i, name, &length, NULL, NULL, NULL, NULL);
        if (status == ERROR_NO_MORE_ITEMS) break;
        nothing = status == ERROR_SUCCESS && IsOneOf(name, own, ownCount);
    }
    RegCloseKey(key);
    return nothing;
}

// Both keys whole (REMOVE_RECORD); or, for a run that did not complete, the mark of its slot, and
// then each key only when nothing of value is left in it: a key that held someone else's values
// before the run keeps them, and a completed install's record stands whatever the mark.
static void DeleteRecord(int mark, int recordStands)
{
    char productKey[KEY_PATH_SIZE];
    char entry[KEY_PATH_SIZE];
    if (!RecordKeyPath(PRODUCT_KEY, productKey, sizeof(productKey)) ||
        !RecordKeyPath(UNINSTALL_ENTRY, entry, sizeof(entry))) {
        return;
    }
    if (mark != REMOVE_RECORD) DeleteRunMark(productKey, mark);
    if (recordStands) return;
    if (mark == REMOVE_RECORD || KeyHoldsNothingOfValue(productKey, kProductValueNames, PRODUCT_VALUES)) {
        DeleteRecordKey(PRODUCT_KEY);
    }
    if (mark == REMOVE_RECORD || KeyHoldsNothingOfValue(entry, kEntryValueNames, ENTRY_VALUES)) {
        DeleteRecordKey(UNINSTALL_ENTRY);
    }
}

RemovalResult RemoveInstallation(const Removal *removal)
{
    RemovalLeftovers own;
    RemovalLeftovers *leftovers = removal->leftovers != NULL ? removal->leftovers : &own;
    leftovers->paths[0] = '\0';
    leftovers->count = 0;
    // Files are removed only from a folder of the install folder's form, and only while its drive
    // is there: with the drive away every name would be missing, and so count as removed.
    int installFolder = IsInstallFolderOf(removal->installDir, g_state.brand, g_state.title);
    if (installFolder && !VolumeAnswers(removal->installDir)) return REMOVAL_DRIVE_AWAY;
    if (installFolder) DeleteInstalledFiles(removal, leftovers);
    if (leftovers->count == 0 && !removal->recordStands) RemoveShortcutFolders(leftovers);
    if (leftovers->count == 0 && installFolder && removal->keepToLast != NULL) {
        DeleteNamedFile(removal->installDir, removal->keepToLast, leftovers);
    }
    if (leftovers->count > 0) return REMOVAL_LEFT_FILES;
    if (installFolder) RemoveMadeFolders(removal->installDir, removal->highestMade);
    // A drive that went away during the removal took its files out of reach, not away: the record
    // that names them stays.
    if (installFolder && !VolumeAnswers(removal->installDir)) return REMOVAL_DRIVE_AWAY;
    DeleteRecord(removal->mark, removal->recordStands);
    return REMOVAL_DONE;
}

int ForgetDamagedRecord(const char *dir)
{
    ShowError(NULL, "インストール情報が壊れているため、処理を中止しました。何も変更していません。\n記録されているフォルダ: %s",
              dir);
    if (AskUser(NULL, "壊れたインストール情報を削除しますか？\nインストールされたファイルは削除しません。",
                MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return 0;
    }
    RemoveShortcutFolders(NULL);
    DeleteRecordKey(PRODUCT_KEY);
    DeleteRecordKey(UNINSTALL_ENTRY);
    return 1;
}

// Whether program names a file directly inside folder: the folder, then a name with no further
// level (a "..\" would lead out of it). A trail byte 0x5C counts too, which only refuses more.
static int IsFileDirectlyIn(const char *program, const char *folder)
{
    size_t length = strlen(folder);
    return strncmp(program, folder, length) == 0 && program[length] != '\0' &&
           strpbrk(program + length, "\\/") == NULL;
}

LaunchOutcome LaunchOutcomeOf(int executed, DWORD error)
{
    if (executed) return LAUNCH_STARTED;
    return error == ERROR_CANCELLED ? LAUNCH_DECLINED : LAUNCH_FAILED;
}

// Starts program in folder through the shell, which asks for elevation where the program's
// manifest wants it, over the installer dialog. The shell shows no error box of its own: the
// installer says what failed in its own words, and a declined prompt is said by nobody. The
// start is complete when this returns, before the installer closes.
static LaunchOutcome StartInFolder(const WCHAR *program, const WCHAR *folder)
{
    // The shell may hand the start to extensions that are COM objects.
    HRESULT com = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW execute;
    memset(&execute, 0, sizeof(execute));
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    execute.hwnd = g_state.dialog;
    execute.lpVerb = L"open";
    execute.lpFile = program;
    execute.lpDirectory = folder;
    execute.nShow = SW_SHOWNORMAL;
    BOOL executed = ShellExecuteExW(&execute);
    DWORD error = executed ? ERROR_SUCCESS : GetLastError();
    if (SUCCEEDED(com)) CoUninitialize();
    return LaunchOutcomeOf(executed, error);
}

// Starts the program that the product key's value names, in the install folder, then closes
// the installer. Only a program directly inside a valid install folder is started; anything else,
// and a start that fails, is said in an error box (text, code page 932) and the installer stays.
// A start the user declined at the elevation prompt leaves the installer where it was, unsaid.
static int LaunchRecordedProgram(const char *valueName, const char *text)
{
    char productKey[KEY_PATH_SIZE];
    char folder[REG_TEXT_SIZE];
    char program[REG_TEXT_SIZE];
    WCHAR wideFolder[REG_TEXT_SIZE];
    WCHAR wideProgram[REG_TEXT_SIZE];
    LaunchOutcome outcome = LAUNCH_FAILED;
    if (ReadInstallFolder(folder) == RECORD_VALID && RecordKeyPath(PRODUCT_KEY, productKey, sizeof(productKey)) &&
        RegReadString(HKEY_LOCAL_MACHINE, productKey, valueName, program) && IsFileDirectlyIn(program, folder) &&
        WideFromAnsiPath(program, wideProgram, REG_TEXT_SIZE) && WideFromAnsiPath(folder, wideFolder, REG_TEXT_SIZE)) {
        outcome = StartInFolder(wideProgram, wideFolder);
    }
    if (outcome == LAUNCH_STARTED) {
        CloseInstaller();
    } else if (outcome == LAUNCH_FAILED) {
        ShowError(g_state.dialog, text);
    }
    return outcome == LAUNCH_STARTED;
}

int LaunchGame(void)
{
    return LaunchRecordedProgram(kProductValueNames[VALUE_EXE], "ゲームを起動できませんでした");
}

int LaunchUninstaller(void)
{
    return LaunchRecordedProgram(kProductValueNames[VALUE_UNINSTALL], "アンインストーラを起動できませんでした");
}
