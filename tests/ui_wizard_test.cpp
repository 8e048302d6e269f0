// The wizard pages and the folder picker inside this process, driven by the dialog's own commands.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "../src/common/common.h"
#include "../src/ui/ui.h"
#include "../tools/driver/driver.h"
#include "../tools/driver/walk.h"
#include "support/installer_state.h"
#include "support/registry_probe.h"
#include "support/wine_drives.h"

namespace {

const char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::string Documents()
{
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(NULL, path, CSIDL_PERSONAL, FALSE);
    return path;
}

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        PrepareInstallerState();
        dialog_ = CreateInstallerDialog();
        ASSERT_NE(nullptr, dialog_);
    }

    void TearDown() override { DestroyInstallerDialog(); }

    std::vector<int> Shown() { return ShownControls(dialog_); }

    std::string Text(int id) { return ReadControl(dialog_, id).text; }

    void SetEdit(const char *text) { SetWindowTextA(GetDlgItem(dialog_, IDC_EDIT_DIR), text); }

    LRESULT Combo(UINT message, WPARAM wParam = 0)
    {
        return SendDlgItemMessageA(dialog_, IDC_COMBO_TYPE, message, wParam, 0);
    }

    HWND dialog_ = NULL;
};

}  // namespace

TEST_F(WizardTest, PagesShowTheirControlsAndTextsForwardAndBack)
{
    Press(IDC_BUTTON_INSTALL);
    EXPECT_EQ(PAGE_INSTALL_TYPE, g_state.page);
    EXPECT_EQ(std::vector<int>({IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT, IDC_COMBO_TYPE}), Shown());
    EXPECT_EQ("インストール方法の選択", Text(IDC_LABEL));
    EXPECT_EQ("戻る", Text(IDC_BUTTON_BACK));
    EXPECT_EQ("次へ", Text(IDC_BUTTON_NEXT));
    EXPECT_EQ(IDC_BUTTON_NEXT, PrimaryButton());
    ASSERT_EQ(3, Combo(CB_GETCOUNT));
    EXPECT_EQ(1, Combo(CB_GETCURSEL));
    const char *types[] = {"フルインストール[約3GB]", "標準インストール[約1.2GB]", "最小インストール[約450MB]"};
    for (int i = 0; i < 3; ++i) {
        char item[256] = "";
        SendDlgItemMessageA(dialog_, IDC_COMBO_TYPE, CB_GETLBTEXT, i, (LPARAM)item);
        EXPECT_STREQ(types[i], item);
    }

    Press(IDC_BUTTON_NEXT);
    EXPECT_EQ(PAGE_FOLDER, g_state.page);
    EXPECT_EQ(std::vector<int>({IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT, IDC_EDIT_DIR, IDC_BUTTON_BROWSE}),
              Shown());
    EXPECT_EQ("インストールフォルダの選択", Text(IDC_LABEL));
    EXPECT_EQ("参照", Text(IDC_BUTTON_BROWSE));
    EXPECT_EQ("次へ", Text(IDC_BUTTON_NEXT));
    EXPECT_EQ(Documents(), Text(IDC_EDIT_DIR));

    Press(IDC_BUTTON_NEXT);
    EXPECT_EQ(PAGE_CONFIRM, g_state.page);
    EXPECT_EQ(std::vector<int>({IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT}), Shown());
    EXPECT_EQ("インストールを実行します", Text(IDC_LABEL));
    EXPECT_EQ("実行", Text(IDC_BUTTON_NEXT));
    EXPECT_EQ(IDC_BUTTON_NEXT, PrimaryButton());

    Press(IDC_BUTTON_BACK);
    EXPECT_EQ(PAGE_FOLDER, g_state.page);
    EXPECT_EQ("次へ", Text(IDC_BUTTON_NEXT));
    Press(IDC_BUTTON_BACK);
    EXPECT_EQ(PAGE_INSTALL_TYPE, g_state.page);
    EXPECT_EQ(std::vector<int>({IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT, IDC_COMBO_TYPE}), Shown());

    Press(IDC_BUTTON_BACK);
    EXPECT_EQ(std::vector<int>({IDC_BUTTON_INSTALL, IDC_BUTTON_START, IDC_BUTTON_END}), Shown());
    EXPECT_EQ(IDC_BUTTON_INSTALL, PrimaryButton());
    EXPECT_STREQ("", g_state.installDir);
    EXPECT_EQ(g_state.frames[0],
              (HBITMAP)SendDlgItemMessageA(dialog_, IDC_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0));
}

