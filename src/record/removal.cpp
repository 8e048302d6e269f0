// Removal of a (partial) installation and the two launch commands of the main menu.
#include "record.h"

#include <shellapi.h>
#include <shlobj.h>
#include <string.h>

#include "../common/common.h"

// Paths of one folder listing are built in buffers of this size; longer ones are skipped.
enum { FOLDER_ENTRY_SIZE = 256 };

static const char kUninstallParent[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

static void NoteLeftover(RemovalLeftovers *leftovers, const char *folder, const char *name)
{
    if (leftovers == NULL) return;
    leftovers->count += 1;
    char line[FOLDER_ENTRY_SIZE + MAX_PATH + 2];
    size_t used = strlen(leftovers->paths);
    if (FormatText(line, sizeof(line), "%s%s\n", folder, name) && used + strlen(line) < sizeof(leftovers->paths)) {
        memcpy(leftovers->paths + used, line, strlen(line) + 1);
    }
}

int DeleteFolderFiles(const char *folder, RemovalLeftovers *leftovers)
{
    char pattern[FOLDER_ENTRY_SIZE];
    if (!FormatText(pattern, sizeof(pattern), "%s*.*", folder)) return 0;

    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        char file[FOLDER_ENTRY_SIZE];
        if (!FormatText(file, sizeof(file), "%s%s", folder, entry.cFileName) || !DeleteFileA(file)) {
            NoteLeftover(leftovers, folder, entry.cFileName);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);

    RemoveDirectoryA(folder);  // stays when anything is left in it
    return 1;
}

int ShortcutFolderPath(int csidl, char *folder, size_t size)
{
    char special[MAX_PATH];
    special[0] = '\0';
    if (!SHGetSpecialFolderPathA(NULL, special, csidl, FALSE) || special[0] == '\0') return 0;
    return FormatText(folder, size, "%s\\%s\\", special, g_state.title);
}

static void RemoveShortcutFolder(int csidl, RemovalLeftovers *leftovers)
{
    char folder[1024];
    if (ShortcutFolderPath(csidl, folder, sizeof(folder))) DeleteFolderFiles(folder, leftovers);
}

int RemoveInstallation(const char *installDir)
{
    return RemoveInstallationNoting(installDir, NULL);
}

int RemoveInstallationNoting(const char *installDir, RemovalLeftovers *leftovers)
{
    if (leftovers != NULL) {
        leftovers->paths[0] = '\0';
        leftovers->count = 0;
    }
    if (installDir[0] != '\0') DeleteFolderFiles(installDir, leftovers);
    RemoveShortcutFolder(CSIDL_PROGRAMS, leftovers);
    if (g_state.osVersion.dwMajorVersion == 6) RemoveShortcutFolder(CSIDL_COMMON_PROGRAMS, leftovers);

    FormatText(g_state.keyPath, sizeof(g_state.keyPath), "%s", "SOFTWARE");
    RegDeleteSubKey(HKEY_LOCAL_MACHINE, g_state.keyPath, g_state.title);
    FormatText(g_state.keyPath, sizeof(g_state.keyPath), "%s", kUninstallParent);
    RegDeleteSubKey(HKEY_LOCAL_MACHINE, g_state.keyPath, g_state.title);
    return 1;
}

// Starts the program that the product key's value names, in the install folder, then closes
// the installer. Without a recorded program nothing is started.
static void LaunchRecordedProgram(const char *valueName)
{
    char folder[REG_TEXT_SIZE];
    char program[REG_TEXT_SIZE];
    FormatText(g_state.keyPath, sizeof(g_state.keyPath), "SOFTWARE\\%s", g_state.title);
    RegReadString(HKEY_LOCAL_MACHINE, g_state.keyPath, "DIR", folder);
    RegReadString(HKEY_LOCAL_MACHINE, g_state.keyPath, valueName, program);
    if (program[0] != '\0') {
        ShellExecuteA(NULL, "open", program, NULL, folder, SW_SHOWNORMAL);
    }
    CloseInstaller();
}

void LaunchGame(void)
{
    LaunchRecordedProgram("EXE");
}

int LaunchUninstaller(void)
{
    LaunchRecordedProgram("Uninstall");
    return 1;
}
