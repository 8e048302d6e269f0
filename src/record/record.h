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

// The mark an install run keeps in the product key while it has not completed, so that a start
// after the run was ended from outside (killed, a crash, a power cut) knows what to take back: the
// install folder, the highest folder the run made ("" for none) and the process that runs it, its
// id and start time. The completed install record replaces it. The run under way keeps its mark in
// slot 0, under these names; a mark that a start could not take back yet (its drive away) is moved
// by the next run to a free numbered slot, the same names with "_<n>" appended, so that no run's
// clean-up is ever written over.
static const char kRunMarkValue[] = "INSTALLING";
static const char kRunMarkMadeValue[] = "INSTALLING_MADE";
static const char kRunMarkOwnerValue[] = "INSTALLING_OWNER";
enum { MARK_SLOTS = 16 };

// The values the installer itself writes into each key of the record, in the order it writes them.
enum ProductValue { VALUE_BRAND, VALUE_TITLE, VALUE_DIR, VALUE_EXE, VALUE_UNINSTALL, PRODUCT_VALUES };
enum EntryValue {
    ENTRY_DISPLAY_NAME, ENTRY_UNINSTALL_STRING, ENTRY_PUBLISHER, ENTRY_DISPLAY_ICON, ENTRY_INSTALL_LOCATION,
    ENTRY_ESTIMATED_SIZE, ENTRY_NO_MODIFY, ENTRY_NO_REPAIR, ENTRY_VALUES
};
extern const char *const kProductValueNames[PRODUCT_VALUES];
extern const char *const kEntryValueNames[ENTRY_VALUES];

// The two keys of the install record below HKEY_LOCAL_MACHINE.
enum RecordKey { PRODUCT_KEY, UNINSTALL_ENTRY };

// SOFTWARE\<title> or SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<title>; 0 when it
// does not fit size.
int RecordKeyPath(RecordKey key, char *out, size_t size);

// Deletes one key of the record with all its values and subkeys. The product key keeps the marks of
// runs that are still to be taken back, and then itself stays with them.
void DeleteRecordKey(RecordKey key);

// Reads a string value into out (at least REG_TEXT_SIZE bytes). Returns 1 on success;
// on any failure returns 0 and leaves the empty string.
int RegReadString(HKEY root, const char *subKey, const char *valueName, char *out);

// Creates or opens subKey (with any missing keys above it) and sets a REG_SZ value.
// Returns 1 when the value was written, 0 otherwise.
int RegWriteString(HKEY root, const char *subKey, const char *valueName, const char *text);

// Sets a REG_DWORD value, creating subKey as RegWriteString does. Returns 1 when it was written.
int RegWriteNumber(HKEY root, const char *subKey, const char *valueName, DWORD number);

// Whether a string value holds exactly text (of any length a registry text may have).
int RegStringEquals(HKEY root, const char *subKey, const char *valueName, const char *text);

// Deletes subKeyName below parentPath with all its values and subkeys.
// Returns 1 when the parent was opened, 0 otherwise.
int RegDeleteSubKey(HKEY root, const char *parentPath, const char *subKeyName);

// Deletes one value of a key; 1 when it was there and is gone.
int RegDeleteValueOf(HKEY root, const char *subKey, const char *valueName);

// What the record's "DIR" says: nothing installed (missing or empty), an install folder, or a
// folder that is not of the install folder's form (<absolute>\<brand>\<title>\), which nothing
// may act on.
enum RecordState { RECORD_ABSENT, RECORD_VALID, RECORD_DAMAGED };

// The one reader of the record's folder: "DIR" into dir (REG_TEXT_SIZE bytes) and what it is.
RecordState ReadInstallFolder(char *dir);

// Writes the mark of a run of this process into slot 0: installDir, and highestMade, the highest
// folder the run made or is about to make ("" for none). Written before the first folder is made.
// Returns 0, with no part of the mark left, when it could not be written whole.
int WriteRunMark(const char *installDir, const char *highestMade);

// Moves a mark left in slot 0 by an earlier run to a free numbered slot, before a new run writes its
// own. Returns 0 when it could not be moved whole (every slot taken, or a write refused): the
// earlier mark then stays where it was.
int KeepEarlierRunMark(void);

// What a mark says: none (missing or empty); a run still under way, in this session or another,
// which nothing may touch; a folder that is not of the install folder's form, which names nothing
// to take back; or what a run ended from outside left, for the clean-up (which finds out itself
// whether the folder's drive is there).
enum RunMarkState { MARK_NONE, MARK_RUN_ALIVE, MARK_DAMAGED, MARK_LEFT_OVER };

struct RunMark {
    char installDir[REG_TEXT_SIZE];
    char highestMade[REG_TEXT_SIZE];  // "" when the run made no folder above the install folder's
};