TEST_F(WizardTest, ChosenTypeStaysWhileTheFolderIsProposedAfresh)
{
    Press(IDC_BUTTON_INSTALL);
    Combo(CB_SETCURSEL, 2);
    Press(IDC_BUTTON_NEXT);
    SetEdit("E:\\Typed");
    strcpy(g_state.installDir, "E:\\Picked\\");
    Press(IDC_BUTTON_BACK);
    Press(IDC_BUTTON_BACK);  // main menu: the folder is forgotten

    Press(IDC_BUTTON_INSTALL);
    EXPECT_EQ(3, Combo(CB_GETCOUNT)) << "the list is filled once";
    EXPECT_EQ(2, Combo(CB_GETCURSEL));
    Press(IDC_BUTTON_NEXT);
    EXPECT_EQ(Documents(), Text(IDC_EDIT_DIR));
}

TEST_F(WizardTest, TypedFolderIsLostWhenTheFolderPageIsShownAgain)
{
    Press(IDC_BUTTON_INSTALL);
    Press(IDC_BUTTON_NEXT);
    std::string proposed = Text(IDC_EDIT_DIR);
    SetEdit("E:\\Typed");
    Press(IDC_BUTTON_NEXT);
    Press(IDC_BUTTON_BACK);
    EXPECT_EQ(proposed, Text(IDC_EDIT_DIR));

    SetEdit("E:\\Typed");
    Press(IDC_BUTTON_BACK);
    Press(IDC_BUTTON_NEXT);
    EXPECT_EQ(proposed, Text(IDC_EDIT_DIR));
}

TEST_F(WizardTest, NotificationsOfTheComboAndEditDoNothing)
{
    Press(IDC_BUTTON_INSTALL);
    Press(IDC_BUTTON_NEXT);
    std::vector<int> before = Shown();
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDC_EDIT_DIR, EN_CHANGE), 0);
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDC_COMBO_TYPE, CBN_SELCHANGE), 0);
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDC_BUTTON_NEXT, BN_SETFOCUS), 0);
    EXPECT_EQ(PAGE_FOLDER, g_state.page);
    EXPECT_EQ(before, Shown());
}

TEST_F(WizardTest, DefaultFolderFollowsTheWindowsVersion)
{
    struct Case {
        DWORD major;
        bool documents;
    } cases[] = {{6, true}, {10, true}, {5, false}, {4, false}};
    RawValue programFiles = ReadRawValue(HKEY_LOCAL_MACHINE, kVersionKey, "ProgramFilesDir");
    ASSERT_TRUE(programFiles.exists);
    std::string programFilesText(programFiles.data.c_str());

    for (const Case &version : cases) {
        SCOPED_TRACE(version.major);
        g_state.osVersion.dwMajorVersion = version.major;
        g_state.installDir[0] = '\0';
        g_state.page = PAGE_FOLDER;
        ShowWizardPage(dialog_);
        std::string expected = version.documents ? Documents() : programFilesText;
        EXPECT_EQ(expected, g_state.installDir);
        EXPECT_EQ(expected, Text(IDC_EDIT_DIR));
        EXPECT_NE('\\', expected.back()) << "no backslash is added to a proposed folder";
    }

    // Without a readable program-files folder the proposal is the system drive.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_SET_VALUE, &key));
    RegDeleteValueA(key, "ProgramFilesDir");
    g_state.osVersion.dwMajorVersion = 5;
    g_state.installDir[0] = '\0';
    ShowWizardPage(dialog_);
    RegSetValueExA(key, "ProgramFilesDir", 0, programFiles.type,
                   reinterpret_cast<const BYTE *>(programFiles.data.data()), (DWORD)programFiles.data.size());
    RegCloseKey(key);
    EXPECT_STREQ("C:", g_state.installDir);
}

