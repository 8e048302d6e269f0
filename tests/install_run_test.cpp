// The install run inside this process: copy, progress, refusals, cancel, close and copy failures.
// Actions during the copy are messages posted beforehand: the run serves one per copied block.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <stdlib.h>

#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "../src/common/common.h"
#include "../src/common/path.h"
#include "../src/record/record.h"
#include "../src/ui/ui.h"
#include "../tools/driver/driver.h"
#include "support/files.h"
#include "support/installer_state.h"
#include "support/registry_probe.h"
#include "support/wine_drives.h"
#include "support/wizard_walk.h"

namespace {

const unsigned long long kMiB = 1048576;
const char *const kMinimal[] = {"Uninstaller.exe", "VT.exe",  "core.vtp", "data.vtp", "font.vtp",
                                "sys.vtp",         "chr.vtp", "map.vtp",  "snd.vtp"};

std::vector<int> g_positions;
WNDPROC g_progressProc;
std::vector<std::function<void()>> g_actions;

LRESULT CALLBACK RecordProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_SETPOS) g_positions.push_back((int)wParam);
    return CallWindowProcA(g_progressProc, window, message, wParam, lParam);
}

LRESULT CALLBACK RunAction(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_APP && message - WM_APP < g_actions.size()) {
        g_actions[message - WM_APP]();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Answers the run's error boxes in turn, keeping their texts; beforeLast (a disc put right, ...)
// runs before the last answer. A box beyond the answers, until the run has ended, is cancelled at
// once and kept in beyond: a run that keeps asking fails its test instead of hanging it.
struct ErrorBoxAnswers {
    std::vector<int> answers;
    std::function<void()> beforeLast;
    std::vector<std::string> texts;
    bool retryAndCancel = true;
    std::vector<std::string> beyond{};
    volatile LONG runEnded = 0;
};

DWORD WINAPI AnswerErrorBoxes(LPVOID context)
{
    ErrorBoxAnswers *plan = (ErrorBoxAnswers *)context;
    for (size_t i = 0; i < plan->answers.size(); ++i) {
        HWND box = WaitForWindow(GetCurrentProcessId(), "エラー", 20000);
        if (box == NULL) break;
        plan->texts.push_back(MessageBoxText(box));
        plan->retryAndCancel = plan->retryAndCancel && HasButton(box, IDRETRY) && HasButton(box, IDCANCEL);
        if (i + 1 == plan->answers.size() && plan->beforeLast) plan->beforeLast();
        AnswerMessageBox(box, plan->answers[i]);
    }
    while (!plan->runEnded) {
        HWND box = WaitForWindow(GetCurrentProcessId(), "エラー", 100);
        if (box == NULL) continue;
        plan->beyond.push_back(MessageBoxText(box));
        AnswerMessageBox(box, HasButton(box, IDCANCEL) ? IDCANCEL : IDOK);
    }
    return 0;
}

class InstallRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        PrepareInstallerState();
        dialog_ = CreateInstallerDialog();
        ASSERT_NE(nullptr, dialog_);
        g_positions.clear();
        g_actions.clear();
        g_progressProc = (WNDPROC)SetWindowLongPtrA(GetDlgItem(dialog_, IDC_PROGRESS), GWLP_WNDPROC,
                                                    (LONG_PTR)RecordProgress);
        WNDCLASSA actions = {};
        actions.lpfnWndProc = RunAction;
        actions.hInstance = GetModuleHandleA(NULL);
        actions.lpszClassName = "InstallRunTestActions";
        RegisterClassA(&actions);
        actionWindow_ = CreateWindowA("InstallRunTestActions", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);

        disc_ = FreshTempFolder("run-disc");
        MakeFile(disc_ + "\\.windows-label", "VELVETTINKERS\n");
        ASSERT_TRUE(DefineDrive('Q', DRIVE_CDROM, disc_));
        lstrcpyA(g_state.sourceRoot, "Q:\\");
        target_ = FreshTempFolder("run-target");
        installed_ = target_ + "\\kestrelix\\Velvet Tinkers\\";
        shortcuts_ = SpecialFolder(CSIDL_PROGRAMS) + "\\Velvet Tinkers";
    }

    void TearDown() override
    {
        DestroyWindow(actionWindow_);
        DestroyInstallerDialog();
        RemoveDrive('Q');
        DeleteTree(disc_);
        // The faulty disc's folder is the test script's, which serves it from there: it stays.
        if (disc_ == WindowsPathOf(Environment("VT_FAULTY_SOURCE"))) CreateDirectoryA(disc_.c_str(), NULL);
        DeleteTree(target_);
        DeleteTree(shortcuts_);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    }

    // Lays the minimal type's files on the disc: the named sizes, zero bytes for the others; the
    // content of the n-th file of the list depends on n alone.
    void LayDisc(const std::map<std::string, unsigned long long> &sizes)
    {
        unsigned seed = 1;
        for (const char *name : kMinimal) {
            auto size = sizes.find(name);
            MakeSizedFile(disc_ + "\\" + name, size == sizes.end() ? 0 : size->second, seed++);
        }
    }

    // Posts an action that runs when the copy serves it; fillers delay it by that many blocks.
    void DuringCopy(int fillers, std::function<void()> action)
    {
        for (int i = 0; i < fillers; ++i) PostMessageA(actionWindow_, WM_NULL, 0, 0);
        g_actions.push_back(action);
        PostMessageA(actionWindow_, WM_APP + (UINT)g_actions.size() - 1, 0, 0);
    }

    // Walks to the copy page with the folder text (wideTyped, where given) and type, as the wizard does.
    int Run(const std::string &typed, int type = TYPE_MINIMAL, const wchar_t *wideTyped = nullptr)
    {
        g_state.page = PAGE_INSTALL_TYPE;
        g_state.viewPressSeen = 0;  // each run comes long after the presses of the run before
        ShowWizardPage(dialog_);
        SendDlgItemMessageA(dialog_, IDC_COMBO_TYPE, CB_SETCURSEL, type, 0);
        SetWindowTextA(GetDlgItem(dialog_, IDC_EDIT_DIR), typed.c_str());
        if (wideTyped != nullptr) SetWindowTextW(GetDlgItem(dialog_, IDC_EDIT_DIR), wideTyped);
        g_state.page = PAGE_COPY;
        return ShowWizardPage(dialog_);
    }

    // Runs the install while another thread answers its error boxes as plan says.
    int RunAnswering(const std::string &typed, ErrorBoxAnswers *plan)
    {
        HANDLE answerer = CreateThread(NULL, 0, AnswerErrorBoxes, plan, 0, NULL);
        int result = Run(typed);
        InterlockedExchange(&plan->runEnded, 1);
        // What the answering thread kept is read only once it has ended.
        if (WaitForSingleObject(answerer, 30000) == WAIT_OBJECT_0) {
            EXPECT_EQ(std::vector<std::string>(), plan->beyond) << "asked beyond the answers planned";
        } else {
            ADD_FAILURE() << "the thread answering the error boxes did not end within 30 s";
        }
        CloseHandle(answerer);
        return result;
    }

    // Nothing of the run stays: the folders it made (the brand folder too) go, target_ stays.
    void ExpectRolledBack()
    {
        EXPECT_TRUE(Exists(target_));
        EXPECT_TRUE(FolderEntries(target_).empty()) << "a folder the run made is left";
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_FALSE(Exists(shortcuts_));
        EXPECT_EQ(PAGE_INSTALL_TYPE, g_state.page) << "back to the main menu";
        EXPECT_EQ(0, g_state.isCopying);
    }

    int Position() { return (int)SendDlgItemMessageA(dialog_, IDC_PROGRESS, PBM_GETPOS, 0, 0); }

    HWND dialog_ = NULL;
    HWND actionWindow_ = NULL;
    std::string disc_, target_, installed_, shortcuts_;
};

}  // namespace

