// Reads and prepares registry values from outside the code under test.
#ifndef TESTS_SUPPORT_REGISTRY_PROBE_H
#define TESTS_SUPPORT_REGISTRY_PROBE_H

#include <windows.h>

#include <string>

struct RawValue {
    bool exists;
    DWORD type;
    std::string data;  // the stored bytes, exactly
};

RawValue ReadRawValue(HKEY root, const std::string &subKey, const std::string &name);
// view: 0 for the caller's own registry view, or KEY_WOW64_32KEY / KEY_WOW64_64KEY.
bool KeyExists(HKEY root, const std::string &subKey, REGSAM view = 0);
void SetRawString(HKEY root, const std::string &subKey, const std::string &name, const std::string &bytes);
// Deletes a key with everything below it, or the link that MakeUnwritableKey made.
void DeleteKeyTree(HKEY root, const std::string &subKey);
// Makes subKey a key that no value can be written into: a link to a key that cannot exist. (Wine
// takes no notice of the rights of a key, so rights that deny writing would not do.)
bool MakeUnwritableKey(HKEY root, const std::string &subKey);

// The product key and uninstall entry of the shipped title.
extern const char kProductKey[];
extern const char kUninstallKey[];

#endif
