// Terminates the data of a registry query inside its 256-byte area, or empties it.
#include "registry_text.h"

int FinishRegistryText(char *out, unsigned long size, int queried)
{
    if (queried && size <= REG_TEXT_SIZE) {
        if (size > 0 && out[size - 1] == '\0') return 1;
        if (size < REG_TEXT_SIZE) {
            out[size] = '\0';
            return 1;
        }
    }
    out[0] = '\0';
    return 0;
}
