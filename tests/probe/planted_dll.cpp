// A DLL planted under a system DLL's name: when loaded it leaves a marker naming its own path in
// the folder that VT_PLANT_MARKERS names, which outlives the folder the DLL was planted in.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char self[MAX_PATH];
    char folder[MAX_PATH];
    DWORD length = GetModuleFileNameA(instance, self, sizeof(self));
    DWORD folderLength = GetEnvironmentVariableA("VT_PLANT_MARKERS", folder, sizeof(folder));
    if (length == 0 || length >= sizeof(self) || folderLength == 0 || folderLength >= sizeof(folder)) return TRUE;
    for (char *at = self; *at; ++at) {
        if (*at == '\\' || *at == ':') *at = '_';
    }
    char marker[2 * MAX_PATH + 2];
    if (folderLength + 1 + length + 1 > sizeof(marker)) return TRUE;
    lstrcpyA(marker, folder);
    lstrcatA(marker, "\\");
    lstrcatA(marker, self);
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}
