// The wizard walk as the tests, the benchmark and the demo perform it.
#include "walk.h"

#include "../../res/resource.h"
#include "driver.h"

namespace {

const DWORD kTimeout = 60000;

// What each wizard page shows, as the installer's view tables say.
const std::vector<int> kPageViews[] = {
    {IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT, IDC_COMBO_TYPE},
    {IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT, IDC_EDIT_DIR, IDC_BUTTON_BROWSE},
    {IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT},
    {IDC_LABEL, IDC_BUTTON_NEXT, IDC_PROGRESS},
};

}  // namespace

HWND WaitForInstaller(DWORD pid, DWORD timeoutMs)
{
    // Known by its progress bar, so that a caption that does not read right is seen by the caller.
    return WaitForWindowWithChild(pid, "msctls_progress32", timeoutMs);
}

bool WaitForLabel(HWND dialog, const std::string &text)
{
    DWORD start = GetTickCount();
    while (ReadControl(dialog, IDC_LABEL).text != text) {
        if (GetTickCount() - start > kTimeout) return false;
        Sleep(10);
    }
    return true;
}

std::vector<int> ShownControls(HWND dialog)
{
    std::vector<int> shown;
    for (int id = IDC_BUTTON_INSTALL; id <= IDC_PROGRESS; ++id) {
        if (ReadControl(dialog, id).visible) shown.push_back(id);
    }
    return shown;
}

bool ShowsPage(HWND dialog, int page)
{
    return ShownControls(dialog) == kPageViews[page];
}

bool WaitForPage(HWND dialog, int page)
{
    DWORD start = GetTickCount();
    while (!ShowsPage(dialog, page)) {
        if (GetTickCount() - start > kTimeout) return false;
        Sleep(10);
    }
    return true;
}

bool WalkToConfirm(HWND dialog, int type, const std::string &folder, std::string *proposedFolder,
                   const std::function<void(const char *)> &atPage)
{
    Click(dialog, IDC_BUTTON_INSTALL);
    if (!WaitForPage(dialog, 0)) return false;
    if (atPage) atPage("install-type");
    if (type != TYPE_KEEP) SendMessageW(GetDlgItem(dialog, IDC_COMBO_TYPE), CB_SETCURSEL, type, 0);
    Click(dialog, IDC_BUTTON_NEXT);
    if (!WaitForPage(dialog, 1)) return false;
    if (atPage) atPage("install-folder");
    if (proposedFolder != NULL) *proposedFolder = ReadControl(dialog, IDC_EDIT_DIR).text;
    if (!folder.empty()) SendMessageA(GetDlgItem(dialog, IDC_EDIT_DIR), WM_SETTEXT, 0, (LPARAM)folder.c_str());
    Click(dialog, IDC_BUTTON_NEXT);
    if (!WaitForPage(dialog, 2)) return false;
    if (atPage) atPage("confirm");
    return true;
}

bool WalkToCopy(HWND dialog, int type, const std::string &folder, std::string *proposedFolder)
{
    if (!WalkToConfirm(dialog, type, folder, proposedFolder)) return false;
    Click(dialog, IDC_BUTTON_NEXT);
    // A small copy may be over, and the main menu back, before the copy page is ever seen.
    DWORD start = GetTickCount();
    while (!ShowsPage(dialog, 3) && !ReadControl(dialog, IDC_BUTTON_END).visible) {
        if (GetTickCount() - start > kTimeout) return false;
        Sleep(10);
    }
    return true;
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
