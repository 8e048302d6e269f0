// Switching the dialog between its views: which controls are shown.
#ifndef SRC_UI_VIEW_H
#define SRC_UI_VIEW_H

#include <windows.h>

// Shows the listed controls in list order, then hides every other control of the
// dialog in ascending id order. The picture is never touched.
void ApplyView(HWND dialog, const int *shownIds, int shownCount);

#endif
