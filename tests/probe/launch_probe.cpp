// A stand-in for a launched program: writes how it was started to report.txt beside itself.
#include <windows.h>
#include <stdio.h>
#include <string.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, self, sizeof(self));
    if (length == 0 || length >= sizeof(self)) return 2;
    char *slash = strrchr(self, '\\');
    if (slash == NULL) return 2;
    char report[MAX_PATH + 16];
    snprintf(report, sizeof(report), "%.*sreport.txt", (int)(slash - self + 1), self);

    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(directory), directory);
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);

    FILE *file = fopen(report, "wb");
    if (file == NULL) return 3;
    fprintf(file, "program=%s\ncommand=%s\ndirectory=%s\nflags=%lu\nshow=%u\n", self, GetCommandLineA(),
            directory, (unsigned long)startup.dwFlags, (unsigned)startup.wShowWindow);
    fclose(file);
    return 0;
}
