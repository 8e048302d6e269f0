// Setup.exe walked through its wizard pages and folder browser from another process.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "../res/resource.h"
#include "../tools/driver/driver.h"
#include "../tools/driver/walk.h"
#include "support/registry_probe.h"
#include "support/wine_drives.h"

namespace {

const char kCaption[] = "Velvet Tinkers インストーラ";
const DWORD kTimeout = 20000;

class WizardWalkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        ASSERT_TRUE(DefineDrive('Q', DRIVE_CDROM, MakeLabelledFolder("e2e-disc", "VELVETTINKERS")));
        ASSERT_TRUE(StartProgram(SetupExePath(), &setup_));
        dialog_ = WaitForWindow(setup_.pid, kCaption, kTimeout);
        ASSERT_NE(nullptr, dialog_);
    }

    void TearDown() override
    {
        EndProgram(setup_);
        RemoveDrive('Q');
    }

    // Presses a button and waits until the heading shows the page it leads to.
    void Go(int button, const std::string &heading)
    {
        Click(dialog_, button);
        DWORD start = GetTickCount();
        while (ReadControl(dialog_, IDC_LABEL).text != heading && GetTickCount() - start < kTimeout) Sleep(20);
        ASSERT_EQ(heading, ReadControl(dialog_, IDC_LABEL).text);
    }

    std::vector<int> Shown() { return ShownControls(dialog_); }

    std::string Edit() { return ReadControl(dialog_, IDC_EDIT_DIR).text; }

    // Opens the browser with the browse button, presses one of its buttons and waits for it to go.
    void BrowseAndPress(int button)
    {
        Click(dialog_, IDC_BUTTON_BROWSE);
        HWND browser = WaitForWindowWithChild(setup_.pid, "SysTreeView32", kTimeout);
        ASSERT_NE(nullptr, browser);
        Sleep(300);
        PostMessageA(browser, WM_COMMAND, button, 0);
        DWORD start = GetTickCount();
        while (IsWindow(browser) && IsWindowVisible(browser) && GetTickCount() - start < kTimeout) Sleep(20);
        Sleep(200);
    }

    Program setup_;
    HWND dialog_ = NULL;
};

}  // namespace

TEST_F(WizardWalkTest, ForwardAndBackThroughTheFirstThreePages)
{
    Go(IDC_BUTTON_INSTALL, "インストール方法の選択");
    EXPECT_EQ(std::vector<int>({IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT, IDC_COMBO_TYPE}), Shown());
    EXPECT_EQ("標準インストール[約1.2GB]", ReadControl(dialog_, IDC_COMBO_TYPE).text);

    Go(IDC_BUTTON_NEXT, "インストールフォルダの選択");
    char documents[MAX_PATH] = "";
    SHGetSpecialFolderPathA(NULL, documents, CSIDL_PERSONAL, FALSE);
    EXPECT_EQ(documents, Edit());
    EXPECT_EQ(std::vector<int>({IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT, IDC_EDIT_DIR, IDC_BUTTON_BROWSE}),
              Shown());

    Go(IDC_BUTTON_NEXT, "インストールを実行します");
    EXPECT_EQ("実行", ReadControl(dialog_, IDC_BUTTON_NEXT).text);
    Go(IDC_BUTTON_BACK, "インストールフォルダの選択");
    Go(IDC_BUTTON_BACK, "インストール方法の選択");

    Click(dialog_, IDC_BUTTON_BACK);
    DWORD start = GetTickCount();
    while (ReadControl(dialog_, IDC_LABEL).visible && GetTickCount() - start < kTimeout) Sleep(20);
    EXPECT_EQ(std::vector<int>({IDC_BUTTON_INSTALL, IDC_BUTTON_START, IDC_BUTTON_END}), Shown());
    EXPECT_EQ("インストール", ReadControl(dialog_, IDC_BUTTON_INSTALL).text);

    Click(dialog_, IDC_BUTTON_END);
    EXPECT_EQ(1, WaitForExit(setup_, kTimeout));
}

TEST_F(WizardWalkTest, BrowseButtonPicksTheProposedFolderOrKeepsItOnCancel)
{
    Go(IDC_BUTTON_INSTALL, "インストール方法の選択");
    Go(IDC_BUTTON_NEXT, "インストールフォルダの選択");
    std::string proposed = Edit();
    ASSERT_FALSE(proposed.empty());

    BrowseAndPress(IDCANCEL);
    EXPECT_EQ(proposed, Edit());

    BrowseAndPress(IDOK);
    EXPECT_EQ(proposed + "\\", Edit()) << "the browser starts at the proposed folder";

    PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(1, WaitForExit(setup_, kTimeout));
}
