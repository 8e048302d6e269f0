// Registry access for tests, independent of the installer's own registry code.
#include "registry_probe.h"

#include <shlwapi.h>

#include <vector>

const char kProductKey[] = "SOFTWARE\\Velvet Tinkers";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velvet Tinkers";

RawValue ReadRawValue(HKEY root, const std::string &subKey, const std::string &name)
{
    RawValue value = {false, 0, ""};
    HKEY key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), NULL, &value.type, NULL, &size) == ERROR_SUCCESS) {
        std::vector<char> bytes(size + 1, 0);
        if (RegQueryValueExA(key, name.c_str(), NULL, &value.type,
                             reinterpret_cast<BYTE *>(bytes.data()), &size) == ERROR_SUCCESS) {
            value.exists = true;
            value.data.assign(bytes.data(), size);
        }
    }
    RegCloseKey(key);
    return value;
}

bool KeyExists(HKEY root, const std::string &subKey, REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void SetRawString(HKEY root, const std::string &subKey, const std::string &name, const std::string &bytes)
{
    HKEY key;
    if (RegCreateKeyExA(root, subKey.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(bytes.data()),
                   (DWORD)bytes.size());
    RegCloseKey(key);
}

void DeleteKeyTree(HKEY root, const std::string &subKey)
{
    SHDeleteKeyA(root, subKey.c_str());
}
