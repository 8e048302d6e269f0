// The install engine as other modules call it: the install run and the registration after it.
#ifndef SRC_INSTALL_INSTALL_H
#define SRC_INSTALL_INSTALL_H

#include <windows.h>

// Composes the install folder from the edit box, checks and copies the chosen type's files,
// then registers the installation. Returns 1 when completed or cancelled, 0 after an error.
int RunInstall(HWND dialog);

// Takes back an install run that does not complete: closes the copy's files, removes what was
// copied, the shortcut folders, the folders the run made while they are empty, and the run's mark
// with each key of the record that holds nothing of value.
void RollBackInstallRun(void);

// At every start: takes back what runs that were ended from outside (killed, a crash, a power cut)
// left, as their marks in the product key name them. A mark whose drive is away stays for a later
// start; a completed install's record and shortcuts stay whatever a mark names. Returns 0, touching
// nothing, when a mark's run is still under way (in another session, or an owner this user may not
// look at): this start must not go on beside it.
int CleanUpInterruptedRuns(void);

// Turns a completed copy into an installation: the two Start-menu shortcuts and the install
// record, then the main menu. Returns 1.
int RegisterInstallation(HWND dialog);

#endif
