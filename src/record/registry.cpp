// The registry operations through which the installer reads and writes its install record.
#include "record.h"

#include <shlwapi.h>
#include <string.h>

#include "../common/common.h"

int RegReadString(HKEY root, const char *subKey, const char *valueName, char *out)
{
    out[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;

    DWORD type = 0;
    DWORD size = REG_TEXT_SIZE;
    LONG status = RegQueryValueExA(key, valueName, NULL, &type, (BYTE *)out, &size);
    int result = FinishRegistryText(out, size, status == ERROR_SUCCESS);
    RegCloseKey(key);
    return result;
}

int RegWriteString(HKEY root, const char *subKey, const char *valueName, const char *text)
{
    HKEY key;
    char emptyClass[] = "";
    if (RegCreateKeyExA(root, subKey, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_WRITE, NULL,
                        &key, NULL) != ERROR_SUCCESS) {
        return 0;
    }
    // The stored length is the text alone, without its terminating NUL.
    RegSetValueExA(key, valueName, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text));
    RegCloseKey(key);
    return 1;
}

int RegDeleteSubKey(HKEY root, const char *parentPath, const char *subKeyName)
{
    HKEY parent;
    if (RegOpenKeyExA(root, parentPath, 0, KEY_WRITE, &parent) != ERROR_SUCCESS) return 0;
    SHDeleteKeyA(parent, subKeyName);
    RegCloseKey(parent);
    return 1;
}

int ProductIsInstalled(void)
{
    char dir[REG_TEXT_SIZE];
    FormatText(g_state.keyPath, sizeof(g_state.keyPath), "SOFTWARE\\%s", g_state.title);
    g_state.isInstalled = 0;
    RegReadString(HKEY_LOCAL_MACHINE, g_state.keyPath, "DIR", dir);
    if (dir[0] != '\0') g_state.isInstalled = 1;
    return g_state.isInstalled;
}
