// Whole installs through Setup.exe from another process: copy, record, shortcuts, game start,
// the next start; and a cancel and a close in the middle of a file.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "../res/resource.h"
#include "support/driver.h"
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
        EXPECT_TRUE(FolderEntries(base_).empty()) << base_;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_FALSE(Exists(shortcuts_));
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
};

}  // namespace

TEST_F(InstallFlowTest, StandardInstallRegistersStartsTheGameAndIsFoundOnTheNextStart)
{
    unsigned seed = 11;
    for (const char *archive : kArchives) {
        MakeSizedFile(disc_ + "\\" + archive, 33 * kMiB + seed * 4099, seed);
        ++seed;
    }
    Start();
    StartInstall(TYPE_STANDARD, SpecialFolder(CSIDL_PROGRAM_FILES));
    EXPECT_EQ("中止", ReadControl(dialog_, IDC_BUTTON_NEXT).text);
    EXPECT_FALSE(ReadControl(dialog_, IDC_BUTTON_BACK).visible);
    EXPECT_TRUE(ReadControl(dialog_, IDC_PROGRESS).visible);
    ASSERT_TRUE(WaitForMainMenu(dialog_));

    EXPECT_EQ(100, Position());
    for (const char *name : {"Uninstaller.exe", "VT.exe"}) EXPECT_TRUE(SameContent(disc_ + "\\" + name, installed_ + name));
    for (const char *archive : kArchives) {
        EXPECT_TRUE(SameContent(disc_ + "\\" + archive, installed_ + archive)) << archive;
    }
    ASSERT_NE(std::string::npos, installed_.find(' ')) << "the folder has spaces and stays unquoted";
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

    Shortcut game = ReadShortcut(shortcuts_ + "Velvet Tinkers.lnk");
    ASSERT_TRUE(game.loaded);
    EXPECT_EQ(installed_ + "VT.exe", game.target);
    EXPECT_EQ(installed_, game.workingFolder);
    Shortcut uninstall = ReadShortcut(shortcuts_ + "アンインストール.lnk");
    ASSERT_TRUE(uninstall.loaded) << "the Japanese link name";
    EXPECT_EQ(installed_ + "Uninstaller.exe", uninstall.target);
    EXPECT_EQ(installed_, uninstall.workingFolder);

    ControlState start = ReadControl(dialog_, IDC_BUTTON_START);
    EXPECT_TRUE(start.enabled);
    EXPECT_EQ("アンインストール", ReadControl(dialog_, IDC_BUTTON_INSTALL).text);
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
    HWND box = WaitForWindow(setup_.pid, "確認", kTimeout);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("アップデート済です", MessageBoxText(box));
    AnswerMessageBox(box, IDOK);
    EXPECT_EQ(1, WaitForExit(setup_, kTimeout));
}

TEST_F(InstallFlowTest, CancelInTheMiddleOfAFileLeavesNothingBehind)
{
    LayLargeDisc();
    LayRecordToTakeBack(shortcuts_);
    Start();
    StartInstall(TYPE_MINIMAL, FreshTempFolder("e2e-cancel"));
    WaitForCopyUnderWay();
    WaitPastDoubleClick();
    MessageBoxWatch boxes(setup_.pid);
    Click(dialog_, IDC_BUTTON_NEXT);
    ASSERT_TRUE(WaitForMainMenu(dialog_));
    EXPECT_TRUE(boxes.Texts(0, 500).empty()) << "a cancel shows no message";
    ExpectNothingLeft();
    EXPECT_GT(Position(), 0) << "the bar keeps its position";
    EXPECT_EQ(stillPicture_, Picture());
    EXPECT_EQ("インストール", ReadControl(dialog_, IDC_BUTTON_INSTALL).text);
}

TEST_F(InstallFlowTest, RunEndedFromOutsideIsTakenBackByTheNextStart)
{
    LayLargeDisc();
    std::string folder = FreshTempFolder("e2e-killed");
    Start();
    StartInstall(TYPE_MINIMAL, folder + "\\new\\deeper");
    WaitForCopyUnderWay();
    EndProgram(setup_);  // TerminateProcess: none of the installer's handlers runs
    ASSERT_TRUE(Exists(installed_ + "VT.exe")) << "the run left nothing to take back";
    EXPECT_EQ(installed_.substr(0, folder.size() + 1) + "*new\\deeper\\kestrelix\\Velvet Tinkers\\",
              ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "INSTALLING").data.c_str());
    // As a run ended in its registration leaves the shortcut folder.
    CreateDirectoryA(shortcuts_.c_str(), NULL);
    MakeFile(shortcuts_ + "Velvet Tinkers.lnk");

    Start();  // goes on as on a fresh machine
    EXPECT_EQ("インストール", ReadControl(dialog_, IDC_BUTTON_INSTALL).text);
    base_ = folder;
    ExpectNothingLeft();
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
    StartInstall(TYPE_MINIMAL, FreshTempFolder("e2e-double"), false);

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
