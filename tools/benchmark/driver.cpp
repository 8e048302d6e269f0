// The benchmark's driver: runs Setup.exe and the reference programs under Wine and measures them from outside.
//   bench_driver.exe install SETUP FOLDER NAMES         a whole install: copy rate, animation, memory
//   bench_driver.exe cancel SETUP FOLDER NAMES          an install cancelled half-way: the cancel's latency
//   bench_driver.exe bare COPY_PROGRAM FOLDER NAMES REPORT   the bare copy loop into FOLDER: copy rate
//   bench_driver.exe startup SETUP DIALOG PAIRS         start-up to the main menu against the minimal dialog
// NAMES is the comma-separated list of files on the disc (drive Q:). Each measurement is one line of
// key=value pairs on standard output; a line starting with "error" tells what went wrong.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../../res/resource.h"
#include "../driver/driver.h"
#include "../driver/walk.h"

namespace {

const char kDiscRoot[] = "Q:\\";
const char kCaption[] = "Velvet Tinkers インストーラ";
const char kDialogCaption[] = "Bench Dialog";
const char kProductKey[] = "SOFTWARE\\Velvet Tinkers";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velvet Tinkers";
const double kMiB = 1048576.0;
const double kTimerSeconds = 0.499;  // the animation timer: the frame interval string less one
const DWORD kStepTimeoutMs = 60000;
const double kCopyTimeoutSeconds = 900.0;
const DWORD kCopyPollMs = 4;    // file size polls during a copy
const double kProbeSeconds = 0.02;  // screen and memory samples during a copy

enum { MAX_FILES = 64, NAME_SIZE = 64, PATH_SIZE = 1024, MAX_CHANGES = 4096 };

struct FileSet {
    char names[MAX_FILES][NAME_SIZE];
    unsigned long long sizes[MAX_FILES];
    int count;
    unsigned long long total;
};

// Follows a copy from outside: the files are copied in list order, so only the first one not yet
// at its full size is asked for its size.
struct CopyWatch {
    const FileSet *files;
    char folder[PATH_SIZE];
    int current;
    unsigned long long doneBytes;
};

// A copy of the screen under the installer's picture, to tell when a new frame reaches the screen.
struct PictureProbe {
    HDC screen;
    HDC memory;
    HBITMAP bitmap;
    HGDIOBJ previous;
    const unsigned char *pixels;
    RECT rect;
    int rowBytes;
};

double Seconds()
{
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

int JoinPath(char *out, size_t size, const char *folder, const char *name)
{
    int written = snprintf(out, size, "%s%s", folder, name);
    return written >= 0 && (size_t)written < size;
}

long long FileSizeOf(const char *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
    return ((long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

int LoadFileSet(const char *list, FileSet *files)
{
    memset(files, 0, sizeof(*files));
    const char *start = list;
    while (*start != '\0') {
        const char *end = strchr(start, ',');
        size_t length = end == NULL ? strlen(start) : (size_t)(end - start);
        if (length == 0 || length >= NAME_SIZE || files->count == MAX_FILES) return 0;
        memcpy(files->names[files->count], start, length);
        char path[PATH_SIZE];
        if (!JoinPath(path, sizeof(path), kDiscRoot, files->names[files->count])) return 0;
        long long size = FileSizeOf(path);
        if (size < 0) return 0;
        files->sizes[files->count] = (unsigned long long)size;
        files->total += (unsigned long long)size;
        files->count += 1;
        if (end == NULL) break;
        start = end + 1;
    }
    return files->count > 0;
}

void StartWatch(CopyWatch *watch, const FileSet *files, const char *folder)
{
    watch->files = files;
    snprintf(watch->folder, sizeof(watch->folder), "%s", folder);
    watch->current = 0;
    watch->doneBytes = 0;
}

unsigned long long CopiedBytes(CopyWatch *watch)
{
    const FileSet *files = watch->files;
    while (watch->current < files->count) {
        char path[PATH_SIZE];
        if (!JoinPath(path, sizeof(path), watch->folder, files->names[watch->current])) return watch->doneBytes;
        long long size = FileSizeOf(path);
        if (size < 0) return watch->doneBytes;
        if ((unsigned long long)size < files->sizes[watch->current]) return watch->doneBytes + (unsigned long long)size;
        watch->doneBytes += files->sizes[watch->current];
        watch->current += 1;
    }
    return watch->doneBytes;
}

// Where the installer puts the files for the folder typed into its edit box.
int InstallFolderFor(const char *typed, char *out, size_t size)
{
    int written = snprintf(out, size, "%s\\kestrelix\\Velvet Tinkers\\", typed);
    return written >= 0 && (size_t)written < size;
}

int HasExited(const Program *program)
{
    return WaitForSingleObject(program->process, 0) == WAIT_OBJECT_0;
}

// The visible dialog of pid with the caption whose control is visible too: the main menu when the
// control is the exit button. Polls the window manager's state only, never the program's queue.
HWND WaitForShownControl(const Program *program, const char *caption, int controlId, DWORD pollMs, DWORD timeoutMs)
{
    double deadline = Seconds() + timeoutMs / 1000.0;
    do {
        HWND found = FindDialog(program->pid, caption);
        if (found != NULL && IsWindowVisible(GetDlgItem(found, controlId))) return found;
        if (HasExited(program)) return NULL;
        Sleep(pollMs);
    } while (Seconds() < deadline);
    return NULL;
}

// Ends a program through its close box, or by force when it does not end.
void CloseProgram(Program *program, HWND window)
{
    if (window != NULL) PostMessageA(window, WM_CLOSE, 0, 0);
    WaitForExit(*program, 20000);
    EndProgram(*program);
}

// A completed install leaves its record and shortcuts; without them the next start shows the menu again.
void ForgetInstallation()
{
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kProductKey);
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    static const int kFolders[] = {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS};
    for (int csidl : kFolders) {
        char special[MAX_PATH] = "";
        if (!SHGetSpecialFolderPathA(NULL, special, csidl, FALSE)) continue;
        char folder[PATH_SIZE];
        if (!JoinPath(folder, sizeof(folder), special, "\\Velvet Tinkers\\")) continue;
        static const char *const kLinks[] = {"Velvet Tinkers.lnk", "アンインストール.lnk"};
        for (const char *link : kLinks) {
            char path[PATH_SIZE];
            if (JoinPath(path, sizeof(path), folder, link)) DeleteFileA(path);
        }
        RemoveDirectoryA(folder);
    }
}

int OpenPictureProbe(PictureProbe *probe, const RECT *rect)
{
    ZeroMemory(probe, sizeof(*probe));
    probe->rect = *rect;
    int width = probe->rect.right - probe->rect.left;
    int height = probe->rect.bottom - probe->rect.top;
    if (width <= 0 || height <= 0) return 0;
    probe->screen = GetDC(NULL);
    probe->memory = CreateCompatibleDC(probe->screen);
    BITMAPINFOHEADER header;
    ZeroMemory(&header, sizeof(header));
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    void *pixels = NULL;
    probe->bitmap = CreateDIBSection(probe->screen, (BITMAPINFO *)&header, DIB_RGB_COLORS, &pixels, NULL, 0);
    if (probe->bitmap == NULL) {
        DeleteDC(probe->memory);
        ReleaseDC(NULL, probe->screen);
        ZeroMemory(probe, sizeof(*probe));
        return 0;
    }
    probe->previous = SelectObject(probe->memory, probe->bitmap);
    probe->pixels = (const unsigned char *)pixels;
    probe->rowBytes = (width * 3 + 3) & ~3;
    return 1;
}

void ClosePictureProbe(PictureProbe *probe)
{
    if (probe->bitmap == NULL) return;
    SelectObject(probe->memory, probe->previous);
    DeleteObject(probe->bitmap);
    DeleteDC(probe->memory);
    ReleaseDC(NULL, probe->screen);
    ZeroMemory(probe, sizeof(*probe));
}

// FNV-1a over what the screen shows in the picture's rectangle.
unsigned PictureHash(PictureProbe *probe)
{
    if (probe->bitmap == NULL) return 0;
    int width = probe->rect.right - probe->rect.left;
    int height = probe->rect.bottom - probe->rect.top;
    BitBlt(probe->memory, 0, 0, width, height, probe->screen, probe->rect.left, probe->rect.top, SRCCOPY);
    GdiFlush();
    unsigned hash = 2166136261u;
    size_t bytes = (size_t)probe->rowBytes * (size_t)height;
    for (size_t i = 0; i < bytes; ++i) hash = (hash ^ probe->pixels[i]) * 16777619u;
    return hash;
}

int ReadMemory(HANDLE process, PROCESS_MEMORY_COUNTERS *counters)
{
    ZeroMemory(counters, sizeof(*counters));
    return GetProcessMemoryInfo(process, counters, sizeof(*counters)) != FALSE;
}

int CompareDoubles(const void *first, const void *second)
{
    double a = *(const double *)first;
    double b = *(const double *)second;
    return a < b ? -1 : a > b ? 1 : 0;
}

double Median(double *values, int count)
{
    if (count <= 0) return 0.0;
    qsort(values, (size_t)count, sizeof(double), CompareDoubles);
    return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2.0;
}

// The Linux process behind a program of this prefix, by its command name: Wine names each
// process after its program, and the prefix tells this run's from other runs'. Its threads' CPU
// time is read from /proc through drive Z:, so that a copy's cost can be told apart from the
// share of the processor that other work on the machine leaves it. 0 when none is found.
int ReadSmallFile(const char *path, char *text, size_t size)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD got = 0;
    BOOL read = ReadFile(file, text, (DWORD)(size - 1), &got, NULL);
    CloseHandle(file);
    text[read ? got : 0] = '\0';
    return read && got > 0 ? (int)got : 0;
}

int HasPrefix(const char *environment, int length, const char *prefix)
{
    char wanted[PATH_SIZE];
    int written = snprintf(wanted, sizeof(wanted), "WINEPREFIX=%s", prefix);
    if (written < 0 || (size_t)written >= sizeof(wanted)) return 0;
    for (int at = 0; at < length; at += (int)strlen(environment + at) + 1) {
        if (strcmp(environment + at, wanted) == 0) return 1;
    }
    return 0;
}

unsigned long FindLinuxProcess(const char *command)
{
    char prefix[PATH_SIZE];
    DWORD prefixLength = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof(prefix));
    if (prefixLength == 0 || prefixLength >= sizeof(prefix)) return 0;
    char wantedName[128];
    snprintf(wantedName, sizeof(wantedName), "(%s)", command);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    unsigned long found = 0;
    do {
        if (entry.cFileName[0] < '1' || entry.cFileName[0] > '9') continue;
        char path[MAX_PATH];
        static char text[65536];
        snprintf(path, sizeof(path), "Z:\\proc\\%s\\stat", entry.cFileName);
        if (!ReadSmallFile(path, text, sizeof(text)) || strstr(text, wantedName) == NULL) continue;
        snprintf(path, sizeof(path), "Z:\\proc\\%s\\environ", entry.cFileName);
        int length = ReadSmallFile(path, text, sizeof(text));
        unsigned long pid = strtoul(entry.cFileName, NULL, 10);
        if (length > 0 && HasPrefix(text, length, prefix) && pid > found) found = pid;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}

// The CPU time of all of a Linux process's threads so far, in seconds; -1 when it cannot be read.
double LinuxCpuSeconds(unsigned long pid)
{
    if (pid == 0) return -1.0;
    char pattern[MAX_PATH];
    snprintf(pattern, sizeof(pattern), "Z:\\proc\\%lu\\task\\*", pid);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return -1.0;
    double seconds = 0.0;
    do {
        if (entry.cFileName[0] < '0' || entry.cFileName[0] > '9') continue;
        char path[MAX_PATH];
        char text[256];
        snprintf(path, sizeof(path), "Z:\\proc\\%lu\\task\\%s\\schedstat", pid, entry.cFileName);
        if (ReadSmallFile(path, text, sizeof(text))) seconds += strtod(text, NULL) / 1e9;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return seconds;
}

// What one watched copy saw.
struct CopyFigures {
    double started;      // the press of 実行 posted, or the copying program started
    double firstBlock;   // first poll that saw copied bytes
    double lastBlock;    // first poll that saw every byte
    unsigned long long firstBytes;
    int polls;
    int frames;          // changes on the screen under the probe between first and last block
    double frameTimes[MAX_CHANGES];
    int probes;
    PROCESS_MEMORY_COUNTERS idle;
    SIZE_T copyPagefile;     // the most private bytes sampled during the copy
    SIZE_T copyWorkingSet;   // the largest working set sampled during the copy
    PROCESS_MEMORY_COUNTERS lastInCopy;
    unsigned long linuxPid;  // the copying process as Linux knows it, 0 when not found
    double firstCpu;         // its CPU seconds at the first block and at the last
    double lastCpu;
};

// The screen area that the bare loop's probe copies: its window's corner, as large as the
// installer's picture, so that both copies are watched at the same cost.
const int kBareProbeWidth = 216;
const int kBareProbeHeight = 250;

int BareProbeRect(const Program *program, RECT *rect)
{
    HWND window = FindWindowA("#32770", "Bench Copy");
    DWORD pid = 0;
    if (window == NULL || !GetWindowThreadProcessId(window, &pid) || pid != program->pid) return 0;
    if (!GetWindowRect(window, rect)) return 0;
    rect->right = rect->left + kBareProbeWidth;
    rect->bottom = rect->top + kBareProbeHeight;
    return 1;
}

// Follows a started copy until every byte is there: file sizes every few milliseconds; the
// screen under the probe (the installer's picture) and the process's memory every 20 ms. The
// bare loop's window is looked for while its copy runs when no picture is given.
int FollowCopy(Program *program, HWND picture, CopyWatch *watch, unsigned long long total, CopyFigures *figures)
{
    PictureProbe probe;
    RECT rect;
    int probing = picture != NULL && GetWindowRect(picture, &rect) && OpenPictureProbe(&probe, &rect);
    unsigned shown = probing ? PictureHash(&probe) : 0;
    int complete = 0;
    double nextProbe = 0.0;
    figures->firstBlock = -1.0;
    while (!complete) {
        double now = Seconds();
        unsigned long long bytes = CopiedBytes(watch);
        figures->polls += 1;
        if (bytes > 0 && figures->firstBlock < 0) {
            figures->firstBlock = now;
            figures->firstBytes = bytes;
            figures->firstCpu = LinuxCpuSeconds(figures->linuxPid);
            if (probing) shown = PictureHash(&probe);
            nextProbe = now + kProbeSeconds;
        }
        if (bytes >= total) {
            figures->lastBlock = now;
            figures->lastCpu = LinuxCpuSeconds(figures->linuxPid);
            complete = 1;
        } else if (figures->firstBlock >= 0 && now >= nextProbe) {
            nextProbe = now + kProbeSeconds;
            figures->probes += 1;
            if (!probing && picture == NULL && BareProbeRect(program, &rect)) {
                probing = OpenPictureProbe(&probe, &rect);
                shown = probing ? PictureHash(&probe) : 0;
            } else if (probing) {
                unsigned hash = PictureHash(&probe);
                if (hash != shown && figures->frames < MAX_CHANGES) figures->frameTimes[figures->frames++] = Seconds();
                shown = hash;
            }
            PROCESS_MEMORY_COUNTERS counters;
            if (ReadMemory(program->process, &counters)) {
                if (counters.PagefileUsage > figures->copyPagefile) figures->copyPagefile = counters.PagefileUsage;
                if (counters.WorkingSetSize > figures->copyWorkingSet) figures->copyWorkingSet = counters.WorkingSetSize;
                figures->lastInCopy = counters;
            }
        }
        if (!complete && (HasExited(program) || now - figures->started > kCopyTimeoutSeconds)) break;
        if (!complete) Sleep(kCopyPollMs);
    }
    if (probing) ClosePictureProbe(&probe);
    return complete;
}

// The wizard walked to its confirmation in a freshly started Setup.exe.
HWND StartAtConfirmation(const char *setup, const char *folder, Program *program)
{
    if (!StartProgram(setup, program)) return NULL;
    HWND dialog = WaitForShownControl(program, kCaption, IDC_BUTTON_END, 10, kStepTimeoutMs);
    if (dialog == NULL || !WalkToConfirm(dialog, TYPE_STANDARD, folder)) return NULL;
    Sleep(300);  // let the page settle before the idle figures are taken
    WaitPastDoubleClick();  // so that the measured press of 実行 is not held back
    return dialog;
}

int MeasureInstall(const char *setup, const char *typed, const FileSet *files)
{
    char folder[PATH_SIZE];
    if (!InstallFolderFor(typed, folder, sizeof(folder))) return 0;
    static CopyFigures figures;
    ZeroMemory(&figures, sizeof(figures));
    Program program;
    HWND dialog = StartAtConfirmation(setup, typed, &program);
    int ok = dialog != NULL;
    if (!ok) printf("error install: no confirmation page\n");
    CopyWatch watch;
    StartWatch(&watch, files, folder);
    if (ok) {
        ReadMemory(program.process, &figures.idle);
        figures.linuxPid = FindLinuxProcess("Setup.exe");
        figures.started = Seconds();
        Click(dialog, IDC_BUTTON_NEXT);
    }
    if (ok && !FollowCopy(&program, GetDlgItem(dialog, IDC_PICTURE), &watch, files->total, &figures)) {
        printf("error install: the copy did not complete\n");
        ok = 0;
    }
    double menu = -1.0;
    if (ok && WaitForShownControl(&program, kCaption, IDC_BUTTON_END, 5, kStepTimeoutMs) != NULL) menu = Seconds();
    CloseProgram(&program, dialog);
    ForgetInstallation();
    if (!ok) return 0;

    double seconds = figures.lastBlock - figures.firstBlock;
    double mib = (double)(files->total - figures.firstBytes) / kMiB;
    double intervals[MAX_CHANGES];
    int intervalCount = 0;
    for (int i = 1; i < figures.frames; ++i) intervals[intervalCount++] = figures.frameTimes[i] - figures.frameTimes[i - 1];
    SIZE_T copyPeak = figures.copyPagefile;
    if (figures.lastInCopy.PeakPagefileUsage > figures.idle.PeakPagefileUsage &&
        figures.lastInCopy.PeakPagefileUsage > copyPeak) {
        copyPeak = figures.lastInCopy.PeakPagefileUsage;
    }
    SIZE_T copyPeakSet = figures.copyWorkingSet;
    if (figures.lastInCopy.PeakWorkingSetSize > figures.idle.PeakWorkingSetSize &&
        figures.lastInCopy.PeakWorkingSetSize > copyPeakSet) {
        copyPeakSet = figures.lastInCopy.PeakWorkingSetSize;
    }
    double span = figures.frames > 1 ? figures.frameTimes[figures.frames - 1] - figures.frameTimes[0] : 0.0;
    double cpu = figures.lastCpu - figures.firstCpu;
    printf("install bytes=%llu seconds=%.4f mibps=%.2f cpu_seconds=%.4f cpu_mibps=%.2f"
           " click_to_first=%.4f last_to_menu=%.4f polls=%d"
           " frames=%d ticks=%.2f frame_interval=%.4f frame_span=%.4f probes=%d"
           " idle_private=%lu copy_private=%lu idle_ws=%lu copy_ws=%lu idle_peak_private=%lu\n",
           files->total, seconds, seconds > 0 ? mib / seconds : 0.0, figures.firstCpu >= 0 ? cpu : -1.0,
           figures.firstCpu >= 0 && cpu > 0 ? mib / cpu : 0.0, figures.firstBlock - figures.started,
           menu > 0 ? menu - figures.lastBlock : -1.0, figures.polls, figures.frames, seconds / kTimerSeconds,
           Median(intervals, intervalCount), span, figures.probes, (unsigned long)figures.idle.PagefileUsage,
           (unsigned long)copyPeak, (unsigned long)figures.idle.WorkingSetSize, (unsigned long)copyPeakSet,
           (unsigned long)figures.idle.PeakPagefileUsage);
    return 1;
}

// What a cancel does to the files, watched by a thread of its own that makes only file-system
// calls: a thread that also asked for window state would wait on the Wine server while the
// server unlinks a large file, and see every file event late.
struct RemovalWatch {
    const CopyWatch *copy;
    volatile LONG stop;
    double lastGrowth;   // the poll that last saw the file being copied grow
    double firstGone;    // the poll that first missed a copied file
    double folderGone;   // the poll that first missed the install folder
    int polls;
};

int FolderGone(const char *folder)
{
    char path[PATH_SIZE];
    snprintf(path, sizeof(path), "%s", folder);
    size_t length = strlen(path);
    if (length > 0 && path[length - 1] == '\\') path[length - 1] = '\0';
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
}

DWORD WINAPI WatchRemoval(LPVOID context)
{
    RemovalWatch *watch = (RemovalWatch *)context;
    const CopyWatch *copy = watch->copy;
    int last = copy->current < copy->files->count ? copy->current : copy->files->count - 1;
    long long grown = -1;
    while (!watch->stop && watch->folderGone < 0) {
        double now = Seconds();
        watch->polls += 1;
        for (int i = 0; i <= last; ++i) {
            char path[PATH_SIZE];
            if (!JoinPath(path, sizeof(path), copy->folder, copy->files->names[i])) continue;
            long long size = FileSizeOf(path);
            if (i == last && size > grown) {
                grown = size;
                watch->lastGrowth = now;
            }
            if (size < 0 && watch->firstGone < 0) watch->firstGone = now;
        }
        if (FolderGone(copy->folder)) {
            watch->folderGone = now;
            if (watch->firstGone < 0) watch->firstGone = now;
        }
        Sleep(1);
    }
    return 0;
}

// A message sent to the dialog is answered once its thread serves messages again: back in the
// message loop, with the view that the cancel put up complete.
int AnswersAgain(HWND dialog)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
}

int MeasureCancel(const char *setup, const char *typed, const FileSet *files)
{
    char folder[PATH_SIZE];
    if (!InstallFolderFor(typed, folder, sizeof(folder))) return 0;
    Program program;
    HWND dialog = StartAtConfirmation(setup, typed, &program);
    if (dialog == NULL) {
        printf("error cancel: no confirmation page\n");
        CloseProgram(&program, NULL);
        return 0;
    }
    HWND exitButton = GetDlgItem(dialog, IDC_BUTTON_END);
    CopyWatch copy;
    StartWatch(&copy, files, folder);
    double click = Seconds();
    Click(dialog, IDC_BUTTON_NEXT);
    double first = -1.0;
    unsigned long long firstBytes = 0;
    unsigned long long bytes = 0;
    while (bytes < files->total / 2 && Seconds() - click < kCopyTimeoutSeconds && !HasExited(&program)) {
        Sleep(kCopyPollMs);
        bytes = CopiedBytes(&copy);
        if (bytes > 0 && first < 0) {
            first = Seconds();
            firstBytes = bytes;
        }
    }
    double beforeCancel = Seconds();
    double rate = first > 0 && beforeCancel > first ? (double)(bytes - firstBytes) / kMiB / (beforeCancel - first) : 0.0;

    // The press of 中止 is posted, as a click is queued; the files are watched from another
    // thread, the window state from this one, each every millisecond. The menu is back when its
    // exit button shows and the dialog answers again.
    // The installer takes a press of 中止 within the double-click time of the press of 実行 for
    // the second click of a double-click and ignores it: the cancel waits that out first.
    WaitPastDoubleClick();
    RemovalWatch removal = {&copy, 0, -1.0, -1.0, -1.0, 0};
    HANDLE watcher = CreateThread(NULL, 0, WatchRemoval, &removal, 0, NULL);
    Sleep(5);  // the watcher's first polls see the copy still growing
    double pressed = Seconds();
    Click(dialog, IDC_BUTTON_NEXT);
    double menu = -1.0;
    while (menu < 0 && Seconds() - pressed < kStepTimeoutMs / 1000.0 && !HasExited(&program)) {
        if (IsWindowVisible(exitButton) && AnswersAgain(dialog)) {
            menu = Seconds();
        } else {
            Sleep(1);
        }
    }
    if (watcher != NULL) {
        if (menu > 0) WaitForSingleObject(watcher, 1000);
        InterlockedExchange(&removal.stop, 1);
        WaitForSingleObject(watcher, INFINITE);
        CloseHandle(watcher);
    }
    CloseProgram(&program, dialog);
    ForgetInstallation();
    if (menu < 0 || removal.folderGone < 0) {
        printf("error cancel: no main menu after the cancel\n");
        return 0;
    }
    printf("cancel latency=%.4f copy_stopped=%.4f to_removal=%.4f removal=%.4f after_removal=%.4f"
           " rate_before=%.2f cancelled_at=%llu file_polls=%d pressed_at=%.6f\n",
           menu - pressed, removal.lastGrowth - pressed, removal.firstGone - pressed,
           removal.folderGone - removal.firstGone, menu - removal.folderGone, rate, bytes, removal.polls, pressed);
    return 1;
}

int MeasureBare(const char *copier, const char *folder, const char *list, const FileSet *files, const char *report)
{
    char arguments[4096];
    int written = snprintf(arguments, sizeof(arguments), "\"%.2s\" \"%s\" \"%s\" \"%s\"", kDiscRoot, folder,
                           list, report);
    if (written < 0 || (size_t)written >= sizeof(arguments)) return 0;
    char watched[PATH_SIZE];
    if (!JoinPath(watched, sizeof(watched), folder, "\\")) return 0;
    CopyWatch watch;
    StartWatch(&watch, files, watched);
    static CopyFigures figures;
    ZeroMemory(&figures, sizeof(figures));
    Program program;
    figures.started = Seconds();
    if (!StartProgram(copier, &program, "", arguments)) {
        printf("error bare: %s does not start\n", copier);
        return 0;
    }
    figures.linuxPid = FindLinuxProcess("bench_copy.exe");
    int complete = FollowCopy(&program, NULL, &watch, files->total, &figures);
    long code = WaitForExit(program, 30000);
    EndProgram(program);
    if (!complete || code != 0) {
        printf("error bare: the copy did not complete (exit %ld)\n", code);
        return 0;
    }
    char self[256] = "";
    FILE *in = fopen(report, "r");
    if (in != NULL) {
        if (fgets(self, sizeof(self), in) == NULL) self[0] = '\0';
        fclose(in);
    }
    self[strcspn(self, "\r\n")] = '\0';
    double seconds = figures.lastBlock - figures.firstBlock;
    double mib = (double)(files->total - figures.firstBytes) / kMiB;
    double cpu = figures.lastCpu - figures.firstCpu;
    printf("bare bytes=%llu seconds=%.4f mibps=%.2f cpu_seconds=%.4f cpu_mibps=%.2f polls=%d probes=%d %s\n",
           files->total, seconds, seconds > 0 ? mib / seconds : 0.0, figures.firstCpu >= 0 ? cpu : -1.0,
           figures.firstCpu >= 0 && cpu > 0 ? mib / cpu : 0.0, figures.polls, figures.probes, self);
    return 1;
}

// Seconds from the process start to its dialog with the given control shown; -1 when it never shows.
double TimeStartup(const char *path, const char *caption, int controlId)
{
    Program program;
    double start = Seconds();
    if (!StartProgram(path, &program)) return -1.0;
    HWND dialog = WaitForShownControl(&program, caption, controlId, 2, kStepTimeoutMs);
    double shown = Seconds();
    CloseProgram(&program, dialog);
    return dialog != NULL ? shown - start : -1.0;
}

int MeasureStartup(const char *setup, const char *dialog, int pairs)
{
    for (int i = 0; i < pairs; ++i) {
        for (int j = 0; j < 2; ++j) {
            int installer = (i + j) % 2 == 0;  // the order alternates from pair to pair
            double seconds = installer ? TimeStartup(setup, kCaption, IDC_BUTTON_END)
                                       : TimeStartup(dialog, kDialogCaption, IDC_BUTTON_END);
            if (seconds < 0) {
                printf("error startup: %s shows no dialog\n", installer ? setup : dialog);
                return 0;
            }
            printf("startup program=%s seconds=%.4f\n", installer ? "setup" : "dialog", seconds);
            fflush(stdout);
            Sleep(200);
        }
    }
    return 1;
}

}  // namespace

int main(int argc, char **argv)
{
    setvbuf(stdout, NULL, _IOLBF, 0);
    if (argc >= 3 && strcmp(argv[1], "startup") == 0 && argc == 5) {
        return MeasureStartup(argv[2], argv[3], atoi(argv[4])) ? 0 : 1;
    }
    static FileSet files;
    if (argc >= 5 && !LoadFileSet(argv[4], &files)) {
        printf("error: the listed files are not all on %s\n", kDiscRoot);
        return 1;
    }
    if (argc == 5 && strcmp(argv[1], "install") == 0) return MeasureInstall(argv[2], argv[3], &files) ? 0 : 1;
    if (argc == 5 && strcmp(argv[1], "cancel") == 0) return MeasureCancel(argv[2], argv[3], &files) ? 0 : 1;
    if (argc == 6 && strcmp(argv[1], "bare") == 0) return MeasureBare(argv[2], argv[3], argv[4], &files, argv[5]) ? 0 : 1;
    fprintf(stderr, "usage: bench_driver.exe install|cancel SETUP FOLDER NAMES\n"
                    "       bench_driver.exe bare COPY_PROGRAM FOLDER NAMES REPORT\n"
                    "       bench_driver.exe startup SETUP DIALOG PAIRS\n");
    return 2;
}
