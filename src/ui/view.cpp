// Applies a view, given as the table of control ids it shows, to the installer dialog.
#include "view.h"

#include "../common/common.h"

void ApplyView(HWND dialog, const int *shownIds, int shownCount, int primaryId, PrimaryRole role)
{
    for (int i = 0; i < shownCount; ++i) {
        ShowWindow(GetDlgItem(dialog, shownIds[i]), SW_SHOWNORMAL);
    }
    for (int id = IDC_BUTTON_INSTALL; id <= IDC_PROGRESS; ++id) {
        int shown = 0;
        for (int i = 0; i < shownCount && !shown; ++i) shown = shownIds[i] == id;
        if (!shown) ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    }
    if (primaryId == 0) return;
    // The focus goes through the dialog manager, so that the button that had the default
    // look before loses it; a hidden control that kept the focus would leave the keyboard
    // with nothing to act on. Without a default id no button, hidden or shown, is the default.
    SendMessageW(dialog, DM_SETDEFID, role == PRIMARY_DEFAULT ? (WPARAM)primaryId : 0, 0);
    SendMessageW(dialog, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dialog, primaryId), TRUE);
    // The dialog manager gives a push button that takes the focus the default look.
    if (role == PRIMARY_FOCUS_ONLY) SendDlgItemMessageW(dialog, primaryId, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
}
