// The installer's state and dialog set up inside a test program that carries the resources.
#ifndef TESTS_SUPPORT_INSTALLER_STATE_H
#define TESTS_SUPPORT_INSTALLER_STATE_H

#include <windows.h>

// Fills the state from this program's own resources, as the installer does at start.
void PrepareInstallerState();

// Creates the installer dialog (not shown) and keeps it as the state's dialog.
HWND CreateInstallerDialog();

// Sends a command to the dialog as a click of its own, long after the press that changed the view
// (the dialog takes a quicker one for the second click of a double-click).
void Press(WPARAM command);

// The id of the dialog's default button, the one Return presses.
int PrimaryButton();

// Destroys the dialog and drops every message left for this thread, a posted quit included.
void DestroyInstallerDialog();

// Removes WM_QUIT from the queue and says whether one was there.
bool TakeQuitMessage();

#endif
