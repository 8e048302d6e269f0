// Starts programs of the prefix and reads and drives their windows from another process, as a
// user would: the tests, the benchmark's driver and the demo's walk share it.
#ifndef TOOLS_DRIVER_DRIVER_H
#define TOOLS_DRIVER_DRIVER_H

#include <windows.h>

#include <string>
#include <vector>

struct Program {
    HANDLE process = NULL;
    DWORD pid = 0;
};

// Starts path with arguments in workDir; with inheritHandles the program inherits this one's
// inheritable handles (a handle named on its command line).
bool StartProgram(const std::string &path, Program *program, const std::string &workDir = "",
                  const std::string &arguments = "", bool inheritHandles = false);

// The exit code, or -1 when the program still runs after timeoutMs.
long WaitForExit(Program &program, DWORD timeoutMs);

// Ends the program if it still runs and releases its handle.
void EndProgram(Program &program);

// Visible top-level windows of a process (of every process for pid 0).
std::vector<HWND> VisibleWindows(DWORD pid);

// The first visible dialog-class window of pid whose caption is caption, looked up once or waited
// for (NULL after timeoutMs). Captions are read without a message to the program, so a program
// busy inside a long job is found all the same.
HWND FindDialog(DWORD pid, const std::string &caption);
HWND WaitForWindow(DWORD pid, const std::string &caption, DWORD timeoutMs);

// Texts are read as UTF-16, as the user sees them, and handed over in code page 932, the code page
// of the texts that the callers compare them with, whatever the system's code page is. A
// character that code page lacks comes as '?', never as a look-alike.
std::string TextFrom932Wide(const WCHAR *wide);
std::string WindowText(HWND window);

struct ControlState {
    bool exists;
    bool visible;  // its own WS_VISIBLE flag
    bool enabled;
    std::string text;
};
ControlState ReadControl(HWND dialog, int id);

// The items of a combo box in list order.
std::vector<std::string> ComboItems(HWND combo);

// The first visible top-level window of pid that has a child of the given class; NULL after timeoutMs.
HWND WaitForWindowWithChild(DWORD pid, const char *childClass, DWORD timeoutMs);

// Presses a button the way a click does, without waiting for what the click starts. It is a click
// of its own: it comes no sooner than the double-click time after the previous click or key, as
// a user's next deliberate click does (the installer takes a quicker one for the second click of
// a double-click).
void Click(HWND dialog, int id);

// Waits out what is left of the double-click time after the last click or key.
void WaitPastDoubleClick();

// A double-click with the mouse at the middle of the button, as a user makes it: the second click
// comes a moment after the first, onto whatever is under the pointer by then. The first click is a
// click of its own, as for Click.
void DoubleClick(HWND dialog, int id);

// Keys as the keyboard gives them (SendInput): they reach the window that has the keyboard focus
// in the foreground window, so the window is brought there first. A key, like a click, comes no
// sooner than the double-click time after the previous click or key.
bool BringToFront(HWND window);
void PressKey(WORD key, bool shift = false);
// The control id that has the keyboard focus in window's thread, 0 when none has.
int FocusedControlId(HWND window);

// A message box of pid (of any process for pid 0) whatever its caption, its text, and the press of
// one of its buttons (IDOK, IDRETRY, ...); the press returns once the box has gone.
HWND WaitForMessageBox(DWORD pid, DWORD timeoutMs);
std::string MessageBoxText(HWND box);
bool HasButton(HWND box, int buttonId);
void AnswerMessageBox(HWND box, int buttonId);

// Answers, on a thread of its own, every message box that a process shows with OK (or the
// only button there is) and keeps their captions and texts.
class MessageBoxWatch {
public:
    explicit MessageBoxWatch(DWORD pid = GetCurrentProcessId());
    ~MessageBoxWatch();
    // Waits until count boxes have been answered or timeoutMs passed; returns the texts.
    std::vector<std::string> Texts(size_t count = 0, DWORD timeoutMs = 0);
    std::vector<std::string> Captions();

private:
    static DWORD WINAPI Run(LPVOID self);
    DWORD pid_;
    HANDLE thread_;
    volatile LONG stop_;
    CRITICAL_SECTION lock_;
    std::vector<std::string> texts_;
    std::vector<std::string> captions_;
};

#endif
