// The driver: process start and end, window search, texts read wide, button and key presses.
#include "driver.h"

namespace {

// When the last click or key was given: the next click waits out the double-click time after it.
DWORD g_lastPress = GetTickCount() - 60000;

struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectVisible(HWND window, LPARAM context)
{
    WindowSearch *search = reinterpret_cast<WindowSearch *>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if ((search->pid == 0 || pid == search->pid) && IsWindowVisible(window)) search->found.push_back(window);
    return TRUE;
}

}  // namespace

bool StartProgram(const std::string &path, Program *program, const std::string &workDir,
                  const std::string &arguments, bool inheritHandles)
{
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof(info));
    std::string commandLine = "\"" + path + "\"" + (arguments.empty() ? "" : " " + arguments);
    if (!CreateProcessA(path.c_str(), &commandLine[0], NULL, NULL, inheritHandles, 0, NULL,
                        workDir.empty() ? NULL : workDir.c_str(), &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    program->process = info.hProcess;
    program->pid = info.dwProcessId;
    return true;
}

long WaitForExit(Program &program, DWORD timeoutMs)
{
    if (program.process == NULL) return -1;
    if (WaitForSingleObject(program.process, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(program.process, &code);
    return (long)code;
}

void EndProgram(Program &program)
{
    if (program.process == NULL) return;
    if (WaitForSingleObject(program.process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(program.process, 99);
        WaitForSingleObject(program.process, 10000);
    }
    CloseHandle(program.process);
    program.process = NULL;
    program.pid = 0;
}

std::vector<HWND> VisibleWindows(DWORD pid)
{
    WindowSearch search;
    search.pid = pid;
    EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string TextFrom932Wide(const WCHAR *wide)
{
    char text[4096];
    int written = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide, -1, text, sizeof(text), NULL, NULL);
    return written > 0 ? std::string(text, written - 1) : std::string();
}

std::string WindowText(HWND window)
{
    // Sent to the window itself: an edit box of another process answers only that way.
    WCHAR text[1024] = L"";
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, sizeof(text) / sizeof(text[0]), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    text[sizeof(text) / sizeof(text[0]) - 1] = L'\0';
    return TextFrom932Wide(text);
}

HWND FindDialog(DWORD pid, const std::string &caption)
{
    for (HWND window : VisibleWindows(pid)) {
        WCHAR className[64] = L"";
        WCHAR text[256] = L"";
        GetClassNameW(window, className, 64);
        GetWindowTextW(window, text, 256);  // another process's caption: no message is sent
        if (lstrcmpW(className, L"#32770") == 0 && TextFrom932Wide(text) == caption) return window;
    }
    return NULL;
}

HWND WaitForWindow(DWORD pid, const std::string &caption, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        HWND window = FindDialog(pid, caption);
        if (window != NULL) return window;
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return NULL;
}

HWND WaitForWindowWithChild(DWORD pid, const char *childClass, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        for (HWND window : VisibleWindows(pid)) {
            if (FindWindowExA(window, NULL, childClass, NULL) != NULL) return window;
        }
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return NULL;
}

ControlState ReadControl(HWND dialog, int id)
{
    ControlState state = {false, false, false, ""};
    HWND control = GetDlgItem(dialog, id);
    if (control == NULL) return state;
    state.exists = true;
    state.visible = (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
    state.enabled = IsWindowEnabled(control) != FALSE;
    state.text = WindowText(control);
    return state;
}

std::vector<std::string> ComboItems(HWND combo)
{
    std::vector<std::string> items;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        WCHAR item[1024] = L"";
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 1024) SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)item);
        items.push_back(TextFrom932Wide(item));
    }
    return items;
}

void WaitPastDoubleClick()
{
    // A little beyond the time, as the installer measures it from the messages' own times.
    DWORD wanted = GetDoubleClickTime() + 20;
    DWORD since = GetTickCount() - g_lastPress;
    if (since < wanted) Sleep(wanted - since);
}

void Click(HWND dialog, int id)
{
    WaitPastDoubleClick();
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    g_lastPress = GetTickCount();
}

void DoubleClick(HWND dialog, int id)
{
    WaitPastDoubleClick();
    RECT button;
    GetWindowRect(GetDlgItem(dialog, id), &button);
    SetCursorPos((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    for (int click = 0; click < 2; ++click) {
        INPUT press[2] = {};
        press[0].type = press[1].type = INPUT_MOUSE;
        press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, press, sizeof(INPUT));
        if (click == 0) Sleep(GetDoubleClickTime() / 4);
    }
    g_lastPress = GetTickCount();
}

bool BringToFront(HWND window)
{
    DWORD start = GetTickCount();
    while (GetForegroundWindow() != window && GetTickCount() - start < 5000) {
        SetForegroundWindow(window);
        Sleep(20);
    }
    return GetForegroundWindow() == window;
}

void PressKey(WORD key, bool shift)
{
    INPUT keys[4] = {};
    int count = 0;
    if (shift) keys[count++].ki.wVk = VK_SHIFT;
    keys[count++].ki.wVk = key;
    keys[count].ki.wVk = key;
    keys[count++].ki.dwFlags = KEYEVENTF_KEYUP;
    if (shift) {
        keys[count].ki.wVk = VK_SHIFT;
        keys[count++].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    for (int i = 0; i < count; ++i) keys[i].type = INPUT_KEYBOARD;
    WaitPastDoubleClick();
    SendInput(count, keys, sizeof(INPUT));
    g_lastPress = GetTickCount();
    Sleep(50);  // served before the caller looks at what it did
}

int FocusedControlId(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &info) || info.hwndFocus == NULL) return 0;
    return GetDlgCtrlID(info.hwndFocus);
}

HWND WaitForMessageBox(DWORD pid, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        for (HWND window : VisibleWindows(pid)) {
            if (GetDlgItem(window, 0xFFFF) != NULL) return window;
        }
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return NULL;
}

std::string MessageBoxText(HWND box)
{
    return WindowText(GetDlgItem(box, 0xFFFF));
}

bool HasButton(HWND box, int buttonId)
{
    return GetDlgItem(box, buttonId) != NULL;
}

void AnswerMessageBox(HWND box, int buttonId)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
    // Gone before the caller looks for what comes next, which may have the same caption.
    DWORD start = GetTickCount();
    while (IsWindow(box) && IsWindowVisible(box) && GetTickCount() - start < 10000) Sleep(10);
}