// Reads the mark of one slot from the product key. highestMade is kept only where it is a whole
// leading part of the install folder below its volume's root.
RunMarkState ReadRunMark(int slot, RunMark *mark);

// Deletes the values of one slot's mark from the product key (productKey, its path).
void DeleteRunMark(const char *productKey, int slot);

// The machine-wide lock that the installer and the uninstaller hold while they run, in any session:
// taken; held by another process; or refused, its name taken by another user with rights that deny
// this one (or the machine-wide namespace denied), which proves nothing about a run.
enum MachineLock { LOCK_TAKEN, LOCK_HELD, LOCK_REFUSED };

// Takes the lock for the rest of the process (inheritable: for a copy that goes on with the work).
MachineLock TakeMachineLock(int inheritable);

// Whether "DIR" is set, whatever it holds. Sets and returns the state's isInstalled.
int ProductIsInstalled(void);

// After the refusal of a damaged record (dir is what it names), asks whether to forget it; yes
// deletes both keys and the shortcut folders, never an installed file. Returns 1 when forgotten.
int ForgetDamagedRecord(const char *dir);

// The longest path that a removal's look into a folder gives, terminator included: paths of one
// folder listing are built in buffers of this many characters, and longer ones are skipped.
enum { FOUND_PATH_SIZE = 256 };

// The files that a removal had to leave in place (read-only, in use), one path per line, wide as
// the system named them: a user's own file may have a name the system's code page cannot hold.
struct RemovalLeftovers {
    WCHAR paths[4096];
    int count;  // may exceed the lines that fit into paths
};

// What one removal takes away, in this order: the files of the install folder (the names
// given, or every plain file), the shortcut folders, the file kept to the last, the install
// folder and the folders above it up to highestMade (each only while it is empty), and last the
// record. Each step runs only while no file has stayed, so that a removal that could not finish
// keeps what it takes to be run again. Nothing at all is done while the install folder's drive is
// away, and the record stays where the drive went away during the removal.
enum { REMOVE_RECORD = -1 };
struct Removal {
    const char *installDir;    // acted on only when of the install folder's form; may be ""
    const char *const *names;  // the files to remove; NULL: every plain file of the folder
    int nameCount;
    const char *keepToLast;    // a file of the folder that goes after the shortcuts, or NULL
    const char *highestMade;   // "" when no folder above the install folder may go
    int mark;                  // REMOVE_RECORD: both keys whole; else the slot of a run's mark that
                               // goes, and each key only when nothing of value is left in it
    int recordStands;          // a completed install's record and shortcuts stay whatever the mark
    RemovalLeftovers *leftovers;  // what stayed; may be NULL
};

enum RemovalResult { REMOVAL_LEFT_FILES = 0, REMOVAL_DONE = 1, REMOVAL_DRIVE_AWAY = 2 };
RemovalResult RemoveInstallation(const Removal *removal);

// Deletes the plain files of folder (ending with a backslash) but the one named keep, noting in
// leftovers (if not NULL) every file that stays, then the folder if it is empty. Returns 0 when
// the folder cannot be listed.
int DeleteFolderFiles(const char *folder, RemovalLeftovers *leftovers = NULL, const char *keep = NULL);

// The path of the first plain file of folder, but the one named skip, that a running program
// holds, wide as the system named it, into path (size characters). Returns 0 when there is none.
int FindFileInUse(const char *folder, const char *skip, WCHAR *path, size_t size);

// <special folder>\<title>\ for CSIDL_PROGRAMS or CSIDL_COMMON_PROGRAMS, wide; 0 when the platform
// cannot name the special folder or the path does not fit, so that nothing is built from stale bytes.
int ShortcutFolderPath(int csidl, WCHAR *folder, size_t size);

// Writes a shortcut at linkPath to target (a path in the system's code page), with the install
// folder as working folder. Returns 1 when the link was saved.
int CreateShortcut(const char *target, const WCHAR *linkPath);

// The shortcut named by the string linkNameId, in the user's shortcut folder (made first when
// makeFolder is 1), to <installDir><program>. Returns 1 when it was written.
int WriteProductShortcut(UINT linkNameId, const char *program, int makeFolder);

// Start the registered game or uninstaller, then close the installer. Only a program directly
// inside a valid recorded install folder is started; one that is not, or that fails to start, is
// reported in an error box and the installer stays. A start the user declines at the system's
// elevation prompt is the user's choice: nothing is said and the installer stays too. Each returns
// 1 when the program was started.
int LaunchGame(void);
int LaunchUninstaller(void);

// What became of a start through the shell: the program runs; the user declined the elevation
// prompt; or the start failed, which the installer says.
enum LaunchOutcome { LAUNCH_STARTED, LAUNCH_DECLINED, LAUNCH_FAILED };

// The outcome from the shell's answer (nonzero: started) and, after a failure, GetLastError().
LaunchOutcome LaunchOutcomeOf(int executed, DWORD error);

#endif
