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
// its size; clears *whole when the text had to be cut. A character of a code page takes one or two
// bytes (a lead byte of that code page, then one more) and becomes one UTF-16 unit, so the bytes of
// the whole characters that fit are found in one pass and converted once.
static void Widen(UINT codePage, const char *text, int length, WCHAR *out, int size, int *used, int *whole)
{
    int room = size - 1 - *used;
    int fit = 0;
    for (int characters = 0; fit < length && characters < room; ++characters) {
        fit += IsDBCSLeadByteEx(codePage, (BYTE)text[fit]) && fit + 1 < length ? 2 : 1;
    }
    if (fit < length) *whole = 0;
    if (fit > 0) *used += MultiByteToWideChar(codePage, 0, text, fit, out + *used, room);
}

// The same for a wide text, cut before a surrogate pair that would not fit whole.
static void AppendWide(const WCHAR *text, int length, WCHAR *out, int size, int *used, int *whole)
{
    int fit = length < size - 1 - *used ? length : size - 1 - *used;
    if (fit < length) {
        *whole = 0;
        if (fit > 0 && IS_HIGH_SURROGATE(text[fit - 1])) --fit;
    }
    memcpy(out + *used, text, fit * sizeof(WCHAR));
    *used += fit;
}

// text (code page 932) with its "%s" replaced by arg (the system's code page) or by wideArg.
static int Compose(WCHAR *out, int size, const char *text, const char *arg, const WCHAR *wideArg)
{
    if (size <= 0) return 0;
    // "%s" is found byte by byte: '%' is never the second byte of a code page 932 character.
    const char *slot = arg != NULL || wideArg != NULL ? strstr(text, "%s") : NULL;
    int used = 0;
    int whole = 1;
    Widen(TEXT_CODE_PAGE, text, slot != NULL ? (int)(slot - text) : (int)strlen(text), out, size, &used, &whole);
    if (slot != NULL) {
        if (wideArg != NULL) {
            AppendWide(wideArg, lstrlenW(wideArg), out, size, &used, &whole);
        } else {
            Widen(CP_ACP, arg, (int)strlen(arg), out, size, &used, &whole);
        }
        Widen(TEXT_CODE_PAGE, slot + 2, (int)strlen(slot + 2), out, size, &used, &whole);
    }
    out[used] = L'\0';
    return whole;
}

int ComposeWide(WCHAR *out, int size, const char *text, const char *arg)
{
    return Compose(out, size, text, arg, NULL);
}

int ComposeWide(WCHAR *out, int size, const char *text, const WCHAR *arg)
{
    return Compose(out, size, text, NULL, arg);
}

int WideFromText(const char *text, WCHAR *out, int size)
{
    return Compose(out, size, text, NULL, NULL);
}

void SetWindowTextFrom932(HWND window, const char *text)
{
    WCHAR wide[1024];
    WideFromText(text, wide, sizeof(wide) / sizeof(wide[0]));
    SetWindowTextW(window, wide);
}

static int ShowMessage(HWND owner, const char *text, const char *arg, const WCHAR *wideArg, const char *caption,
                       UINT style)
{
    static WCHAR message[MESSAGE_SIZE];
    WCHAR title[64];
    Compose(message, MESSAGE_SIZE, text, arg, wideArg);
    WideFromText(caption, title, sizeof(title) / sizeof(title[0]));
    return MessageBoxW(owner, message, title, style);
}

int AskAfterError(HWND owner, const char *text, UINT buttons, const char *arg)
{
    return ShowMessage(owner, text, arg, NULL, "エラー", MB_ICONERROR | buttons);
}

void ShowError(HWND owner, const char *text, const char *arg)
{
    AskAfterError(owner, text, MB_OK, arg);
}

int AskUser(HWND owner, const char *text, UINT style, const char *arg)
{
    return ShowMessage(owner, text, arg, NULL, "確認", style);
}

int AskUser(HWND owner, const char *text, UINT style, const WCHAR *arg)
{
    return ShowMessage(owner, text, NULL, arg, "確認", style);
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
