// The installer dialog as other modules call it: its procedure, main menu and wizard pages.
#ifndef SRC_UI_UI_H
#define SRC_UI_UI_H

#include <windows.h>

// Makes the common-control window classes of the dialog template (the progress bar)
// available, loading the control library from the system folder. Returns 1 on success.
int LoadCommonControls(void);

INT_PTR CALLBACK InstallDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Puts the dialog into its main menu view and resets the wizard and install-run state.
void ShowMainMenu(HWND dialog);

// Shows the wizard page that the state's page names; page 3 runs the install.
int ShowWizardPage(HWND dialog);

// Lets the user pick a folder; on success stores it in path (INSTALL_DIR_SIZE bytes), with a
// trailing backslash unless it is a drive root, and returns 1.
int BrowseForInstallFolder(HWND owner, char *path);

// Serves one message taken from the thread's queue: the dialog's keyboard handling (Tab, the
// arrows, Return, Space, Escape), where a key held down presses once, then the window it is for.
// The main message loop and the copy's pump both serve through it.
void ServeMessage(MSG *message);

// Whether a key message of the thread's queue must not reach the dialog manager, which turns
// Return, Space and Escape into presses: a repeat of a key held down, and Return while page is the
// copy page.
int KeyMustNotPress(const MSG *message, int page);

// Whether a press at message time press is the second click of a double-click whose first click
// came at firstPress: less than doubleClickTime milliseconds after it. Message times are ticks
// that wrap at 2^32; the difference is taken unsigned, so it stays right across the wrap.
int IsSecondClick(DWORD firstPress, DWORD press, UINT doubleClickTime);

#endif
