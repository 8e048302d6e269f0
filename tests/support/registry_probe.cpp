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
    // A link is deleted as itself; deleting through it would reach its target.
    typedef LONG(WINAPI * DeleteKeyFunction)(HANDLE);
    DeleteKeyFunction deleteKey = (DeleteKeyFunction)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey");
    HKEY link;
    if (deleteKey != NULL &&
        RegOpenKeyExA(root, subKey.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE, &link) == ERROR_SUCCESS) {
        DWORD type = 0;
        bool isLink = RegQueryValueExW(link, L"SymbolicLinkValue", NULL, &type, NULL, NULL) == ERROR_SUCCESS &&
                      type == REG_LINK;
        if (isLink) deleteKey(link);
        RegCloseKey(link);
        if (isLink) return;
    }
    SHDeleteKeyA(root, subKey.c_str());
}

bool MakeUnwritableKey(HKEY root, const std::string &subKey)
{
    DeleteKeyTree(root, subKey);
    HKEY key;
    if (RegCreateKeyExA(root, subKey.c_str(), 0, NULL, REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK, NULL, &key, NULL) != ERROR_SUCCESS) {
        return false;
    }
    const wchar_t target[] = L"\\Registry\\Nowhere\\Velvet Tinkers";
    LONG set = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, (const BYTE *)target,
                              (DWORD)(sizeof(target) - sizeof(wchar_t)));
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}
