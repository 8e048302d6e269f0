// The run of the program on a machine where the product is already installed.
#include "app.h"

int ReregisterUninstaller(void)
{
    return 1;
}
