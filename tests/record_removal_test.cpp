// Removal of an installation and the two launch commands, against real folders, keys and programs.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <stdio.h>
#include <string.h>
#include <tlhelp32.h>

#include <set>
#include <string>

#include "../src/common/common.h"
#include "../src/common/path.h"
#include "../src/install/install.h"
#include "../src/record/record.h"
#include "../tools/driver/driver.h"
#include "support/files.h"
#include "support/installer_state.h"
#include "support/registry_probe.h"
#include "support/shortcut_probe.h"
#include "support/wine_drives.h"

namespace {

class RemovalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareInstallerState();
        base_ = FreshTempFolder("removal-test");
        brand_ = base_ + "\\kestrelix\\";
        install_ = brand_ + "Velvet Tinkers\\";
        CreateDirectoryA(brand_.c_str(), NULL);
        CreateDirectoryA(install_.c_str(), NULL);
        userShortcuts_ = SpecialFolder(CSIDL_PROGRAMS) + "\\Velvet Tinkers\\";
        commonShortcuts_ = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\Velvet Tinkers\\";
        for (const std::string &folder : {userShortcuts_, commonShortcuts_}) {
            CreateDirectoryA(folder.c_str(), NULL);
            MakeFile(folder + "Velvet Tinkers.lnk");
            MakeFile(folder + "アンインストール.lnk");
        }
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", install_);
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "Foreign", "not written by the installer");
        SetRawString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "Velvet Tinkers");
    }

    void TearDown() override
    {
        DeleteTree(base_);
        DeleteTree(userShortcuts_);
        DeleteTree(commonShortcuts_);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    }

    void InstallFiles()
    {
        for (const char *name : {"Uninstaller.exe", "VT.exe", "core.vtp", "data.vtp"}) MakeFile(install_ + name);
    }

    // The uninstaller's removal of dir: every plain file, nothing above it.
    int Remove(const std::string &dir)
    {
        Removal removal = {dir.c_str(), NULL, 0, NULL, "", 0, NULL};
        return RemoveInstallation(&removal);
    }

    void ExpectRecordAndShortcutsGone(bool gone = true)
    {
        EXPECT_EQ(!gone, KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
        EXPECT_EQ(!gone, KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_EQ(!gone, Exists(userShortcuts_));
    }

    std::string base_, brand_, install_, userShortcuts_, commonShortcuts_;
};

}  // namespace

TEST_F(RemovalTest, WholeInstallGoesButTheBrandFolderStays)
{
    InstallFiles();
    g_state.osVersion.dwMajorVersion = 6;
    EXPECT_EQ(1, Remove(install_));
    EXPECT_FALSE(Exists(install_));
    EXPECT_TRUE(Exists(brand_));
    ExpectRecordAndShortcutsGone();
    EXPECT_FALSE(Exists(commonShortcuts_));
}

TEST_F(RemovalTest, SubfolderKeepsItsContentsAndTheInstallFolder)
{
    InstallFiles();
    std::string saves = install_ + "saves\\";
    CreateDirectoryA(saves.c_str(), NULL);
    MakeFile(saves + "slot1.sav");
    EXPECT_EQ(1, Remove(install_));
    EXPECT_TRUE(Exists(saves + "slot1.sav"));
    EXPECT_TRUE(Exists(install_));
    EXPECT_FALSE(Exists(install_ + "VT.exe"));
    EXPECT_FALSE(Exists(install_ + "core.vtp"));
    ExpectRecordAndShortcutsGone();
}

TEST_F(RemovalTest, FileThatStaysKeepsItsFolderTheShortcutsAndTheRecord)
{
    InstallFiles();
    SetFileAttributesA((install_ + "data.vtp").c_str(), FILE_ATTRIBUTE_READONLY);
    RemovalLeftovers leftovers;
    Removal removal = {install_.c_str(), NULL, 0, "Uninstaller.exe", brand_.c_str(), 0, &leftovers};
    EXPECT_EQ(0, RemoveInstallation(&removal));
    EXPECT_EQ(1, leftovers.count);
    EXPECT_EQ(Wide(install_ + "data.vtp\n"), leftovers.paths);
    EXPECT_TRUE(Exists(install_ + "data.vtp"));
    EXPECT_FALSE(Exists(install_ + "core.vtp"));
    EXPECT_TRUE(Exists(install_ + "Uninstaller.exe")) << "kept to the last";
    ExpectRecordAndShortcutsGone(false);
}

