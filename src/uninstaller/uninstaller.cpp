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

#include "../common/common.h"
#include "../common/path.h"
#include "../record/record.h"

static const char kCleanupSwitch[] = "/cleanup";

static int ModuleIsInside(const char *folder)
{
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, self, sizeof(self));
    size_t folderLength = strlen(folder);
    return length > 0 && length < sizeof(self) && folderLength > 0 && folderLength < length &&
           CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, self, (int)folderLength, folder,
                          (int)folderLength) == CSTR_EQUAL;
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
    if (!FormatText(copy, sizeof(copy), "%svt-uninstall-%lu.exe", temp, GetCurrentProcessId())) return 0;
    if (!CopyFileA(self, copy, FALSE)) return 0;

    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE copyFile = CreateFileA(copy, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                                  OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, NULL);
    HANDLE original = NULL;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &original, SYNCHRONIZE,
                    TRUE, 0);

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

// The removal itself and its one closing message.
static int RemoveAndReport(void)
{
    static RemovalLeftovers leftovers;
    RemoveInstallationNoting(g_state.installDir, &leftovers);
    char brandFolder[INSTALL_DIR_SIZE];
    if (ParentFolder(g_state.installDir, brandFolder, sizeof(brandFolder))) {
        RemoveDirectoryA(brandFolder);  // only when nothing else is in it
    }
    DWORD attributes = GetFileAttributesA(g_state.installDir);
    int folderStays = attributes != INVALID_FILE_ATTRIBUTES && leftovers.count == 0;

    static char message[sizeof(leftovers.paths) + 512];
    if (leftovers.count == 0 && !folderStays) {
        AskUser(NULL, "アンインストールが完了しました", MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    if (folderStays) {
        FormatText(message, sizeof(message), "アンインストールが完了しました。\n次のフォルダには他のファイルが残っています:\n%s",
                   g_state.installDir);
    } else {
        FormatText(message, sizeof(message), "アンインストールが完了しました。\n次のファイルは削除できませんでした (%d 個):\n%s",
                   leftovers.count, leftovers.paths);
    }
    AskUser(NULL, message, MB_OK | MB_ICONWARNING);
    return 2;
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

    // The temporary copy waits for the program it replaces, then removes without asking again.
    const char *cleanup = strstr(commandLine, kCleanupSwitch);
    HANDLE original = NULL;
    if (cleanup != NULL) {
        original = (HANDLE)(ULONG_PTR)strtoul(cleanup + sizeof(kCleanupSwitch) - 1, NULL, 10);
        WaitForSingleObject(original, 30000);
        CloseHandle(original);
    }

    FormatText(g_state.keyPath, sizeof(g_state.keyPath), "SOFTWARE\\%s", g_state.title);
    RegReadString(HKEY_LOCAL_MACHINE, g_state.keyPath, "DIR", g_state.installDir);
    char text[512];
    if (g_state.installDir[0] == '\0') {
        FormatText(text, sizeof(text), "%s はインストールされていません", g_state.title);
        AskUser(NULL, text, MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    if (cleanup == NULL) {
        FormatText(text, sizeof(text), "%s をアンインストールしますか？", g_state.title);
        if (AskUser(NULL, text, MB_YESNO | MB_ICONQUESTION) != IDYES) return 1;
        if (ModuleIsInside(g_state.installDir) && HandOverToTemporaryCopy()) return 0;
    }
    return RemoveAndReport();
}
