// Whole installs through Setup.exe from another process: copy, record, shortcuts, game start,
// the next start, every text as the user reads it under the system's code page, the keyboard
// alone; and a cancel and a close in the middle of a file.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <stdio.h>
#include <stdlib.h>

#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "../res/resource.h"
#include "../src/common/common.h"
#include "../src/record/record.h"
#include "../tools/driver/driver.h"
#include "support/files.h"
#include "support/registry_probe.h"
#include "support/shortcut_probe.h"
#include "support/wine_drives.h"
#include "support/wizard_walk.h"

namespace {

const DWORD kTimeout = 60000;
const unsigned long long kMiB = 1048576;
const char *const kArchives[] = {"core.vtp", "data.vtp", "font.vtp", "sys.vtp", "chr.vtp",
                                 "map.vtp",  "snd.vtp",  "bg.vtp",   "v.vtp"};

class InstallFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *codePage = getenv("VT_CODE_PAGE");  // tools/test runs these under 932, 1252 and 936
        ASSERT_EQ(codePage != NULL ? (UINT)atoi(codePage) : 932u, GetACP()) << "a prefix of another locale";
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        disc_ = FreshTempFolder("e2e-install-disc");
        MakeFile(disc_ + "\\.windows-label", "VELVETTINKERS\n");
        // The programs on the disc report how they are started.
        for (const char *program : {"\\VT.exe", "\\Uninstaller.exe"}) {
            CopyFileA(TestProgramPath("launch_probe.exe").c_str(), (disc_ + program).c_str(), FALSE);
        }
        ASSERT_TRUE(DefineDrive('Q', DRIVE_CDROM, disc_));
        shortcuts_ = SpecialFolder(CSIDL_PROGRAMS) + "\\Velvet Tinkers\\";
    }

    void TearDown() override
    {
        if (textsShown_ > 0) printf("texts read as written under code page %u: %d of %d\n", GetACP(), textsRight_, textsShown_);
        EndProgram(setup_);
        RemoveDrive('Q');
        DeleteTree(disc_);
        if (!base_.empty()) DeleteTree(base_ + "\\kestrelix");
        DeleteTree(shortcuts_);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    }

    void Start()
    {
        ASSERT_TRUE(StartProgram(SetupExePath(), &setup_));
        dialog_ = WaitForInstaller(setup_.pid);
        ASSERT_NE(nullptr, dialog_);
        stillPicture_ = Picture();
    }

    // Walks to the copy, or with press false only to the confirmation page.
    void StartInstall(int type, const std::string &folder, bool press = true)
    {
        base_ = folder;
        installed_ = folder + "\\kestrelix\\Velvet Tinkers\\";
        ASSERT_TRUE(press ? WalkToCopy(dialog_, type, folder) : WalkToConfirm(dialog_, type, folder));
    }

    int Position() { return (int)SendMessageA(GetDlgItem(dialog_, IDC_PROGRESS), PBM_GETPOS, 0, 0); }
    LRESULT Picture() { return SendDlgItemMessageA(dialog_, IDC_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0); }

    // Waits for the copy to be under way, with the animation past the still picture.
    void WaitForCopyUnderWay()
    {
        DWORD start = GetTickCount();
        while ((Position() == 0 || Picture() == stillPicture_) && GetTickCount() - start < kTimeout) Sleep(10);
        ASSERT_GT(Position(), 0);
        ASSERT_NE(stillPicture_, Picture()) << "no animation during the copy";
    }

    // The copy runs long enough to be acted on: a first archive far beyond what a test waits.
    void LayLargeDisc()
    {
        for (const char *archive : kArchives) MakeFile(disc_ + "\\" + archive, "");
        MakeSizedFile(disc_ + "\\core.vtp", 6ull << 30, 0, true);  // beyond 2 GiB on purpose
    }

    // Nothing of the run stays: the folders it made (the brand folder too), the keys and the
    // shortcut folder that LayRecordToTakeBack laid.
    void ExpectNothingLeft()
    {
        EXPECT_TRUE(Exists(base_)) << "the user's own folder above those the run made";
        EXPECT_TRUE(FolderEntries(base_).empty()) << base_;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_FALSE(Exists(shortcuts_));
    }

    // A text the user reads, as read from the screen (UTF-16), against the text as written;
    // counted, so that runs under different code pages can be compared.
    void ExpectText(const std::string &written, const std::string &read)
    {
        ++textsShown_;
        textsRight_ += written == read;
        EXPECT_EQ(written, read);
    }

    // Texts of the dialog's controls by id; 0 stands for its caption.
    void ExpectTexts(const std::vector<std::pair<int, std::string>> &texts)
    {
        for (const auto &text : texts) {
            ExpectText(text.second, text.first == 0 ? WindowText(dialog_) : ReadControl(dialog_, text.first).text);
        }
    }

    void ExpectBox(HWND box, const std::string &caption, const std::string &text)
    {
        ASSERT_NE(nullptr, box) << text;
        ExpectText(caption, WindowText(box));
        ExpectText(text, MessageBoxText(box));
    }

    // The texts of pages 0 to 2, as each page shows.
    void ExpectPageTexts(const std::string &page)
    {
        static const std::map<std::string, std::vector<std::pair<int, std::string>>> kPages = {
            {"install-type", {{IDC_LABEL, "インストール方法の選択"}, {IDC_BUTTON_BACK, "戻る"}, {IDC_BUTTON_NEXT, "次へ"}}},
            {"install-folder",
             {{IDC_LABEL, "インストールフォルダの選択"}, {IDC_BUTTON_BACK, "戻る"}, {IDC_BUTTON_NEXT, "次へ"}, {IDC_BUTTON_BROWSE, "参照"}}},
            {"confirm", {{IDC_LABEL, "インストールを実行します"}, {IDC_BUTTON_BACK, "戻る"}, {IDC_BUTTON_NEXT, "実行"}}}};
        ExpectTexts(kPages.at(page));
    }

    // The controls that Tab (or Shift+Tab) visits, one press each.
    std::vector<int> TabVisits(int presses, bool backwards = false)
    {
        std::vector<int> visited;
        for (int i = 0; i < presses; ++i) {
            PressKey(VK_TAB, backwards);
            visited.push_back(FocusedControlId(dialog_));
        }
        return visited;
    }

    void ExpectValue(const char *key, const char *name, const std::string &text)
    {
        RawValue value = ReadRawValue(HKEY_LOCAL_MACHINE, key, name);
        EXPECT_EQ((DWORD)REG_SZ, value.type) << name;
        // Written with the text's length: the platform adds the NUL that follows the text.
        EXPECT_EQ(text + '\0', value.data) << name;
    }

    std::string disc_, base_, installed_, shortcuts_;
    Program setup_;
    HWND dialog_ = NULL;
    LRESULT stillPicture_ = 0;
    int textsShown_ = 0;
    int textsRight_ = 0;
};

}  // namespace

