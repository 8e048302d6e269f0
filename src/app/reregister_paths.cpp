// Composition of the re-registration mode's paths; a path that does not fit is refused whole.
#include "reregister_paths.h"

#include <stdio.h>

static int Fits(int written, char *out, size_t size)
{
    if (written >= 0 && (size_t)written < size) return 1;
    if (size > 0) out[0] = '\0';
    return 0;
}

int ComposeExpectedUninstaller(const char *installDir, const char *fileName, char *out, size_t size)
{
    return Fits(snprintf(out, size, "%s%s", installDir, fileName), out, size);
}

