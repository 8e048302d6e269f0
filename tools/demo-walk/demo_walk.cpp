// The demo's walk through a whole session, run under Wine beside Setup.exe: it drives the
// installer as a user would and saves a picture of the screen at each step.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <stdio.h>

#include <string>

#include "../../res/resource.h"
#include "../../tests/support/driver.h"

namespace {

const char kCaption[] = "Velvet Tinkers インストーラ";
const DWORD kTimeout = 60000;

std::string g_folder;
int g_shots = 0;
bool g_failed = false;

// Saves the whole screen as a 24-bit BMP named after the step.
void Shot(const char *step)
{
    Sleep(400);  // let the last repaint reach the screen
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
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
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();

    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%s\\%02d-%s.bmp", g_folder.c_str(), ++g_shots, step);
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

bool Check(bool condition, const char *what)
{
    if (!condition) {
        printf("walk: %s\n", what);
        g_failed = true;
    }
    return condition;
}

bool WaitForText(HWND dialog, int id, const std::string &text)
{
    DWORD start = GetTickCount();
    while (ReadControl(dialog, id).text != text && GetTickCount() - start < kTimeout) Sleep(20);
    return Check(ReadControl(dialog, id).text == text, ("no " + text).c_str());
}

bool WaitForMainMenu(HWND dialog)
{
    DWORD start = GetTickCount();
    while (!ReadControl(dialog, IDC_BUTTON_END).visible && GetTickCount() - start < kTimeout) Sleep(20);
    return Check(ReadControl(dialog, IDC_BUTTON_END).visible, "no main menu");
}

// Holds the installer's thread while the screen is taken, so that the copy is seen in progress.
void ShotOfTheCopy(HWND dialog)
{
    HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
    DWORD start = GetTickCount();
    LRESULT position = 0;
    while (GetTickCount() - start < kTimeout) {
        position = SendMessageA(progress, PBM_GETPOS, 0, 0);
        if (position >= 20 || !ReadControl(dialog, IDC_PROGRESS).visible) break;
    }
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(dialog, NULL));
    if (position > 0 && position < 100 && thread != NULL) SuspendThread(thread);
    Shot("copying");
    if (thread != NULL) {
        ResumeThread(thread);
        CloseHandle(thread);
    }
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
    HWND dialog = WaitForWindow(setup.pid, kCaption, kTimeout);
    if (!Check(dialog != NULL, "no installer dialog")) return 1;
    Shot("main-menu");

    Click(dialog, IDC_BUTTON_INSTALL);
    WaitForText(dialog, IDC_LABEL, "インストール方法の選択");
    Shot("install-type");
    Click(dialog, IDC_BUTTON_NEXT);
    WaitForText(dialog, IDC_LABEL, "インストールフォルダの選択");
    Shot("install-folder");
    Click(dialog, IDC_BUTTON_NEXT);
    WaitForText(dialog, IDC_LABEL, "インストールを実行します");
    Shot("confirm");
    Click(dialog, IDC_BUTTON_NEXT);
    ShotOfTheCopy(dialog);
    WaitForMainMenu(dialog);
    Check(ReadControl(dialog, IDC_BUTTON_START).enabled, "game start is not offered");
    Shot("installed");

    Click(dialog, IDC_BUTTON_START);
    Check(WaitForExit(setup, kTimeout) == 1, "the installer did not end after game start");
    EndProgram(setup);
    HWND game = NULL;
    DWORD start = GetTickCount();
    while (game == NULL && GetTickCount() - start < kTimeout) {
        game = FindWindowA("VelvetTinkersGame", "Velvet Tinkers");
        Sleep(50);
    }
    if (Check(game != NULL, "the game did not start")) {
        Shot("game");
        PostMessageA(game, WM_CLOSE, 0, 0);
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
