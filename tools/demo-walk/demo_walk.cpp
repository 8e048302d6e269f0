// The demo's walk through a whole session, run under Wine beside Setup.exe: it drives the
// installer as a user would and saves a picture of the screen at each step.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <stdio.h>

#include <string>

#include "../../res/resource.h"
#include "../driver/driver.h"
#include "../driver/walk.h"

namespace {

const DWORD kTimeout = 60000;

std::string g_folder;
int g_shots = 0;
bool g_failed = false;

// Saves a rectangle of the screen as a 24-bit BMP.
void SaveScreen(const char *path, const RECT &area)
{
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    void *pixels = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, (BITMAPINFO *)&header, DIB_RGB_COLORS, &pixels, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();

    DWORD rowBytes = (DWORD)((width * 3 + 3) & ~3);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + rowBytes * height;
    FILE *out = fopen(path, "wb");
    if (out != NULL) {
        fwrite(&file, sizeof(file), 1, out);
        fwrite(&header, sizeof(header), 1, out);
        fwrite(pixels, rowBytes, height, out);
        fclose(out);
        printf("shot %s\n", path);
    }
    fflush(stdout);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
}

// Saves the whole screen, named after the step.
void Shot(const char *step)
{
    Sleep(400);  // let the last repaint reach the screen
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%s\\%02d-%s.bmp", g_folder.c_str(), ++g_shots, step);
    SaveScreen(path, screen);
}

bool Check(bool condition, const char *what)
{
    if (!condition) {
        printf("walk: %s\n", what);
        g_failed = true;
    }
    return condition;
}

// The copy as a user sees it: pictures of the dialog every 100 ms from the start of the copy until
// the picture has changed four times (the title, then three turns of the workshop) or the copy has
// ended, named NN-copying-frame-MM.bmp for
// the script to join into one animation. The copy runs at its own pace; its thread is held only
// while each picture is taken, so that none shows a half-drawn control.
void FramesOfTheCopy(HWND dialog)
{
    const int kTicks = 4;
    const DWORD kEvery = 100;
    HWND picture = GetDlgItem(dialog, IDC_PICTURE);
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(dialog, NULL));
    ++g_shots;
    DWORD start = GetTickCount();
    while (!ReadControl(dialog, IDC_PROGRESS).visible && !ReadControl(dialog, IDC_BUTTON_END).visible &&
           GetTickCount() - start < kTimeout) {
        Sleep(5);
    }
    int frames = 0;
    int ticks = 0;
    LRESULT shown = SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0);
    start = GetTickCount();
    DWORD last = start - kEvery;
    while (ticks < kTicks && ReadControl(dialog, IDC_PROGRESS).visible && GetTickCount() - start < kTimeout) {
        LRESULT now = SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0);
        if (now != shown) {
            shown = now;
            ++ticks;
        }
        if (GetTickCount() - last >= kEvery) {
            last = GetTickCount();
            RECT area;
            GetWindowRect(dialog, &area);
            char path[MAX_PATH];
            snprintf(path, sizeof(path), "%s\\%02d-copying-frame-%02d.bmp", g_folder.c_str(), g_shots, ++frames);
            if (thread != NULL) SuspendThread(thread);
            SaveScreen(path, area);
            if (thread != NULL) ResumeThread(thread);
        }
        Sleep(5);
    }
    printf("walk: copying: %d pictures over %d turns of the animation\n", frames, ticks);
    Check(frames >= 2, "the copy ended before it could be seen");
    if (thread != NULL) CloseHandle(thread);
}

// Clicks the item of a list whose text is text, as a user selects it. The list belongs to another
// process, so the request records are written to and read from that process's memory.
bool ClickListItem(HWND list, const char *text)
{
    struct Request {
        LVITEMA item;
        RECT bounds;
        char text[256];
    };
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process == NULL) return false;
    Request *remote = (Request *)VirtualAllocEx(process, NULL, sizeof(Request), MEM_COMMIT, PAGE_READWRITE);
    int found = -1;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int index = 0; remote != NULL && index < count && found < 0; ++index) {
        Request request = {};
        request.item.pszText = remote->text;
        request.item.cchTextMax = sizeof(request.text);
        request.bounds.left = LVIR_LABEL;
        WriteProcessMemory(process, remote, &request, sizeof(request), NULL);
        SendMessageA(list, LVM_GETITEMTEXTA, index, (LPARAM)&remote->item);
        SendMessageA(list, LVM_GETITEMRECT, index, (LPARAM)&remote->bounds);
        ReadProcessMemory(process, remote, &request, sizeof(request), NULL);
        request.text[sizeof(request.text) - 1] = '\0';
        if (strcmp(request.text, text) != 0) continue;
        found = index;
        LPARAM centre = MAKELPARAM((request.bounds.left + request.bounds.right) / 2,
                                   (request.bounds.top + request.bounds.bottom) / 2);
        PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, centre);
        PostMessageA(list, WM_LBUTTONUP, 0, centre);
    }
    if (remote != NULL) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    DWORD start = GetTickCount();
    while (found >= 0 && SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED) != found &&
           GetTickCount() - start < kTimeout) {
        Sleep(20);
    }
    return found >= 0 && SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED) == found;
}

