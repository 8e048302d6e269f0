// The run of the program on a machine where the product is already installed: the uninstaller's
// registry values and shortcut are brought up to date, without dialog or disc.
#include "app.h"

#include <shlobj.h>
#include <string.h>

#include "../common/common.h"
#include "../common/path.h"
#include "../record/record.h"
#include "reregister_paths.h"

enum { PATH_SIZE = 1024 };

// The uninstaller's shortcut, written again; skipped when the Programs folder is unknown
// or the path does not fit.
static void RewriteUninstallerShortcut(const char *target)
{
    char programs[MAX_PATH];
    programs[0] = '\0';
    if (!SHGetSpecialFolderPathA(NULL, programs, CSIDL_PROGRAMS, FALSE) || programs[0] == '\0') return;
    char name[256];
    LoadStringA(g_state.instance, IDS_UNINSTALL, name, sizeof(name));
    char link[PATH_SIZE];
    if (!ComposeUninstallerLink(programs, g_state.title, name, link, sizeof(link))) return;
    CreateShortcut(target, link);
}

int ReregisterUninstaller(void)
{
    FormatText(g_state.keyPath, sizeof(g_state.keyPath), "SOFTWARE\\%s", g_state.title);
    RegReadString(HKEY_LOCAL_MACHINE, g_state.keyPath, "DIR", g_state.installDir);
    // Only a folder of the form the install gives may be pointed at: any other "DIR" would make
    // the uninstaller remove the files of whatever folder it names.
    if (!IsInstallFolderOf(g_state.installDir, g_state.brand, g_state.title)) {
        ReportDamagedRecord(g_state.installDir);
        return 1;
    }
    char registered[REG_TEXT_SIZE];
    RegReadString(HKEY_LOCAL_MACHINE, g_state.keyPath, "Uninstall", registered);

    // A folder of up to 255 characters and a name of up to 255 always fit.
    char fileName[256];
    LoadStringA(g_state.instance, IDS_UNINSTALLER_EXE, fileName, sizeof(fileName));
    char expected[INSTALL_DIR_SIZE];
    char command[INSTALL_DIR_SIZE + 2];
    ComposeExpectedUninstaller(g_state.installDir, fileName, expected, sizeof(expected));
    FormatText(command, sizeof(command), kUninstallCommandFormat, expected);

    char entry[1024];
    FormatText(entry, sizeof(entry), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s", g_state.title);
    if (strcmp(registered, expected) == 0 && RegStringEquals(HKEY_LOCAL_MACHINE, entry, "UninstallString", command)) {
        AskUser(NULL, "アップデート済です", MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    RegWriteString(HKEY_LOCAL_MACHINE, g_state.keyPath, "Uninstall", expected);
    FormatText(g_state.keyPath, sizeof(g_state.keyPath), "%s", entry);
    RegWriteString(HKEY_LOCAL_MACHINE, g_state.keyPath, "UninstallString", command);
    RewriteUninstallerShortcut(expected);
    AskUser(NULL, "アップデートが完了しました", MB_OK | MB_ICONINFORMATION);
    return 1;
}
