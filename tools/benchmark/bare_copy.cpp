// The install's copy loop alone: a bare dialog with a progress bar copies a list of files in 1 MiB blocks.
//   bench_copy.exe SOURCE_FOLDER DESTINATION_FOLDER NAME,NAME,... REPORT_FILE
// The folders are given without a closing backslash, which would quote the quote after it.
#include <windows.h>
#include <commctrl.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

enum { BLOCK_SIZE = 1048576, PATH_SIZE = 1024, MAX_FILES = 64, NAME_SIZE = 64, IDC_BAR = 100, IDD_BARE = 101 };

struct CopyJob {
    const char *sourceRoot;
    const char *destinationRoot;
    char names[MAX_FILES][NAME_SIZE];
    int count;
    unsigned long long total;
    unsigned long long copied;
    HWND bar;
};

static int Format(char *out, size_t size, const char *format, const char *first, const char *second)
{
    int written = snprintf(out, size, format, first, second);
    return written >= 0 && (size_t)written < size;
}

static int SplitNames(const char *list, CopyJob *job)
{
    job->count = 0;
    const char *start = list;
    while (*start != '\0') {
        const char *end = strchr(start, ',');
        size_t length = end == NULL ? strlen(start) : (size_t)(end - start);
        if (length == 0 || length >= NAME_SIZE || job->count == MAX_FILES) return 0;
        memcpy(job->names[job->count], start, length);
        job->names[job->count][length] = '\0';
        job->count += 1;
        if (end == NULL) break;
        start = end + 1;
    }
    return job->count > 0;
}

static int SizeFiles(CopyJob *job)
{
    job->total = 0;
    for (int i = 0; i < job->count; ++i) {
        char source[PATH_SIZE];
        if (!Format(source, sizeof(source), "%s\\%s", job->sourceRoot, job->names[i])) return 0;
        int descriptor = _open(source, _O_RDONLY | _O_BINARY);
        if (descriptor == -1) return 0;
        long long size = _lseeki64(descriptor, 0, SEEK_END);
        _close(descriptor);
        if (size < 0) return 0;
        job->total += (unsigned long long)size;
    }
    return 1;
}

// Serves at most one waiting message, as the installer's copy loop does; 0 after the quit message.
static int PumpOneMessage(void)
{
    MSG message;
    if (!PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE)) return 1;
    BOOL got = GetMessageA(&message, NULL, 0, 0);
    if (got == 0) return 0;
    if (got > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 1;
}

static int Percent(unsigned long long copied, unsigned long long total)
{
    if (total == 0) return 0;
    if (copied >= total) return 100;
    return (int)(copied * 100 / total);
}

static int CopyOneFile(CopyJob *job, const char *name, char *block)
{
    char source[PATH_SIZE];
    char destination[PATH_SIZE];
    if (!Format(source, sizeof(source), "%s\\%s", job->sourceRoot, name) ||
        !Format(destination, sizeof(destination), "%s\\%s", job->destinationRoot, name)) {
        return 0;
    }
    int input = _open(source, _O_RDONLY | _O_BINARY);
    if (input == -1) return 0;
    // Opened as the installer opens its files: made new, truncated only when already there.
    int output = _open(destination, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (output == -1 && errno == EEXIST) {
        output = _open(destination, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    }
    int ok = output != -1;
    while (ok) {
        int got = _read(input, block, BLOCK_SIZE);
        if (got == 0) break;
        if (got < 0 || !PumpOneMessage() || _write(output, block, (unsigned)got) != got) {
            ok = 0;
        } else {
            job->copied += (unsigned)got;
            SendMessageA(job->bar, PBM_SETPOS, Percent(job->copied, job->total), 0);
        }
    }
    _close(input);
    if (output != -1 && _close(output) != 0) ok = 0;
    return ok;
}

static double Seconds(void)
{
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

// Copies every file through one buffer and writes the loop's own timing to the report file.
static int RunCopy(CopyJob *job, const char *reportPath)
{
    char *block = (char *)malloc(BLOCK_SIZE);
    if (block == NULL) return 0;
    job->copied = 0;
    double start = Seconds();
    int ok = 1;
    for (int i = 0; i < job->count && ok; ++i) ok = CopyOneFile(job, job->names[i], block);
    double end = Seconds();
    free(block);

    FILE *report = fopen(reportPath, "w");
    if (report != NULL) {
        double mib = (double)job->copied / 1048576.0;
        fprintf(report, "ok=%d bytes=%llu self_seconds=%.6f self_mibps=%.2f\n", ok, job->copied,
                end - start, end > start ? mib / (end - start) : 0.0);
        fclose(report);
    }
    return ok;
}

static INT_PTR CALLBACK BareDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)window;
    (void)message;
    (void)wParam;
    (void)lParam;
    return FALSE;
}

// The bar is the installer's in size and style (from a template in the same dialog font): under a
// theme each repaint of a bar costs by its area, and the bar repaints a hundred times in a copy.
static HWND CreateBareWindow(HINSTANCE instance)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return NULL;
    if (!Format(path + length, sizeof(path) - length, "%s%s", "\\", "comctl32.dll")) return NULL;
    if (LoadLibraryA(path) == NULL) return NULL;

    HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_BARE), NULL, BareDialogProc, 0);
    if (window == NULL) return NULL;
    SendDlgItemMessageA(window, IDC_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)previous;
    (void)commandLine;
    (void)showCommand;
    if (__argc != 5) return 2;
    static CopyJob job;
    job.sourceRoot = __argv[1];
    job.destinationRoot = __argv[2];
    if (!SplitNames(__argv[3], &job) || !SizeFiles(&job)) return 3;

    HWND window = CreateBareWindow(instance);
    if (window == NULL) return 4;
    job.bar = GetDlgItem(window, IDC_BAR);
    int ok = RunCopy(&job, __argv[4]);
    DestroyWindow(window);
    return ok ? 0 : 1;
}
