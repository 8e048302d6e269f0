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
#include <wchar.h>

#include "../common/common.h"
#include "../common/path.h"
#include "../record/record.h"

static const WCHAR kCleanupSwitch[] = L"/cleanup";

// The temporary folder and this program's own path are taken wide from start to end: a user
// whose folder the system's code page cannot hold (C:\users\Zoë\...) still uninstalls.
enum { WIDE_PATH_SIZE = 1024 };

static int OwnPath(WCHAR *self)
{
    DWORD length = GetModuleFileNameW(NULL, self, WIDE_PATH_SIZE);
    return length > 0 && length < WIDE_PATH_SIZE;
}

static int ModuleIsInside(const char *folder)
{
    WCHAR self[WIDE_PATH_SIZE];
    WCHAR wideFolder[WIDE_PATH_SIZE];
    if (!OwnPath(self) || !WideFromAnsiPath(folder, wideFolder, WIDE_PATH_SIZE)) return 0;
    int folderLength = lstrlenW(wideFolder);
    return folderLength > 0 && folderLength < lstrlenW(self) &&
           CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, self, folderLength, wideFolder, folderLength) ==
               CSTR_EQUAL;
}

// <temporary folder>vt-uninstall-<pid>.exe, the copy that the process pid makes of itself; the
// temporary folder alone into folder when given.
static int TemporaryCopyPath(DWORD pid, WCHAR *path, WCHAR *folder = NULL)
{
    WCHAR temp[WIDE_PATH_SIZE];
    DWORD length = GetTempPathW(WIDE_PATH_SIZE, temp);
    if (length == 0 || length >= WIDE_PATH_SIZE) return 0;
    if (folder != NULL) lstrcpyW(folder, temp);
    return FormatWide(path, WIDE_PATH_SIZE, L"%lsvt-uninstall-%lu.exe", temp, (unsigned long)pid);
}

