// VT.exe, the stand-in for the game: a window with the title picture and the folder it started in.
#include <windows.h>

#include "../common/common.h"

enum { ID_PICTURE = 100, ID_FOLDER = 101, PICTURE_SIZE = 250, MARGIN = 8, TEXT_HEIGHT = 40 };

static HFONT g_font;

// The texts of the window, wide so that they read as written whatever the system's code page is.
static const char kFolderHeading[] = "起動フォルダ:";
static const char kFontFace[] = "ＭＳ ゴシック";

// "起動フォルダ:", a line break and the folder, as UTF-16 in text (size characters).
static void ComposeFolderText(WCHAR *text, int size)
{
    WideFromText(kFolderHeading, text, size);
    int used = lstrlenW(text);
    if (used + 2 >= size) return;
    text[used++] = L'\r';
    text[used++] = L'\n';
    // The working folder is what the shortcut or the installer's game start handed over; asked wide,
    // it shows as it is named, whatever the code page.
    DWORD length = GetCurrentDirectoryW((DWORD)(size - used), text + used);
    if (length == 0 || length >= (DWORD)(size - used)) text[used] = L'\0';
}

static void CreateContents(HWND window)
{
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrW(window, GWLP_HINSTANCE);
    HWND picture = CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, MARGIN, MARGIN,
                                 PICTURE_SIZE, PICTURE_SIZE, window, (HMENU)ID_PICTURE, instance, NULL);
    SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP,
                 (LPARAM)LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_FRAME_FIRST)));

    WCHAR text[MAX_PATH + 64];
    ComposeFolderText(text, sizeof(text) / sizeof(text[0]));
    HWND label = CreateWindowW(L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, MARGIN,
                               MARGIN * 2 + PICTURE_SIZE, PICTURE_SIZE, TEXT_HEIGHT, window,
                               (HMENU)ID_FOLDER, instance, NULL);
    WCHAR face[LF_FACESIZE];
    WideFromText(kFontFace, face, LF_FACESIZE);
    g_font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, face);
    SendMessageW(label, WM_SETFONT, (WPARAM)g_font, FALSE);
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
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)previous;
    (void)commandLine;
    RestrictDllSearch();
    WNDCLASSW windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = GameWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PRODUCT));
    windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"VelvetTinkersGame";
    if (!RegisterClassW(&windowClass)) return 1;

    RECT frame = {0, 0, PICTURE_SIZE + 2 * MARGIN, PICTURE_SIZE + 3 * MARGIN + TEXT_HEIGHT};
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowW(L"VelvetTinkersGame", L"Velvet Tinkers", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                frame.right - frame.left, frame.bottom - frame.top, NULL, NULL, instance, NULL);
    if (window == NULL) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (g_font != NULL) DeleteObject(g_font);
    return 0;
}
