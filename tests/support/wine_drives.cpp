// Defines and removes drives of the Wine prefix the way winecfg does, through the mount manager.
#include "wine_drives.h"

#include <winioctl.h>

#include <stdio.h>
#include <string.h>
#include <vector>

namespace {

const DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
const DWORD kQueryUnixDrive = CTL_CODE('m', 33, METHOD_BUFFERED, FILE_READ_ACCESS);

// Wine's request record for the two calls above.
struct UnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

HANDLE OpenMountManager()
{
    return CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
}

typedef char *(CDECL *UnixNameFunction)(LPCWSTR);
typedef WCHAR *(CDECL *DosNameFunction)(LPCSTR);

}  // namespace

std::string UnixPathOf(const std::string &windowsPath)
{
    UnixNameFunction convert = (UnixNameFunction)(void *)GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    if (convert == NULL) return "";
    WCHAR wide[MAX_PATH * 2];
    if (!MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2)) return "";
    char *unixName = convert(wide);
    if (unixName == NULL) return "";
    std::string result = unixName;
    HeapFree(GetProcessHeap(), 0, unixName);
    return result;
}

std::string WindowsPathOf(const std::string &unixPath)
{
    DosNameFunction convert = (DosNameFunction)(void *)GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name");
    if (convert == NULL) return "";
    WCHAR *dosName = convert(unixPath.c_str());
    if (dosName == NULL) return "";
    char narrow[MAX_PATH * 2];
    int ok = WideCharToMultiByte(CP_ACP, 0, dosName, -1, narrow, sizeof(narrow), NULL, NULL);
    HeapFree(GetProcessHeap(), 0, dosName);
    return ok ? narrow : "";
}

std::string SetupExePath()
{
    return WindowsPathOf(SETUP_EXE_UNIX_PATH);
}

std::string TestProgramPath(const std::string &fileName)
{
    return WindowsPathOf(std::string(TEST_PROGRAMS_UNIX_DIR) + "/" + fileName);
}

bool DefineUnixDrive(char letter, UINT type, const std::string &unixMountPoint, const std::string &unixDevice)
{
    std::vector<char> buffer(sizeof(UnixDrive) + unixMountPoint.size() + 1 + unixDevice.size() + 1, 0);
    UnixDrive *request = reinterpret_cast<UnixDrive *>(buffer.data());
    request->size = (ULONG)buffer.size();
    request->type = type;
    request->letter = (WCHAR)(letter | 0x20);
    size_t offset = sizeof(UnixDrive);
    if (!unixMountPoint.empty()) {
        memcpy(buffer.data() + offset, unixMountPoint.c_str(), unixMountPoint.size() + 1);
        request->mountPointOffset = (USHORT)offset;
        offset += unixMountPoint.size() + 1;
    }
    if (!unixDevice.empty()) {
        memcpy(buffer.data() + offset, unixDevice.c_str(), unixDevice.size() + 1);
        request->deviceOffset = (USHORT)offset;
    }
    HANDLE manager = OpenMountManager();
    if (manager == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(manager, kDefineUnixDrive, buffer.data(), (DWORD)buffer.size(), NULL, 0,
                              &returned, NULL);
    CloseHandle(manager);
    return ok != FALSE;
}

bool DefineDrive(char letter, UINT type, const std::string &root)
{
    std::string mountPoint;
    if (!root.empty()) {
        mountPoint = UnixPathOf(root);
        if (mountPoint.empty()) return false;
    }
    return DefineUnixDrive(letter, type, mountPoint);
}

bool RemoveDrive(char letter)
{
    return DefineUnixDrive(letter, DRIVE_NO_ROOT_DIR, "");
}

DriveDefinition QueryDrive(char letter)
{
    DriveDefinition definition = {false, DRIVE_NO_ROOT_DIR, ""};
    std::vector<char> buffer(4096, 0);
    UnixDrive *request = reinterpret_cast<UnixDrive *>(buffer.data());
    request->letter = (WCHAR)(letter | 0x20);
    HANDLE manager = OpenMountManager();
    if (manager == INVALID_HANDLE_VALUE) return definition;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(manager, kQueryUnixDrive, request, sizeof(UnixDrive), buffer.data(),
                              (DWORD)buffer.size(), &returned, NULL);
    CloseHandle(manager);
    if (!ok) return definition;
    definition.present = true;
    definition.type = request->type;
    if (request->mountPointOffset) definition.unixMountPoint = buffer.data() + request->mountPointOffset;
    return definition;
}

bool RestoreDrive(char letter, const DriveDefinition &definition)
{
    if (!definition.present) return RemoveDrive(letter);
    return DefineUnixDrive(letter, definition.type, definition.unixMountPoint);
}

std::string MakeLabelledFolder(const std::string &name, const std::string &label)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string folder = std::string(temp) + name;
    CreateDirectoryA(folder.c_str(), NULL);
    std::string labelFile = folder + "\\.windows-label";
    FILE *file = fopen(labelFile.c_str(), "wb");
    if (file != NULL) {
        fputs(label.c_str(), file);
        fputc('\n', file);
        fclose(file);
    }
    return folder;
}
