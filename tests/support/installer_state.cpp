// Sets up the installer's state and dialog in the test process.
#include "installer_state.h"

#include <string.h>

#include "../../src/common/common.h"
#include "../../src/ui/ui.h"

void PrepareInstallerState()
{
    memset(&g_state, 0, sizeof(g_state));
    g_state.instance = GetModuleHandleA(NULL);
    LoadStringA(g_state.instance, IDS_BRAND, g_state.brand, sizeof(g_state.brand));
    LoadStringA(g_state.instance, IDS_TITLE, g_state.title, sizeof(g_state.title));
    g_state.lastFrame = 14;
    g_state.frameInterval = 499;
    for (int i = 0; i < FRAME_SLOTS; ++i) {
        g_state.frames[i] = LoadBitmapA(g_state.instance, MAKEINTRESOURCEA(IDB_FRAME_FIRST + i));
    }
    g_state.osVersion.dwOSVersionInfoSize = sizeof(g_state.osVersion);
    GetVersionExA(&g_state.osVersion);
    LoadCommonControls();
}

HWND CreateInstallerDialog()
{
    g_state.dialog = CreateDialogParamW(g_state.instance, MAKEINTRESOURCEW(IDD_INSTALL), NULL,
                                        InstallDialogProc, 0);
    return g_state.dialog;
}

void Press(WPARAM command)
{
    g_state.viewPressSeen = 0;
    SendMessageW(g_state.dialog, WM_COMMAND, command, 0);
}

int PrimaryButton()
{
    return LOWORD(SendMessageW(g_state.dialog, DM_GETDEFID, 0, 0));
}

void DestroyInstallerDialog()
{
    if (g_state.dialog != NULL) DestroyWindow(g_state.dialog);
    g_state.dialog = NULL;
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
    }
}

bool TakeQuitMessage()
{
    MSG message;
    return PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}
