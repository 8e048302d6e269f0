// VT.exe, the stand-in for the game: a window with the title picture and the folder it started in.
#include <windows.h>

#include "../common/common.h"

enum { ID_PICTURE = 100, ID_FOLDER = 101, PICTURE_SIZE = 250, MARGIN = 8, TEXT_HEIGHT = 40 };

static HFONT g_font;

static void CreateContents(HWND window)
{
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrA(window, GWLP_HINSTANCE);
    HWND picture = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE | SS_BITMAP, MARGIN, MARGIN,
                                 PICTURE_SIZE, PICTURE_SIZE, window, (HMENU)ID_PICTURE, instance, NULL);
    SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP,
                 (LPARAM)LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_FRAME_FIRST)));

    // The working folder is what the shortcut or the installer's game start handed over.
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(folder), folder);
    char text[MAX_PATH + 64];
    FormatText(text, sizeof(text), "起動フォルダ:\r\n%s", folder);
    HWND label = CreateWindowA("STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, MARGIN,
                               MARGIN * 2 + PICTURE_SIZE, PICTURE_SIZE, TEXT_HEIGHT, window,
                               (HMENU)ID_FOLDER, instance, NULL);
    g_font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "ＭＳ ゴシック");
    SendMessageA(label, WM_SETFONT, (WPARAM)g_font, FALSE);
}

static LRESULT CALLBACK GameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        CreateContents(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)previous;
    (void)commandLine;
    RestrictDllSearch();
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = GameWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PRODUCT));
    windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "VelvetTinkersGame";
    if (!RegisterClassA(&windowClass)) return 1;

    RECT frame = {0, 0, PICTURE_SIZE + 2 * MARGIN, PICTURE_SIZE + 3 * MARGIN + TEXT_HEIGHT};
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowA("VelvetTinkersGame", "Velvet Tinkers", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                frame.right - frame.left, frame.bottom - frame.top, NULL, NULL, instance, NULL);
    if (window == NULL) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (g_font != NULL) DeleteObject(g_font);
    return 0;
}
