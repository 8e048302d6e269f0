// Applies a view, given as the table of control ids it shows, to the installer dialog.
#include "view.h"

#include "../common/common.h"

void ApplyView(HWND dialog, const int *shownIds, int shownCount)
{
    for (int i = 0; i < shownCount; ++i) {
        ShowWindow(GetDlgItem(dialog, shownIds[i]), SW_SHOWNORMAL);
    }
    for (int id = IDC_BUTTON_INSTALL; id <= IDC_PROGRESS; ++id) {
        int shown = 0;
        for (int i = 0; i < shownCount && !shown; ++i) shown = shownIds[i] == id;
        if (!shown) ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    }
}
