// The wizard's page views (install type, folder, confirmation, copy) and the folder picker.
#include "ui.h"

#include <shlobj.h>

#include "../common/common.h"
#include "../common/path.h"
#include "../install/install.h"
#include "../record/record.h"
#include "view.h"

static const int kTypePageView[] = {IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT, IDC_COMBO_TYPE};
static const int kFolderPageView[] = {IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT, IDC_EDIT_DIR,
                                      IDC_BUTTON_BROWSE};
static const int kConfirmPageView[] = {IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT};
static const int kCopyPageView[] = {IDC_LABEL, IDC_BUTTON_NEXT, IDC_PROGRESS};

#define VIEW(table) table, (int)(sizeof(table) / sizeof(table[0]))

static const char kFolderOutsideCodePage[] =
    "このフォルダはこのシステムの文字コードで表せないため、インストール先に指定できません";

static void SetText(HWND dialog, int controlId, const char *text)
{
    SetWindowTextFrom932(GetDlgItem(dialog, controlId), text);
}

static void SetNavigationTexts(HWND dialog, const char *nextText)
{
    SetText(dialog, IDC_BUTTON_BACK, "戻る");
    SetText(dialog, IDC_BUTTON_NEXT, nextText);
}

// The install types are added once per process; the user's choice then survives every visit.
static void FillInstallTypes(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, IDC_COMBO_TYPE);
    if (SendMessageW(combo, CB_GETCOUNT, 0, 0) != 0) return;
    static const UINT kTypes[] = {IDS_TYPE_FULL, IDS_TYPE_STANDARD, IDS_TYPE_MINIMAL};
    for (UINT id : kTypes) {
        WCHAR text[1024];
        if (LoadStringW(g_state.instance, id, text, sizeof(text) / sizeof(text[0])) <= 0) text[0] = L'\0';
        SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)text);
    }
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
}

// The Documents folder from version 6 on, else the program-files folder; "C:" when the
// platform cannot say. A Documents folder that the system's code page cannot name exactly
// (C:\users\Zoë\Documents under 932) is not proposed as a look-alike (Zoe), which would be
// another folder: the program-files folder is proposed instead.
static void ProposeDefaultFolder(void)
{
    char folder[1024];
    if ((g_state.osVersion.dwMajorVersion < 6 || !SpecialFolderAnsi(CSIDL_PERSONAL, folder, sizeof(folder))) &&
        !RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                       folder)) {
        FormatText(folder, sizeof(folder), "%s", "C:");
    }
    FormatText(g_state.installDir, INSTALL_DIR_SIZE, "%s", folder);
}

int ShowWizardPage(HWND dialog)
{
    switch (g_state.page) {
    case PAGE_INSTALL_TYPE:
        ApplyView(dialog, VIEW(kTypePageView), IDC_BUTTON_NEXT);
        SetText(dialog, IDC_LABEL, "インストール方法の選択");
        FillInstallTypes(dialog);
        SetNavigationTexts(dialog, "次へ");
        return 1;
    case PAGE_FOLDER:
        ApplyView(dialog, VIEW(kFolderPageView), IDC_BUTTON_NEXT);
        SetText(dialog, IDC_LABEL, "インストールフォルダの選択");
        if (g_state.installDir[0] == '\0') ProposeDefaultFolder();
        SetWindowTextA(GetDlgItem(dialog, IDC_EDIT_DIR), g_state.installDir);  // a path: the ANSI code page
        SetNavigationTexts(dialog, "次へ");
        return 1;
    case PAGE_CONFIRM:
        ApplyView(dialog, VIEW(kConfirmPageView), IDC_BUTTON_NEXT);
        SetText(dialog, IDC_LABEL, "インストールを実行します");
        SetNavigationTexts(dialog, "実行");
        return 1;
    case PAGE_COPY:
        // 中止 has the focus, so that Space cancels, but Return does not press it.
        ApplyView(dialog, VIEW(kCopyPageView), IDC_BUTTON_NEXT, PRIMARY_FOCUS_ONLY);
        return RunInstall(dialog);
    default:
        return 1;
    }
}

static int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM lParam, LPARAM lpData)
{
    (void)lParam;
    (void)lpData;
    if (message == BFFM_INITIALIZED) {
        WCHAR folder[INSTALL_DIR_SIZE];
        if (MultiByteToWideChar(CP_ACP, 0, g_state.installDir, -1, folder, INSTALL_DIR_SIZE) > 0) {
            SendMessageW(window, BFFM_SETSELECTIONW, TRUE, (LPARAM)folder);
        }
    }
    return 0;
}

int BrowseForInstallFolder(HWND owner, char *path)
{
    BROWSEINFOW info;
    ZeroMemory(&info, sizeof(info));
    info.hwndOwner = owner;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    LPITEMIDLIST item = SHBrowseForFolderW(&info);
    if (item == NULL) return 0;

    // The path is taken into a buffer of its own, so a failed lookup leaves path as it was.
    WCHAR wide[MAX_PATH];
    wide[0] = L'\0';
    BOOL found = SHGetPathFromIDListW(item, wide);
    CoTaskMemFree(item);
    if (!found || wide[0] == L'\0') return 0;
    // Paths are kept in the system's code page: a folder it cannot name exactly would become
    // another folder (a look-alike or question marks), so it is refused, saying why.
    char picked[MAX_PATH * 2];
    if (!AnsiFromWidePath(wide, picked, sizeof(picked))) {
        ShowError(owner, kFolderOutsideCodePage);
        return 0;
    }

    if (lstrlenA(picked) > 3) {
        FormatText(path, INSTALL_DIR_SIZE, "%s\\", picked);
    } else {
        FormatText(path, INSTALL_DIR_SIZE, "%s", picked);  // a drive root keeps its form
    }
    return 1;
}
