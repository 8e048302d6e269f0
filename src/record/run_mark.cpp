// The install runs' marks in the product key, and the machine-wide lock of the installer's programs.
#include "record.h"

#include <stdio.h>
#include <string.h>
#include <winternl.h>

#include <vector>

#include "../common/common.h"
#include "../common/path.h"

// The right to read a process's times and to wait for it, which the system grants on nearly every
// process from version 6 on; older systems know only the full query right.
static const DWORD kQueryLimited = 0x1000;

// The three value names of one slot's mark: slot 0 under the plain names, slot n with "_<n>".
struct MarkNames {
    char folder[64];
    char made[64];
    char owner[64];
};

static void NamesOf(int slot, MarkNames *names)
{
    if (slot == 0) {
        FormatText(names->folder, sizeof(names->folder), "%s", kRunMarkValue);
        FormatText(names->made, sizeof(names->made), "%s", kRunMarkMadeValue);
        FormatText(names->owner, sizeof(names->owner), "%s", kRunMarkOwnerValue);
    } else {
        FormatText(names->folder, sizeof(names->folder), "%s_%d", kRunMarkValue, slot);
        FormatText(names->made, sizeof(names->made), "%s_%d", kRunMarkMadeValue, slot);
        FormatText(names->owner, sizeof(names->owner), "%s_%d", kRunMarkOwnerValue, slot);
    }
}

// When process started, in the system's 100 ns units since 1601.
static int StartTimeOf(HANDLE process, unsigned long long *started)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    *started = ((unsigned long long)created.dwHighDateTime << 32) | created.dwLowDateTime;
    return 1;
}

// Writes a whole mark into slot: owner and made first, the folder last, so that a mark that names a
// folder is whole. A write that is refused takes back what was written, and fails.
static int WriteMarkValues(const char *productKey, int slot, const char *installDir, const char *highestMade,
                           const char *owner)
{
    MarkNames names;
    NamesOf(slot, &names);
    if (RegWriteString(HKEY_LOCAL_MACHINE, productKey, names.owner, owner) &&
        RegWriteString(HKEY_LOCAL_MACHINE, productKey, names.made, highestMade) &&
        RegWriteString(HKEY_LOCAL_MACHINE, productKey, names.folder, installDir)) {
        return 1;
    }
    DeleteRunMark(productKey, slot);
    return 0;
}

int WriteRunMark(const char *installDir, const char *highestMade)
{
    char productKey[KEY_PATH_SIZE];
    char owner[64];
    unsigned long long started = 0;
    if (!RecordKeyPath(PRODUCT_KEY, productKey, sizeof(productKey)) || !StartTimeOf(GetCurrentProcess(), &started)) {
        return 0;
    }
    FormatText(owner, sizeof(owner), "%lu %llu", (unsigned long)GetCurrentProcessId(), started);
    return WriteMarkValues(productKey, 0, installDir, highestMade, owner);
}

int KeepEarlierRunMark(void)
{
    char productKey[KEY_PATH_SIZE];
    char folder[REG_TEXT_SIZE];
    char made[REG_TEXT_SIZE];
    char owner[REG_TEXT_SIZE];
    MarkNames names;
    if (!RecordKeyPath(PRODUCT_KEY, productKey, sizeof(productKey))) return 0;
    NamesOf(0, &names);
    if (!RegReadString(HKEY_LOCAL_MACHINE, productKey, names.folder, folder) || folder[0] == '\0') {
        DeleteRunMark(productKey, 0);  // a part of a mark that names no folder names nothing
        return 1;
    }
    RegReadString(HKEY_LOCAL_MACHINE, productKey, names.made, made);
    RegReadString(HKEY_LOCAL_MACHINE, productKey, names.owner, owner);
    for (int slot = 1; slot < MARK_SLOTS; ++slot) {
        char taken[REG_TEXT_SIZE];
        NamesOf(slot, &names);
        if (RegReadString(HKEY_LOCAL_MACHINE, productKey, names.folder, taken) && taken[0] != '\0') continue;
        // The copy is whole before the original goes: a kill in between leaves the mark twice,
        // and taking the same folder back twice is harmless.
        if (!WriteMarkValues(productKey, slot, folder, made, owner)) return 0;
        DeleteRunMark(productKey, 0);
        return 1;
    }
    return 0;
}

// What is known of the process an owner text names: gone, running, or unknown (it exists, or may,
// but this user may not look at it). The same id and the same start time count, so that an id the
// system has given to another process since does not.
enum OwnerState { OWNER_GONE, OWNER_RUNS, OWNER_UNKNOWN };

typedef NTSTATUS(WINAPI *QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);

// The leading fields of one entry of the system's process list, which every version since 5.0 lays
// out so: the offset of the next entry, counts, the creation time, times, a name, then the id.
struct ListedProcess {
    ULONG nextEntryOffset;
    ULONG threads;
    LARGE_INTEGER reserved[3];
    LARGE_INTEGER createTime;
    LARGE_INTEGER userTime;
    LARGE_INTEGER kernelTime;
    UNICODE_STRING imageName;
    LONG basePriority;
    HANDLE processId;
};

