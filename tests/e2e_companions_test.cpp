// The product as a user meets it: the sample disc, the uninstaller and the game stand-in.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <stdlib.h>

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

const char kCaption[] = "Velvet Tinkers インストーラ";
const DWORD kTimeout = 60000;

std::string SampleDisc()
{
    const char *disc = getenv("VT_SAMPLE_DISC");
    return disc != NULL && *disc != '\0' ? WindowsPathOf(disc) : "";
}

// Wine's own list of installed programs, read from the uninstall entries.
std::string InstalledProgramsList()
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return "";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process;
    char command[] = "uninstaller.exe --list";
    std::string output;
    if (CreateProcessA(NULL, command, NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL, &startup, &process)) {
        CloseHandle(writeEnd);
        writeEnd = NULL;
        char chunk[4096];
        DWORD got;
        while (ReadFile(readEnd, chunk, sizeof(chunk), &got, NULL) && got > 0) output.append(chunk, got);
        WaitForSingleObject(process.hProcess, kTimeout);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (writeEnd != NULL) CloseHandle(writeEnd);
    CloseHandle(readEnd);
    return output;
}

class CompanionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        base_ = FreshTempFolder("companion-target");
        brand_ = base_ + "\\kestrelix\\";
        installed_ = brand_ + "Velvet Tinkers\\";
        shortcuts_ = SpecialFolder(CSIDL_PROGRAMS) + "\\Velvet Tinkers\\";
    }

    void TearDown() override
    {
        EndProgram(program_);
        RemoveDrive('Q');
        DeleteTree(base_);
        DeleteTree(shortcuts_);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    }

    // The record and files of an installation, laid without the installer.
    void LayInstallation(const std::vector<std::string> &files)
    {
        CreateDirectoryA(brand_.c_str(), NULL);
        CreateDirectoryA(installed_.c_str(), NULL);
        for (const std::string &file : files) MakeFile(installed_ + file);
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", installed_);
        SetRawString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "Velvet Tinkers");
    }

    // Runs a program to its first message box, answers it and returns its text.
    std::string Answer(DWORD pid, int button)
    {
        HWND box = WaitForWindow(pid, "確認", kTimeout);
        if (box == NULL) return "<no message>";
        std::string text = MessageBoxText(box);
        AnswerMessageBox(box, button);
        return text;
    }

    std::string base_, brand_, installed_, shortcuts_;
    Program program_;
};

}  // namespace

TEST_F(CompanionTest, SampleDiscHoldsExactlyTheListedFilesAndSetup)
{
    std::string disc = SampleDisc();
    if (disc.empty()) GTEST_SKIP() << "VT_SAMPLE_DISC is not set";
    HMODULE setup = LoadLibraryExA(SetupExePath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, setup);
    char list[1024] = "";
    LoadStringA(setup, IDS_FILES_FULL, list, sizeof(list));
    FreeLibrary(setup);
    std::set<std::string> expected = {"Setup.exe", "autorun.inf", ".windows-label"};
    for (char *name = strtok(list, ","); name != NULL; name = strtok(NULL, ",")) expected.insert(name);
    EXPECT_EQ(expected, FolderEntries(disc));
    EXPECT_EQ("VELVETTINKERS\n", ReadFile(disc + "\\.windows-label"));
    EXPECT_EQ("[autorun]\r\nopen=Setup.exe\r\nicon=Setup.exe,0\r\nlabel=Velvet Tinkers\r\n",
              ReadFile(disc + "\\autorun.inf"));
    EXPECT_TRUE(SameContent(disc + "\\Setup.exe", SetupExePath()));
}