namespace {

// Waits on another thread for the folder browser of this process and acts on it.
struct BrowserHand {
    std::function<void(HWND)> act;
    bool found = false;
    HANDLE thread = NULL;

    static DWORD WINAPI Run(LPVOID context)
    {
        BrowserHand *hand = static_cast<BrowserHand *>(context);
        HWND browser = WaitForWindowWithChild(GetCurrentProcessId(), "SysTreeView32", 10000);
        if (browser == NULL) return 0;
        hand->found = true;
        Sleep(200);
        hand->act(browser);
        return 0;
    }

    void Start(std::function<void(HWND)> action)
    {
        act = action;
        thread = CreateThread(NULL, 0, Run, this, 0, NULL);
    }

    void Join()
    {
        WaitForSingleObject(thread, 15000);
        CloseHandle(thread);
    }
};

void PressOk(HWND browser)
{
    PostMessageA(browser, WM_COMMAND, IDOK, 0);
}

void PressCancel(HWND browser)
{
    PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
}

class FolderPickerTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        saved_ = QueryDrive('D');
        std::string root = MakeLabelledFolder("picker-d", "DATA");
        CreateDirectoryA((root + "\\Games").c_str(), NULL);
        ASSERT_TRUE(DefineDrive('D', DRIVE_FIXED, root));
    }

    void TearDown() override
    {
        RestoreDrive('D', saved_);
        WizardTest::TearDown();
    }

    // Runs the browse button with the browser handled by action; returns the edit box text.
    std::string Browse(std::function<void(HWND)> action)
    {
        BrowserHand hand;
        hand.Start(action);
        Press(IDC_BUTTON_BROWSE);
        hand.Join();
        EXPECT_TRUE(hand.found) << "no folder browser appeared";
        return Text(IDC_EDIT_DIR);
    }

    DriveDefinition saved_;
};

}  // namespace

TEST_F(FolderPickerTest, BrowserStartsAtTheCurrentFolderAndAddsABackslash)
{
    strcpy(g_state.installDir, "D:\\Games");
    EXPECT_EQ("D:\\Games\\", Browse(PressOk));
    EXPECT_STREQ("D:\\Games\\", g_state.installDir);
}

TEST_F(FolderPickerTest, PickedFolderAndDriveRoot)
{
    strcpy(g_state.installDir, "C:\\");
    Browse([](HWND browser) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, (LPARAM) "D:\\Games");
        PressOk(browser);
    });
    EXPECT_STREQ("D:\\Games\\", g_state.installDir);

    Browse([](HWND browser) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, (LPARAM) "D:\\");
        PressOk(browser);
    });
    EXPECT_STREQ("D:\\", g_state.installDir);

    // A folder that the code page cannot name is not taken, and the user is told why.
    CreateDirectoryW(L"D:\\Zoë", NULL);
    std::string refusal;
    Browse([&refusal](HWND browser) {
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, (LPARAM)L"D:\\Zoë");
        PressOk(browser);
        HWND box = WaitForWindow(GetCurrentProcessId(), "エラー", 10000);
        refusal = box != NULL ? MessageBoxText(box) : "";
        if (box != NULL) AnswerMessageBox(box, IDOK);
    });
    EXPECT_EQ("このフォルダはこのシステムの文字コードで表せないため、インストール先に指定できません", refusal);
    EXPECT_STREQ("D:\\", g_state.installDir);
}

TEST_F(FolderPickerTest, CancelledBrowserKeepsTheFolderAndDropsTypedText)
{
    Press(IDC_BUTTON_INSTALL);
    Press(IDC_BUTTON_NEXT);
    std::string proposed = g_state.installDir;
    SetEdit("E:\\Typed");
    EXPECT_EQ(proposed, Browse(PressCancel));
    EXPECT_EQ(proposed, g_state.installDir);

    BrowserHand hand;
    hand.Start(PressCancel);
    char path[INSTALL_DIR_SIZE] = "D:\\Kept\\";
    EXPECT_EQ(0, BrowseForInstallFolder(dialog_, path));
    hand.Join();
    EXPECT_STREQ("D:\\Kept\\", path);
}
