// The install run: from the folder the user typed to the copied files.
#include "install.h"

#include "../ui/ui.h"

int RunInstall(HWND dialog)
{
    ShowMainMenu(dialog);
    return 0;
}