TEST_F(InstallRunTest, CopiesEveryFileWithProgressAndRegisters)
{
    LayDisc({{"Uninstaller.exe", kMiB}, {"VT.exe", kMiB}, {"core.vtp", kMiB}});
    // While the copy runs, the run's mark names the install folder and this process, which runs it.
    RunMark mark;
    RunMarkState state = MARK_NONE;
    DuringCopy(1, [&] { state = ReadRunMark(0, &mark); });
    MessageBoxWatch boxes;
    EXPECT_EQ(1, Run(target_ + "\\\\"));
    EXPECT_EQ(MARK_RUN_ALIVE, state);
    EXPECT_EQ(installed_, mark.installDir);
    for (const char *value : {kRunMarkValue, kRunMarkMadeValue, kRunMarkOwnerValue}) {
        EXPECT_FALSE(ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, value).exists) << "the record replaces the mark";
    }
    for (const char *name : kMinimal) {
        EXPECT_TRUE(SameContent(disc_ + "\\" + name, installed_ + name)) << name;
    }
    EXPECT_EQ(0u, FileSize(installed_ + "snd.vtp"));
    EXPECT_EQ(std::vector<int>({33, 66, 100}), g_positions) << "zero-byte files send no position";
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(installed_ + '\0', ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "DIR").data);
    EXPECT_EQ(PAGE_INSTALL_TYPE, g_state.page);
    EXPECT_TRUE(ReadControl(dialog_, IDC_BUTTON_START).enabled);
    EXPECT_EQ("アンインストール", ReadControl(dialog_, IDC_BUTTON_INSTALL).text);
}

