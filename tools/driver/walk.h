// Walking Setup.exe's wizard from another process, as a user would.
#ifndef TOOLS_DRIVER_WALK_H
#define TOOLS_DRIVER_WALK_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The install types as the combo box lists them; TYPE_KEEP leaves the preselection.
enum { TYPE_KEEP = -1, TYPE_FULL = 0, TYPE_STANDARD = 1, TYPE_MINIMAL = 2 };

// The installer's dialog once it shows, or NULL.
HWND WaitForInstaller(DWORD pid, DWORD timeoutMs = 60000);

// Whether the page heading came to read text within a minute.
bool WaitForLabel(HWND dialog, const std::string &text);

// The controls that the dialog shows (the picture left out), in id order; whether they are the
// wizard page's (0 to 3), whatever texts they have, now or within a minute.
std::vector<int> ShownControls(HWND dialog);
bool ShowsPage(HWND dialog, int page);
bool WaitForPage(HWND dialog, int page);

// From the main menu through the type and folder pages to the confirmation page, each page known
// by the controls it shows; folder is typed
// into the edit box over the folder that the page proposed (which goes to proposedFolder when one
// is given), or the proposal is kept when folder is empty. atPage, when given, is called as each
// page shows, with its name ("install-type", "install-folder", "confirm"). WalkToCopy then presses
// 実行 and returns once the copy page shows, or the main menu is back after a copy too small to see.
bool WalkToConfirm(HWND dialog, int type, const std::string &folder, std::string *proposedFolder = NULL,
                   const std::function<void(const char *)> &atPage = nullptr);
bool WalkToCopy(HWND dialog, int type, const std::string &folder, std::string *proposedFolder = NULL);

// Whether the main menu came back within the time.
bool WaitForMainMenu(HWND dialog, DWORD timeoutMs = 60000);

#endif