TEST_F(CompanionTest, InstallFromTheSampleDiscThenUninstallLeavesNothing)
{
    std::string disc = SampleDisc();
    if (disc.empty()) GTEST_SKIP() << "VT_SAMPLE_DISC is not set";
    ASSERT_TRUE(DefineDrive('Q', DRIVE_CDROM, disc));
    for (bool somethingElseInBrand : {false, true}) {
        SCOPED_TRACE(somethingElseInBrand ? "brand folder shared" : "brand folder ours");
        ASSERT_TRUE(StartProgram("Q:\\Setup.exe", &program_));
        HWND dialog = WaitForInstaller(program_.pid);
        ASSERT_NE(nullptr, dialog) << "the installer did not find the disc";
        ASSERT_TRUE(WalkToCopy(dialog, TYPE_STANDARD, base_));
        ASSERT_TRUE(WaitForMainMenu(dialog));
        ASSERT_TRUE(ReadControl(dialog, IDC_BUTTON_START).enabled) << "no completed install";
        Click(dialog, IDC_BUTTON_END);
        EXPECT_EQ(1, WaitForExit(program_, kTimeout));
        EndProgram(program_);
        EXPECT_NE(std::string::npos, InstalledProgramsList().find("Velvet Tinkers"));
        if (somethingElseInBrand) MakeFile(brand_ + "other-game.txt");

        // As the Start menu starts it: the shortcut's target in the shortcut's working folder.
        EXPECT_EQ("アンインストールが完了しました", UninstallFromShortcut(shortcuts_));

        EXPECT_FALSE(Exists(installed_));
        EXPECT_EQ(somethingElseInBrand, Exists(brand_));
        EXPECT_FALSE(Exists(shortcuts_));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_EQ(std::string::npos, InstalledProgramsList().find("Velvet Tinkers"));
        for (const std::string &name : FolderEntries(SpecialFolder(CSIDL_PROFILE) + "\\Temp")) {
            EXPECT_NE(0u, name.find("vt-uninstall-")) << "the uninstaller's temporary copy stayed";
        }
        DeleteTree(brand_);
    }
}

TEST_F(CompanionTest, UninstallerWithoutARecordSaysSo)
{
    ASSERT_TRUE(StartProgram(TestProgramPath("../bin/Uninstaller.exe"), &program_));
    EXPECT_EQ("Velvet Tinkers はインストールされていません", Answer(program_.pid, IDOK));
    EXPECT_EQ(1, WaitForExit(program_, kTimeout));
}

TEST_F(CompanionTest, DeclinedUninstallRemovesNothing)
{
    LayInstallation({"VT.exe", "core.vtp"});
    ASSERT_TRUE(StartProgram(TestProgramPath("../bin/Uninstaller.exe"), &program_));
    EXPECT_EQ("Velvet Tinkers をアンインストールしますか？", Answer(program_.pid, IDNO));
    EXPECT_EQ(1, WaitForExit(program_, kTimeout));
    EXPECT_TRUE(Exists(installed_ + "core.vtp"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

TEST_F(CompanionTest, FileThatCannotBeRemovedIsNamedAndTheRestGoes)
{
    LayInstallation({"VT.exe", "core.vtp", "data.vtp"});
    SetFileAttributesA((installed_ + "data.vtp").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(StartProgram(TestProgramPath("../bin/Uninstaller.exe"), &program_));
    Answer(program_.pid, IDYES);
    std::string report = Answer(program_.pid, IDOK);
    EXPECT_NE(std::string::npos, report.find(installed_ + "data.vtp")) << report;
    EXPECT_EQ(std::string::npos, report.find("core.vtp")) << report;
    EXPECT_EQ(2, WaitForExit(program_, kTimeout));
    EXPECT_TRUE(Exists(installed_ + "data.vtp"));
    EXPECT_FALSE(Exists(installed_ + "core.vtp"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
}

TEST_F(CompanionTest, GameShowsTheFolderItWasStartedIn)
{
    ASSERT_TRUE(StartProgram(TestProgramPath("../bin/VT.exe"), &program_, base_));
    HWND game = NULL;
    DWORD start = GetTickCount();
    while (game == NULL && GetTickCount() - start < kTimeout) {
        for (HWND window : VisibleWindows(program_.pid)) {
            if (WindowText(window) == "Velvet Tinkers") game = window;
        }
        Sleep(20);
    }
    ASSERT_NE(nullptr, game);
    HWND folder = FindWindowExA(game, FindWindowExA(game, NULL, "Static", NULL), "Static", NULL);
    EXPECT_NE(std::string::npos, WindowText(folder).find(base_)) << WindowText(folder);
    PostMessageA(game, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, WaitForExit(program_, kTimeout));
}
