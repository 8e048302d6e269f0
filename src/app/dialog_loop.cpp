// Creates the installer dialog and runs the message loop that serves it.
#include <windows.h>

#include "../common/common.h"
#include "../ui/ui.h"
#include "app.h"

int RunInstallerDialog(void)
{
    LoadCommonControls();
    // Created wide, so that the template's texts and every text set later read as written
    // whatever the system's code page is.
    g_state.dialog = CreateDialogParamW(g_state.instance, MAKEINTRESOURCEW(IDD_INSTALL), NULL,
                                        InstallDialogProc, 0);
    if (g_state.dialog == NULL) {
        // Without a dialog no quit message would ever come: say so and end.
        ShowError(NULL, "インストーラの画面を作成できませんでした");
        return 0;
    }
    ShowWindow(g_state.dialog, SW_SHOW);

    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0) ServeMessage(&message);
    return 1;
}
