// The install run: from the folder the user typed to the copied files, with progress and cancel.
#include "install.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <commctrl.h>

#include "../common/common.h"
#include "../common/path.h"
#include "../record/record.h"
#include "../ui/ui.h"
#include "plan.h"

enum { BLOCK_SIZE = 1048576, PATH_SIZE = 1024 };

static const char kFolderTooLong[] = "インストール先のフォルダ名が長すぎます";
static const char kFolderNotInCodePage[] =
    "インストール先のフォルダ名に、このシステムの文字コードで表せない文字が含まれています。別のフォルダを指定してください";
static const char kFolderNotExact[] =
    "インストール先のフォルダ名に使えない部分があります (「.」や「..」だけの名前、「/」、末尾の「.」や空白、続いた「\\」)";
static const char kFolderNotAbsolute[] = "インストール先にはドライブ名から始まるフォルダ (例: C:\\Games) を指定してください";
static const char kFolderNotCreated[] = "フォルダの作成に失敗しました";
static const char kBadFileList[] = "ファイルリストが正しくありません";
static const char kFileNotFound[] = "ファイルが見つかりません";
static const char kNoFreeSpace[] = "ドライブの空き領域が足りません";
static const char kNoMemory[] = "メモリが足りません";
static const char kMarkNotWritten[] = "インストールの記録をレジストリに書き込めませんでした。何もインストールしていません";
static const char kCopyFailed[] = "ファイルのコピーに失敗しました。\n%s";
static const char kReadFailed[] =
    "次のファイルを読み込めませんでした。\n%s\n\nディスクに汚れや傷がないか、正しく入っているかを確かめてから「再試行」を押してください。";

// What the run knows about the chosen type's files.
struct FileSet {
    char names[LIST_MAX_NAMES][LIST_NAME_SIZE];
    unsigned long long sizes[LIST_MAX_NAMES];
    int count;
};

enum CopyOutcome { COPY_DONE, COPY_CANCELLED, COPY_QUIT, COPY_FAILED, COPY_SESSION_ENDED };

// The two files of the copy under way (-1 when closed): kept here, not on the copy's stack, so
// that the end of the session can close them before it removes what was copied.
static int s_source = -1;
static int s_destination = -1;

// Closes the files of the copy; returns 0 when the destination's data did not all reach the disk.
static int CloseCopyFiles(void)
{
    int closed = 1;
    if (s_source != -1) _close(s_source);
    if (s_destination != -1 && _close(s_destination) != 0) closed = 0;
    s_source = -1;
    s_destination = -1;
    return closed;
}

// Every name of the three lists: the files that a rollback, or the clean-up after a run that was
// ended from outside, may remove from an install folder, and no other.
static struct {
    char names[3 * LIST_MAX_NAMES][LIST_NAME_SIZE];
    const char *pointers[3 * LIST_MAX_NAMES];
    int count;
} s_listed;

// Loads and splits one file list; 0 for a list beyond the limits.
static int LoadList(UINT listId, char names[][LIST_NAME_SIZE], int *count)
{
    char list[LIST_TEXT_SIZE + 1];
    list[0] = '\0';
    int length = LoadStringA(g_state.instance, listId, list, sizeof(list));
    if (length >= LIST_TEXT_SIZE) return 0;  // cut by the load: more than 1023 bytes
    return ParseFileList(list, names, count) == FILE_LIST_OK;
}

static const UINT kLists[] = {IDS_FILES_FULL, IDS_FILES_STANDARD, IDS_FILES_MINIMAL};

// Whether name is among the names gathered so far.
static int IsListed(const char *name)
{
    for (int i = 0; i < s_listed.count; ++i) {
        if (lstrcmpiA(s_listed.names[i], name) == 0) return 1;
    }
    return 0;
}

// Removes what a run that did not complete left in installDir and the folders it made up to
// highestMade, then its mark (slot), and each key of the record that holds nothing of value; with
// recordStands, a completed install's record and shortcuts stay. A drive that is away keeps all.
static void RemoveRun(const char *installDir, const char *highestMade, int slot, int recordStands)
{
    s_listed.count = 0;
    for (UINT list : kLists) {
        char(*loaded)[LIST_NAME_SIZE] = s_listed.names + s_listed.count;
        int count = 0;
        if (!LoadList(list, loaded, &count)) continue;
        // Each name once: the three lists share most of theirs.
        for (int i = 0; i < count; ++i) {
            if (IsListed(loaded[i])) continue;
            memmove(s_listed.names[s_listed.count], loaded[i], LIST_NAME_SIZE);
            s_listed.pointers[s_listed.count] = s_listed.names[s_listed.count];
            s_listed.count += 1;
        }
    }
    Removal removal = {installDir, s_listed.pointers, s_listed.count, NULL, highestMade, slot, recordStands, NULL};
    RemoveInstallation(&removal);
}

