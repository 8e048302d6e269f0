// Entry point: single instance, loading the resources, mode selection, disc wait and message loop.
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "../common/common.h"
#include "../install/install.h"
#include "../record/record.h"
#include "app.h"

static void LoadResourcesIntoState(HINSTANCE instance)
{
    char text[256];
    LoadStringA(instance, IDS_FRAME_COUNT, text, sizeof(text));
    g_state.lastFrame = (int)atol(text) - 1;
    LoadStringA(instance, IDS_FRAME_INTERVAL, text, sizeof(text));
    g_state.frameInterval = (int)atol(text) - 1;
    for (int i = 0; i < FRAME_SLOTS; ++i) {
        g_state.frames[i] = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_FRAME_FIRST + i));
    }
}

// Whether this is the only installer running in any session. The single-instance mutex is a
// session's own, but the install record is shared by every session: the installer takes a second,
// machine-wide object for as long as it runs, and leaves when another installer holds it. Its name
// differs from the mutex's, which in session 0 lives in the same namespace. Where the system
// refuses this process the machine-wide namespace, the run's mark still names its owner.
static int OnlyInstallerOfTheMachine(void)
{
    char name[300];
    FormatText(name, sizeof(name), "Global\\%s Installer Run", g_state.title);
    SetLastError(ERROR_SUCCESS);
    HANDLE held = CreateMutexA(NULL, FALSE, name);
    if (held != NULL) return GetLastError() != ERROR_ALREADY_EXISTS;  // kept until the process ends
    // Refused: either another user's installer holds it, or this process may not create it.
    if (GetLastError() != ERROR_ACCESS_DENIED) return 1;
    HANDLE other = OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (other != NULL) CloseHandle(other);
    return other == NULL && GetLastError() == ERROR_FILE_NOT_FOUND;
}

// Asks for the disc after every failed search; returns 0 when the user cancels.
static int WaitForInstallDisc(void)
{
    while (!FindInstallDisc(g_state.sourceRoot, INSTALL_DISC_LABEL)) {
        if (AskUser(NULL, "DVDを挿入してください。", MB_RETRYCANCEL | MB_ICONWARNING) == IDCANCEL) {
            return 0;
        }
    }
    return 1;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)previous;
    (void)commandLine;
    (void)showCommand;

    RestrictDllSearch();
    g_state.instance = hInstance;
    g_state.installDir[0] = '\0';
    LoadStringA(hInstance, IDS_BRAND, g_state.brand, sizeof(g_state.brand));
    LoadStringA(hInstance, IDS_TITLE, g_state.title, sizeof(g_state.title));

    // A title too long for the name is cut the same way in every copy, so the guard holds.
    char mutexName[256];
    FormatText(mutexName, sizeof(mutexName), "%s Installer", g_state.title);
    g_state.isCopying = 0;
    g_state.cancelRequested = 0;
    g_state.frameIndex = 0;

    SetLastError(ERROR_SUCCESS);
    HANDLE mutex = CreateMutexA(NULL, TRUE, mutexName);
    if (mutex == NULL || GetLastError() != ERROR_SUCCESS) return 0;
    if (!OnlyInstallerOfTheMachine()) return 0;  // as a second copy in this session does

    memset(&g_state.osVersion, 0, sizeof(g_state.osVersion));
    g_state.osVersion.dwOSVersionInfoSize = sizeof(g_state.osVersion);
    GetVersionExA(&g_state.osVersion);

    LoadResourcesIntoState(hInstance);

    // "DIR" alone decides: set, the uninstaller's registration is brought up to date; damaged, it
    // may be forgotten and the install offered afresh; missing, a run that was ended from outside
    // is taken back first, and a run still under way elsewhere is left to itself.
    char dir[REG_TEXT_SIZE];
    RecordState record = ReadInstallFolder(dir);
    if (record == RECORD_VALID) return ReregisterUninstaller(dir);
    if (record == RECORD_DAMAGED && !ForgetDamagedRecord(dir)) return 1;
    if (record == RECORD_ABSENT && !CleanUpInterruptedRun()) return 0;
    if (!WaitForInstallDisc()) return 0;

    RunInstallerDialog();
    ReleaseMutex(mutex);
    return 1;
}
