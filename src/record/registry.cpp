// The registry operations through which the installer reads and writes its install record.
#include "record.h"

#include <shlwapi.h>
#include <string.h>

#include "../common/common.h"
#include "../common/path.h"

// The keys that hold the record's two keys, each named after the title.
static const char *const kRecordParents[] = {"SOFTWARE", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};

const char *const kProductValueNames[PRODUCT_VALUES] = {"BLAND", "TITLE", "DIR", "EXE", "Uninstall"};
const char *const kEntryValueNames[ENTRY_VALUES] = {"DisplayName",     "UninstallString", "Publisher",
                                                    "DisplayIcon",     "InstallLocation", "EstimatedSize",
                                                    "NoModify",        "NoRepair"};

int RecordKeyPath(RecordKey key, char *out, size_t size)
{
    return FormatText(out, size, "%s\\%s", kRecordParents[key], g_state.title);
}

// Whether a value name is one of a run's marks: INSTALLING, INSTALLING_MADE, INSTALLING_OWNER, each
// maybe with a slot number.
static int IsRunMarkValue(const char *name)
{
    return strncmp(name, kRunMarkValue, sizeof(kRunMarkValue) - 1) == 0;
}

void DeleteRecordKey(RecordKey key)
{
    char path[KEY_PATH_SIZE];
    HKEY opened;
    if (key != PRODUCT_KEY || !RecordKeyPath(key, path, sizeof(path)) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WRITE, &opened) != ERROR_SUCCESS) {
        RegDeleteSubKey(HKEY_LOCAL_MACHINE, kRecordParents[key], g_state.title);
        return;
    }
    // The marks of runs still to be taken back outlive the record: without them their files would
    // be recorded nowhere. Every other value and subkey goes.
    int marks = 0;
    char name[256];
    DWORD length = sizeof(name);
    for (DWORD i = 0; RegEnumValueA(opened, i, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
         length = sizeof(name)) {
        if (IsRunMarkValue(name)) {
            marks = 1;
            ++i;
        } else if (RegDeleteValueA(opened, name) != ERROR_SUCCESS) {
            ++i;
        }
    }
    for (length = sizeof(name); RegEnumKeyExA(opened, 0, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
         length = sizeof(name)) {
        if (SHDeleteKeyA(opened, name) != ERROR_SUCCESS) break;
    }
    RegCloseKey(opened);
    if (!marks) RegDeleteSubKey(HKEY_LOCAL_MACHINE, kRecordParents[key], g_state.title);
}

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

// Opens or creates subKey and sets one value of the given type.
static int WriteValue(HKEY root, const char *subKey, const char *valueName, DWORD type, const BYTE *data,
                      DWORD size)
{
    HKEY key;
    char emptyClass[] = "";
    if (RegCreateKeyExA(root, subKey, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_WRITE, NULL,
                        &key, NULL) != ERROR_SUCCESS) {
        return 0;
    }
    LONG written = RegSetValueExA(key, valueName, 0, type, data, size);
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
}

int RegWriteString(HKEY root, const char *subKey, const char *valueName, const char *text)
{
    // The stored length is the text alone, without its terminating NUL.
    return WriteValue(root, subKey, valueName, REG_SZ, (const BYTE *)text, (DWORD)strlen(text));
}

int RegWriteNumber(HKEY root, const char *subKey, const char *valueName, DWORD number)
{
    return WriteValue(root, subKey, valueName, REG_DWORD, (const BYTE *)&number, sizeof(number));
}

int RegStringEquals(HKEY root, const char *subKey, const char *valueName, const char *text)
{
    HKEY key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    char stored[1024];
    DWORD type = 0;
    DWORD size = sizeof(stored);
    LONG status = RegQueryValueExA(key, valueName, NULL, &type, (BYTE *)stored, &size);
    RegCloseKey(key);
    size_t length = strlen(text);
    // Stored with or without a terminating NUL.
    if (status != ERROR_SUCCESS || type != REG_SZ || size < length || size > length + 1) return 0;
    if (size == length + 1 && stored[length] != '\0') return 0;
    return memcmp(stored, text, length) == 0;
}

int RegDeleteSubKey(HKEY root, const char *parentPath, const char *subKeyName)
{
    HKEY parent;
    if (RegOpenKeyExA(root, parentPath, 0, KEY_WRITE, &parent) != ERROR_SUCCESS) return 0;
    SHDeleteKeyA(parent, subKeyName);
    RegCloseKey(parent);
    return 1;
}

int RegDeleteValueOf(HKEY root, const char *subKey, const char *valueName)
{
    return SHDeleteValueA(root, subKey, valueName) == ERROR_SUCCESS;
}

RecordState ReadInstallFolder(char *dir)
{
    char productKey[KEY_PATH_SIZE];
    dir[0] = '\0';
    if (RecordKeyPath(PRODUCT_KEY, productKey, sizeof(productKey))) {
        RegReadString(HKEY_LOCAL_MACHINE, productKey, kProductValueNames[VALUE_DIR], dir);
    }
    if (dir[0] == '\0') return RECORD_ABSENT;
    return IsInstallFolderOf(dir, g_state.brand, g_state.title) ? RECORD_VALID : RECORD_DAMAGED;
}

int ProductIsInstalled(void)
{
    char dir[REG_TEXT_SIZE];
    g_state.isInstalled = ReadInstallFolder(dir) != RECORD_ABSENT;
    return g_state.isInstalled;
}
