// The install run's mark in the product key: written by the run, read by the clean-up at start.
#include "record.h"

#include <stdio.h>
#include <string.h>

#include "../common/common.h"
#include "../common/path.h"

enum { KEY_PATH_SIZE = 1024 };

// The right to read a process's times and to wait for it, which the system grants on nearly every
// process from version 6 on; older systems know only the full query right.
static const DWORD kQueryLimited = 0x1000;

// When process started, in the system's 100 ns units since 1601.
static int StartTimeOf(HANDLE process, unsigned long long *started)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    *started = ((unsigned long long)created.dwHighDateTime << 32) | created.dwLowDateTime;
    return 1;
}

void WriteRunMark(const char *installDir, const char *highestMade)
{
    char productKey[KEY_PATH_SIZE];
    char owner[64];
    unsigned long long started = 0;
    if (!RecordKeyPath(PRODUCT_KEY, productKey, sizeof(productKey)) || !StartTimeOf(GetCurrentProcess(), &started)) {
        return;
    }
    FormatText(owner, sizeof(owner), "%lu %llu", (unsigned long)GetCurrentProcessId(), started);
    // The folder goes last: a mark that names a folder is whole.
    RegWriteString(HKEY_LOCAL_MACHINE, productKey, kRunMarkOwnerValue, owner);
    RegWriteString(HKEY_LOCAL_MACHINE, productKey, kRunMarkMadeValue, highestMade);
    RegWriteString(HKEY_LOCAL_MACHINE, productKey, kRunMarkValue, installDir);
}

// Whether the process an owner text names still runs: the same id and the same start time, so that
// an id the system has given to another process since does not count. A process that exists but
// may not be looked at (another user's, beyond this one's rights) counts as running: its mark stays
// for a later start rather than be taken from under a run.
static int OwnerRuns(const char *owner)
{
    unsigned long pid = 0;
    unsigned long long started = 0;
    char rest = 0;
    if (sscanf(owner, "%lu %llu %c", &pid, &started, &rest) != 2) return 0;
    HANDLE process = OpenProcess(kQueryLimited | SYNCHRONIZE, FALSE, (DWORD)pid);
    if (process == NULL && GetLastError() == ERROR_ACCESS_DENIED) {
        process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, (DWORD)pid);
    }
    if (process == NULL) return GetLastError() == ERROR_ACCESS_DENIED;
    unsigned long long found = 0;
    int runs = StartTimeOf(process, &found) && found == started && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
}

// Whether highest is a whole leading part of folder, below the root of its volume.
static int IsLevelOf(const char *highest, const char *folder)
{
    char root[REG_TEXT_SIZE];
    size_t length = strlen(highest);
    return VolumeRoot(folder, root, sizeof(root)) && length > strlen(root) && strncmp(highest, folder, length) == 0 &&
           EndsWithBackslash(highest);
}

RunMarkState ReadRunMark(RunMark *mark)
{
    char productKey[KEY_PATH_SIZE];
    char owner[REG_TEXT_SIZE];
    mark->installDir[0] = '\0';
    mark->highestMade[0] = '\0';
    if (!RecordKeyPath(PRODUCT_KEY, productKey, sizeof(productKey)) ||
        !RegReadString(HKEY_LOCAL_MACHINE, productKey, kRunMarkValue, mark->installDir) ||
        mark->installDir[0] == '\0') {
        return MARK_NONE;
    }
    RegReadString(HKEY_LOCAL_MACHINE, productKey, kRunMarkOwnerValue, owner);
    if (OwnerRuns(owner)) return MARK_RUN_ALIVE;
    if (!IsInstallFolderOf(mark->installDir, g_state.brand, g_state.title)) return MARK_DAMAGED;
    // With its drive away every name in the folder would be missing, and so count as removed: the
    // drive's root is looked at once, before any name.
    if (!VolumeAnswers(mark->installDir)) return MARK_DRIVE_AWAY;
    RegReadString(HKEY_LOCAL_MACHINE, productKey, kRunMarkMadeValue, mark->highestMade);
    if (!IsLevelOf(mark->highestMade, mark->installDir)) mark->highestMade[0] = '\0';
    return MARK_LEFT_OVER;
}

void DeleteRunMark(const char *productKey)
{
    static const char *const kValues[] = {kRunMarkValue, kRunMarkMadeValue, kRunMarkOwnerValue};
    for (const char *value : kValues) RegDeleteValueOf(HKEY_LOCAL_MACHINE, productKey, value);
}
