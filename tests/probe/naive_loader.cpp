// Loads each DLL named on its command line by name alone, the way a careless program would.
#include <windows.h>

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) LoadLibraryA(argv[i]);
    return 0;
}
