// Handle and GDI object counts: through the documented calls, or where Wine leaves those
// unimplemented, through the system handle list and the process's shared GDI handle table.
#include "process_probe.h"

#include <winternl.h>

#include <vector>

namespace {

typedef NTSTATUS(WINAPI *QuerySystem)(ULONG, PVOID, ULONG, PULONG);
typedef NTSTATUS(WINAPI *QueryProcess)(HANDLE, ULONG, PVOID, ULONG, PULONG);

const ULONG kSystemHandleInformation = 16;
const LONG kInfoLengthMismatch = (LONG)0xC0000004;

struct HandleEntry {
    ULONG pid;
    UCHAR type;
    UCHAR flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};

// The list's entries follow its count at their own alignment: offset 4 on 32-bit, 8 on 64-bit.
struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};

// One entry of the GDI handle table that the PEB points at (the same layout on both systems).
#pragma pack(push, 1)
struct GdiEntry {
    unsigned long long object;
    ULONG owner;
    USHORT extra;
    UCHAR type;
    UCHAR generation;
    unsigned long long user;
};
#pragma pack(pop)

const size_t kGdiEntries = 0x10000;
const size_t kPebGdiTableOffset = sizeof(void *) == 8 ? 0xF8 : 0x94;

}  // namespace

long HandleCount(HANDLE process, DWORD pid)
{
    DWORD count = 0;
    if (GetProcessHandleCount(process, &count) && count > 0) return (long)count;
    QuerySystem query = (QuerySystem)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"),
                                                              "NtQuerySystemInformation");
    if (query == NULL) return -1;
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = query(kSystemHandleInformation, buffer.data(), (ULONG)buffer.size(), &needed)) ==
           kInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) return -1;
    const HandleList *list = reinterpret_cast<const HandleList *>(buffer.data());
    long mine = 0;
    for (ULONG i = 0; i < list->count; ++i) mine += list->entries[i].pid == pid;
    return mine;
}

long GdiObjectCount(HANDLE process)
{
    DWORD count = GetGuiResources(process, GR_GDIOBJECTS);
    if (count > 0) return (long)count;
    QueryProcess query = (QueryProcess)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"),
                                                                "NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic;
    ULONG length = 0;
    if (query == NULL || query(process, 0 /* ProcessBasicInformation */, &basic, sizeof(basic), &length) != 0) {
        return -1;
    }
    ULONG_PTR table = 0;
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, (char *)basic.PebBaseAddress + kPebGdiTableOffset, &table, sizeof(table),
                           &got) || table == 0) {
        return -1;
    }
    std::vector<GdiEntry> entries(kGdiEntries);
    if (!ReadProcessMemory(process, (LPCVOID)table, entries.data(), entries.size() * sizeof(GdiEntry),
                           &got)) {
        return -1;
    }
    long used = 0;
    for (const GdiEntry &entry : entries) used += entry.type != 0;
    return used;
}
