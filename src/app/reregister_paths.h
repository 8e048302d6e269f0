// The paths the re-registration mode composes: pure, so they also build off Windows.
#ifndef SRC_APP_REREGISTER_PATHS_H
#define SRC_APP_REREGISTER_PATHS_H

#include <stddef.h>

// <installDir><fileName>: the recorded folder already ends with a backslash.
int ComposeExpectedUninstaller(const char *installDir, const char *fileName, char *out, size_t size);

#endif