// Starts a copy of this program from the temporary folder to finish the removal. Returns 1
// when the copy runs.
static int HandOverToTemporaryCopy(void)
{
    WCHAR self[WIDE_PATH_SIZE];
    WCHAR temp[WIDE_PATH_SIZE];
    WCHAR copy[WIDE_PATH_SIZE];
    if (!OwnPath(self) || !TemporaryCopyPath(GetCurrentProcessId(), copy, temp)) return 0;
    if (!CopyFileW(self, copy, FALSE)) return 0;

    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE copyFile = CreateFileW(copy, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                                  OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, NULL);
    HANDLE original = NULL;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &original,
                    SYNCHRONIZE | PROCESS_QUERY_INFORMATION, TRUE, 0);

    int started = 0;
    WCHAR commandLine[WIDE_PATH_SIZE + 64];
    if (original != NULL &&
        FormatWide(commandLine, WIDE_PATH_SIZE + 64, L"\"%ls\" %ls %lu", copy, kCleanupSwitch,
                   (unsigned long)(ULONG_PTR)original)) {
        STARTUPINFOW startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process;
        // The copy works from the temporary folder, so that no process holds the install folder.
        if (CreateProcessW(copy, commandLine, NULL, NULL, TRUE, 0, NULL, temp, &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            started = 1;
        }
    }
    if (original != NULL) CloseHandle(original);
    if (copyFile != INVALID_HANDLE_VALUE) CloseHandle(copyFile);
    if (!started) DeleteFileW(copy);
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
static HANDLE GenuineHandOver(void)
{
    const WCHAR *cleanup = wcsstr(GetCommandLineW(), kCleanupSwitch);
    if (cleanup == NULL) return NULL;
    HANDLE original = (HANDLE)(ULONG_PTR)wcstoul(cleanup + lstrlenW(kCleanupSwitch), NULL, 10);
    typedef DWORD(WINAPI * ProcessIdOf)(HANDLE);
    ProcessIdOf processIdOf = (ProcessIdOf)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessId");
    if (original == NULL || processIdOf == NULL) return NULL;
    DWORD originalPid = processIdOf(original);  // 0 for anything but a process handle
    if (originalPid == 0 || originalPid != ParentProcessId()) return NULL;

    WCHAR expected[WIDE_PATH_SIZE];
    WCHAR self[WIDE_PATH_SIZE];
    if (!OwnPath(self) || !TemporaryCopyPath(originalPid, expected) || lstrcmpiW(self, expected) != 0) return NULL;
    return original;
}

// Asks the user to close whatever holds an installed file until none is held; 0 when the user
// cancels. skip names the file that this very process runs from, which the hand-over deals with.
static int WaitUntilNothingInUse(const char *skip)
{
    WCHAR path[FOUND_PATH_SIZE];
    while (FindFileInUse(g_state.installDir, skip, path, FOUND_PATH_SIZE)) {
        if (AskUser(NULL, "次のファイルが使用中です。\n%s\n\nこのファイルを使っているプログラムを終了してから「再試行」を押してください。",
                    MB_RETRYCANCEL | MB_ICONWARNING, path) != IDRETRY) {
            return 0;
        }
    }
    return 1;
}

// The system lets go of the program file of a process a moment after the process counts as ended:
// the temporary copy gives the uninstaller it replaces that moment (up to five seconds) while its
// file is the only one held, before it would ask the user to close a program that no longer runs.
static void LetTheReplacedFileGo(const char *uninstaller)
{
    WCHAR path[FOUND_PATH_SIZE];
    for (int waited = 0; waited < 5000 && FindFileInUse(g_state.installDir, NULL, path, FOUND_PATH_SIZE) &&
                         !FindFileInUse(g_state.installDir, uninstaller, path, FOUND_PATH_SIZE);
         waited += 100) {
        Sleep(100);
    }
}

// With the install folder's drive away (a disk unplugged, a network drive offline) nothing can be
// removed, and nothing is: the record stays for an uninstall once the drive is back.
static void SayDriveIsAway(void)
{
    ShowError(NULL, "インストール先のドライブに接続できないため、アンインストールできません。\n%s\n\n"
                    "ドライブを接続してから、もう一度アンインストールしてください。",
              g_state.installDir);
}

// The machine-wide lock of the installer's programs, so that no installer in another session
// registers the game again into keys this removal has just deleted. A start from the installer's
// main menu finds the installer still holding it for a moment as it closes. Returns 0, after saying
// so, when another installer or uninstaller runs.
static int TakeLockOrSay(void)
{
    MachineLock lock = TakeMachineLock(1);  // inherited by the temporary copy that goes on
    for (int waited = 0; lock == LOCK_HELD && waited < 5000; waited += 100) {
        Sleep(100);
        lock = TakeMachineLock(1);
    }
    RunMark mark;
    // A lock this user may not take proves nothing: a run under way does.
    if (lock == LOCK_HELD || (lock == LOCK_REFUSED && ReadRunMark(0, &mark) == MARK_RUN_ALIVE)) {
        ShowError(NULL, "%s のインストーラかアンインストーラが実行中です。\nそちらを終了してから、もう一度アンインストールしてください。",
                  g_state.title);
        return 0;
    }
    return 1;
}

// The removal itself and its one closing message. The uninstaller's own file, the shortcuts and
// the install record go only once every other file has gone, so that an uninstall that could not
// finish can be run again.
static int RemoveAndReport(const char *uninstaller)
{
    static RemovalLeftovers leftovers;
    // The install folder and the maker's folder above it go while they are empty.
    char brandFolder[INSTALL_DIR_SIZE];
    if (!ParentFolder(g_state.installDir, brandFolder, sizeof(brandFolder))) brandFolder[0] = '\0';
    Removal removal = {g_state.installDir, NULL, 0, uninstaller, brandFolder, REMOVE_RECORD, 0, &leftovers};
    RemovalResult result = RemoveInstallation(&removal);
    if (result == REMOVAL_DRIVE_AWAY) {
        SayDriveIsAway();
        return 1;
    }
    if (result == REMOVAL_LEFT_FILES) {
        // The count goes in now; the paths, wide as they were found, when the text is shown.
        char message[512];
        FormatText(message, sizeof(message),
                   "アンインストールを完了できませんでした。\n次のファイルは削除できませんでした (%d 個):\n%%s\n"
                   "ファイルを使っているプログラムを終了してから、もう一度アンインストールしてください。",
                   leftovers.count);
        AskUser(NULL, message, MB_OK | MB_ICONWARNING, leftovers.paths);
        return 2;
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
    (void)commandLine;
    (void)showCommand;
    RestrictDllSearch();
    // A drive with no disc fails quietly rather than raise the critical-error box.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    g_state.instance = hInstance;
    LoadStringA(hInstance, IDS_BRAND, g_state.brand, sizeof(g_state.brand));
    LoadStringA(hInstance, IDS_TITLE, g_state.title, sizeof(g_state.title));
    g_state.osVersion.dwOSVersionInfoSize = sizeof(g_state.osVersion);
    GetVersionExA(&g_state.osVersion);
    char uninstaller[256];
    LoadStringA(hInstance, IDS_UNINSTALLER_EXE, uninstaller, sizeof(uninstaller));

    // The temporary copy waits for the program it replaces, then removes without asking again.
    // The temporary copy holds the lock it inherited from the uninstaller it replaces.
    HANDLE original = GenuineHandOver();
    if (original != NULL) {
        WaitForSingleObject(original, 30000);
        CloseHandle(original);
    } else if (!TakeLockOrSay()) {
        return 1;
    }

    RecordState record = ReadInstallFolder(g_state.installDir);
    if (record == RECORD_ABSENT) {
        AskUser(NULL, "%s はインストールされていません", MB_OK | MB_ICONINFORMATION, g_state.title);
        return 1;
    }
    if (record == RECORD_DAMAGED) {
        if (ForgetDamagedRecord(g_state.installDir)) {
            AskUser(NULL, "壊れたインストール情報とスタートメニューの項目を削除しました。ファイルは削除していません。",
                    MB_OK | MB_ICONINFORMATION);
        }
        return 1;
    }
    // With the install folder's drive away (a disk unplugged, a network drive offline) every file
    // would count as removed while all stay on it: nothing is touched until the drive is back.
    // Said before the question, so that the user is not asked for what cannot be done; the removal
    // looks again itself.
    if (!VolumeAnswers(g_state.installDir)) {
        SayDriveIsAway();
        return 1;
    }
    if (original == NULL) {
        if (AskUser(NULL, "%s をアンインストールしますか？", MB_YESNO | MB_ICONQUESTION, g_state.title) != IDYES) return 1;
        int inside = ModuleIsInside(g_state.installDir);
        if (!WaitUntilNothingInUse(inside ? uninstaller : NULL)) return 1;
        if (inside && HandOverToTemporaryCopy()) return 0;
    } else {
        LetTheReplacedFileGo(uninstaller);
        if (!WaitUntilNothingInUse(NULL)) return 1;
    }
    return RemoveAndReport(uninstaller);
}
