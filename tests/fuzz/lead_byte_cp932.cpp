// The lead bytes of code page 932 for the native fuzz build, where IsDBCSLeadByte is not available.
#include "../../src/common/path.h"

int IsLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