void RollBackInstallRun(void)
{
    CloseCopyFiles();
    // On a drive taken away during the run (a disk pulled out) nothing can be taken back now: the
    // removal touches nothing and the mark stays, for a start that finds the drive back.
    RemoveRun(g_state.installDir, g_state.createdFolder, 0, 0);
    g_state.createdFolder[0] = '\0';
}

int CleanUpInterruptedRuns(void)
{
    RunMark mark;
    // Beside a run under way nothing is touched: its registration may be writing the shortcuts.
    for (int slot = 0; slot < MARK_SLOTS; ++slot) {
        if (ReadRunMark(slot, &mark) == MARK_RUN_ALIVE) return 0;
    }
    char dir[REG_TEXT_SIZE];
    char productKey[KEY_PATH_SIZE];
    int recordStands = ReadInstallFolder(dir) != RECORD_ABSENT;
    for (int slot = 0; slot < MARK_SLOTS; ++slot) {
        // A damaged mark names no folder the removal takes a file from: only the mark goes.
        RunMarkState state = ReadRunMark(slot, &mark);
        if (state != MARK_LEFT_OVER && state != MARK_DAMAGED) continue;
        if (recordStands && lstrcmpiA(mark.installDir, dir) == 0) {
            // The completed install's own folder: its files are the install's, the mark just goes.
            if (RecordKeyPath(PRODUCT_KEY, productKey, sizeof(productKey))) DeleteRunMark(productKey, slot);
        } else {
            RemoveRun(mark.installDir, mark.highestMade, slot, recordStands);  // its drive away: kept
        }
    }
    return 1;
}

static int FailRun(HWND dialog, const char *message, const char *arg = NULL)
{
    ShowError(dialog, message, arg);
    ShowMainMenu(dialog);
    return 0;
}

// An error after the folders were made: what the run made goes before the message.
static int FailAndRollBack(HWND dialog, const char *message, const char *arg = NULL)
{
    RollBackInstallRun();
    return FailRun(dialog, message, arg);
}

// The folder typed into the edit box, read wide, in the system's code page; 0 when a character of
// it has no exact form there (the folder would otherwise be made under a look-alike name).
static int ReadTypedFolder(HWND dialog, char *typed, unsigned size)
{
    WCHAR wide[INSTALL_DIR_SIZE];
    GetWindowTextW(GetDlgItem(dialog, IDC_EDIT_DIR), wide, INSTALL_DIR_SIZE);
    return AnsiFromWidePath(wide, typed, size);
}

// Splits the list of the type chosen in the combo box; returns 0 for a list beyond the limits.
static int LoadChosenFiles(HWND dialog, FileSet *files)
{
    LRESULT type = SendDlgItemMessageA(dialog, IDC_COMBO_TYPE, CB_GETCURSEL, 0, 0);
    memset(files, 0, sizeof(*files));
    if (type < 0 || type >= 3) return ParseFileList("", files->names, &files->count) == FILE_LIST_OK;
    return LoadList(kLists[type], files->names, &files->count);
}

// Every installed file's path must stay within what the record and the removal can hold.
static int InstalledPathsFit(const FileSet *files)
{
    size_t folder = strlen(g_state.installDir);
    for (int i = 0; i < files->count; ++i) {
        if (folder + strlen(files->names[i]) > INSTALLED_PATH_MAX) return 0;
    }
    char uninstaller[256];
    char game[256];
    LoadStringA(g_state.instance, IDS_UNINSTALLER_EXE, uninstaller, sizeof(uninstaller));
    LoadStringA(g_state.instance, IDS_GAME_EXE, game, sizeof(game));
    return folder + strlen(uninstaller) <= INSTALLED_PATH_MAX && folder + strlen(game) <= INSTALLED_PATH_MAX;
}

// Opens every listed file on the disc and adds up the sizes; 0 at the first that does not open.
static int SizeListedFiles(FileSet *files)
{
    g_state.bytesTotal = 0;
    for (int i = 0; i < files->count; ++i) {
        char source[PATH_SIZE];
        if (!FormatText(source, sizeof(source), "%s%s", g_state.sourceRoot, files->names[i])) return 0;
        int descriptor = _open(source, _O_RDONLY | _O_BINARY);
        if (descriptor == -1) return 0;
        long long size = _lseeki64(descriptor, 0, SEEK_END);
        _close(descriptor);
        if (size < 0) return 0;
        files->sizes[i] = (unsigned long long)size;
        g_state.bytesTotal += files->sizes[i];
    }
    return 1;
}