TEST_F(InstallRunTest, MissingFileOddListsOrAMarkThatCannotBeWrittenStopBeforeAnythingIsMade)
{
    LayDisc({{"VT.exe", kMiB}});
    DeleteFileA((disc_ + "\\map.vtp").c_str());
    {
        MessageBoxWatch boxes;
        EXPECT_EQ(0, Run(target_));
        EXPECT_EQ(std::vector<std::string>({"ファイルが見つかりません"}), boxes.Texts(1, 5000));
        EXPECT_EQ(std::vector<std::string>({"エラー"}), boxes.Captions());
    }
    EXPECT_TRUE(FolderEntries(target_).empty()) << "a refused run made a folder";
    EXPECT_TRUE(g_positions.empty());

    // Lists with a trailing comma, two commas in a row, or more names than the slots.
    HMODULE odd = LoadLibraryExA(TestProgramPath("odd_lists.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, odd);
    g_state.instance = odd;
    const std::pair<int, const char *> cases[] = {{TYPE_FULL, "ファイルが見つかりません"},
                                                  {TYPE_STANDARD, "ファイルが見つかりません"},
                                                  {TYPE_MINIMAL, "ファイルリストが正しくありません"}};
    for (const auto &oddList : cases) {
        MessageBoxWatch boxes;
        EXPECT_EQ(0, Run(target_, oddList.first));
        EXPECT_EQ(std::vector<std::string>({oddList.second}), boxes.Texts(1, 5000)) << oddList.first;
        EXPECT_TRUE(FolderEntries(target_).empty());
    }
    g_state.instance = GetModuleHandleA(NULL);
    FreeLibrary(odd);

    // Without its mark nothing could take the run back after a kill: it makes nothing.
    MakeFile(disc_ + "\\map.vtp");
    ASSERT_TRUE(MakeUnwritableKey(HKEY_LOCAL_MACHINE, kProductKey));
    {
        MessageBoxWatch boxes;
        EXPECT_EQ(0, Run(target_));
        EXPECT_EQ(std::vector<std::string>({"インストールの記録をレジストリに書き込めませんでした。何もインストールしていません"}),
                  boxes.Texts(1, 5000));
    }
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    EXPECT_TRUE(FolderEntries(target_).empty()) << "a run with no mark made a folder";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
}

TEST_F(InstallRunTest, CancelInTheMiddleOfAFileRemovesWhatWasCopied)
{
    LayDisc({{"Uninstaller.exe", kMiB}, {"VT.exe", kMiB}, {"core.vtp", 3 * kMiB}});
    LayRecordToTakeBack(shortcuts_);
    HWND next = GetDlgItem(dialog_, IDC_BUTTON_NEXT);
    DuringCopy(3, [next] { SendMessageA(next, BM_CLICK, 0, 0); });
    MessageBoxWatch boxes;
    EXPECT_EQ(1, Run(target_));
    EXPECT_EQ(std::vector<int>({20, 40, 60}), g_positions) << "the block read last is not written";
    EXPECT_TRUE(boxes.Texts(0, 500).empty()) << "a cancel shows no message";
    ExpectRolledBack();
    EXPECT_EQ(60, Position()) << "the bar keeps its position into the next run";

    // A maker's folder that holds another product, and someone else's value in the product key.
    std::string other = target_ + "\\kestrelix\\Other Game\\";
    CreateFolderPath(other.c_str());
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "Foreign", "not the installer's");
    DuringCopy(3, [next] { SendMessageA(next, BM_CLICK, 0, 0); });
    EXPECT_EQ(1, Run(target_));
    EXPECT_FALSE(Exists(installed_));
    EXPECT_TRUE(Exists(other));
    EXPECT_TRUE(ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "Foreign").exists);
    EXPECT_FALSE(ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue).exists);
}

