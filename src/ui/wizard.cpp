// The wizard's page views and the folder picker.
#include "ui.h"

int ShowWizardPage(HWND dialog)
{
    (void)dialog;
    return 1;
}

int BrowseForInstallFolder(HWND owner, char *path)
{
    (void)owner;
    (void)path;
    return 0;
}
