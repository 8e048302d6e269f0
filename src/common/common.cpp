// The one installer state record and the shared formatting and message-box helpers.
#include "common.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

InstallerState g_state;

int FormatText(char *out, size_t size, const char *format, ...)
{
    if (size == 0) return 0;
    va_list args;
    va_start(args, format);
    int written = vsnprintf(out, size, format, args);
    va_end(args);
    if (written < 0) {
        out[0] = '\0';
        return 0;
    }
    return (size_t)written < size ? 1 : 0;
}

int FormatWide(WCHAR *out, size_t size, const WCHAR *format, ...)
{
    if (size == 0) return 0;
    va_list args;
    va_start(args, format);
    int written = vswprintf(out, size, format, args);
    va_end(args);
    if (written < 0 || (size_t)written >= size) {
        out[0] = L'\0';  // a cut wide text is not handed on as if whole
        return 0;
    }
    return 1;
}

// The longest message: a list of files that stayed, with its frame.
enum { MESSAGE_SIZE = 8192 };

// Converts length bytes of text from codePage to the end of out, which holds *used characters of
// its size; clears *whole when the text had to be cut.
static void Widen(UINT codePage, const char *text, int length, WCHAR *out, int size, int *used, int *whole)
{
    int room = size - 1 - *used;
    if (length <= 0) return;
    int written = room > 0 ? MultiByteToWideChar(codePage, 0, text, length, out + *used, room) : 0;
    if (written == 0) {
        // Too long for out: as many whole bytes as fit, so that the start of a long text still shows.
        *whole = 0;
        // A character takes at most two bytes, so no more than twice the room can fit.
        for (length = length < room * 2 ? length : room * 2; length > 0 && written == 0; --length) {
            written = MultiByteToWideChar(codePage, 0, text, length, out + *used, room);
        }
    }
    *used += written;
}

int ComposeWide(WCHAR *out, int size, const char *text, const char *arg)
{
    if (size <= 0) return 0;
    // "%s" is found byte by byte: '%' is never the second byte of a code page 932 character.
    const char *slot = arg != NULL ? strstr(text, "%s") : NULL;
    int used = 0;
    int whole = 1;
    Widen(TEXT_CODE_PAGE, text, slot != NULL ? (int)(slot - text) : (int)strlen(text), out, size, &used, &whole);
    if (slot != NULL) {
        Widen(CP_ACP, arg, (int)strlen(arg), out, size, &used, &whole);
        Widen(TEXT_CODE_PAGE, slot + 2, (int)strlen(slot + 2), out, size, &used, &whole);
    }
    out[used] = L'\0';
    return whole;
}

int WideFromText(const char *text, WCHAR *out, int size)
{
    return ComposeWide(out, size, text, NULL);
}

void SetWindowTextFrom932(HWND window, const char *text)
{
    WCHAR wide[1024];
    WideFromText(text, wide, sizeof(wide) / sizeof(wide[0]));
    SetWindowTextW(window, wide);
}

static int ShowMessage(HWND owner, const char *text, const char *arg, const char *caption, UINT style)
{
    static WCHAR message[MESSAGE_SIZE];
    WCHAR title[64];
    ComposeWide(message, MESSAGE_SIZE, text, arg);
    WideFromText(caption, title, sizeof(title) / sizeof(title[0]));
    return MessageBoxW(owner, message, title, style);
}

int AskAfterError(HWND owner, const char *text, UINT buttons, const char *arg)
{
    return ShowMessage(owner, text, arg, "エラー", MB_ICONERROR | buttons);
}

void ShowError(HWND owner, const char *text, const char *arg)
{
    AskAfterError(owner, text, MB_OK, arg);
}

int AskUser(HWND owner, const char *text, UINT style, const char *arg)
{
    return ShowMessage(owner, text, arg, "確認", style);
}

void CloseInstaller(void)
{
    EndDialog(g_state.dialog, 0);
    PostQuitMessage(0);
}

void RestrictDllSearch(void)
{
    typedef BOOL(WINAPI * SetDefaultDirectories)(DWORD);
    typedef BOOL(WINAPI * SetDirectory)(LPCSTR);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == NULL) return;
    SetDefaultDirectories setDefault =
        (SetDefaultDirectories)(void *)GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (setDefault != NULL) setDefault(0x00000800);  // LOAD_LIBRARY_SEARCH_SYSTEM32
    // Where that is missing, at least the current folder leaves the search.
    SetDirectory setDirectory = (SetDirectory)(void *)GetProcAddress(kernel, "SetDllDirectoryA");
    if (setDirectory != NULL) setDirectory("");
}
