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

// Whether this installer may go on beside whatever else runs on the machine. The single-instance
// mutex is a session's own, but the install record is shared by every session: the installer takes
// the machine-wide lock for as long as it runs. Another installer or uninstaller that holds it is
// said, and this one leaves. A lock this user may not take (its name taken by another user with
// rights that deny this one) proves nothing; a run under way is then found through its mark.
static int MayRunBesideOthers(void)
{
    if (TakeMachineLock(0) != LOCK_HELD) return 1;
    ShowError(NULL, "%s のインストーラかアンインストーラが、ほかのユーザーのセッションなどで実行中です。\n"
                    "そちらを終了してから、もう一度実行してください。",
              g_state.title);
    return 0;
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
    // A drive with no disc fails quietly rather than raise the critical-error box, for the search
    // for the disc and every look at a drive after it.
    SetErrorMode(SEM_FAILCRITICALERRORS);
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
    if (!MayRunBesideOthers()) return 0;

    memset(&g_state.osVersion, 0, sizeof(g_state.osVersion));
    g_state.osVersion.dwOSVersionInfoSize = sizeof(g_state.osVersion);
    GetVersionExA(&g_state.osVersion);

    LoadResourcesIntoState(hInstance);

    // What runs ended from outside (killed, a crash, a power cut) left is taken back at every start,
    // an install there or not; a mark whose drive is away stays for a later start. A run still
    // under way elsewhere is said, and left to itself.
    if (!CleanUpInterruptedRuns()) {
        ShowError(NULL, "前回のインストールがまだ実行中です。\nそのインストールを終了してから、もう一度実行してください。");
        return 0;
    }
    // "DIR" alone decides: set, the uninstaller's registration is brought up to date; damaged, it
    // may be forgotten and the install offered afresh.
    char dir[REG_TEXT_SIZE];
    RecordState record = ReadInstallFolder(dir);
    if (record == RECORD_VALID) return ReregisterUninstaller(dir);
    if (record == RECORD_DAMAGED && !ForgetDamagedRecord(dir)) return 1;
    if (!WaitForInstallDisc()) return 0;

    RunInstallerDialog();
    ReleaseMutex(mutex);
    return 1;
}
