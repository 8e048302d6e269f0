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
        Removal removal = {dir.c_str(), NULL, 0, NULL, "", REMOVE_RECORD, 0, NULL};
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
    Removal removal = {install_.c_str(), NULL, 0, "Uninstaller.exe", brand_.c_str(), REMOVE_RECORD, 0, &leftovers};
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
    Removal removal = {unfinished.c_str(), listed, 2, NULL, made.c_str(), 0, 0, NULL};
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

// A suspended copy of the launch probe whose rights deny this user everything but the handle it was
// created with: a run of another user's, as far as a look at it goes.
static bool StartDenyingProcess(PROCESS_INFORMATION *process)
{
    SECURITY_DESCRIPTOR descriptor;
    ACL empty;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(&empty, sizeof(empty), ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, &empty, FALSE);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string probe = TestProgramPath("launch_probe.exe");
    return CreateProcessA(probe.c_str(), NULL, &attributes, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL, &startup,
                          process);
}

static std::string OwnerText(HANDLE process, DWORD pid)
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    return std::to_string(pid) + " " +
           std::to_string(((unsigned long long)created.dwHighDateTime << 32) | created.dwLowDateTime);
}

// Every start looks at every slot's mark: what a run that ended left is taken back while its drive
// answers, and stays, whole, while it does not; a run still under way, as far as anyone may tell,
// is left alone; a completed install's record and shortcuts stay whatever a mark names.
TEST_F(RemovalTest, RunMarksAreTakenBackOnlyWhenTheirRunEndedAndTheirDriveAnswers)
{
    DriveDefinition savedP = QueryDrive('P');
    DriveDefinition savedS = QueryDrive('S');
    ASSERT_TRUE(DefineDrive('P', DRIVE_FIXED, base_));
    const std::string away = "P:\\kestrelix\\Velvet Tinkers\\";  // install_ while P: is base_
    const std::string silent = "S:\\kestrelix\\Velvet Tinkers\\";  // on a drive that does not answer
    std::string faulty = Environment("VT_FAULTY_MOUNT");
    std::string control = WindowsPathOf(Environment("VT_FAULTY_CONTROL"));
    if (!faulty.empty()) DefineUnixDrive('S', DRIVE_FIXED, faulty, "");
    WriteRunMark("", "");  // this process's own mark, for its owner
    const std::string live = ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkOwnerValue).data;
    const std::string reused = std::to_string(GetCurrentProcessId()) + " 1";  // this id, another start
    PROCESS_INFORMATION denying = {};
    ASSERT_TRUE(StartDenyingProcess(&denying));
    ASSERT_EQ(nullptr, OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, denying.dwProcessId)) << "a look is denied";
    const std::string hidden = OwnerText(denying.hProcess, denying.dwProcessId);
    const std::string hiddenReused = std::to_string(denying.dwProcessId) + " 1";
    const std::string other = base_ + "\\other\\kestrelix\\Velvet Tinkers\\";  // a completed install's
    // highest: what the reader keeps of made; dir: the record's "DIR" ("" none).
    const struct {
        const char *what;
        int slot;
        std::string folder, made, owner, dir;
        RunMarkState state;
        std::string highest;
        bool filesGone, markGone;
    } marks[] = {
        {"empty", 0, "", "", "", "", MARK_NONE, "", false, false},
        {"the folder only", 0, install_, "", "", "", MARK_LEFT_OVER, "", true, true},
        {"the folders made", 0, install_, brand_, "", "", MARK_LEFT_OVER, brand_, true, true},
        {"a drive's root as made", 0, install_, install_.substr(0, 3), "", "", MARK_LEFT_OVER, "", true, true},
        {"a made folder beside the install folder", 0, install_, base_ + "\\other\\", "", "", MARK_LEFT_OVER, "",
         true, true},
        {"not an install folder", 0, base_ + "\\", "", "", "", MARK_DAMAGED, "", false, true},
        {"a drive that is away", 0, away, "P:\\kestrelix\\", "", "", MARK_LEFT_OVER, "P:\\kestrelix\\", false, false},
        {"a drive that does not answer", 0, silent, "", "", "", MARK_LEFT_OVER, "", false, false},
        {"a live owner", 0, install_, brand_, live, "", MARK_RUN_ALIVE, "", false, false},
        {"an owner's id given again", 0, install_, brand_, reused, "", MARK_LEFT_OVER, brand_, true, true},
        {"a live owner that may not be looked at", 0, install_, brand_, hidden, "", MARK_RUN_ALIVE, "", false, false},
        {"its id given again", 0, install_, brand_, hiddenReused, "", MARK_LEFT_OVER, brand_, true, true},
        {"a kept mark", 3, install_, brand_, "", "", MARK_LEFT_OVER, brand_, true, true},
        {"a kept mark beside a completed install", 1, install_, brand_, "", other, MARK_LEFT_OVER, brand_, true, true},
        {"a completed install's own mark", 0, install_, brand_, "", install_, MARK_LEFT_OVER, brand_, false, true},
    };
    for (const auto &row : marks) {
        SCOPED_TRACE(row.what);
        if (row.folder == silent && faulty.empty()) {
            std::cout << "skipped: " << row.what << ": " << Environment("VT_FAULTY_REFUSED") << std::endl;
            continue;
        }
        CreateFolderPath(install_.c_str());
        InstallFiles();
        CreateFolderPath(userShortcuts_.c_str());
        MakeFile(userShortcuts_ + "Velvet Tinkers.lnk");
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        if (!row.dir.empty()) SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", row.dir);
        std::string suffix = row.slot == 0 ? "" : "_" + std::to_string(row.slot);
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue + suffix, row.folder);
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkMadeValue + suffix, row.made);
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkOwnerValue + suffix, row.owner);
        if (row.folder == away) RemoveDrive('P');
        if (row.folder == silent) MakeFile(control, "slow 5");
        RunMark mark;
        EXPECT_EQ(row.state, ReadRunMark(row.slot, &mark));
        if (row.state == MARK_LEFT_OVER) {
            EXPECT_EQ(row.folder + '|' + row.highest, std::string(mark.installDir) + '|' + mark.highestMade);
        }
        EXPECT_EQ(row.state == MARK_RUN_ALIVE ? 0 : 1, CleanUpInterruptedRuns());
        if (row.folder == silent) MakeFile(control, "");
        EXPECT_EQ(!row.filesGone, Exists(install_ + "VT.exe"));
        EXPECT_EQ(!row.filesGone || row.highest.empty() || row.folder != install_, Exists(brand_));
        EXPECT_TRUE(Exists(base_)) << "the user's own folder above those the run made";
        EXPECT_EQ(!row.markGone, ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue + suffix).exists);
        EXPECT_EQ(!row.markGone, ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkOwnerValue + suffix).exists);
        if (!row.dir.empty()) {
            EXPECT_EQ(row.dir, ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "DIR").data.c_str()) << "the completed record";
            EXPECT_TRUE(Exists(userShortcuts_ + "Velvet Tinkers.lnk")) << "the completed install's shortcut";
        }
        if (row.folder == away) DefineDrive('P', DRIVE_FIXED, base_);
    }
    TerminateProcess(denying.hProcess, 0);
    CloseHandle(denying.hThread);
    CloseHandle(denying.hProcess);
    RestoreDrive('P', savedP);
    RestoreDrive('S', savedS);
}

