// Counts of another process's kernel handles and GDI objects, as far as the platform tells them.
#ifndef TESTS_SUPPORT_PROCESS_PROBE_H
#define TESTS_SUPPORT_PROCESS_PROBE_H

#include <windows.h>

// -1 when the count cannot be had. The process handle needs query and read access.
long HandleCount(HANDLE process, DWORD pid);
long GdiObjectCount(HANDLE process);

#endif