TEST_F(InstallRunTest, CloseOrEndOfTheSessionDuringTheCopyRollsBackAndEndsTheProgram)
{
    HWND dialog = dialog_;
    const std::pair<const char *, std::function<void()>> ends[] = {
        {"close box", [dialog] { SendMessageA(dialog, WM_CLOSE, 0, 0); }},
        // The process may be ended as soon as this message returns: the rollback is done by then.
        {"end of the session", [this, dialog] {
             SendMessageA(dialog, WM_QUERYENDSESSION, 0, 0);
             SendMessageA(dialog, WM_ENDSESSION, TRUE, 0);
             EXPECT_FALSE(Exists(target_ + "\\kestrelix")) << "not rolled back before the message returned";
         }},
    };
    for (const auto &end : ends) {
        SCOPED_TRACE(end.first);
        LayDisc({{"VT.exe", 4 * kMiB}, {"core.vtp", 4 * kMiB}});
        LayRecordToTakeBack(shortcuts_);
        DuringCopy(1, end.second);
        EXPECT_EQ(1, Run(target_ + "\\new\\deeper"));
        ExpectRolledBack();
        EXPECT_TRUE(TakeQuitMessage()) << "the quit message must reach the main loop";
    }
}

TEST_F(InstallRunTest, WriteFailuresRollBackWithAMessage)
{
    // With the drive taken away (a disk pulled out) nothing can be taken back: all stays, the
    // run's mark too, for a later start.
    struct Case {
        const char *what;
        std::function<void()> arrange;
        bool away;
    } cases[] = {
        {"destination cannot be opened", [this] {
             CreateDirectoryA((target_ + "\\kestrelix").c_str(), NULL);
             CreateDirectoryA(installed_.c_str(), NULL);
             CreateDirectoryA((installed_ + "VT.exe").c_str(), NULL);
         }, false},
        {"drive taken away", [this] { DuringCopy(1, [] { RemoveDrive('P'); }); }, true},
    };
    for (const Case &failure : cases) {
        SCOPED_TRACE(failure.what);
        LayDisc({{"Uninstaller.exe", kMiB}, {"VT.exe", kMiB}, {"core.vtp", 3 * kMiB}});
        LayRecordToTakeBack(shortcuts_);
        ASSERT_TRUE(DefineDrive('P', DRIVE_FIXED, target_));
        failure.arrange();
        MessageBoxWatch boxes;
        EXPECT_EQ(0, Run(failure.away ? "P:" : target_));
        // Which file the drive's going fails first depends on when the system notices it is gone.
        std::string said = "ファイルのコピーに失敗しました。\n" + (failure.away ? "P:\\kestrelix\\Velvet Tinkers\\" : installed_ + "VT.exe");
        std::vector<std::string> texts = boxes.Texts(1, 5000);
        ASSERT_EQ(1u, texts.size());
        EXPECT_EQ(said, texts[0].substr(0, failure.away ? said.size() : std::string::npos));
        EXPECT_EQ(failure.away, Exists(installed_ + "Uninstaller.exe"));
        EXPECT_EQ(failure.away, ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue).exists);
        EXPECT_EQ(failure.away, KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_EQ(failure.away, Exists(shortcuts_));
        EXPECT_EQ(PAGE_INSTALL_TYPE, g_state.page);
        RemoveDrive('P');
        DeleteTree(target_ + "\\kestrelix");
    }
}

TEST_F(InstallRunTest, LongerFileAlreadyThereIsReplacedWhole)
{
    LayDisc({{"core.vtp", kMiB + 17}});
    CreateDirectoryA((target_ + "\\kestrelix").c_str(), NULL);
    CreateDirectoryA(installed_.c_str(), NULL);
    MakeSizedFile(installed_ + "core.vtp", 5 * kMiB, 99);
    EXPECT_EQ(1, Run(target_));
    EXPECT_EQ(kMiB + 17, FileSize(installed_ + "core.vtp"));
    EXPECT_TRUE(SameContent(disc_ + "\\core.vtp", installed_ + "core.vtp"));
}

