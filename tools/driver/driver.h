// Starts programs of the prefix and reads and drives their windows from the test process.
#ifndef TESTS_SUPPORT_DRIVER_H
#define TESTS_SUPPORT_DRIVER_H

#include <windows.h>

#include <string>
#include <vector>

struct Program {
    HANDLE process = NULL;
    DWORD pid = 0;
};

// Path of the built installer, as a Windows path.
std::string SetupExePath();

// Path of a program built beside the tests (launch_probe.exe, ...), as a Windows path.
std::string TestProgramPath(const std::string &fileName);

bool StartProgram(const std::string &path, Program *program, const std::string &workDir = "",
                  const std::string &arguments = "");

// The exit code, or -1 when the program still runs after timeoutMs.
long WaitForExit(Program &program, DWORD timeoutMs);

// Ends the program if it still runs and releases its handle.
void EndProgram(Program &program);

// Visible top-level windows of a process (of every process for pid 0).
std::vector<HWND> VisibleWindows(DWORD pid);

// The first visible dialog-class window of pid whose caption is caption; NULL after timeoutMs.
HWND WaitForWindow(DWORD pid, const std::string &caption, DWORD timeoutMs);

std::string WindowText(HWND window);

struct ControlState {
    bool exists;
    bool visible;  // its own WS_VISIBLE flag
    bool enabled;
    std::string text;
};
ControlState ReadControl(HWND dialog, int id);

// The first visible top-level window of pid that has a child of the given class; NULL after timeoutMs.
HWND WaitForWindowWithChild(DWORD pid, const char *childClass, DWORD timeoutMs);

// Presses a button the way a click does, without waiting for what the click starts.
void Click(HWND dialog, int id);

// A double-click with the mouse at the middle of the button, as a user makes it: the second click
// comes a moment after the first, onto whatever is under the pointer by then.
void DoubleClick(HWND dialog, int id);

// The text of a message box and the press of one of its buttons (IDOK, IDRETRY, ...); the press
// returns once the box has gone.
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