TEST_F(RemovalTest, RunsRemovalTakesListedFilesAndOnlyTheFoldersItMade)
{
    const char *const listed[] = {"VT.exe", "core.vtp"};
    // A run ended while it made its folders: the levels below the highest one are missing.
    std::string made = base_ + "\\made\\";
    std::string unfinished = made + "kestrelix\\Velvet Tinkers\\";
    CreateDirectoryA(made.c_str(), NULL);
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue, unfinished);
    Removal removal = {unfinished.c_str(), listed, 2, NULL, made.c_str(), 1, NULL};
    EXPECT_EQ(1, RemoveInstallation(&removal));
    EXPECT_FALSE(Exists(made)) << "a missing level ended the walk";
    EXPECT_TRUE(Exists(base_)) << "a level above the highest one made";
    EXPECT_FALSE(ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue).exists);

    // Files off the list stay, and with them the folder. A key goes only when nothing of value is
    // left in it: the installer's own values are none, anything else is.
    InstallFiles();
    removal.installDir = install_.c_str();
    removal.highestMade = brand_.c_str();
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    const struct { const char *key, *below; std::string name; bool stays; } keys[] = {
        {kProductKey, "", "BLAND", false},
        {kProductKey, "", "Foreign", true},
        {kProductKey, "\\Sub", "BLAND", true},
        {kProductKey, "", std::string(300, 'n'), true},  // a name longer than the listing's buffer
        {kUninstallKey, "", "UninstallString", false},
        {kUninstallKey, "", "Comments", true}};
    for (const auto &key : keys) {
        SCOPED_TRACE(std::string(key.key) + key.below + " " + key.name);
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue, install_);
        SetRawString(HKEY_LOCAL_MACHINE, std::string(key.key) + key.below, key.name, "x");
        EXPECT_EQ(1, RemoveInstallation(&removal));
        EXPECT_EQ(key.stays, KeyExists(HKEY_LOCAL_MACHINE, key.key));
        DeleteKeyTree(HKEY_LOCAL_MACHINE, key.key);
    }
    EXPECT_EQ(std::set<std::string>({"Uninstaller.exe", "data.vtp"}), FolderEntries(install_));
}

TEST_F(RemovalTest, RunMarkIsTakenBackOnlyWhenItsRunEndedAndItsDriveAnswers)
{
    DriveDefinition saved = QueryDrive('P');
    ASSERT_TRUE(DefineDrive('P', DRIVE_FIXED, base_));
    const std::string away = "P:\\kestrelix\\Velvet Tinkers\\";  // install_ while P: is base_
    WriteRunMark("", "");  // this process's own mark, for its owner
    const std::string live = ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkOwnerValue).data;
    const std::string reused = std::to_string(GetCurrentProcessId()) + " 1";  // this id, another start
    // highest: what the reader keeps of made.
    const struct { const char *what; std::string folder, made, owner; RunMarkState state; std::string highest; }
        marks[] = {
        {"empty", "", "", "", MARK_NONE, ""},
        {"the folder only", install_, "", "", MARK_LEFT_OVER, ""},
        {"the folders made", install_, brand_, "", MARK_LEFT_OVER, brand_},
        {"a drive's root as made", install_, install_.substr(0, 3), "", MARK_LEFT_OVER, ""},
        {"not an install folder", base_ + "\\", "", "", MARK_DAMAGED, ""},
        {"a drive that is away", away, "P:\\kestrelix\\", "", MARK_DRIVE_AWAY, ""},
        {"a live owner", install_, brand_, live, MARK_RUN_ALIVE, ""},
        {"an owner's id given again", install_, brand_, reused, MARK_LEFT_OVER, brand_},
    };
    for (const auto &row : marks) {
        SCOPED_TRACE(row.what);
        CreateFolderPath(install_.c_str());
        InstallFiles();
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue, row.folder);
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkMadeValue, row.made);
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkOwnerValue, row.owner);
        if (row.folder == away) RemoveDrive('P');
        RunMark mark;
        EXPECT_EQ(row.state, ReadRunMark(&mark));
        if (row.state == MARK_LEFT_OVER) {
            EXPECT_EQ(row.folder + '|' + row.highest, std::string(mark.installDir) + '|' + mark.highestMade);
        }
        EXPECT_EQ(row.state == MARK_RUN_ALIVE ? 0 : 1, CleanUpInterruptedRun());
        EXPECT_EQ(row.state != MARK_LEFT_OVER, Exists(install_ + "VT.exe"));
        EXPECT_EQ(row.highest.empty(), Exists(brand_));
        EXPECT_TRUE(Exists(base_)) << "the user's own folder above those the run made";
        EXPECT_EQ(row.state != MARK_LEFT_OVER && row.state != MARK_DAMAGED,
                  ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue).exists);
        if (row.folder == away) DefineDrive('P', DRIVE_FIXED, base_);
    }
    RestoreDrive('P', saved);
}

TEST_F(RemovalTest, EmptyPathTouchesNoFilesButClearsShortcutsAndKeys)
{
    InstallFiles();
    EXPECT_EQ(1, Remove(""));
    EXPECT_TRUE(Exists(install_ + "VT.exe"));
    ExpectRecordAndShortcutsGone();
}