TEST_F(InstallFlowTest, EveryTextOfASessionReadsAsWrittenAndTheStandardInstallIsFoundOnTheNextStart)
{
    unsigned seed = 11;
    for (const char *archive : kArchives) {
        MakeSizedFile(disc_ + "\\" + archive, 33 * kMiB + seed * 4099, seed);
        ++seed;
    }
    // The disc goes in at the prompt.
    ASSERT_TRUE(RemoveDrive('Q'));
    ASSERT_TRUE(StartProgram(SetupExePath(), &setup_));
    HWND prompt = WaitForMessageBox(setup_.pid, kTimeout);
    ExpectBox(prompt, "確認", "DVDを挿入してください。");
    ASSERT_TRUE(DefineDrive('Q', DRIVE_CDROM, disc_));
    AnswerMessageBox(prompt, IDRETRY);
    dialog_ = WaitForInstaller(setup_.pid);
    ASSERT_NE(nullptr, dialog_);
    stillPicture_ = Picture();
    ExpectTexts({{0, "Velvet Tinkers インストーラ"}, {IDC_BUTTON_START, "ゲームスタート"}, {IDC_BUTTON_INSTALL, "インストール"},
                 {IDC_BUTTON_END, "終了"}});

    // A folder the install refuses, with its message; then the install.
    ASSERT_TRUE(WalkToConfirm(dialog_, TYPE_STANDARD, "games", NULL, [this](const char *page) { ExpectPageTexts(page); }));
    std::vector<std::string> types = ComboItems(GetDlgItem(dialog_, IDC_COMBO_TYPE));
    types.resize(3);
    const char *const kTypes[] = {"フルインストール[約3GB]", "標準インストール[約1.2GB]", "最小インストール[約450MB]"};
    for (int i = 0; i < 3; ++i) ExpectText(kTypes[i], types[i]);
    Click(dialog_, IDC_BUTTON_NEXT);
    HWND refusal = WaitForMessageBox(setup_.pid, kTimeout);
    ExpectBox(refusal, "エラー", "インストール先にはドライブ名から始まるフォルダ (例: C:\\Games) を指定してください");
    AnswerMessageBox(refusal, IDOK);
    ASSERT_TRUE(WaitForMainMenu(dialog_));
    StartInstall(TYPE_STANDARD, SpecialFolder(CSIDL_PROGRAM_FILES));
    WaitForLabel(dialog_, "インストール中...");
    ExpectTexts({{IDC_LABEL, "インストール中..."}, {IDC_BUTTON_NEXT, "中止"}});
    EXPECT_FALSE(ReadControl(dialog_, IDC_BUTTON_BACK).visible);
    EXPECT_TRUE(ReadControl(dialog_, IDC_PROGRESS).visible);
    ASSERT_TRUE(WaitForMainMenu(dialog_));
    ExpectTexts({{IDC_BUTTON_START, "ゲームスタート"}, {IDC_BUTTON_INSTALL, "アンインストール"}, {IDC_BUTTON_END, "終了"}});
    // The shortcuts' names as the file system holds them.
    std::set<std::string> links = FolderEntries(shortcuts_);
    for (const char *link : {"Velvet Tinkers.lnk", "アンインストール.lnk"}) ExpectText(link, links.count(link) ? link : "");

    EXPECT_EQ(100, Position());
    for (const char *name : {"Uninstaller.exe", "VT.exe"}) EXPECT_TRUE(SameContent(disc_ + "\\" + name, installed_ + name));
    for (const char *archive : kArchives) {
        EXPECT_TRUE(SameContent(disc_ + "\\" + archive, installed_ + archive)) << archive;
    }
    // The folder holds blanks ("Program Files", "Velvet Tinkers"): only the command is quoted.
    ExpectValue(kProductKey, "BLAND", "kestrelix");
    ExpectValue(kProductKey, "TITLE", "Velvet Tinkers");
    ExpectValue(kProductKey, "DIR", installed_);
    ExpectValue(kProductKey, "EXE", installed_ + "VT.exe");
    ExpectValue(kProductKey, "Uninstall", installed_ + "Uninstaller.exe");
    ExpectValue(kUninstallKey, "DisplayName", "Velvet Tinkers");
    ExpectValue(kUninstallKey, "UninstallString", "\"" + installed_ + "Uninstaller.exe\"");
    ExpectValue(kUninstallKey, "Publisher", "kestrelix");
    ExpectValue(kUninstallKey, "DisplayIcon", installed_ + "VT.exe");
    ExpectValue(kUninstallKey, "InstallLocation", installed_);
    unsigned long long bytes = 0;
    for (const std::string &name : FolderEntries(installed_)) bytes += FileSize(installed_ + name);
    for (const auto &number : {std::make_pair("EstimatedSize", (DWORD)((bytes + 1023) / 1024)),
                               std::make_pair("NoModify", (DWORD)1), std::make_pair("NoRepair", (DWORD)1)}) {
        RawValue value = ReadRawValue(HKEY_LOCAL_MACHINE, kUninstallKey, number.first);
        EXPECT_EQ((DWORD)REG_DWORD, value.type) << number.first;
        EXPECT_EQ(std::string((const char *)&number.second, 4), value.data) << number.first;
    }

    Shortcut game = ReadShortcut(shortcuts_, "Velvet Tinkers.lnk");
    ASSERT_TRUE(game.loaded);
    EXPECT_EQ(installed_ + "VT.exe", game.target);
    EXPECT_EQ(installed_, game.workingFolder);
    Shortcut uninstall = ReadShortcut(shortcuts_, "アンインストール.lnk");
    EXPECT_TRUE(uninstall.loaded) << "the Japanese link name";
    EXPECT_EQ(installed_ + "Uninstaller.exe", uninstall.target);
    EXPECT_EQ(installed_, uninstall.workingFolder);

    EXPECT_TRUE(ReadControl(dialog_, IDC_BUTTON_START).enabled);
    EXPECT_EQ(stillPicture_, Picture());

    Click(dialog_, IDC_BUTTON_START);
    EXPECT_EQ(1, WaitForExit(setup_, kTimeout));
    std::string report;
    for (int i = 0; i < 100 && report.find("show=") == std::string::npos; ++i, Sleep(50)) {
        report = ReadFile(installed_ + "report.txt");
    }
    EXPECT_NE(std::string::npos, report.find("program=" + installed_ + "VT.exe")) << report;
    DeleteFileA((installed_ + "report.txt").c_str());
    EndProgram(setup_);

    ASSERT_TRUE(StartProgram(SetupExePath(), &setup_));
    HWND box = WaitForMessageBox(setup_.pid, kTimeout);
    ExpectBox(box, "確認", "アップデート済です");
    AnswerMessageBox(box, IDOK);
    EXPECT_EQ(1, WaitForExit(setup_, kTimeout));
}