TEST_F(InstallRunTest, FolderTextsTakeTheirOwnFormsOfTheInstallFolder)
{
    LayDisc({{"VT.exe", 1000}});

    // A Japanese folder whose names end in a trail byte 0x5C is created exactly.
    std::string japanese = target_ + "\\ソフト\\表";
    EXPECT_EQ(1, Run(japanese + "\\"));
    EXPECT_TRUE(Exists(japanese + "\\kestrelix\\Velvet Tinkers\\VT.exe"));
    EXPECT_EQ(japanese + "\\kestrelix\\Velvet Tinkers\\" + '\0',
              ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "DIR").data);
    EXPECT_EQ(1u, FolderEntries(target_).size()) << "a stray folder from a lead byte";

    // A folder that depends on the current folder or drive is refused before anything is made.
    DriveDefinition saved = QueryDrive('D');
    ASSERT_TRUE(DefineDrive('D', DRIVE_FIXED, target_));
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof(previous), previous);
    SetCurrentDirectoryA("D:\\");
    DeleteTree(target_ + "\\ソフト");
    for (const char *relative : {"", "games", "\\games", "D:games"}) {
        MessageBoxWatch boxes;
        EXPECT_EQ(0, Run(relative)) << relative;
        EXPECT_EQ(std::vector<std::string>({"インストール先にはドライブ名から始まるフォルダ (例: C:\\Games) を指定してください"}),
                  boxes.Texts(1, 5000));
        EXPECT_TRUE(FolderEntries(target_).empty()) << relative;
    }
    SetCurrentDirectoryA(previous);
    RestoreDrive('D', saved);

    // Names the system would take otherwise than written, and a name the code page cannot hold
    // (a look-alike would be made instead), each with a message of its own.
    const wchar_t kGreekName[] = L"\\\u0395\u03bb\u03ad\u03bd\u03b7";  // \Ελένη: έ is in no Japanese code page
    for (const std::string &folder : {target_ + "\\new\\..\\existing", target_ + "\\.\\a", target_ + "\\a.",
                                      target_ + "\\a ", target_ + "/a", target_ + "\\\\a", std::string()}) {
        MessageBoxWatch boxes;
        EXPECT_EQ(0, Run(folder, TYPE_MINIMAL, folder.empty() ? (Wide(target_) + kGreekName).c_str() : nullptr));
        EXPECT_EQ(folder.empty() ? "インストール先のフォルダ名に、このシステムの文字コードで表せない文字が含まれています。別のフォルダを指定してください"
                                 : "インストール先のフォルダ名に使えない部分があります (「.」や「..」だけの名前、「/」、末尾の「.」や空白、続いた「\\」)",
                  boxes.Texts(1, 5000).at(0));
        EXPECT_TRUE(FolderEntries(target_).empty()) << folder;
        EXPECT_FALSE(ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue).exists) << "a refused run left a mark";
    }
}

TEST_F(InstallRunTest, InstalledPathsUpTo255CharactersAreTakenAndLongerRefusedBeforeAnyFolder)
{
    LayDisc({});
    // The folder text's length for installed paths of 255 characters (the 15-character names).
    size_t longest = 255 - 15 - std::string("\\kestrelix\\Velvet Tinkers\\").size();
    for (size_t length : {longest, longest + 1, longest + 26}) {
        SCOPED_TRACE(length);
        std::string typed = target_ + "\\" + std::string(length - target_.size() - 1, 'f');
        MessageBoxWatch boxes;
        if (length == longest) {
            EXPECT_EQ(1, Run(typed));
            EXPECT_TRUE(Exists(typed + "\\kestrelix\\Velvet Tinkers\\Uninstaller.exe"));
            EXPECT_TRUE(boxes.Texts().empty());
            DeleteTree(typed);
        } else {
            // The limit gives its own message before the platform's folder limit would refuse.
            EXPECT_EQ(0, Run(typed));
            EXPECT_EQ(std::vector<std::string>({"インストール先のフォルダ名が長すぎます"}), boxes.Texts(1, 5000));
            EXPECT_TRUE(FolderEntries(target_).empty());
        }
    }
}