TEST_F(RemovalTest, AllUsersShortcutsGoOnlyOnVersionSix)
{
    for (DWORD major : {5u, 7u, 10u}) {
        SCOPED_TRACE(major);
        g_state.osVersion.dwMajorVersion = major;
        Remove("");
        EXPECT_TRUE(Exists(commonShortcuts_ + "Velvet Tinkers.lnk"));
        EXPECT_FALSE(Exists(userShortcuts_));
        CreateDirectoryA(userShortcuts_.c_str(), NULL);
    }
    g_state.osVersion.dwMajorVersion = 6;
    Remove("");
    EXPECT_FALSE(Exists(commonShortcuts_));
}

TEST_F(RemovalTest, MissingFolderIsReportedAndOthersStillGo)
{
    EXPECT_EQ(0, DeleteFolderFiles((base_ + "\\nowhere\\").c_str()));
    EXPECT_EQ(1, Remove(base_ + "\\nowhere\\"));
    ExpectRecordAndShortcutsGone();
}

TEST_F(RemovalTest, PathsBeyondTheListingBufferAreSkippedNotOverrun)
{
    // A folder whose own path fits but some of whose file paths do not.
    std::string deep = base_ + "\\" + std::string(240 - base_.size(), 'd') + "\\";
    ASSERT_EQ(242u, deep.size());
    CreateDirectoryA(deep.c_str(), NULL);
    std::string fits = deep + "short.vtp";        // 251 characters
    std::string tooLong = deep + "much-longer-name.vtp";  // 262 characters
    MakeFile(fits);
    MakeFile(tooLong);
    ASSERT_TRUE(Exists(tooLong));
    EXPECT_EQ(1, DeleteFolderFiles(deep.c_str()));
    EXPECT_FALSE(Exists(fits));
    EXPECT_TRUE(Exists(tooLong));

    // A folder whose search pattern does not fit is not listed at all.
    std::string deeper = deep + std::string(253 - deep.size() - 1, 'e') + "\\";
    ASSERT_EQ(253u, deeper.size());
    CreateDirectoryW((L"\\\\?\\" + std::wstring(deeper.begin(), deeper.end())).c_str(), NULL);
    MakeFile(deeper + "a");
    EXPECT_EQ(0, DeleteFolderFiles(deeper.c_str()));
    EXPECT_TRUE(Exists(deeper + "a"));
}

namespace {

std::set<DWORD> RunningProcesses()
{
    std::set<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        pids.insert(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return pids;
}

class LaunchTest : public RemovalTest {
protected:
    void SetUp() override
    {
        RemovalTest::SetUp();
        ASSERT_NE(nullptr, CreateInstallerDialog());
        std::string probe = TestProgramPath("launch_probe.exe");
        ASSERT_TRUE(CopyFileA(probe.c_str(), (install_ + "VT.exe").c_str(), FALSE)) << probe;
        ASSERT_TRUE(CopyFileA(probe.c_str(), (install_ + "Uninstaller.exe").c_str(), FALSE));
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "EXE", install_ + "VT.exe");
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "Uninstall", install_ + "Uninstaller.exe");
        SetCurrentDirectoryA(base_.c_str());
    }

    void TearDown() override
    {
        DestroyInstallerDialog();
        RemovalTest::TearDown();
    }

    // The probe's report of how it was started, once it has written it.
    std::string Report()
    {
        std::string path = install_ + "report.txt";
        for (int i = 0; i < 200 && ReadFile(path).find("show=") == std::string::npos; ++i) Sleep(50);
        Sleep(100);
        return ReadFile(path);
    }

    void ExpectStartedInTheInstallFolder(const std::string &program)
    {
        std::string report = Report();
        ASSERT_FALSE(report.empty()) << "the program was not started";
        EXPECT_NE(std::string::npos, report.find("program=" + install_ + program + "\n")) << report;
        std::string folder = install_.substr(0, install_.size() - 1);
        size_t at = report.find("directory=");
        ASSERT_NE(std::string::npos, at);
        std::string directory = report.substr(at + 10, report.find('\n', at) - at - 10);
        if (!directory.empty() && directory.back() == '\\') directory.pop_back();
        EXPECT_EQ(0, lstrcmpiA(folder.c_str(), directory.c_str())) << directory;
        EXPECT_NE(std::string::npos, report.find("flags=1\n")) << "STARTF_USESHOWWINDOW: " << report;
        EXPECT_NE(std::string::npos, report.find("show=1\n")) << "SW_SHOWNORMAL: " << report;
        size_t command = report.find("command=");
        std::string line = report.substr(command + 8, report.find('\n', command) - command - 8);
        size_t end = line.find(program);
        ASSERT_NE(std::string::npos, end) << line;
        std::string rest = line.substr(end + program.size());
        EXPECT_TRUE(rest.empty() || rest == "\"" || rest == "\" " || rest == " ") << "parameters: " << line;
    }
};

}  // namespace