TEST_F(InstallFlowTest, KeyboardAloneInstallsWhileEscapeClosesAPageButNotTheCopyAndAHeldKeyPressesOnce)
{
    LayLargeDisc();
    base_ = SpecialFolder(CSIDL_PERSONAL);  // the proposed folder, accepted
    // A key-down or key-up alone (a key-down of a key that is down comes as a repeat), and keys held
    // through the X server's test extension, which repeats a key held down until it is let go.
    auto key = [](WORD vk, DWORD up) { INPUT in = {INPUT_KEYBOARD, {.ki = {vk, 0, up, 0, 0}}}; SendInput(1, &in, sizeof(in)); Sleep(50); };
    auto xtest = [](const char *keys) { Program x; StartProgram("/usr/bin/xdotool", &x, "", keys); WaitForExit(x, kTimeout); EndProgram(x); };

    // Tab visits the shown, enabled controls only; Escape on a page ends the program.
    Start();
    ASSERT_TRUE(BringToFront(dialog_));
    EXPECT_EQ(IDC_BUTTON_INSTALL, FocusedControlId(dialog_));
    EXPECT_EQ(std::vector<int>({IDC_BUTTON_END, IDC_BUTTON_INSTALL}), TabVisits(2)) << "ゲームスタート is greyed";
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitForPage(dialog_, PAGE_INSTALL_TYPE));
    EXPECT_EQ(IDC_BUTTON_NEXT, FocusedControlId(dialog_));
    EXPECT_EQ(std::vector<int>({IDC_COMBO_TYPE, IDC_BUTTON_BACK, IDC_BUTTON_NEXT}), TabVisits(3));
    EXPECT_EQ(std::vector<int>({IDC_BUTTON_BACK, IDC_COMBO_TYPE, IDC_BUTTON_NEXT}), TabVisits(3, true));
    PressKey(VK_ESCAPE);
    EXPECT_EQ(1, WaitForExit(setup_, kTimeout));
    EndProgram(setup_);

    // Space on the focused button, the type by the arrow keys, Return on each page's default.
    Start();
    ASSERT_TRUE(BringToFront(dialog_));
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitForPage(dialog_, PAGE_INSTALL_TYPE));
    PressKey(VK_TAB);
    PressKey(VK_DOWN);
    EXPECT_EQ(TYPE_MINIMAL, SendDlgItemMessageW(dialog_, IDC_COMBO_TYPE, CB_GETCURSEL, 0, 0));
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitForPage(dialog_, PAGE_FOLDER));
    EXPECT_EQ(IDC_BUTTON_NEXT, FocusedControlId(dialog_));
    EXPECT_EQ(std::vector<int>({IDC_EDIT_DIR, IDC_BUTTON_BROWSE, IDC_BUTTON_BACK, IDC_BUTTON_NEXT}), TabVisits(4));
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitForPage(dialog_, PAGE_CONFIRM));
    EXPECT_EQ(IDC_BUTTON_NEXT, FocusedControlId(dialog_));
    PressKey(VK_RETURN);
    WaitForCopyUnderWay();
    // 中止 has the focus but is no default: Return, after a Tab too (which gives the focused button
    // the default look), and Escape, held down, leave the copy running; Space on 中止 cancels it.
    EXPECT_EQ(IDC_BUTTON_NEXT, FocusedControlId(dialog_)) << "中止";
    EXPECT_EQ(BS_PUSHBUTTON, GetWindowLongW(GetDlgItem(dialog_, IDC_BUTTON_NEXT), GWL_STYLE) & BS_TYPEMASK);
    PressKey(VK_TAB);
    PressKey(VK_RETURN);
    key(VK_ESCAPE, 0);
    for (int before = Position(), start = GetTickCount(); Position() < before + 2 && GetTickCount() - start < kTimeout;)
        Sleep(10);
    ASSERT_TRUE(ShowsPage(dialog_, PAGE_COPY)) << "Return or Escape ended the copy";
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitForMainMenu(dialog_));
    key(VK_ESCAPE, 0);  // a repeat of the Escape held since the copy
    key(VK_ESCAPE, KEYEVENTF_KEYUP);
    EXPECT_EQ(-1, WaitForExit(setup_, 500)) << "a held Escape ended the program";
    EXPECT_EQ("インストール", ReadControl(dialog_, IDC_BUTTON_INSTALL).text) << "the copy was not cancelled";

    // Return held on 実行 presses it once: the copy runs to its end, and the main menu after it, where
    // ゲームスタート is the default now, stays; nor do the repeats and the key-up of Space, which went
    // down on 中止, press it. Wine dates X input by the X server's clock, which can trail the times of
    // the clicks before by some hundred milliseconds: the held key comes well apart from them.
    MakeSizedFile(disc_ + "\\core.vtp", 1536 * kMiB, 0, true);
    StartInstall(TYPE_MINIMAL, base_, false);
    Sleep(2000);
    xtest("keydown Return");
    bool copying = WaitForPage(dialog_, PAGE_COPY);
    key(VK_SPACE, 0);
    bool menu = WaitForMainMenu(dialog_);
    Sleep(1000);
    key(VK_SPACE, 0);
    key(VK_SPACE, KEYEVENTF_KEYUP);
    xtest("keyup Return");
    ASSERT_TRUE(copying && menu);
    EXPECT_EQ(-1, WaitForExit(setup_, 500)) << "a repeat started the game";
    EXPECT_TRUE(ReadControl(dialog_, IDC_BUTTON_START).enabled) << "the copy did not complete";
    EXPECT_EQ(IDC_BUTTON_START, FocusedControlId(dialog_));
}

