// Uninstaller.exe: removes the installed game, its shortcuts and its install record, itself included.
//
// Started from inside the install folder, it cannot delete its own file while it runs: after the
// confirmation it copies itself to the temporary folder, starts the copy to do the removal once
// this process has ended, and leaves. The copy's file is opened delete-on-close and that handle
// is inherited, so the copy disappears when it ends.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tlhelp32.h>

#include "../common/common.h"
#include "../common/path.h"
#include "../record/record.h"

static const char kCleanupSwitch[] = "/cleanup";
static const char kCopyNameFormat[] = "%svt-uninstall-%lu.exe";

static int ModuleIsInside(const char *folder)
{
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, self, sizeof(self));
    size_t folderLength = strlen(folder);
    return length > 0 && length < sizeof(self) && folderLength > 0 && folderLength < length &&
           CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, self, (int)folderLength, folder,
                          (int)folderLength) == CSTR_EQUAL;
}

// <temporary folder>vt-uninstall-<pid>.exe, the copy that the process pid makes of itself.
static int TemporaryCopyPath(DWORD pid, char *path, size_t size)
{
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof(temp), temp);
    if (length == 0 || length >= sizeof(temp)) return 0;
    return FormatText(path, size, kCopyNameFormat, temp, (unsigned long)pid);
}

// Starts a copy of this program from the temporary folder to finish the removal. Returns 1
// when the copy runs.
static int HandOverToTemporaryCopy(void)
{
    char self[MAX_PATH];
    char temp[MAX_PATH];
    char copy[MAX_PATH + 32];
    DWORD selfLength = GetModuleFileNameA(NULL, self, sizeof(self));
    DWORD tempLength = GetTempPathA(sizeof(temp), temp);
    if (selfLength == 0 || selfLength >= sizeof(self) || tempLength == 0 || tempLength >= sizeof(temp)) return 0;
    if (!TemporaryCopyPath(GetCurrentProcessId(), copy, sizeof(copy))) return 0;
    if (!CopyFileA(self, copy, FALSE)) return 0;

    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE copyFile = CreateFileA(copy, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                                  OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, NULL);
    HANDLE original = NULL;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &original,
                    SYNCHRONIZE | PROCESS_QUERY_INFORMATION, TRUE, 0);

    int started = 0;
    char commandLine[MAX_PATH + 96];
    if (original != NULL &&
        FormatText(commandLine, sizeof(commandLine), "\"%s\" %s %lu", copy, kCleanupSwitch,
                   (unsigned long)(ULONG_PTR)original)) {
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process;
        // The copy works from the temporary folder, so that no process holds the install folder.
        if (CreateProcessA(copy, commandLine, NULL, NULL, TRUE, 0, NULL, temp, &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            started = 1;
        }
    }
    if (original != NULL) CloseHandle(original);
    if (copyFile != INVALID_HANDLE_VALUE) CloseHandle(copyFile);
    if (!started) DeleteFileA(copy);
    return started;
}

static DWORD ParentProcessId(void)
{
    DWORD parent = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
    }
    CloseHandle(snapshot);
    return parent;
}

// The handle of the uninstaller that handed the removal over, when this process is that hand-over:
// the command line names a handle of the process that started this one, inherited from it, and
// this program runs as the temporary copy named after that process. Started any other way, with
// whatever command line, it is NULL and the user is asked as usual.
static HANDLE GenuineHandOver(const char *commandLine)
{
    const char *cleanup = strstr(commandLine, kCleanupSwitch);
    if (cleanup == NULL) return NULL;
    HANDLE original = (HANDLE)(ULONG_PTR)strtoul(cleanup + sizeof(kCleanupSwitch) - 1, NULL, 10);
    typedef DWORD(WINAPI * ProcessIdOf)(HANDLE);
    ProcessIdOf processIdOf = (ProcessIdOf)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessId");
    if (original == NULL || processIdOf == NULL) return NULL;
    DWORD originalPid = processIdOf(original);  // 0 for anything but a process handle
    if (originalPid == 0 || originalPid != ParentProcessId()) return NULL;

    char expected[MAX_PATH + 32];
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, self, sizeof(self));
    if (length == 0 || length >= sizeof(self) || !TemporaryCopyPath(originalPid, expected, sizeof(expected)) ||
        lstrcmpiA(self, expected) != 0) {
        return NULL;
    }
    return original;
}