// The free bytes of the volume the install folder is on, asked before any folder is made: of
// its root, "X:\" or "\\server\share\" (the install folder is absolute by now).
static int EnoughFreeSpace(void)
{
    char root[INSTALL_DIR_SIZE];
    ULARGE_INTEGER available, total, free;
    if (!VolumeRoot(g_state.installDir, root, sizeof(root)) ||
        !GetDiskFreeSpaceExA(root, &available, &total, &free)) {
        return 0;
    }
    return g_state.bytesTotal <= free.QuadPart;
}

// Serves at most one waiting message, as the main loop does; returns 0 when the message taken was
// the quit message.
static int PumpOneMessage(void)
{
    MSG message;
    if (!PeekMessageW(&message, NULL, 0, 0, PM_NOREMOVE)) return 1;
    BOOL got = GetMessageW(&message, NULL, 0, 0);
    if (got == 0) return 0;
    if (got > 0) ServeMessage(&message);
    return 1;
}

// Opens the source again by its path and seeks to offset; -1 when either fails.
static int OpenSourceAt(const char *source, unsigned long long offset)
{
    int descriptor = _open(source, _O_RDONLY | _O_BINARY);
    if (descriptor != -1 && _lseeki64(descriptor, (long long)offset, SEEK_SET) != (long long)offset) {
        _close(descriptor);
        descriptor = -1;
    }
    return descriptor;
}

// A read of the disc failed (a smudge, a scratch, a disc taken out): the user may put it right
// and go on from the block that failed, the destination staying open, or cancel the run.
static CopyOutcome AskToRetryRead(HWND dialog, const char *source)
{
    if (s_source != -1) _close(s_source);
    s_source = -1;
    int answer = AskAfterError(dialog, kReadFailed, MB_RETRYCANCEL, source);
    if (g_state.sessionEnded) return COPY_SESSION_ENDED;  // taken back while the box was shown
    return answer == IDRETRY ? COPY_DONE : COPY_CANCELLED;
}

