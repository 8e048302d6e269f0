// Walking Setup.exe's wizard and the uninstaller from another process, as a user would.
#ifndef TESTS_SUPPORT_WIZARD_WALK_H
#define TESTS_SUPPORT_WIZARD_WALK_H

#include <windows.h>

#include <string>

enum { TYPE_FULL = 0, TYPE_STANDARD = 1, TYPE_MINIMAL = 2 };

// The installer's dialog once it shows, or NULL.
HWND WaitForInstaller(DWORD pid, DWORD timeoutMs = 60000);

// From the main menu through the type and folder pages to the confirmation page; folder is typed
// into the edit box, over the folder that the page proposed, which goes to proposedFolder when one
// is given. WalkToCopy then presses "実行" and returns once the copy page shows.
bool WalkToConfirm(HWND dialog, int type, const std::string &folder, std::string *proposedFolder = NULL);
bool WalkToCopy(HWND dialog, int type, const std::string &folder, std::string *proposedFolder = NULL);

// Whether the main menu came back within the time.
bool WaitForMainMenu(HWND dialog, DWORD timeoutMs = 60000);

// Waits out the double-click time after a press, so that the next press is a click of its own.
void WaitPastDoubleClick();

// Lays what a rollback must remove besides the copied files: both keys (without "DIR", so that
// the installer still offers the install) and the shortcut folder with a shortcut in it, so that
// a rollback that forgets one of them is seen.
void LayRecordToTakeBack(const std::string &shortcutFolder);

// Starts the uninstaller program in workDir, says yes and returns the text of the closing message
// once the removal has ended ("" when something did not appear). UninstallFromShortcut starts it
// the way its Start-menu shortcut does.
std::string UninstallWith(const std::string &program, const std::string &workDir);
std::string UninstallFromShortcut(const std::string &shortcutFolder);

#endif
