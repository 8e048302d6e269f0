// Switching the dialog between its views: which controls are shown, and which button is primary.
#ifndef SRC_UI_VIEW_H
#define SRC_UI_VIEW_H

#include <windows.h>

// Shows the listed controls in list order, then hides every other control of the
// dialog in ascending id order. The picture is never touched. primaryId (0 for none) becomes
// the default button, pressed by Return, and takes the keyboard focus.
void ApplyView(HWND dialog, const int *shownIds, int shownCount, int primaryId);

#endif
