// Install record access, removal, launching and the shortcut writer, as other modules call them.
#ifndef SRC_RECORD_RECORD_H
#define SRC_RECORD_RECORD_H

#include <windows.h>
#include <stddef.h>

#include "registry_text.h"

// The uninstall entry's "UninstallString" is the uninstaller's path in quotes: the platform runs
// it as a command line, where an unquoted path with blanks would start a program planted at its
// first blank instead.
static const char kUninstallCommandFormat[] = "\"%s\"";

// Reads a string value into out (at least REG_TEXT_SIZE bytes). Returns 1 on success;
// on any failure returns 0 and leaves the empty string.
int RegReadString(HKEY root, const char *subKey, const char *valueName, char *out);

// Creates or opens subKey (with any missing keys above it) and sets a REG_SZ value.
// Returns 1 when the key was opened or created, 0 otherwise.
int RegWriteString(HKEY root, const char *subKey, const char *valueName, const char *text);

// Sets a REG_DWORD value, creating subKey as RegWriteString does. Returns 1 when the key was
// opened or created.
int RegWriteNumber(HKEY root, const char *subKey, const char *valueName, DWORD number);

// Whether a string value holds exactly text (of any length a registry text may have).
int RegStringEquals(HKEY root, const char *subKey, const char *valueName, const char *text);

// Deletes subKeyName below parentPath with all its values and subkeys.
// Returns 1 when the parent was opened, 0 otherwise.
int RegDeleteSubKey(HKEY root, const char *parentPath, const char *subKeyName);

// The files that a removal had to leave in place (read-only, in use), one path per line.
struct RemovalLeftovers {
    char paths[4096];
    int count;  // may exceed the lines that fit into paths
};

// Reads the install record's "DIR": the product is installed exactly when it is not empty.
// Sets and returns the state's isInstalled.
int ProductIsInstalled(void);

// <special folder>\<title>\ for CSIDL_PROGRAMS or CSIDL_COMMON_PROGRAMS; 0 when the platform
// cannot name the special folder or the path does not fit, so that nothing is built from stale bytes.
int ShortcutFolderPath(int csidl, char *folder, size_t size);

// Removes a (partial) installation: the files of installDir, the shortcut folders, both keys.
// The files are removed only from a folder of the install folder's form (<absolute>\<brand>\<title>\).
int RemoveInstallation(const char *installDir);

// The parts of a removal: the shortcut folders with their files, and both keys of the record.
void RemoveShortcutFolders(RemovalLeftovers *leftovers);
void DeleteInstallRecord(void);

// Deletes the plain files of folder (ending with a backslash) but the one named keep, noting in
// leftovers (if not NULL) every file that stays, then the folder if it is empty. Returns 0 when
// the folder cannot be listed.
int DeleteFolderFiles(const char *folder, RemovalLeftovers *leftovers = NULL, const char *keep = NULL);

// The path of the first plain file of folder, but the one named skip, that a running program
// holds (it cannot be opened for deletion). Returns 0 when there is none.
int FindFileInUse(const char *folder, const char *skip, char *path, size_t size);

// Removes the folders above folder, from the one that holds it up to highest (both ending with a
// backslash, highest a leading part of folder), each only while it is empty.
void RemoveEmptyFoldersAbove(const char *folder, const char *highest);

// Writes a shortcut at linkPath to target, with the install folder as working folder.
// Returns 1; a link path beyond MAX_PATH - 1 characters writes nothing.
int CreateShortcut(const char *target, const char *linkPath);

// Start the registered game or uninstaller, then close the installer.
void LaunchGame(void);
int LaunchUninstaller(void);

#endif