// A new run moves the mark an earlier run left in slot 0 (its drive away) to a free slot before it
// writes its own, so that no run's clean-up is written over; every slot taken, the run makes no mark.
TEST_F(RemovalTest, EarlierRunsMarkMovesAsideForTheNextRunAndNoneIsWrittenOver)
{
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    const std::string earlier = "P:\\kestrelix\\Velvet Tinkers\\";
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkOwnerValue, "1 1");
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkMadeValue, "P:\\kestrelix\\");
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue, earlier);
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, std::string(kRunMarkValue) + "_1", "Q:\\kestrelix\\Velvet Tinkers\\");
    ASSERT_EQ(1, KeepEarlierRunMark());
    ASSERT_EQ(1, WriteRunMark(install_.c_str(), brand_.c_str()));
    EXPECT_EQ(earlier, ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, std::string(kRunMarkValue) + "_2").data.c_str());
    EXPECT_STREQ("P:\\kestrelix\\", ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, std::string(kRunMarkMadeValue) + "_2").data.c_str());
    EXPECT_STREQ("1 1", ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, std::string(kRunMarkOwnerValue) + "_2").data.c_str());
    EXPECT_EQ(install_, ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue).data.c_str());
    // The record's deletion keeps the marks, and with them its key.
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", install_);
    DeleteRecordKey(PRODUCT_KEY);
    EXPECT_FALSE(ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, "DIR").exists);
    EXPECT_EQ(earlier, ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, std::string(kRunMarkValue) + "_2").data.c_str());

    for (int slot = 1; slot < MARK_SLOTS; ++slot) {
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, std::string(kRunMarkValue) + "_" + std::to_string(slot), earlier);
    }
    EXPECT_EQ(0, KeepEarlierRunMark()) << "every slot taken";
    EXPECT_EQ(install_, ReadRawValue(HKEY_LOCAL_MACHINE, kProductKey, kRunMarkValue).data.c_str()) << "the mark stays";
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

TEST_F(RemovalTest, MissingFolderCountsAsEmptyButOneThatCannotBeListedIsNamedAndKeepsTheRecord)
{
    EXPECT_EQ(0, DeleteFolderFiles((base_ + "\\nowhere\\").c_str()));
    EXPECT_EQ(1, Remove(base_ + "\\nowhere\\"));
    ExpectRecordAndShortcutsGone();

    std::string source = Environment("VT_FAULTY_SOURCE");
    if (source.empty()) GTEST_SKIP() << Environment("VT_FAULTY_REFUSED");
    std::string laid = WindowsPathOf(source) + "\\kestrelix\\Velvet Tinkers\\";
    CreateFolderPath(laid.c_str());
    MakeFile(laid + "VT.exe");
    std::string control = WindowsPathOf(Environment("VT_FAULTY_CONTROL"));
    DriveDefinition saved = QueryDrive('S');
    ASSERT_TRUE(DefineUnixDrive('S', DRIVE_FIXED, Environment("VT_FAULTY_MOUNT")));
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", "x");
    MakeFile(control, "unlisted kestrelix/Velvet Tinkers");
    RemovalLeftovers leftovers;
    Removal removal = {"S:\\kestrelix\\Velvet Tinkers\\", NULL, 0, NULL, "", REMOVE_RECORD, 0, &leftovers};
    EXPECT_EQ(REMOVAL_LEFT_FILES, RemoveInstallation(&removal));
    MakeFile(control, "");
    EXPECT_EQ(L"S:\\kestrelix\\Velvet Tinkers\\\n", std::wstring(leftovers.paths));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    RestoreDrive('S', saved);
    DeleteTree(WindowsPathOf(source) + "\\kestrelix");
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
