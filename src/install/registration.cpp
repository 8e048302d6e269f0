// Registration of a completed copy: Start-menu shortcuts and the install record.
#include "install.h"

#include "../common/common.h"
#include "../record/record.h"
#include "../ui/ui.h"

enum { PATH_SIZE = 1024 };

// <installDir><program>, stored in the value named of key; format quotes it where it must be.
static void WriteRecordPath(const char *key, const char *valueName, const char *program, const char *format = "%s")
{
    char path[PATH_SIZE];
    char value[PATH_SIZE];
    if (!FormatText(path, sizeof(path), "%s%s", g_state.installDir, program) ||
        !FormatText(value, sizeof(value), format, path)) {
        return;
    }
    RegWriteString(HKEY_LOCAL_MACHINE, key, valueName, value);
}

int RegisterInstallation(HWND dialog)
{
    g_state.isRegistering = 1;
    char game[256];
    char uninstaller[256];
    LoadStringA(g_state.instance, IDS_GAME_EXE, game, sizeof(game));
    LoadStringA(g_state.instance, IDS_UNINSTALLER_EXE, uninstaller, sizeof(uninstaller));
    WriteProductShortcut(IDS_TITLE, game, 1);
    WriteProductShortcut(IDS_UNINSTALL, uninstaller, 1);

    RecordKeyPath(PRODUCT_KEY, g_state.keyPath, sizeof(g_state.keyPath));
    RegWriteString(HKEY_LOCAL_MACHINE, g_state.keyPath, kProductValueNames[VALUE_BRAND], g_state.brand);
    RegWriteString(HKEY_LOCAL_MACHINE, g_state.keyPath, kProductValueNames[VALUE_TITLE], g_state.title);
    RegWriteString(HKEY_LOCAL_MACHINE, g_state.keyPath, kProductValueNames[VALUE_DIR], g_state.installDir);
    WriteRecordPath(g_state.keyPath, kProductValueNames[VALUE_EXE], game);
    WriteRecordPath(g_state.keyPath, kProductValueNames[VALUE_UNINSTALL], uninstaller);

    RecordKeyPath(UNINSTALL_ENTRY, g_state.keyPath, sizeof(g_state.keyPath));
    RegWriteString(HKEY_LOCAL_MACHINE, g_state.keyPath, kEntryValueNames[ENTRY_DISPLAY_NAME], g_state.title);
    WriteRecordPath(g_state.keyPath, kEntryValueNames[ENTRY_UNINSTALL_STRING], uninstaller, kUninstallCommandFormat);
    // What the platform's list of programs shows beside the name: maker, icon, place and size;
    // there is nothing to change or repair, so it offers removal alone.
    RegWriteString(HKEY_LOCAL_MACHINE, g_state.keyPath, kEntryValueNames[ENTRY_PUBLISHER], g_state.brand);
    WriteRecordPath(g_state.keyPath, kEntryValueNames[ENTRY_DISPLAY_ICON], game);
    RegWriteString(HKEY_LOCAL_MACHINE, g_state.keyPath, kEntryValueNames[ENTRY_INSTALL_LOCATION], g_state.installDir);
    RegWriteNumber(HKEY_LOCAL_MACHINE, g_state.keyPath, kEntryValueNames[ENTRY_ESTIMATED_SIZE], (DWORD)((g_state.bytesTotal + 1023) / 1024));
    RegWriteNumber(HKEY_LOCAL_MACHINE, g_state.keyPath, kEntryValueNames[ENTRY_NO_MODIFY], 1);
    RegWriteNumber(HKEY_LOCAL_MACHINE, g_state.keyPath, kEntryValueNames[ENTRY_NO_REPAIR], 1);

    // The install record, now whole, replaces the run's mark.
    RecordKeyPath(PRODUCT_KEY, g_state.keyPath, sizeof(g_state.keyPath));
    DeleteRunMark(g_state.keyPath, 0);

    g_state.isRegistering = 0;
    ShowMainMenu(dialog);
    return 1;
}
