// The installer dialog's procedure: command routing, the main menu view and the title animation.
#include "ui.h"

#include "../common/common.h"
#include "../install/install.h"
#include "../record/record.h"
#include "view.h"

static const int kMainMenuView[] = {IDC_BUTTON_START, IDC_BUTTON_INSTALL, IDC_BUTTON_END};

int LoadCommonControls(void)
{
    // The template's progress bar needs its window class registered before the dialog
    // is created; the control library registers it when it is loaded. It is taken from
    // the system folder by full path so that no copy beside the program is picked up.
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return 0;
    if (!FormatText(path + length, sizeof(path) - length, "\\comctl32.dll")) return 0;
    return LoadLibraryA(path) != NULL;
}

static void SetPicture(HWND dialog, int frame)
{
    SendDlgItemMessageA(dialog, IDC_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                        (LPARAM)g_state.frames[frame]);
}

static void SetControlText(HWND dialog, int controlId, UINT stringId)
{
    char text[256];
    LoadStringA(g_state.instance, stringId, text, sizeof(text));
    SetWindowTextA(GetDlgItem(dialog, controlId), text);
}

int ShowMainMenu(HWND dialog)
{
    // The view changes in one go: while the dialog's drawing is held, no control paints itself at
    // each change of picture, visibility or text, and the whole dialog is painted once afterwards.
    // After a cancelled copy this spares the separate repaints that kept the menu from answering.
    int drawing = IsWindowVisible(dialog);
    if (drawing) SendMessageA(dialog, WM_SETREDRAW, FALSE, 0);
    g_state.page = PAGE_INSTALL_TYPE;
    g_state.isCopying = 0;
    g_state.cancelRequested = 0;
    g_state.frameIndex = 0;
    SetPicture(dialog, 0);
    ApplyView(dialog, kMainMenuView, sizeof(kMainMenuView) / sizeof(kMainMenuView[0]));

    ProductIsInstalled();

    char caption[256];
    LoadStringA(g_state.instance, IDS_CAPTION, caption, sizeof(caption));
    SetWindowTextA(dialog, caption);
    SetControlText(dialog, IDC_BUTTON_START, IDS_START);
    EnableWindow(GetDlgItem(dialog, IDC_BUTTON_START), g_state.isInstalled == 1);
    SetControlText(dialog, IDC_BUTTON_INSTALL, g_state.isInstalled == 1 ? IDS_UNINSTALL : IDS_INSTALL);
    SetControlText(dialog, IDC_BUTTON_END, IDS_EXIT);
    if (drawing) {
        SendMessageA(dialog, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(dialog, NULL, NULL, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

    g_state.installDir[0] = '\0';
    return 1;
}

// The second click of a double-click lands where the first one did. When the first turned the
// button there into another (実行 into 中止, 中止 into 終了), the second must not press that one:
// a press that arrives within the double-click time of such a press is ignored.
static int WithinDoubleClickOf(LONG pressTime)
{
    return pressTime != 0 && (DWORD)(GetMessageTime() - pressTime) < GetDoubleClickTime();
}

static void OnInstallButton(HWND dialog)
{
    if (g_state.isInstalled != 0) {
        LaunchUninstaller();
    } else {
        ShowWizardPage(dialog);
    }
}

static void OnBack(HWND dialog)
{
    if (g_state.page > PAGE_INSTALL_TYPE) {
        g_state.page = g_state.page - 1;
        ShowWizardPage(dialog);
    } else {
        ShowMainMenu(dialog);
    }
}

static void OnNext(HWND dialog)
{
    if (g_state.page < PAGE_COPY) {
        if (g_state.page == PAGE_CONFIRM) g_state.runPressTime = GetMessageTime();
        g_state.page = g_state.page + 1;
        ShowWizardPage(dialog);  // from the confirmation page this runs the whole install
    } else if (g_state.isCopying != 0) {
        if (WithinDoubleClickOf(g_state.runPressTime) || g_state.cancelRequested) return;
        g_state.cancelPressTime = GetMessageTime();
        g_state.cancelRequested = 1;  // the copy loop sees it after its next block
    } else if (g_state.isRegistering != 0) {
        // Reachable only behind the ownerless shortcut error box: a completed copy is not
        // rolled back half-way through its registration.
    } else {
        RollBackInstallRun();
        ShowMainMenu(dialog);
    }
}

static void OnBrowse(HWND dialog)
{
    BrowseForInstallFolder(dialog, g_state.installDir);
    SetWindowTextA(GetDlgItem(dialog, IDC_EDIT_DIR), g_state.installDir);
}

static void OnCommand(HWND dialog, WPARAM command)
{
    // The whole wParam is compared, so only clicks (notification code 0) act; the
    // combo box's and edit box's notifications carry other codes and do nothing.
    // The main menu's buttons take the places of the wizard's when a cancel ends the run.
    switch (command) {
    case IDC_BUTTON_INSTALL:
        if (!WithinDoubleClickOf(g_state.cancelPressTime)) OnInstallButton(dialog);
        break;
    case IDC_BUTTON_START:
        if (!WithinDoubleClickOf(g_state.cancelPressTime)) LaunchGame();
        break;
    case IDC_BUTTON_END:
        if (!WithinDoubleClickOf(g_state.cancelPressTime)) CloseInstaller();
        break;
    case IDC_BUTTON_BACK:
        OnBack(dialog);
        break;
    case IDC_BUTTON_NEXT:
        OnNext(dialog);
        break;
    case IDC_BUTTON_BROWSE:
        OnBrowse(dialog);
        break;
    default:
        break;
    }
}

// The session ends while files are copied: the process may be ended as soon as this message
// returns, so the partial install is taken back now; the copy loop then stops by itself.
static void OnEndSession(void)
{
    if (g_state.isCopying == 0 || g_state.sessionEnded != 0) return;
    g_state.sessionEnded = 1;
    RollBackInstallRun();
}

static void OnAnimationTick(HWND dialog)
{
    if (g_state.page == PAGE_COPY) {
        // The cycle runs over frames 1 to lastFrame + 1; slot 0 is the still picture.
        // A frame count beyond the slots is held to the last slot.
        int last = g_state.lastFrame < FRAME_SLOTS - 2 ? g_state.lastFrame : FRAME_SLOTS - 2;
        if (g_state.frameIndex > last || g_state.frameIndex < 0) {
            g_state.frameIndex = 1;
        } else {
            g_state.frameIndex = g_state.frameIndex + 1;
        }
        SetPicture(dialog, g_state.frameIndex);
    }
    SetTimer(dialog, IDT_ANIMATION, (UINT)g_state.frameInterval, NULL);
}

INT_PTR CALLBACK InstallDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        ShowMainMenu(window);
        SetPicture(window, g_state.frameIndex);
        SetTimer(window, IDT_ANIMATION, (UINT)g_state.frameInterval, NULL);
        break;
    case WM_COMMAND:
        OnCommand(window, wParam);
        break;
    case WM_CLOSE:
        CloseInstaller();
        break;
    case WM_TIMER:
        OnAnimationTick(window);
        break;
    case WM_ENDSESSION:
        if (wParam) OnEndSession();
        break;
    default:
        break;
    }
    return FALSE;
}
