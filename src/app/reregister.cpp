// The run of the program on a machine where the product is already installed: the uninstaller's
// registry values and shortcut are brought up to date, without dialog or disc.
#include "app.h"

#include <string.h>

#include "../common/common.h"
#include "../record/record.h"
#include "reregister_paths.h"

int ReregisterUninstaller(const char *dir)
{
    // The shortcut writer takes the working folder from the install folder.
    FormatText(g_state.installDir, sizeof(g_state.installDir), "%s", dir);
    RecordKeyPath(PRODUCT_KEY, g_state.keyPath, sizeof(g_state.keyPath));
    char registered[REG_TEXT_SIZE];
    RegReadString(HKEY_LOCAL_MACHINE, g_state.keyPath, kProductValueNames[VALUE_UNINSTALL], registered);

    // A folder of up to 255 characters and a name of up to 255 always fit.
    char fileName[256];
    LoadStringA(g_state.instance, IDS_UNINSTALLER_EXE, fileName, sizeof(fileName));
    char expected[INSTALL_DIR_SIZE];
    char command[INSTALL_DIR_SIZE + 2];
    ComposeExpectedUninstaller(g_state.installDir, fileName, expected, sizeof(expected));
    FormatText(command, sizeof(command), kUninstallCommandFormat, expected);

    char entry[KEY_PATH_SIZE];
    RecordKeyPath(UNINSTALL_ENTRY, entry, sizeof(entry));
    if (strcmp(registered, expected) == 0 && RegStringEquals(HKEY_LOCAL_MACHINE, entry, kEntryValueNames[ENTRY_UNINSTALL_STRING], command)) {
        AskUser(NULL, "アップデート済です", MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    RegWriteString(HKEY_LOCAL_MACHINE, g_state.keyPath, kProductValueNames[VALUE_UNINSTALL], expected);
    FormatText(g_state.keyPath, sizeof(g_state.keyPath), "%s", entry);
    RegWriteString(HKEY_LOCAL_MACHINE, g_state.keyPath, kEntryValueNames[ENTRY_UNINSTALL_STRING], command);
    WriteProductShortcut(IDS_UNINSTALL, fileName, 0);
    AskUser(NULL, "アップデートが完了しました", MB_OK | MB_ICONINFORMATION);
    return 1;
}
