// Switching the dialog between its views: which controls are shown, and which button is primary.
#ifndef SRC_UI_VIEW_H
#define SRC_UI_VIEW_H

#include <windows.h>

// What the view's primary button is: the default button, pressed by Return, or only the one
// with the keyboard focus, which Return does not press and which has no default look.
enum PrimaryRole { PRIMARY_DEFAULT, PRIMARY_FOCUS_ONLY };

// Shows the listed controls in list order, then hides every other control of the
// dialog in ascending id order. The picture is never touched. primaryId (0 for none) takes the
// keyboard focus, in the role given.
void ApplyView(HWND dialog, const int *shownIds, int shownCount, int primaryId, PrimaryRole role = PRIMARY_DEFAULT);

#endif