TEST_F(InstallRunTest, DiscReadThatFailsIsAskedAboutAndGoesOnFromTheBlockThatFailed)
{
    // The faulty disc: a file system that fails reads as its control file says (faulty_fs.py).
    std::string faultySource = WindowsPathOf(Environment("VT_FAULTY_SOURCE"));
    std::string control = WindowsPathOf(Environment("VT_FAULTY_CONTROL"));
    auto endEarly = [this] {
        std::string source = disc_ + "\\core.vtp";
        DuringCopy(3, [source] {
            HANDLE file = CreateFileA(source.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                      OPEN_EXISTING, 0, NULL);
            SetFilePointer(file, (LONG)(kMiB + kMiB / 2), NULL, FILE_BEGIN);
            SetEndOfFile(file);
            CloseHandle(file);
        });
    };
    struct Case {
        const char *what;
        bool faulty;
        std::vector<int> answers;
        std::function<void()> fault, heal;
    } cases[] = {
        {"source ends early", false, {IDRETRY}, endEarly, [this] { MakeSizedFile(disc_ + "\\core.vtp", 3 * kMiB, 3); }},
        {"cancelled", false, {IDCANCEL}, endEarly, nullptr},
        {"read error past an offset, asked again while it lasts", true, {IDRETRY, IDRETRY},
         [control] { MakeFile(control, "core.vtp 1572864"); }, [control] { MakeFile(control, ""); }},
        {"disc taken out", true, {IDRETRY},
         [this, control] { DuringCopy(3, [control] { MakeFile(control, "gone"); }); },
         [control] { MakeFile(control, ""); }},
    };
    for (const Case &failure : cases) {
        SCOPED_TRACE(failure.what);
        if (failure.faulty) {
            if (faultySource.empty()) {
                std::cout << "skipped: " << failure.what << ": " << Environment("VT_FAULTY_REFUSED") << std::endl;
                continue;
            }
            disc_ = faultySource;
            ASSERT_TRUE(DefineUnixDrive('Q', DRIVE_CDROM, Environment("VT_FAULTY_MOUNT")));
        }
        LayDisc({{"Uninstaller.exe", kMiB}, {"VT.exe", kMiB}, {"core.vtp", 3 * kMiB}});
        LayRecordToTakeBack(shortcuts_);
        failure.fault();
        ErrorBoxAnswers plan{failure.answers, failure.heal, {}};
        EXPECT_EQ(1, RunAnswering(target_, &plan));
        EXPECT_EQ(std::vector<std::string>(failure.answers.size(),
                                           "次のファイルを読み込めませんでした。\nQ:\\core.vtp\n\nディスクに汚れや傷がないか、"
                                           "正しく入っているかを確かめてから「再試行」を押してください。"),
                  plan.texts);
        EXPECT_TRUE(plan.retryAndCancel);
        if (failure.answers.back() == IDCANCEL) {
            ExpectRolledBack();
        } else {
            // Had the destination not kept what it held, or the read not gone on where it failed,
            // the copy would differ.
            for (const char *name : kMinimal) EXPECT_TRUE(SameContent(disc_ + "\\" + name, installed_ + name)) << name;
            EXPECT_EQ(installed_ + '\0', ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "DIR").data);
        }
        DeleteTree(target_ + "\\kestrelix");
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    }
}

TEST_F(InstallRunTest, ClickDuringTheRegistrationDoesNotRollBack)
{
    // A shell link object that cannot be made: the shortcut writer's ownerless error box lets
    // the dialog take a click on 中止 in the middle of the registration.
    const std::string shellLink = "SOFTWARE\\Classes\\CLSID\\{00021401-0000-0000-C000-000000000046}\\InprocServer32";
    std::string server = ReadRawValue(HKEY_LOCAL_MACHINE, shellLink, "").data;
    ASSERT_FALSE(server.empty());
    SetRawString(HKEY_LOCAL_MACHINE, shellLink, "", "C:\\missing\\shell.dll");
    LayDisc({{"VT.exe", kMiB}});
    // 中止 is pressed while the second error box is up.
    HWND next = GetDlgItem(dialog_, IDC_BUTTON_NEXT);
    ErrorBoxAnswers plan{{IDOK, IDOK}, [next] { SendMessageA(next, BM_CLICK, 0, 0); }, {}};
    EXPECT_EQ(1, RunAnswering(target_, &plan));
    SetRawString(HKEY_LOCAL_MACHINE, shellLink, "", server);
    EXPECT_TRUE(Exists(installed_ + "VT.exe"));
    EXPECT_EQ(installed_ + '\0', ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "DIR").data);
}

