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

// Size of a registry key path buffer, terminator included.
enum { KEY_PATH_SIZE = 1024 };

// Picture slots: the still picture, the animation frames and the blank image.
enum { FRAME_SLOTS = IDB_FRAME_LAST - IDB_FRAME_FIRST + 1 };

struct InstallerState {
    HINSTANCE instance;
    HWND dialog;
    char brand[256];
    char title[256];
    char installDir[INSTALL_DIR_SIZE];
    char sourceRoot[8];
    char keyPath[KEY_PATH_SIZE];
    int isInstalled;
    int isCopying;
    int cancelRequested;
    int isRegistering;  // 1 while a completed copy is being registered
    int sessionEnded;   // 1 once the end of the session took the copy under way back
    // The highest folder the install run created (empty when it created none): a run that does
    // not complete removes the folders it made, from the install folder up to this one.
    char createdFolder[INSTALL_DIR_SIZE];
    // Message time of the last press that changed the view, once there was one (viewPressSeen):
    // the second click of a double-click lands on whatever button that press put under the
    // pointer. Any time can be a press's, 0 too when the tick count wraps.
    DWORD viewPressTime;
    int viewPressSeen;
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

// The same for wide texts (size in characters); "%ls" takes a wide text.
int FormatWide(WCHAR *out, size_t size, const WCHAR *format, ...);

// The texts the program holds are code page 932, whatever the system's code page is. They reach
// the screen wide, turned into UTF-16 with that code page named, so that they read as written on
// every system; paths and names the system gives stay in the system's ANSI code page.
enum { TEXT_CODE_PAGE = 932 };

// text (code page 932) as UTF-16 in out (size characters, terminator included); a text that
// does not fit is cut at a whole character. Returns 1 when the whole text fitted.
int WideFromText(const char *text, WCHAR *out, int size);

// text (code page 932) where its one "%s" is replaced by arg (by default the system's ANSI code
// page, which may be UTF-8: a path or a name the system gave), as UTF-16 in out. Without arg the
// text stands alone. A text that does not fit is cut at a whole character of its code page;
// returns 1 when all of it fitted, 0 when it was cut or a part could not be converted.
int ComposeWide(WCHAR *out, int size, const char *text, const char *arg, UINT argCodePage = CP_ACP);

// The same with a wide arg: a name the system gives wide (a file found on the disk) reaches the
// screen whole, whatever the system's code page can hold.
int ComposeWide(WCHAR *out, int size, const char *text, const WCHAR *arg);

// Sets a window's text from a code page 932 text.
void SetWindowTextFrom932(HWND window, const char *text);

// Error box: caption "エラー", error icon, owned by owner (may be NULL). text is code page 932;
// where it holds "%s", arg takes its place (see ComposeWide).
void ShowError(HWND owner, const char *text, const char *arg = NULL);

// An error the user can act on: caption "エラー", error icon and the buttons given (MB_RETRYCANCEL,
// ...), owned by owner. Returns the button pressed. text and arg as for ShowError.
int AskAfterError(HWND owner, const char *text, UINT buttons, const char *arg = NULL);

// Question or information box: caption "確認"; style gives buttons and icon. text and arg as for
// ShowError.
int AskUser(HWND owner, const char *text, UINT style, const char *arg = NULL);
int AskUser(HWND owner, const char *text, UINT style, const WCHAR *arg);

// Keeps DLLs that are loaded by name from being taken from the program's folder or the current
// folder: only the system folder is searched, where the system offers that (resolved at run
// time, so that older systems still start).
void RestrictDllSearch(void);

// Ends the installer dialog and posts the quit message that ends the message loop.
void CloseInstaller(void);

#endif