BOOL CALLBACK FindListView(HWND window, LPARAM found)
{
    char className[64] = "";
    GetClassNameA(window, className, sizeof(className));
    if (lstrcmpA(className, WC_LISTVIEWA) != 0) return TRUE;
    *reinterpret_cast<HWND *>(found) = window;
    return FALSE;
}

// Wine's list of installed programs, as the Control Panel opens it, with the product's entry
// selected.
void ShotOfTheProgramList()
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    char command[] = "control.exe appwiz.cpl";
    if (!Check(CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process) != FALSE,
               "the program list did not start")) {
        return;
    }
    CloseHandle(process.hThread);
    // Known by its list of programs, as its caption is in the system's language.
    HWND window = NULL;
    HWND list = NULL;
    DWORD start = GetTickCount();
    while (list == NULL && GetTickCount() - start < kTimeout) {
        for (HWND candidate : VisibleWindows(0)) {
            HWND found = NULL;
            EnumChildWindows(candidate, FindListView, reinterpret_cast<LPARAM>(&found));
            if (found != NULL && SendMessageA(found, LVM_GETITEMCOUNT, 0, 0) > 0) {
                window = candidate;
                list = found;
            }
        }
        if (list == NULL) Sleep(50);
    }
    if (Check(list != NULL, "no program in the list")) {
        Check(ClickListItem(list, "Velvet Tinkers"), "no Velvet Tinkers to select in the program list");
        Shot("program-list");
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, kTimeout) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
}

void AnswerBox(DWORD pid, const char *step, int button)
{
    HWND box = WaitForWindow(pid, "確認", kTimeout);
    if (!Check(box != NULL, "no message box")) return;
    printf("walk: %s: %s\n", step, MessageBoxText(box).c_str());
    Shot(step);
    AnswerMessageBox(box, button);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: demo_walk SETUP_EXE SHOT_FOLDER\n");
        return 2;
    }
    g_folder = argv[2];
    Program setup;
    if (!Check(StartProgram(argv[1], &setup), "Setup.exe did not start")) return 1;
    HWND dialog = WaitForInstaller(setup.pid, kTimeout);
    if (!Check(dialog != NULL, "no installer dialog")) return 1;
    Shot("main-menu");

    // The type and the folder that the pages propose, as a user who accepts them.
    Check(WalkToConfirm(dialog, TYPE_KEEP, "", NULL, Shot), "the wizard did not reach its confirmation");
    Click(dialog, IDC_BUTTON_NEXT);
    FramesOfTheCopy(dialog);
    Check(WaitForMainMenu(dialog, kTimeout), "no main menu");
    Check(ReadControl(dialog, IDC_BUTTON_START).enabled, "game start is not offered");
    Shot("installed");
    ShotOfTheProgramList();

    Click(dialog, IDC_BUTTON_START);
    Check(WaitForExit(setup, kTimeout) == 1, "the installer did not end after game start");
    EndProgram(setup);
    HWND game = NULL;
    DWORD start = GetTickCount();
    while (game == NULL && GetTickCount() - start < kTimeout) {
        game = FindWindowW(L"VelvetTinkersGame", L"Velvet Tinkers");
        Sleep(50);
    }
    if (Check(game != NULL, "the game did not start")) {
        Shot("game");
        PostMessageW(game, WM_CLOSE, 0, 0);
    }

    if (Check(StartProgram(argv[1], &setup), "Setup.exe did not start again")) {
        AnswerBox(setup.pid, "second-start", IDOK);
        Check(WaitForExit(setup, kTimeout) == 1, "the second start did not end");
        EndProgram(setup);
    }
    // The uninstaller, as the Start menu starts it: from the record, in the install folder.
    char uninstaller[MAX_PATH] = "";
    char folder[MAX_PATH] = "";
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velvet Tinkers", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = sizeof(uninstaller);
        RegQueryValueExA(key, "Uninstall", NULL, NULL, (BYTE *)uninstaller, &size);
        size = sizeof(folder);
        RegQueryValueExA(key, "DIR", NULL, NULL, (BYTE *)folder, &size);
        RegCloseKey(key);
    }
    Program uninstall;
    if (Check(StartProgram(uninstaller, &uninstall, folder), "the uninstaller did not start")) {
        AnswerBox(uninstall.pid, "uninstall", IDYES);
        AnswerBox(0, "uninstalled", IDOK);  // said by the copy that finishes the removal
        EndProgram(uninstall);
    }
    printf("walk: %s\n", g_failed ? "failed" : "done");
    return g_failed ? 1 : 0;
}
