// The process-wide installer state and the small helpers every module shares.
#ifndef SRC_COMMON_COMMON_H
#define SRC_COMMON_COMMON_H

#include <windows.h>
#include <stddef.h>

#include "../../res/resource.h"

enum InstallPage {
    PAGE_INSTALL_TYPE = 0,
    PAGE_FOLDER = 1,
    PAGE_CONFIRM = 2,
    PAGE_COPY = 3
};

// Size of the install folder buffer, terminator included.
enum { INSTALL_DIR_SIZE = 512 };

// Picture slots: the still picture, the animation frames and the blank image.
enum { FRAME_SLOTS = IDB_FRAME_LAST - IDB_FRAME_FIRST + 1 };

struct InstallerState {
    HINSTANCE instance;
    HWND dialog;
    char brand[256];
    char title[256];
    char installDir[INSTALL_DIR_SIZE];
    char sourceRoot[8];
    char keyPath[1024];
    int isInstalled;
    int isCopying;
    int cancelRequested;
    int isRegistering;  // 1 while a completed copy is being registered
    int sessionEnded;   // 1 once the end of the session took the copy under way back
    // The highest folder the install run created (empty when it created none): a run that does
    // not complete removes the folders it made, from the install folder up to this one.
    char createdFolder[INSTALL_DIR_SIZE];
    // Message times of the last presses of 実行 and of 中止 (0 while there was none): the second
    // click of a double-click lands on the button that each of them put in its place.
    LONG runPressTime;
    LONG cancelPressTime;
    int page;
    int frameIndex;
    int lastFrame;
    int frameInterval;
    HBITMAP frames[FRAME_SLOTS];
    OSVERSIONINFOA osVersion;
    unsigned long long bytesTotal;
    unsigned long long bytesCopied;
};

extern InstallerState g_state;

// Formats into a fixed buffer; the text is always NUL-terminated within size.
// Returns 1 when the whole text fitted, 0 when it was cut or could not be formatted.
int FormatText(char *out, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Error box: caption "エラー", error icon, owned by owner (may be NULL).
void ShowError(HWND owner, const char *text);

// Question or information box: caption "確認"; style gives buttons and icon.
int AskUser(HWND owner, const char *text, UINT style);

// The error shown when the install record's folder is not of the form the install gives it:
// nothing is changed then. dir is the recorded folder, shown so that it can be checked.
void ReportDamagedRecord(const char *dir);

// Keeps DLLs that are loaded by name from being taken from the program's folder or the current
// folder: only the system folder is searched, where the system offers that (resolved at run
// time, so that older systems still start).
void RestrictDllSearch(void);

// Ends the installer dialog and posts the quit message that ends the message loop.
void CloseInstaller(void);

#endif
