// Removal of a (partial) installation and the two launch commands of the main menu.
#include "record.h"

#include "../common/common.h"

int RemoveInstallation(const char *installDir)
{
    (void)installDir;
    return 1;
}

void LaunchGame(void)
{
    CloseInstaller();
}

int LaunchUninstaller(void)
{
    CloseInstaller();
    return 1;
}
