// A minimal dialog program: loads the control library, shows a dialog like the installer's, ends on close.
#include <windows.h>
#include <stdio.h>

enum { IDD_BENCH = 100 };

// The progress bar's class comes from the system's control library, loaded by full path
// as the installer loads it.
static int LoadControlLibrary(void)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return 0;
    int written = snprintf(path + length, sizeof(path) - length, "\\comctl32.dll");
    if (written < 0 || (size_t)written >= sizeof(path) - length) return 0;
    return LoadLibraryA(path) != NULL;
}

static INT_PTR CALLBACK BenchDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    (void)lParam;
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        PostQuitMessage(0);
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)previous;
    (void)commandLine;
    (void)showCommand;
    LoadControlLibrary();
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_BENCH), NULL, BenchDialogProc, 0);
    if (dialog == NULL) return 1;
    ShowWindow(dialog, SW_SHOW);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
