// Setup.exe started in the prefix and driven from this process: single instance, disc wait, main menu, exit.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "../res/resource.h"
#include "../tools/driver/driver.h"
#include "support/files.h"
#include "support/registry_probe.h"
#include "support/shortcut_probe.h"
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

namespace {

// An installed machine: the record and the shortcut folder as a completed install leaves them.
class ReregisterTest : public StartupTest {
protected:
    void SetUp() override
    {
        StartupTest::SetUp();
        EjectDisc();  // the mode needs no disc
        dir_ = FreshTempFolder("reregister") + "\\kestrelix\\Velvet Tinkers\\";
        expected_ = dir_ + "Uninstaller.exe";
        shortcuts_ = SpecialFolder(CSIDL_PROGRAMS) + "\\Velvet Tinkers\\";
        link_ = shortcuts_ + "アンインストール.lnk";
        CreateDirectoryA(shortcuts_.c_str(), NULL);
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", dir_);
        SetRawString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "old");
    }

    void TearDown() override
    {
        DeleteTree(shortcuts_);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        StartupTest::TearDown();
    }

    // Answers Setup.exe's next message box with the caption given and returns its text.
    std::string Answer(const char *caption, int button)
    {
        HWND box = WaitForWindow(setup_.pid, caption, kStartTimeout);
        EXPECT_NE(nullptr, box) << caption;
        if (box == NULL) return "";
        std::string text = MessageBoxText(box);
        AnswerMessageBox(box, button);
        return text;
    }

    // Runs Setup.exe to its one message box, answers it and returns its text.
    std::string RunToMessage()
    {
        StartSetup(&setup_);
        EXPECT_NE(nullptr, WaitForWindow(setup_.pid, "確認", kStartTimeout));
        EXPECT_EQ(nullptr, WaitForWindow(setup_.pid, kCaption, 0)) << "a dialog in the installed mode";
        ExpectSecondCopyLeavesSilently();
        std::string text = Answer("確認", IDOK);
        EXPECT_EQ(1, WaitForExit(setup_, kStartTimeout));
        EndProgram(setup_);
        return text;
    }

    std::string Value(const char *key, const char *name)
    {
        return ReadRawValue(HKEY_LOCAL_MACHINE, key, name).data.c_str();
    }

    std::string dir_, expected_, shortcuts_, link_;
};

}  // namespace

TEST_F(ReregisterTest, PathAlreadyInPlaceChangesNothing)
{
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "Uninstall", expected_);
    SetRawString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "\"" + expected_ + "\"");
    EXPECT_EQ("アップデート済です", RunToMessage());
    EXPECT_FALSE(Exists(link_));
}

TEST_F(ReregisterTest, PathDifferingOrMissingOrUnquotedIsRewrittenWithTheShortcut)
{
    // "Uninstall" as registered (NULL: missing), then "UninstallString" as registered.
    const std::pair<const char *, std::string> records[] = {
        {"uninstaller.exe", "old"},  // only the case differs
        {NULL, "old"},
        {"Uninstaller.exe", expected_},  // an older install's unquoted command
    };
    for (const auto &record : records) {
        SCOPED_TRACE(record.second + (record.first ? record.first : "(missing)"));
        HKEY key;
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_SET_VALUE, &key);
        RegDeleteValueA(key, "Uninstall");
        RegCloseKey(key);
        if (record.first != NULL) SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "Uninstall", dir_ + record.first);
        SetRawString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", record.second);
        DeleteFileA(link_.c_str());
        EXPECT_EQ("アップデートが完了しました", RunToMessage());
        EXPECT_EQ(expected_, Value(kProductKey, "Uninstall"));
        EXPECT_EQ("\"" + expected_ + "\"", Value(kUninstallKey, "UninstallString"));
        EXPECT_EQ(dir_, Value(kProductKey, "DIR"));
        Shortcut shortcut = ReadShortcut(shortcuts_, "アンインストール.lnk");
        ASSERT_TRUE(shortcut.loaded);
        EXPECT_EQ(expected_, shortcut.target);
        EXPECT_EQ(dir_, shortcut.workingFolder);
    }
    EXPECT_EQ("アップデート済です", RunToMessage()) << "a second run finds the values in place";
}

TEST_F(ReregisterTest, DeletedShortcutFolderStillGetsTheValues)
{
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "Uninstall", "C:\\elsewhere\\Uninstaller.exe");
    DeleteTree(shortcuts_);
    EXPECT_EQ("アップデートが完了しました", RunToMessage());
    EXPECT_EQ(expected_, Value(kProductKey, "Uninstall"));
    EXPECT_EQ("\"" + expected_ + "\"", Value(kUninstallKey, "UninstallString"));
    EXPECT_FALSE(Exists(shortcuts_));
}

TEST_F(ReregisterTest, LongestRecordedFolderIsComposedWhole)
{
    std::string longest = "C:\\" + std::string(255 - 3 - 26, 'l') + "\\kestrelix\\Velvet Tinkers\\";
    ASSERT_EQ(255u, longest.size());
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", longest);
    EXPECT_EQ("アップデートが完了しました", RunToMessage());
    EXPECT_EQ(longest + "Uninstaller.exe", Value(kProductKey, "Uninstall"));
    EXPECT_EQ("\"" + longest + "Uninstaller.exe\"", Value(kUninstallKey, "UninstallString"));
}

TEST_F(ReregisterTest, DamagedRecordIsRefusedThenForgottenOnlyWhenTheUserSaysSo)
{
    MakeFile(link_);
    std::string precious = FreshTempFolder("precious") + "\\";
    MakeFile(precious + "a.doc");
    // The refusal names the folder; then the question. No changes nothing; yes deletes both keys
    // and the shortcut folder, never a file, and goes on to a fresh install: the disc search.
    const std::pair<std::string, int> records[] = {
        {precious, IDNO}, {"games\\kestrelix\\Velvet Tinkers\\", IDNO}, {"\\kestrelix\\Velvet Tinkers\\", IDNO},
        {"C:\\kestrelix\\Other\\", IDNO}, {precious, IDYES}};
    for (const auto &record : records) {
        SCOPED_TRACE(record.first + (record.second == IDYES ? " yes" : " no"));
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", record.first);
        StartSetup(&setup_);
        EXPECT_NE(std::string::npos, Answer("エラー", IDOK).find(record.first));
        EXPECT_EQ(0u, Answer("確認", record.second).find("壊れたインストール情報を削除しますか？"));
        if (record.second == IDNO) {
            EXPECT_EQ(1, WaitForExit(setup_, kStartTimeout));
            EXPECT_EQ("old", Value(kUninstallKey, "UninstallString"));
            EXPECT_FALSE(ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "Uninstall").exists);
            EXPECT_TRUE(Exists(link_));
        } else {
            EXPECT_EQ("DVDを挿入してください。", Answer("確認", IDCANCEL));
            EXPECT_EQ(0, WaitForExit(setup_, kStartTimeout));
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
            EXPECT_FALSE(Exists(shortcuts_));
            EXPECT_TRUE(Exists(precious + "a.doc"));
        }
        EndProgram(setup_);
    }
    DeleteTree(precious);
}