namespace {

// A small file system of its own (VT_SMALL_FS, mounted by the test script), seen as drive F:.
class SmallDriveTest : public InstallRunTest {
protected:
    void SetUp() override
    {
        InstallRunTest::SetUp();
        const char *small = getenv("VT_SMALL_FS");
        if (small == NULL || *small == '\0') GTEST_SKIP() << "no small file system to fill";
        saved_ = QueryDrive('F');
        ASSERT_TRUE(DefineDrive('F', DRIVE_FIXED, WindowsPathOf(small)));
        DeleteTree("F:\\kestrelix");
        DeleteFileA("F:\\filler");
        target_ = "F:";
        installed_ = "F:\\kestrelix\\Velvet Tinkers\\";
    }

    void TearDown() override
    {
        DeleteTree("F:\\kestrelix");
        DeleteFileA("F:\\filler");
        RestoreDrive('F', saved_);
        InstallRunTest::TearDown();
    }

    // Leaves exactly bytes free (a multiple of the file system's 4096-byte pages).
    void LeaveFree(unsigned long long bytes)
    {
        ULARGE_INTEGER available, total, free;
        ASSERT_TRUE(GetDiskFreeSpaceExA("F:\\", &available, &total, &free));
        ASSERT_GE(free.QuadPart, bytes);
        MakeSizedFile("F:\\filler", free.QuadPart - bytes, 7, false);
        ASSERT_TRUE(GetDiskFreeSpaceExA("F:\\", &available, &total, &free));
        ASSERT_EQ(bytes, free.QuadPart);
    }

    DriveDefinition saved_;
};

}  // namespace

TEST_F(SmallDriveTest, ExactFreeSpacePassesAndOneByteMoreIsRefused)
{
    LeaveFree(4 * kMiB);
    LayDisc({{"Uninstaller.exe", kMiB}, {"VT.exe", kMiB}, {"core.vtp", 2 * kMiB}});
    EXPECT_EQ(1, Run("F:\\"));
    EXPECT_TRUE(SameContent(disc_ + "\\core.vtp", installed_ + "core.vtp"));

    DeleteTree("F:\\kestrelix");
    LayDisc({{"Uninstaller.exe", kMiB}, {"VT.exe", kMiB}, {"core.vtp", 2 * kMiB + 1}});
    MessageBoxWatch boxes;
    EXPECT_EQ(0, Run("F:\\"));
    EXPECT_EQ(std::vector<std::string>({"ドライブの空き領域が足りません"}), boxes.Texts(1, 5000));
    EXPECT_FALSE(Exists("F:\\kestrelix")) << "a refused run made a folder";
}

TEST_F(SmallDriveTest, DriveThatFillsUpDuringTheCopyRollsBack)
{
    // The sizes add up to the free bytes, but their partly used last pages do not fit.
    LeaveFree(4 * kMiB);
    LayDisc({{"Uninstaller.exe", kMiB + 1}, {"VT.exe", kMiB + 1}, {"core.vtp", 2 * kMiB - 2}});
    MessageBoxWatch boxes;
    EXPECT_EQ(0, Run("F:\\"));
    EXPECT_EQ(std::vector<std::string>({"ファイルのコピーに失敗しました。\n" + installed_ + "core.vtp"}), boxes.Texts(1, 5000));
    EXPECT_FALSE(Exists(installed_));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
}

TEST_F(SmallDriveTest, SizesFrom4GiBOnAreNotCutTo32Bits)
{
    LeaveFree(4 * kMiB);
    LayDisc({});
    MakeSizedFile(disc_ + "\\core.vtp", (4ull << 30) + kMiB, 0, true);  // 1 MiB seen through 32 bits
    MessageBoxWatch boxes;
    EXPECT_EQ(0, Run("F:\\"));
    EXPECT_EQ(std::vector<std::string>({"ドライブの空き領域が足りません"}), boxes.Texts(1, 5000));
}
