// Setup.exe started in the prefix and driven from this process: single instance, disc wait, main menu, exit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../res/resource.h"
#include "support/driver.h"
#include "support/registry_probe.h"
#include "support/wine_drives.h"

namespace {

const char kCaption[] = "Velvet Tinkers インストーラ";
const DWORD kStartTimeout = 20000;

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        disc_ = MakeLabelledFolder("e2e-disc", "VELVETTINKERS");
        InsertDisc();
    }

    void TearDown() override
    {
        EndProgram(second_);
        EndProgram(setup_);
        RemoveDrive('Q');
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    }

    void InsertDisc() { ASSERT_TRUE(DefineDrive('Q', DRIVE_CDROM, disc_)); }
    void EjectDisc() { ASSERT_TRUE(RemoveDrive('Q')); }

    void StartSetup(Program *program) { ASSERT_TRUE(StartProgram(SetupExePath(), program)) << SetupExePath(); }

    HWND WaitForMainMenu() { return WaitForWindow(setup_.pid, kCaption, kStartTimeout); }

    // Waits for the program to end and says whether it showed a window (other than one
    // that is just closing) meanwhile.
    long WaitWatchingWindows(Program &program, DWORD timeoutMs, bool *showedWindow, HWND closing = NULL)
    {
        *showedWindow = false;
        DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            for (HWND window : VisibleWindows(program.pid)) {
                if (window != closing) *showedWindow = true;
            }
            long code = WaitForExit(program, 10);
            if (code != -1) return code;
        }
        return -1;
    }

    // A second copy started now must end at once with exit code 0 and show nothing.
    void ExpectSecondCopyLeavesSilently()
    {
        StartSetup(&second_);
        bool showed = false;
        EXPECT_EQ(0, WaitWatchingWindows(second_, kStartTimeout, &showed));
        EXPECT_FALSE(showed);
        EndProgram(second_);
    }

    std::string disc_;
    Program setup_;
    Program second_;
};

}  // namespace

TEST_F(StartupTest, MainMenuRightAfterStartShowsOnlyItsThreeButtons)
{
    StartSetup(&setup_);
    HWND dialog = WaitForMainMenu();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(kCaption, WindowText(dialog));

    ControlState start = ReadControl(dialog, IDC_BUTTON_START);
    EXPECT_TRUE(start.visible);
    EXPECT_FALSE(start.enabled);
    EXPECT_EQ("ゲームスタート", start.text);
    ControlState install = ReadControl(dialog, IDC_BUTTON_INSTALL);
    EXPECT_TRUE(install.visible);
    EXPECT_TRUE(install.enabled);
    EXPECT_EQ("インストール", install.text);
    ControlState end = ReadControl(dialog, IDC_BUTTON_END);
    EXPECT_TRUE(end.visible);
    EXPECT_EQ("終了", end.text);
    EXPECT_TRUE(ReadControl(dialog, IDC_PICTURE).visible);
    for (int id = IDC_LABEL; id <= IDC_PROGRESS; ++id) {
        EXPECT_FALSE(ReadControl(dialog, id).visible) << "wizard control " << id << " shows";
    }

    // No placeholder spelling a control name is visible.
    for (int id = IDC_PICTURE; id <= IDC_PROGRESS; ++id) {
        ControlState control = ReadControl(dialog, id);
        if (control.visible) {
            EXPECT_EQ(std::string::npos, control.text.find("IDC_")) << id;
        }
    }

    Click(dialog, IDC_BUTTON_END);
    EXPECT_EQ(1, WaitForExit(setup_, kStartTimeout));
}

TEST_F(StartupTest, CloseBoxEndsWithExitCodeOne)
{
    StartSetup(&setup_);
    HWND dialog = WaitForMainMenu();
    ASSERT_NE(nullptr, dialog);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(1, WaitForExit(setup_, kStartTimeout));
}

TEST_F(StartupTest, SecondCopyBesideTheDialogLeavesSilently)
{
    StartSetup(&setup_);
    ASSERT_NE(nullptr, WaitForMainMenu());
    ExpectSecondCopyLeavesSilently();
    EXPECT_EQ(-1, WaitForExit(setup_, 0)) << "the first copy must go on";
}

TEST_F(StartupTest, NoDiscPromptsAndCancelEndsWithExitCodeZero)
{
    EjectDisc();
    StartSetup(&setup_);
    HWND box = WaitForWindow(setup_.pid, "確認", kStartTimeout);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("DVDを挿入してください。", MessageBoxText(box));
    EXPECT_TRUE(HasButton(box, IDRETRY));
    EXPECT_TRUE(HasButton(box, IDCANCEL));
    EXPECT_FALSE(HasButton(box, IDOK));

    ExpectSecondCopyLeavesSilently();

    AnswerMessageBox(box, IDCANCEL);
    bool showed = false;
    EXPECT_EQ(0, WaitWatchingWindows(setup_, kStartTimeout, &showed, box));
    EXPECT_FALSE(showed) << "something was shown after Cancel";
}

TEST_F(StartupTest, RetryAfterTheDiscIsInsertedOpensTheDialog)
{
    EjectDisc();
    StartSetup(&setup_);
    HWND box = WaitForWindow(setup_.pid, "確認", kStartTimeout);
    ASSERT_NE(nullptr, box);

    AnswerMessageBox(box, IDRETRY);  // still no disc: asked again
    Sleep(300);
    box = WaitForWindow(setup_.pid, "確認", kStartTimeout);
    ASSERT_NE(nullptr, box);

    InsertDisc();
    AnswerMessageBox(box, IDRETRY);
    HWND dialog = WaitForMainMenu();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(nullptr, WaitForWindow(setup_.pid, "確認", 500)) << "asked again with the disc in";
}

TEST_F(StartupTest, EmptyDirCountsAsNotInstalled)
{
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", "");
    StartSetup(&setup_);
    HWND dialog = WaitForMainMenu();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("インストール", ReadControl(dialog, IDC_BUTTON_INSTALL).text);
}

TEST_F(StartupTest, InstalledMachineNeedsNoDiscAndShowsNoDialog)
{
    EjectDisc();
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", "C:\\Games\\kestrelix\\Velvet Tinkers\\");
    StartSetup(&setup_);
    DWORD start = GetTickCount();
    long code = -1;
    while (code == -1 && GetTickCount() - start < kStartTimeout) {
        EXPECT_EQ(nullptr, WaitForWindow(setup_.pid, kCaption, 0));
        EXPECT_EQ(nullptr, WaitForWindow(setup_.pid, "確認", 0)) << "asked for the disc";
        code = WaitForExit(setup_, 20);
    }
    EXPECT_EQ(1, code);
}
