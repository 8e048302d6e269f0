// The one installer state record and the shared formatting and message-box helpers.
#include "common.h"

#include <stdarg.h>
#include <stdio.h>

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

void ShowError(HWND owner, const char *text)
{
    MessageBoxA(owner, text, "エラー", MB_ICONERROR);
}

int AskUser(HWND owner, const char *text, UINT style)
{
    return MessageBoxA(owner, text, "確認", style);
}

void ReportDamagedRecord(const char *dir)
{
    char text[1024];
    FormatText(text, sizeof(text),
               "インストール情報が壊れているため、処理を中止しました。何も変更していません。\n記録されているフォルダ: %s", dir);
    ShowError(NULL, text);
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
