// The rollback's leftovers laid and the uninstall as the tests perform it.
#include "wizard_walk.h"

#include "../../tools/driver/driver.h"
#include "files.h"
#include "registry_probe.h"
#include "shortcut_probe.h"

namespace {

const DWORD kTimeout = 60000;

}  // namespace

void LayRecordToTakeBack(const std::string &shortcutFolder)
{
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "BLAND", "kestrelix");
    SetRawString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "Velvet Tinkers");
    CreateDirectoryA(shortcutFolder.c_str(), NULL);
    MakeFile(shortcutFolder + "\\Velvet Tinkers.lnk");
}

std::string UninstallFromShortcut(const std::string &shortcutFolder)
{
    Shortcut shortcut = ReadShortcut(shortcutFolder, "アンインストール.lnk");
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