TEST_F(InstallFlowTest, CancelInTheMiddleOfAFileLeavesNothingBehind)
{
    LayLargeDisc();
    LayRecordToTakeBack(shortcuts_);
    Start();
    StartInstall(TYPE_MINIMAL, FreshTempFolder("e2e-cancel"));
    WaitForCopyUnderWay();
    MessageBoxWatch boxes(setup_.pid);
    Click(dialog_, IDC_BUTTON_NEXT);
    ASSERT_TRUE(WaitForMainMenu(dialog_));
    EXPECT_TRUE(boxes.Texts(0, 500).empty()) << "a cancel shows no message";
    ExpectNothingLeft();
    EXPECT_GT(Position(), 0) << "the bar keeps its position";
    EXPECT_EQ(stillPicture_, Picture());
    EXPECT_EQ("インストール", ReadControl(dialog_, IDC_BUTTON_INSTALL).text);
}

// The machine-wide lock's name, predictable as any, taken by another program for an object of
// another kind: it can be neither taken nor opened, and proves nothing about a run. Closed at the
// end of its scope, whatever the test did.
struct SquattedLock {
    HANDLE event = CreateEventA(NULL, TRUE, FALSE, "Global\\Velvet Tinkers Installer Run");
    ~SquattedLock() { CloseHandle(event); }
};