static CopyOutcome CopyOneFile(HWND dialog, HWND progress, const char *name, unsigned long long size, char *block)
{
    char source[PATH_SIZE];
    char destination[PATH_SIZE];
    if (!FormatText(source, sizeof(source), "%s%s", g_state.sourceRoot, name) ||
        !FormatText(destination, sizeof(destination), "%s%s", g_state.installDir, name)) {
        return COPY_FAILED;
    }
    // A new file is made without truncating it: a file system that guards a file rewritten after a
    // truncation (ext4, which Wine's files live on) writes all of its data out when it is closed,
    // so every close, and the removal after a cancel, would wait for that write-out. A file already
    // there is truncated, so that a longer one keeps no stale bytes past the new end.
    s_destination = _open(destination, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (s_destination == -1 && errno == EEXIST) {
        s_destination = _open(destination, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    }

    CopyOutcome outcome = s_destination == -1 ? COPY_FAILED : COPY_DONE;
    unsigned long long copied = 0;
    while (outcome == COPY_DONE) {
        if (s_source == -1) s_source = OpenSourceAt(source, copied);
        int got = s_source == -1 ? -1 : _read(s_source, block, BLOCK_SIZE);
        if (got == 0 && copied >= size) break;
        if (got <= 0) {
            // Not opened, a failed read, or a file that ends before its size.
            outcome = AskToRetryRead(dialog, source);
            if (outcome == COPY_SESSION_ENDED) return outcome;
        } else if (!PumpOneMessage()) {
            outcome = COPY_QUIT;
        } else if (g_state.sessionEnded) {
            return COPY_SESSION_ENDED;  // its files are closed and removed already
        } else if (g_state.cancelRequested) {
            outcome = COPY_CANCELLED;
        } else if (_write(s_destination, block, (unsigned)got) != got) {
            outcome = COPY_FAILED;  // a full drive writes short or not at all
        } else {
            copied += (unsigned)got;
            g_state.bytesCopied += (unsigned)got;
            SendMessageA(progress, PBM_SETPOS, ProgressPosition(g_state.bytesCopied, g_state.bytesTotal), 0);
        }
    }
    if (!CloseCopyFiles() && outcome == COPY_DONE) outcome = COPY_FAILED;
    return outcome;
}

// Copies the files in list order; *last is the index of the file the copy ended in.
static CopyOutcome CopyListedFiles(HWND dialog, const FileSet *files, char *block, int *last)
{
    g_state.bytesCopied = 0;
    g_state.isCopying = 1;
    // The bar is looked up once: finding a dialog's control lists the dialog's children through
    // the window server, which a lookup at every block would pay for once per MiB.
    HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
    CopyOutcome outcome = COPY_DONE;
    for (*last = 0; *last < files->count; ++*last) {
        outcome = CopyOneFile(dialog, progress, files->names[*last], files->sizes[*last], block);
        if (outcome != COPY_DONE) break;
    }
    return outcome;
}

int RunInstall(HWND dialog)
{
    g_state.createdFolder[0] = '\0';
    g_state.sessionEnded = 0;
    char typed[INSTALL_DIR_SIZE * 2];
    if (!ReadTypedFolder(dialog, typed, sizeof(typed))) return FailRun(dialog, kFolderNotInCodePage);
    if (!ComposeInstallFolder(typed, g_state.brand, g_state.title, g_state.installDir, sizeof(g_state.installDir))) {
        return FailRun(dialog, kFolderTooLong);
    }
    // A folder the system would take otherwise than written could make the run take back folders
    // it did not make.
    if (!FolderNamesAreExact(g_state.installDir)) return FailRun(dialog, kFolderNotExact);
    // A relative folder would be installed below whatever the current folder happens to be, and
    // recorded so that nothing could find it again.
    if (!IsInstallFolderOf(g_state.installDir, g_state.brand, g_state.title)) {
        return FailRun(dialog, kFolderNotAbsolute);
    }
    SetWindowTextFrom932(GetDlgItem(dialog, IDC_LABEL), "インストール中...");
    SetWindowTextFrom932(GetDlgItem(dialog, IDC_BUTTON_NEXT), "中止");

    // Everything that can be checked without a folder is checked before one is made, so that a
    // refused run leaves nothing behind.
    FileSet files;
    if (!LoadChosenFiles(dialog, &files)) return FailRun(dialog, kBadFileList);
    if (!InstalledPathsFit(&files)) return FailRun(dialog, kFolderTooLong);
    if (!SizeListedFiles(&files)) return FailRun(dialog, kFileNotFound);
    if (!EnoughFreeSpace()) return FailRun(dialog, kNoFreeSpace);
    // The mark comes before the first folder, so that a run ended from outside is taken back
    // by the next start.
    char planned[INSTALL_DIR_SIZE];
    HighestMissingFolder(g_state.installDir, planned, sizeof(planned));
    // An earlier run's mark that is still waiting for its drive moves aside, never written over.
    // Without a mark nothing could take this run back after a kill: it makes nothing.
    if (!KeepEarlierRunMark() || !WriteRunMark(g_state.installDir, planned)) return FailRun(dialog, kMarkNotWritten);
    if (!CreateFolderPath(g_state.installDir, g_state.createdFolder, sizeof(g_state.createdFolder))) {
        return FailAndRollBack(dialog, kFolderNotCreated);
    }
    if (strcmp(planned, g_state.createdFolder) != 0 && !WriteRunMark(g_state.installDir, g_state.createdFolder)) {
        return FailAndRollBack(dialog, kMarkNotWritten);
    }

    SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    char *block = (char *)malloc(BLOCK_SIZE);
    if (block == NULL) return FailAndRollBack(dialog, kNoMemory);
    int last = 0;
    CopyOutcome outcome = CopyListedFiles(dialog, &files, block, &last);
    free(block);

    switch (outcome) {
    case COPY_DONE:
        g_state.isCopying = 0;
        g_state.createdFolder[0] = '\0';
        return RegisterInstallation(dialog);
    case COPY_FAILED: {
        // The message names the file that could not be written, as the install folder holds it.
        char failed[PATH_SIZE];
        FormatText(failed, sizeof(failed), "%s%s", g_state.installDir, files.names[last]);
        return FailAndRollBack(dialog, kCopyFailed, failed);
    }
    case COPY_SESSION_ENDED:
        // Taken back already, while the session was ending; end as the close box does.
        ShowMainMenu(dialog);
        PostQuitMessage(0);
        return 1;
    case COPY_QUIT:
        // The close box was used during the copy: roll back, then let the program end.
        RollBackInstallRun();
        ShowMainMenu(dialog);
        PostQuitMessage(0);
        return 1;
    case COPY_CANCELLED:
    default:
        RollBackInstallRun();
        ShowMainMenu(dialog);
        return 1;
    }
}
