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
    SendDlgItemMessageW(dialog, IDC_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                        (LPARAM)g_state.frames[frame]);
}

// A text of the string table, loaded wide so that it reads as written on every system.
static void SetTextFromTable(HWND window, UINT stringId)
{
    WCHAR text[256];
    if (LoadStringW(g_state.instance, stringId, text, sizeof(text) / sizeof(text[0])) <= 0) text[0] = L'\0';
    SetWindowTextW(window, text);
}

void ShowMainMenu(HWND dialog)
{
    // The view changes in one go: while the dialog's drawing is held, no control paints itself at
    // each change of picture, visibility or text, and the whole dialog is painted once afterwards.
    // After a cancelled copy this spares the separate repaints that kept the menu from answering.
    int drawing = IsWindowVisible(dialog);
    if (drawing) SendMessageW(dialog, WM_SETREDRAW, FALSE, 0);
    g_state.page = PAGE_INSTALL_TYPE;
    g_state.isCopying = 0;
    g_state.cancelRequested = 0;
    g_state.frameIndex = 0;
    SetPicture(dialog, 0);

    ProductIsInstalled();
    int installed = g_state.isInstalled == 1;
    // Enabled before the view takes the focus there: a greyed button cannot have it.
    EnableWindow(GetDlgItem(dialog, IDC_BUTTON_START), installed);
    ApplyView(dialog, kMainMenuView, sizeof(kMainMenuView) / sizeof(kMainMenuView[0]),
              installed ? IDC_BUTTON_START : IDC_BUTTON_INSTALL);

    SetTextFromTable(dialog, IDS_CAPTION);
    SetTextFromTable(GetDlgItem(dialog, IDC_BUTTON_START), IDS_START);
    SetTextFromTable(GetDlgItem(dialog, IDC_BUTTON_INSTALL), installed ? IDS_UNINSTALL : IDS_INSTALL);
    SetTextFromTable(GetDlgItem(dialog, IDC_BUTTON_END), IDS_EXIT);
    if (drawing) {
        SendMessageW(dialog, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(dialog, NULL, NULL, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

    g_state.installDir[0] = '\0';
}

int IsSecondClick(DWORD firstPress, DWORD press, UINT doubleClickTime)
{
    return press - firstPress < doubleClickTime;
}

// The second click of a double-click lands where the first one did, on whatever button the first
// put there (次へ, 実行, 中止, 終了 all share one place): a press that comes within the double-click
// time of the press that last changed the view is that second click.
static int FollowsViewChangeTooSoon(DWORD pressTime)
{
    return g_state.viewPressSeen && IsSecondClick(g_state.viewPressTime, pressTime, GetDoubleClickTime());
}

static void OnInstallButton(HWND dialog)
{
    if (g_state.isInstalled != 0) {
        if (!LaunchUninstaller()) ShowMainMenu(dialog);  // said why; the menu as the record now is
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
        g_state.page = g_state.page + 1;
        ShowWizardPage(dialog);  // from the confirmation page this runs the whole install
    } else if (g_state.isCopying != 0) {
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
    SetWindowTextA(GetDlgItem(dialog, IDC_EDIT_DIR), g_state.installDir);  // a path: the ANSI code page
}

// Escape acts as the close box, but not on the copy page: one key must not throw away a running
// install (the close box itself still cancels it there).
static void OnEscape(void)
{
    if (g_state.page != PAGE_COPY) CloseInstaller();
}

// The presses that change the view or end the program: every button but 参照, which opens the
// folder browser over the page.
static const WPARAM kViewPresses[] = {IDC_BUTTON_INSTALL, IDC_BUTTON_START, IDC_BUTTON_END, IDC_BUTTON_BACK,
                                      IDC_BUTTON_NEXT};

static int IsViewPress(WPARAM command)
{
    for (WPARAM press : kViewPresses) {
        if (press == command) return 1;
    }
    return 0;
}

static void OnCommand(HWND dialog, WPARAM command)
{
    // Escape is a key of its own, not a click that could follow another.
    DWORD pressTime = (DWORD)GetMessageTime();
    if (command != IDCANCEL && FollowsViewChangeTooSoon(pressTime)) return;
    // Noted before the press acts: 実行 runs the whole copy inside it, and the cancel of 中止
    // brings the main menu only later, both while further clicks are served.
    if (IsViewPress(command)) {
        g_state.viewPressTime = pressTime;
        g_state.viewPressSeen = 1;
    }
    // The whole wParam is compared, so only clicks (notification code 0) act; the
    // combo box's and edit box's notifications carry other codes and do nothing.
    switch (command) {
    case IDC_BUTTON_INSTALL:
        OnInstallButton(dialog);
        break;
    case IDC_BUTTON_START:
        if (!LaunchGame()) ShowMainMenu(dialog);
        break;
    case IDC_BUTTON_END:
        CloseInstaller();
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
    case IDCANCEL:
        OnEscape();
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

// A key held down repeats its key-down about 30 times a second, each marked as a repeat (bit 30
// of lParam: the key was down already), and each would press whatever button the press before put
// under the focus: 実行, then 中止, then the main menu's default. A held key presses once. On the
// copy view Return presses nothing at all, not even 中止 after a Tab has given it the default look:
// a running install ends only by a deliberate press of 中止 (Space on it, a click) or the close box.
int KeyMustNotPress(const MSG *message, int page)
{
    if (message->message != WM_KEYDOWN && message->message != WM_CHAR) return 0;
    // The keys and the characters they type share their codes: 0x0D, 0x20 and 0x1B.
    WPARAM key = message->wParam;
    if (key != VK_RETURN && key != VK_SPACE && key != VK_ESCAPE) return 0;
    if (message->lParam & (1L << 30)) return 1;
    return key == VK_RETURN && page == PAGE_COPY;
}

void ServeMessage(MSG *message)
{
    if (KeyMustNotPress(message, g_state.page) || IsDialogMessageW(g_state.dialog, message)) return;
    TranslateMessage(message);
    DispatchMessageW(message);
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