// The owner looked up in the system's process list, which names every process with its start
// time whoever may open it.
static OwnerState OwnerFromProcessList(unsigned long pid, unsigned long long started)
{
    QuerySystemInformation query = (QuerySystemInformation)(void *)GetProcAddress(
        GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
    if (query == NULL) return OWNER_UNKNOWN;
    std::vector<char> buffer(256 * 1024);
    ULONG needed = 0;
    NTSTATUS status;
    // 0xC0000004: the list grew beyond the buffer.
    while ((status = query(5 /* SystemProcessInformation */, buffer.data(), (ULONG)buffer.size(), &needed)) ==
               (NTSTATUS)0xC0000004 &&
           buffer.size() < (64u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) return OWNER_UNKNOWN;
    for (size_t at = 0; at + sizeof(ListedProcess) <= buffer.size();) {
        const ListedProcess *entry = reinterpret_cast<const ListedProcess *>(buffer.data() + at);
        if ((unsigned long)(ULONG_PTR)entry->processId == pid) {
            return (unsigned long long)entry->createTime.QuadPart == started ? OWNER_RUNS : OWNER_GONE;
        }
        if (entry->nextEntryOffset == 0) break;
        at += entry->nextEntryOffset;
    }
    return OWNER_GONE;
}

static OwnerState OwnerOf(const char *owner)
{
    unsigned long pid = 0;
    unsigned long long started = 0;
    char rest = 0;
    if (sscanf(owner, "%lu %llu %c", &pid, &started, &rest) != 2) return OWNER_GONE;
    HANDLE process = OpenProcess(kQueryLimited | SYNCHRONIZE, FALSE, (DWORD)pid);
    if (process == NULL && GetLastError() == ERROR_ACCESS_DENIED) {
        process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, (DWORD)pid);
    }
    if (process == NULL) {
        // No process has that id; any other refusal leaves the process list to tell.
        return GetLastError() == ERROR_INVALID_PARAMETER ? OWNER_GONE : OwnerFromProcessList(pid, started);
    }
    unsigned long long found = 0;
    OwnerState state;
    if (!StartTimeOf(process, &found)) {
        state = OwnerFromProcessList(pid, started);
    } else {
        state = found == started && WaitForSingleObject(process, 0) == WAIT_TIMEOUT ? OWNER_RUNS : OWNER_GONE;
    }
    CloseHandle(process);
    return state;
}

// Whether highest is a whole leading part of folder, below the root of its volume.
static int IsLevelOf(const char *highest, const char *folder)
{
    char root[REG_TEXT_SIZE];
    size_t length = strlen(highest);
    return VolumeRoot(folder, root, sizeof(root)) && length > strlen(root) && strncmp(highest, folder, length) == 0 &&
           EndsWithBackslash(highest);
}

RunMarkState ReadRunMark(int slot, RunMark *mark)
{
    char productKey[KEY_PATH_SIZE];
    char owner[REG_TEXT_SIZE];
    MarkNames names;
    NamesOf(slot, &names);
    mark->installDir[0] = '\0';
    mark->highestMade[0] = '\0';
    if (!RecordKeyPath(PRODUCT_KEY, productKey, sizeof(productKey)) ||
        !RegReadString(HKEY_LOCAL_MACHINE, productKey, names.folder, mark->installDir) ||
        mark->installDir[0] == '\0') {
        return MARK_NONE;
    }
    RegReadString(HKEY_LOCAL_MACHINE, productKey, names.owner, owner);
    // An owner that cannot be looked at may be a run under way: it is left alone, and the start
    // that finds it says so.
    if (OwnerOf(owner) != OWNER_GONE) return MARK_RUN_ALIVE;
    if (!IsInstallFolderOf(mark->installDir, g_state.brand, g_state.title)) return MARK_DAMAGED;
    RegReadString(HKEY_LOCAL_MACHINE, productKey, names.made, mark->highestMade);
    if (!IsLevelOf(mark->highestMade, mark->installDir)) mark->highestMade[0] = '\0';
    return MARK_LEFT_OVER;
}

void DeleteRunMark(const char *productKey, int slot)
{
    MarkNames names;
    NamesOf(slot, &names);
    // The folder first: what stays of a mark that is cut short names nothing.
    for (const char *value : {names.folder, names.made, names.owner}) {
        RegDeleteValueOf(HKEY_LOCAL_MACHINE, productKey, value);
    }
}

MachineLock TakeMachineLock(int inheritable)
{
    // The record is shared by every session; the lock's name differs from the single-instance
    // mutex's, which in session 0 lives in the same namespace.
    char name[300];
    FormatText(name, sizeof(name), "Global\\%s Installer Run", g_state.title);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), NULL, inheritable ? TRUE : FALSE};
    SetLastError(ERROR_SUCCESS);
    HANDLE held = CreateMutexA(&attributes, FALSE, name);  // kept until the process ends
    if (held != NULL && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(held);  // a handle kept would keep the other's lock alive after it ends
        return LOCK_HELD;
    }
    if (held != NULL) return LOCK_TAKEN;
    if (GetLastError() != ERROR_ACCESS_DENIED) return LOCK_REFUSED;
    // Refused: either the name exists with rights that deny this user, or the namespace is denied.
    // A name that can be opened at all is held by someone this user may see.
    HANDLE other = OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (other != NULL) {
        CloseHandle(other);
        return LOCK_HELD;
    }
    return LOCK_REFUSED;
}