TEST_F(InstallFlowTest, RunEndedFromOutsideIsTakenBackOnceItsDriveIsBackWhateverWasInstalledMeanwhile)
{
    LayLargeDisc();
    // The user's folder as drive P:, which can be taken away and put back.
    std::string folder = FreshTempFolder("e2e-killed");
    DriveDefinition saved = QueryDrive('P');
    ASSERT_TRUE(DefineDrive('P', DRIVE_FIXED, folder));
    Start();
    StartInstall(TYPE_MINIMAL, "P:\\new\\deeper");
    WaitForCopyUnderWay();
    EndProgram(setup_);  // TerminateProcess: none of the installer's handlers runs
    std::string left = folder + "\\new\\deeper\\kestrelix\\Velvet Tinkers\\VT.exe";
    ASSERT_TRUE(Exists(left)) << "the run left nothing to take back";
    EXPECT_EQ(installed_, ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "INSTALLING").data.c_str());
    EXPECT_EQ(std::string("P:\\new\\"), ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "INSTALLING_MADE").data.c_str());
    std::string killed = installed_;

    // Starts that leave the run's traces alone, each saying why: another installer holds the
    // machine-wide lock; the mark's owner still runs, also where the lock's name denies this user.
    auto startIsRefused = [&](const char *text) {
        ASSERT_TRUE(StartProgram(SetupExePath(), &setup_));
        HWND box = WaitForMessageBox(setup_.pid, kTimeout);
        ExpectBox(box, "エラー", text);
        AnswerMessageBox(box, IDOK);
        EXPECT_EQ(0, WaitForExit(setup_, kTimeout));
        EndProgram(setup_);
        EXPECT_TRUE(Exists(left));
        EXPECT_EQ(killed, ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "INSTALLING").data.c_str());
    };
    const char kOtherInstaller[] = "Velvet Tinkers のインストーラかアンインストーラが、ほかのユーザーのセッションなどで実行中です。\n"
                                   "そちらを終了してから、もう一度実行してください。";
    const char kRunUnderWay[] = "前回のインストールがまだ実行中です。\nそのインストールを終了してから、もう一度実行してください。";
    {
        HANDLE held = CreateMutexA(NULL, FALSE, "Global\\Velvet Tinkers Installer Run");
        startIsRefused(kOtherInstaller);
        CloseHandle(held);
    }
    std::string owner = ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "INSTALLING_OWNER").data;
    lstrcpyA(g_state.title, "Velvet Tinkers");      // the product key's name, for the run's writer
    WriteRunMark(killed.c_str(), "P:\\new\\");  // owned by this process, which runs on
    startIsRefused(kRunUnderWay);
    std::unique_ptr<SquattedLock> squatted(new SquattedLock);
    ASSERT_NE(nullptr, squatted->event);
    startIsRefused(kRunUnderWay);
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "INSTALLING_OWNER", owner);

    // With the drive away and the lock's name squatted, a start goes on: the user installs to
    // another drive, and the killed run's mark moves aside for the new one.
    RemoveDrive('P');
    for (const char *archive : kArchives) MakeFile(disc_ + "\\" + archive, "");  // a disc that ends soon
    Start();
    StartInstall(TYPE_MINIMAL, FreshTempFolder("e2e-meanwhile"));
    ASSERT_TRUE(WaitForMainMenu(dialog_));
    ASSERT_TRUE(ReadControl(dialog_, IDC_BUTTON_START).enabled) << "the install did not complete";
    Click(dialog_, IDC_BUTTON_END);
    EXPECT_EQ(1, WaitForExit(setup_, kTimeout));
    EndProgram(setup_);
    squatted.reset();
    EXPECT_EQ(killed, ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "INSTALLING_1").data.c_str());
    EXPECT_TRUE(Exists(left));

    // The drive back, the next start takes the killed run back and leaves the completed install.
    DefineDrive('P', DRIVE_FIXED, folder);
    ASSERT_TRUE(StartProgram(SetupExePath(), &setup_));
    HWND box = WaitForMessageBox(setup_.pid, kTimeout);
    ExpectBox(box, "確認", "アップデート済です");
    AnswerMessageBox(box, IDOK);
    EXPECT_EQ(1, WaitForExit(setup_, kTimeout));
    EXPECT_TRUE(FolderEntries(folder).empty()) << "the killed run's files and folders";
    EXPECT_FALSE(ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "INSTALLING_1").exists);
    EXPECT_EQ(installed_, ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "DIR").data.c_str());
    EXPECT_TRUE(Exists(installed_ + "VT.exe") && Exists(shortcuts_ + "Velvet Tinkers.lnk"));
    RestoreDrive('P', saved);
}

