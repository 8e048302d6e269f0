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

// The bytes of the character that starts at text[at] (length bytes in all) in codePage, and in
// *units the UTF-16 units it becomes. In the code pages of one and two bytes a character is a lead
// byte of that code page and one more, or one byte alone. In UTF-8 the lead byte gives the length
// of a sequence; a byte that starts no whole, well-formed sequence counts alone, as the one
// replacement character it becomes at most, so that the count never falls short of the conversion.
static int CharacterBytes(UINT codePage, const char *text, int at, int length, int *units)
{
    BYTE lead = (BYTE)text[at];
    *units = 1;
    if (codePage != CP_UTF8) return IsDBCSLeadByteEx(codePage, lead) && at + 1 < length ? 2 : 1;
    // The length, and the range of the second byte that keeps the sequence short-form, below
    // U+110000 and off the surrogates.
    int bytes = 1;
    BYTE low = 0x80;
    BYTE high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        bytes = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        bytes = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        bytes = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    if (bytes == 1 || at + bytes > length) return 1;
    BYTE second = (BYTE)text[at + 1];
    if (second < low || second > high) return 1;
    for (int i = 2; i < bytes; ++i) {
        if (((BYTE)text[at + i] & 0xC0) != 0x80) return 1;
    }
    if (bytes == 4) *units = 2;  // beyond the basic plane: a surrogate pair
    return bytes;
}

// Converts length bytes of text from codePage (CP_ACP: the system's, which may be UTF-8) to the
// end of out, which holds *used characters of its size; clears *whole when the text had to be cut
// or could not be converted. The bytes of the whole characters that fit are found in one pass and
// converted once, so no cut falls inside a character.
static void Widen(UINT codePage, const char *text, int length, WCHAR *out, int size, int *used, int *whole)
{
    if (codePage == CP_ACP) codePage = GetACP();
    int room = size - 1 - *used;
    int fit = 0;
    int units = 0;
    while (fit < length) {
        int characterUnits;
        int bytes = CharacterBytes(codePage, text, fit, length, &characterUnits);
        if (units + characterUnits > room) break;
        fit += bytes;
        units += characterUnits;
    }
    if (fit < length) *whole = 0;
    if (fit == 0) return;
    int converted = MultiByteToWideChar(codePage, 0, text, fit, out + *used, room);
    if (converted <= 0) {
        *whole = 0;  // a code page the system lacks, or more units than counted: nothing of it shows
        return;
    }
    *used += converted;
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

// text (code page 932) with its "%s" replaced by arg (code page argCodePage) or by wideArg.
static int Compose(WCHAR *out, int size, const char *text, const char *arg, UINT argCodePage, const WCHAR *wideArg)
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
        } else if (arg != NULL) {
            Widen(argCodePage, arg, (int)strlen(arg), out, size, &used, &whole);
        }
        Widen(TEXT_CODE_PAGE, slot + 2, (int)strlen(slot + 2), out, size, &used, &whole);
    }
    out[used] = L'\0';
    return whole;
}

int ComposeWide(WCHAR *out, int size, const char *text, const char *arg, UINT argCodePage)
{
    return Compose(out, size, text, arg, argCodePage, NULL);
}

int ComposeWide(WCHAR *out, int size, const char *text, const WCHAR *arg)
{
    return Compose(out, size, text, NULL, CP_ACP, arg);
}

int WideFromText(const char *text, WCHAR *out, int size)
{
    return Compose(out, size, text, NULL, CP_ACP, NULL);
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
    Compose(message, MESSAGE_SIZE, text, arg, CP_ACP, wideArg);
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