TEST_F(LaunchTest, GameStartsFromTheRecordAndTheInstallerCloses)
{
    ShowWindow(g_state.dialog, SW_SHOW);
    EXPECT_EQ(1, LaunchGame());
    EXPECT_TRUE(TakeQuitMessage());
    EXPECT_FALSE(IsWindowVisible(g_state.dialog));
    ExpectStartedInTheInstallFolder("VT.exe");
}

TEST_F(LaunchTest, UninstallerStartsFromTheRecordAndTheInstallerCloses)
{
    EXPECT_EQ(1, LaunchUninstaller());
    EXPECT_TRUE(TakeQuitMessage());
    ExpectStartedInTheInstallFolder("Uninstaller.exe");
}

TEST_F(LaunchTest, WithoutAValidRecordOrItsProgramNothingStartsAndTheInstallerSaysSoAndStays)
{
    std::set<DWORD> before = RunningProcesses();
    MessageBoxWatch boxes;
    // A damaged folder, then a program outside the folder, one whose path only begins with the
    // folder (it leads out through "..", even if back to the game), one not there, then no record.
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", base_ + "\\");
    EXPECT_EQ(0, LaunchGame());
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", install_);
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "Uninstall", base_ + "\\Uninstaller.exe");
    EXPECT_EQ(0, LaunchUninstaller());
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "EXE", install_ + "..\\Velvet Tinkers\\VT.exe");
    EXPECT_EQ(0, LaunchGame());
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "EXE", install_ + "Missing.exe");
    EXPECT_EQ(0, LaunchGame());
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    EXPECT_EQ(0, LaunchGame());
    Press(IDC_BUTTON_START);  // in the dialog: the main menu then shows the record as it now is, none
    const std::string game = "ゲームを起動できませんでした";
    EXPECT_EQ(std::vector<std::string>({game, "アンインストーラを起動できませんでした", game, game, game, game}),
              boxes.Texts(6, 9000));
    EXPECT_FALSE(TakeQuitMessage()) << "the installer closed";
    EXPECT_FALSE(ReadControl(g_state.dialog, IDC_BUTTON_START).enabled);
    Sleep(1500);
    for (DWORD pid : RunningProcesses()) EXPECT_TRUE(before.count(pid)) << "a process was started: " << pid;
    EXPECT_FALSE(Exists(install_ + "report.txt"));
}

// What the shell's answer to a start makes of it: only a declined elevation prompt goes unsaid,
// and a start that happened stands whatever error value was left from before it.
TEST(LaunchOutcomeOf, ADeclinedElevationIsTheOneFailureNotSaid)
{
    const struct {
        int executed;
        DWORD error;
        LaunchOutcome expected;
    } rows[] = {
        {1, ERROR_SUCCESS, LAUNCH_STARTED},        {1, ERROR_CANCELLED, LAUNCH_STARTED},
        {0, ERROR_CANCELLED, LAUNCH_DECLINED},     {0, ERROR_FILE_NOT_FOUND, LAUNCH_FAILED},
        {0, ERROR_ACCESS_DENIED, LAUNCH_FAILED},   {0, ERROR_BAD_EXE_FORMAT, LAUNCH_FAILED},
        {0, ERROR_NO_ASSOCIATION, LAUNCH_FAILED},  {0, ERROR_SUCCESS, LAUNCH_FAILED},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(row.expected, LaunchOutcomeOf(row.executed, row.error)) << row.executed << " " << row.error;
    }
}

TEST_F(RemovalTest, ShortcutIsReplacedAndALinkPathBeyondMaxPathIsNotWritten)
{
    std::string link = userShortcuts_ + "Velvet Tinkers.lnk";
    strcpy(g_state.installDir, install_.c_str());
    EXPECT_EQ(1, CreateShortcut((install_ + "VT.exe").c_str(), Wide(link).c_str()));
    EXPECT_EQ(1, CreateShortcut((install_ + "Other.exe").c_str(), Wide(link).c_str()));
    Shortcut written = ReadShortcut(userShortcuts_, "Velvet Tinkers.lnk");
    ASSERT_TRUE(written.loaded);
    EXPECT_EQ(install_ + "Other.exe", written.target);
    EXPECT_EQ(install_, written.workingFolder);

    std::string longLink = userShortcuts_ + std::string(260 - userShortcuts_.size(), 'k') + ".lnk";
    ASSERT_GT(longLink.size(), 259u);
    EXPECT_EQ(0, CreateShortcut((install_ + "VT.exe").c_str(), Wide(longLink).c_str()));
    EXPECT_FALSE(Exists(longLink));
}