// Asks the user to close whatever holds an installed file until none is held; 0 when the user
// cancels. skip names the file that this very process runs from, which the hand-over deals with.
static int WaitUntilNothingInUse(const char *skip)
{
    char path[MAX_PATH + 32];
    while (FindFileInUse(g_state.installDir, skip, path, sizeof(path))) {
        if (AskUser(NULL, "次のファイルが使用中です。\n%s\n\nこのファイルを使っているプログラムを終了してから「再試行」を押してください。",
                    MB_RETRYCANCEL | MB_ICONWARNING, path) != IDRETRY) {
            return 0;
        }
    }
    return 1;
}

// The removal itself and its one closing message. The uninstaller's own file, the shortcuts and
// the install record go only once every other file has gone, so that an uninstall that could not
// finish can be run again.
static int RemoveAndReport(const char *uninstaller)
{
    static RemovalLeftovers leftovers;
    leftovers.paths[0] = '\0';
    leftovers.count = 0;
    DeleteFolderFiles(g_state.installDir, &leftovers, uninstaller);
    if (leftovers.count == 0) RemoveShortcutFolders(&leftovers);
    if (leftovers.count == 0) DeleteFolderFiles(g_state.installDir, &leftovers);

    if (leftovers.count > 0) {
        // The count goes in now; the paths, in the system's code page, when the text is shown.
        char message[512];
        FormatText(message, sizeof(message),
                   "アンインストールを完了できませんでした。\n次のファイルは削除できませんでした (%d 個):\n%%s\n"
                   "ファイルを使っているプログラムを終了してから、もう一度アンインストールしてください。",
                   leftovers.count);
        AskUser(NULL, message, MB_OK | MB_ICONWARNING, leftovers.paths);
        return 2;
    }

    DeleteInstallRecord();
    char brandFolder[INSTALL_DIR_SIZE];
    if (ParentFolder(g_state.installDir, brandFolder, sizeof(brandFolder))) {
        RemoveEmptyFoldersAbove(g_state.installDir, brandFolder);  // only when nothing else is in it
    }
    if (GetFileAttributesA(g_state.installDir) != INVALID_FILE_ATTRIBUTES) {
        AskUser(NULL, "アンインストールが完了しました。\n次のフォルダには他のファイルが残っています:\n%s",
                MB_OK | MB_ICONWARNING, g_state.installDir);
        return 2;
    }
    AskUser(NULL, "アンインストールが完了しました", MB_OK | MB_ICONINFORMATION);
    return 0;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)previous;
    (void)showCommand;
    RestrictDllSearch();
    g_state.instance = hInstance;
    LoadStringA(hInstance, IDS_BRAND, g_state.brand, sizeof(g_state.brand));
    LoadStringA(hInstance, IDS_TITLE, g_state.title, sizeof(g_state.title));
    g_state.osVersion.dwOSVersionInfoSize = sizeof(g_state.osVersion);
    GetVersionExA(&g_state.osVersion);
    char uninstaller[256];
    LoadStringA(hInstance, IDS_UNINSTALLER_EXE, uninstaller, sizeof(uninstaller));

    // The temporary copy waits for the program it replaces, then removes without asking again.
    HANDLE original = GenuineHandOver(commandLine);
    if (original != NULL) {
        WaitForSingleObject(original, 30000);
        CloseHandle(original);
    }

    FormatText(g_state.keyPath, sizeof(g_state.keyPath), "SOFTWARE\\%s", g_state.title);
    RegReadString(HKEY_LOCAL_MACHINE, g_state.keyPath, "DIR", g_state.installDir);
    if (g_state.installDir[0] == '\0') {
        AskUser(NULL, "%s はインストールされていません", MB_OK | MB_ICONINFORMATION, g_state.title);
        return 1;
    }
    if (!IsInstallFolderOf(g_state.installDir, g_state.brand, g_state.title)) {
        ReportDamagedRecord(g_state.installDir);
        return 1;
    }
    if (original == NULL) {
        if (AskUser(NULL, "%s をアンインストールしますか？", MB_YESNO | MB_ICONQUESTION, g_state.title) != IDYES) return 1;
        int inside = ModuleIsInside(g_state.installDir);
        if (!WaitUntilNothingInUse(inside ? uninstaller : NULL)) return 1;
        if (inside && HandOverToTemporaryCopy()) return 0;
    } else if (!WaitUntilNothingInUse(NULL)) {
        return 1;
    }
    return RemoveAndReport(uninstaller);
}
