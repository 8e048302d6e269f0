// Finds the install disc among the drive letters by the start of its volume label.
#include "app.h"

#include <windows.h>
#include <shellapi.h>
#include <string.h>

#include "../common/common.h"

int FindInstallDisc(char *root, const char *labelPrefix)
{
    DWORD mask = GetLogicalDrives();
    size_t prefixLength = strlen(labelPrefix);
    for (int i = 0; i < 25; ++i) {  // the letters A: to Y:; Z: is not searched
        DWORD bit = 1u << i;
        if ((mask & bit) == 0) continue;
        FormatText(root, 4, "%c:\\", 'A' + i);

        UINT type = GetDriveTypeA(root);
        if (type != DRIVE_FIXED && type != DRIVE_CDROM) continue;
        if (GetFileAttributesA(root) == INVALID_FILE_ATTRIBUTES) continue;

        // A query that fails leaves no name to compare, so the drive does not match.
        SHFILEINFOA info;
        memset(&info, 0, sizeof(info));
        if (SHGetFileInfoA(root, 0, &info, sizeof(info), SHGFI_DISPLAYNAME) == 0) continue;
        info.szDisplayName[sizeof(info.szDisplayName) - 1] = '\0';

        if (strncmp(info.szDisplayName, labelPrefix, prefixLength) == 0) return 1;
    }
    return 0;
}