MessageBoxWatch::MessageBoxWatch(DWORD pid) : pid_(pid), thread_(NULL), stop_(0)
{
    InitializeCriticalSection(&lock_);
    thread_ = CreateThread(NULL, 0, Run, this, 0, NULL);
}

MessageBoxWatch::~MessageBoxWatch()
{
    InterlockedExchange(&stop_, 1);
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
    DeleteCriticalSection(&lock_);
}

DWORD WINAPI MessageBoxWatch::Run(LPVOID context)
{
    MessageBoxWatch *self = static_cast<MessageBoxWatch *>(context);
    std::vector<HWND> answered;
    while (!self->stop_) {
        for (HWND window : VisibleWindows(self->pid_)) {
            HWND text = GetDlgItem(window, 0xFFFF);
            bool seen = false;
            for (HWND done : answered) seen = seen || done == window;
            if (text == NULL || seen) continue;
            answered.push_back(window);
            EnterCriticalSection(&self->lock_);
            self->captions_.push_back(WindowText(window));
            self->texts_.push_back(WindowText(text));
            LeaveCriticalSection(&self->lock_);
            int button = GetDlgItem(window, IDOK) != NULL ? IDOK : IDCANCEL;
            AnswerMessageBox(window, button);
        }
        Sleep(20);
    }
    return 0;
}

std::vector<std::string> MessageBoxWatch::Texts(size_t count, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        EnterCriticalSection(&lock_);
        std::vector<std::string> texts = texts_;
        LeaveCriticalSection(&lock_);
        if (texts.size() >= count || GetTickCount() - start >= timeoutMs) return texts;
        Sleep(20);
    }
}

std::vector<std::string> MessageBoxWatch::Captions()
{
    EnterCriticalSection(&lock_);
    std::vector<std::string> captions = captions_;
    LeaveCriticalSection(&lock_);
    return captions;
}