TEST_F(InstallFlowTest, CloseBoxOrEndOfTheSessionDuringTheCopyRollsBackAndEndsTheProgram)
{
    const std::pair<const char *, std::function<void(HWND)>> ends[] = {
        {"close box", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"end of the session", [](HWND) {
             // Every program of the session is asked and told, then ended if it still runs.
             Program wineboot;
             ASSERT_TRUE(StartProgram("C:\\windows\\system32\\wineboot.exe", &wineboot, "", "-e"));
             EXPECT_NE(-1, WaitForExit(wineboot, kTimeout));
             EndProgram(wineboot);
         }},
    };
    LayLargeDisc();
    for (const auto &end : ends) {
        SCOPED_TRACE(end.first);
        LayRecordToTakeBack(shortcuts_);
        Start();
        StartInstall(TYPE_MINIMAL, FreshTempFolder("e2e-close"));
        WaitForCopyUnderWay();
        end.second(dialog_);
        EXPECT_NE(-1, WaitForExit(setup_, kTimeout)) << "the installer outlived its end";
        EndProgram(setup_);
        ExpectNothingLeft();
    }
}

TEST_F(InstallFlowTest, SecondClickOfADoubleClickDoesNotPressTheButtonTheFirstPutThere)
{
    LayLargeDisc();
    Start();
    base_ = FreshTempFolder("e2e-double");
    Click(dialog_, IDC_BUTTON_INSTALL);
    ASSERT_TRUE(WaitForPage(dialog_, PAGE_INSTALL_TYPE));
    // 次へ puts the next page's 次へ, then 実行, under the pointer: no page is skipped.
    for (int page : {PAGE_FOLDER, PAGE_CONFIRM}) {
        SCOPED_TRACE(page);
        DoubleClick(dialog_, IDC_BUTTON_NEXT);
        ASSERT_TRUE(WaitForPage(dialog_, page));
        WaitPastDoubleClick();
        ASSERT_TRUE(ShowsPage(dialog_, page)) << "the second click went on";
        SendMessageA(GetDlgItem(dialog_, IDC_EDIT_DIR), WM_SETTEXT, 0, (LPARAM)base_.c_str());  // the folder
    }

    // 実行 turns into 中止 under the pointer: the copy goes on.
    DoubleClick(dialog_, IDC_BUTTON_NEXT);
    WaitForCopyUnderWay();
    WaitPastDoubleClick();
    ASSERT_FALSE(ReadControl(dialog_, IDC_BUTTON_END).visible) << "the double-click cancelled the install";
    int before = Position();
    DWORD start = GetTickCount();
    while (Position() == before && GetTickCount() - start < kTimeout) Sleep(10);
    EXPECT_GT(Position(), before) << "the copy stopped";

    // 中止 gives way to 終了: the program stays, with nothing installed.
    DoubleClick(dialog_, IDC_BUTTON_NEXT);
    ASSERT_TRUE(WaitForMainMenu(dialog_));
    WaitPastDoubleClick();
    EXPECT_EQ(-1, WaitForExit(setup_, 0)) << "the second click ended the installer";
    ExpectNothingLeft();
    Click(dialog_, IDC_BUTTON_END);  // a deliberate click still works
    EXPECT_EQ(1, WaitForExit(setup_, kTimeout));
}
