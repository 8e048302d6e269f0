// Startup pieces that WinMain calls: the disc locator and the re-registration mode.
#ifndef SRC_APP_APP_H
#define SRC_APP_APP_H

// The label that the install disc's volume name begins with.
#define INSTALL_DISC_LABEL "VELVETTINKERS"

// Looks through A: to Y: for the first fixed or CD-ROM drive with a readable root whose
// display name begins with labelPrefix. On success writes its root ("Q:\") into root
// (at least 4 bytes) and returns 1; returns 0 when no drive matches.
int FindInstallDisc(char *root, const char *labelPrefix);

// Creates the installer dialog and pumps messages until it posts its quit message.
// Returns 1 after the quit message, 0 when the dialog could not be created (reported).
int RunInstallerDialog(void);

// The run of the program on a machine where the product is installed in dir (a valid install
// folder, as the record reader gave it).
int ReregisterUninstaller(const char *dir);

#endif
