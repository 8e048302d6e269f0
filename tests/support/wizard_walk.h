// Walking Setup.exe's wizard and the uninstaller from another process, as a user would.
#ifndef TESTS_SUPPORT_WIZARD_WALK_H
#define TESTS_SUPPORT_WIZARD_WALK_H

#include <windows.h>

#include <string>

enum { TYPE_FULL = 0, TYPE_STANDARD = 1, TYPE_MINIMAL = 2 };

// The installer's dialog once it shows, or NULL.
HWND WaitForInstaller(DWORD pid, DWORD timeoutMs = 60000);

// From the main menu through the type and folder pages to "実行"; returns once the copy page
// shows. folder is typed into the edit box, over the folder that the page proposed, which goes
// to proposedFolder when one is given.
bool WalkToCopy(HWND dialog, int type, const std::string &folder, std::string *proposedFolder = NULL);

// Whether the main menu came back within the time.
bool WaitForMainMenu(HWND dialog, DWORD timeoutMs = 60000);

// Starts the uninstaller the way its Start-menu shortcut does, says yes and returns the text of
// the closing message once the removal has ended ("" when something did not appear).
std::string UninstallFromShortcut(const std::string &shortcutFolder);

#endif
