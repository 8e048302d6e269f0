// The wizard walk and the uninstall as the test driver performs them.
#include "wizard_walk.h"

#include "../../res/resource.h"
#include "driver.h"
#include "files.h"
#include "registry_probe.h"
#include "shortcut_probe.h"

namespace {

const DWORD kTimeout = 60000;

bool WaitForLabel(HWND dialog, const std::string &text)
{
    DWORD start = GetTickCount();
    while (ReadControl(dialog, IDC_LABEL).text != text) {
        if (GetTickCount() - start > kTimeout) return false;
        Sleep(10);
    }
    return true;
}

}  // namespace

HWND WaitForInstaller(DWORD pid, DWORD timeoutMs)
{
    return WaitForWindow(pid, "Velvet Tinkers インストーラ", timeoutMs);
}

bool WalkToConfirm(HWND dialog, int type, const std::string &folder, std::string *proposedFolder)
{
    Click(dialog, IDC_BUTTON_INSTALL);
    if (!WaitForLabel(dialog, "インストール方法の選択")) return false;
    SendMessageA(GetDlgItem(dialog, IDC_COMBO_TYPE), CB_SETCURSEL, type, 0);
    Click(dialog, IDC_BUTTON_NEXT);
    if (!WaitForLabel(dialog, "インストールフォルダの選択")) return false;
    if (proposedFolder != NULL) *proposedFolder = ReadControl(dialog, IDC_EDIT_DIR).text;
    SendMessageA(GetDlgItem(dialog, IDC_EDIT_DIR), WM_SETTEXT, 0, (LPARAM)folder.c_str());
    Click(dialog, IDC_BUTTON_NEXT);
    return WaitForLabel(dialog, "インストールを実行します");
}

bool WalkToCopy(HWND dialog, int type, const std::string &folder, std::string *proposedFolder)
{
    if (!WalkToConfirm(dialog, type, folder, proposedFolder)) return false;
    Click(dialog, IDC_BUTTON_NEXT);
    return WaitForLabel(dialog, "インストール中...");
}

bool WaitForMainMenu(HWND dialog, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!ReadControl(dialog, IDC_BUTTON_END).visible) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

void WaitPastDoubleClick()
{
    Sleep(GetDoubleClickTime() + 100);
}

void LayRecordToTakeBack(const std::string &shortcutFolder)
{
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "BLAND", "kestrelix");
    SetRawString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "Velvet Tinkers");
    CreateDirectoryA(shortcutFolder.c_str(), NULL);
    MakeFile(shortcutFolder + "\\Velvet Tinkers.lnk");
}

std::string UninstallFromShortcut(const std::string &shortcutFolder)
{
    Shortcut shortcut = ReadShortcut(shortcutFolder + "アンインストール.lnk");
    return shortcut.loaded ? UninstallWith(shortcut.target, shortcut.workingFolder) : "";
}

std::string UninstallWith(const std::string &program, const std::string &workDir)
{
    Program uninstaller;
    if (!StartProgram(program, &uninstaller, workDir)) return "";
    HWND question = WaitForWindow(uninstaller.pid, "確認", kTimeout);
    std::string said;
    if (question != NULL) {
        AnswerMessageBox(question, IDYES);
        // The program in the install folder hands over to its temporary copy and ends.
        WaitForExit(uninstaller, kTimeout);
        HWND done = WaitForWindow(0, "確認", kTimeout);
        if (done != NULL) {
            said = MessageBoxText(done);
            DWORD pid = 0;
            GetWindowThreadProcessId(done, &pid);
            AnswerMessageBox(done, IDOK);
            HANDLE copy = OpenProcess(SYNCHRONIZE, FALSE, pid);
            if (copy != NULL) {
                WaitForSingleObject(copy, kTimeout);
                CloseHandle(copy);
            }
        }
    }
    EndProgram(uninstaller);
    return said;
}
