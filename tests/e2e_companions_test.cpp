// The product as a user meets it: the sample disc, the uninstaller and the game stand-in.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "../res/resource.h"
#include "../tools/driver/driver.h"
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

// The names that one of Setup.exe's file lists holds.
std::set<std::string> ListedFiles(UINT listId)
{
    std::set<std::string> names;
    HMODULE setup = LoadLibraryExA(SetupExePath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (setup == NULL) return names;
    char list[1024] = "";
    LoadStringA(setup, listId, list, sizeof(list));
    FreeLibrary(setup);
    for (char *name = strtok(list, ","); name != NULL; name = strtok(NULL, ",")) names.insert(name);
    return names;
}

// A 32-bit program on 64-bit Windows: its HKLM\SOFTWARE is the 32-bit registry view.
bool RunsUnderWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// A value of HKEY_CURRENT_USER set, wide, for the programs started while this lives, and put back
// at its end: the Windows version that Wine reports, a shell folder. An empty value changes nothing.
class UserValueScope {
public:
    UserValueScope(const std::wstring &key, const wchar_t *name, const std::wstring &value) : key_(key), name_(name)
    {
        if (value.empty()) return;
        existed_ = SHGetValueW(HKEY_CURRENT_USER, key.c_str(), name, &type_, saved_, &size_) == ERROR_SUCCESS;
        SHSetValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, value.c_str(), (DWORD)(value.size() + 1) * 2);
        changed_ = true;
    }
    ~UserValueScope()
    {
        if (changed_ && existed_) SHSetValueW(HKEY_CURRENT_USER, key_.c_str(), name_, type_, saved_, size_);
        if (changed_ && !existed_) SHDeleteValueW(HKEY_CURRENT_USER, key_.c_str(), name_);
    }

private:
    std::wstring key_;
    const wchar_t *name_;
    bool changed_ = false, existed_ = false;
    DWORD type_ = REG_SZ;
    BYTE saved_[1024];
    DWORD size_ = sizeof(saved_);
};

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

    // The record and files of an installation, laid without the installer; the programs named
    // are the built ones, the other files plain.
    void LayInstallation(const std::vector<std::string> &files)
    {
        CreateDirectoryA(brand_.c_str(), NULL);
        CreateDirectoryA(installed_.c_str(), NULL);
        for (const std::string &file : files) {
            if (file == "Uninstaller.exe" || file == "VT.exe") {
                CopyFileA(TestProgramPath("../bin/" + file).c_str(), (installed_ + file).c_str(), FALSE);
            } else {
                MakeFile(installed_ + file);
            }
        }
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", installed_);
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "Uninstall", installed_ + "Uninstaller.exe");
        SetRawString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "Velvet Tinkers");
    }

    void ExpectRemoved(bool removed)
    {
        EXPECT_EQ(!removed, Exists(installed_));
        EXPECT_EQ(!removed, KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
        EXPECT_EQ(!removed, KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    }

    // Runs a program to its first message box, answers it and returns its text.
    std::string Answer(DWORD pid, int button, const char *caption = "確認")
    {
        HWND box = WaitForWindow(pid, caption, kTimeout);
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
    std::set<std::string> expected = ListedFiles(IDS_FILES_FULL);
    ASSERT_EQ(23u, expected.size());
    expected.insert({"Setup.exe", "autorun.inf", ".windows-label"});
    EXPECT_EQ(expected, FolderEntries(disc));
    EXPECT_EQ("VELVETTINKERS\n", ReadFile(disc + "\\.windows-label"));
    EXPECT_EQ("[autorun]\r\nopen=Setup.exe\r\nicon=Setup.exe,0\r\nlabel=Velvet Tinkers\r\n",
              ReadFile(disc + "\\autorun.inf"));
    for (const char *program : {"Setup.exe", "Uninstaller.exe", "VT.exe"}) {
        EXPECT_TRUE(SameContent(disc + "\\" + program, TestProgramPath(std::string("../bin/") + program))) << program;
    }
}

// One install and uninstall from the sample disc: how the disc reaches drive Q: (the laid folder
// or the image, mounted and attached as a CD would be), what Windows version the prefix reports
// and whether the brand folder holds something else. tools/test runs these in a 32-bit and a
// 64-bit prefix.
struct DiscRun {
    const char *name;
    bool fromImage;
    const wchar_t *windowsVersion;  // L"" for the prefix's own (6.1)
    bool proposesProgramFiles;      // page 1's proposal before Windows 6 or for the folder below
    bool sharedBrand;
    const wchar_t *documents;       // the user's Documents folder, L"" for the prefix's own
};

void PrintTo(const DiscRun &run, std::ostream *out)
{
    *out << run.name;
}

class SampleDiscInstallTest : public CompanionTest, public ::testing::WithParamInterface<DiscRun> {};

TEST_P(SampleDiscInstallTest, InstallFromTheSampleDiscThenUninstallLeavesNothing)
{
    const DiscRun &run = GetParam();
    std::string root = Environment("VT_SAMPLE_DISC");
    std::string device;
    if (run.fromImage) {
        root = Environment("VT_SAMPLE_IMAGE_MOUNT");
        device = Environment("VT_SAMPLE_IMAGE_DEVICE");
        if (root.empty() || device.empty()) {
            GTEST_SKIP() << "the disc image is not mounted (VT_SAMPLE_IMAGE_MOUNT, VT_SAMPLE_IMAGE_DEVICE): "
                         << Environment("VT_SAMPLE_IMAGE_REFUSED");
        }
    }
    if (root.empty()) GTEST_SKIP() << "VT_SAMPLE_DISC is not set";
    ASSERT_TRUE(DefineUnixDrive('Q', DRIVE_CDROM, root, device));
    UserValueScope version(L"Software\\Wine", L"Version", run.windowsVersion);
    // "Personal" is the Documents folder; the system reads the user's setting first.
    SHCreateDirectoryExW(NULL, run.documents, NULL);
    std::wstring explorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    UserValueScope documents(explorer + L"Shell Folders", L"Personal", run.documents);
    UserValueScope userDocuments(explorer + L"User Shell Folders", L"Personal", run.documents);

    ASSERT_TRUE(StartProgram("Q:\\Setup.exe", &program_));
    HWND dialog = WaitForInstaller(program_.pid);
    ASSERT_NE(nullptr, dialog) << "the installer did not find the disc";
    std::string proposed;
    ASSERT_TRUE(WalkToCopy(dialog, TYPE_STANDARD, base_, &proposed));
    if (run.proposesProgramFiles) {
        RawValue programFiles = ReadRawValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                             "ProgramFilesDir");
        EXPECT_EQ(programFiles.data.c_str(), proposed);
    } else {
        EXPECT_EQ(SpecialFolder(CSIDL_PERSONAL), proposed);
    }
    ASSERT_TRUE(WaitForMainMenu(dialog));
    ASSERT_TRUE(ReadControl(dialog, IDC_BUTTON_START).enabled) << "no completed install";
    Click(dialog, IDC_BUTTON_END);
    EXPECT_EQ(1, WaitForExit(program_, kTimeout));
    EndProgram(program_);

    std::set<std::string> listed = ListedFiles(IDS_FILES_STANDARD);
    EXPECT_EQ(listed, FolderEntries(installed_.substr(0, installed_.size() - 1)));
    for (const std::string &name : listed) {
        EXPECT_TRUE(SameContent(installed_ + name, "Q:\\" + name)) << name;
    }
    if (RunsUnderWow64()) {
        // The 32-bit view is Wow6432Node of the 64-bit one; the 64-bit view has no record.
        for (const char *key : {kProductKey, kUninstallKey}) {
            std::string redirected = std::string("SOFTWARE\\Wow6432Node") + (key + strlen("SOFTWARE"));
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY)) << key;
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, redirected, KEY_WOW64_64KEY)) << redirected;
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY)) << key;
        }
    } else if (sizeof(void *) == 8) {
        // The x86-64 build writes the 64-bit view itself, with nothing under Wow6432Node.
        for (const char *key : {kProductKey, kUninstallKey}) {
            std::string redirected = std::string("SOFTWARE\\Wow6432Node") + (key + strlen("SOFTWARE"));
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY)) << key;
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, redirected, KEY_WOW64_64KEY)) << redirected;
        }
    }
    EXPECT_NE(std::string::npos, InstalledProgramsList().find("Velvet Tinkers"));
    if (run.sharedBrand) MakeFile(brand_ + "other-game.txt");

    // As the Start menu starts it: the shortcut's target in the shortcut's working folder.
    EXPECT_EQ("アンインストールが完了しました", UninstallFromShortcut(shortcuts_));

    ExpectRemoved(true);
    EXPECT_EQ(run.sharedBrand, Exists(brand_));
    EXPECT_FALSE(Exists(shortcuts_));
    EXPECT_EQ(std::string::npos, InstalledProgramsList().find("Velvet Tinkers"));
    for (const std::string &name : FolderEntries(SpecialFolder(CSIDL_PROFILE) + "\\Temp")) {
        EXPECT_NE(0u, name.find("vt-uninstall-")) << "the uninstaller's temporary copy stayed";
    }
    EXPECT_FALSE(Exists("C:\\users\\Zoe")) << "a look-alike of the Documents folder was made";
}

INSTANTIATE_TEST_SUITE_P(
    Discs, SampleDiscInstallTest,
    ::testing::Values(DiscRun{"Folder", false, L"", false, false, L""},
                      DiscRun{"FolderBrandShared", false, L"", false, true, L""},
                      DiscRun{"Image", true, L"", false, false, L""},
                      DiscRun{"WindowsXP", false, L"winxp", true, false, L""},
                      DiscRun{"Windows10", false, L"win10", false, false, L""},
                      // Its exact name has no form in code page 932; a look-alike would be C:\users\Zoe.
                      DiscRun{"DocumentsOutsideTheCodePage", false, L"", true, false, L"C:\\users\\Zoë\\Documents"}),
    [](const ::testing::TestParamInfo<DiscRun> &info) { return std::string(info.param.name); });

// Without a record, with the install folder on a drive that is away (also one that goes once the
// question is answered), or beside another installer or uninstaller, nothing is removed: the
// uninstaller says so and the record, the shortcuts and the files stay as they were.
TEST_F(CompanionTest, UninstallerWithoutARecordOrItsDriveOrBesideAnInstallerSaysSo)
{
    const std::tuple<std::string, const char *, std::string> cases[] = {
        {"", "確認", "Velvet Tinkers はインストールされていません"},
        {"P:\\kestrelix\\Velvet Tinkers\\", "エラー",
         "インストール先のドライブに接続できないため、アンインストールできません。\nP:\\kestrelix\\Velvet Tinkers\\\n\n"
         "ドライブを接続してから、もう一度アンインストールしてください。"},
    };
    RemoveDrive('P');
    for (const auto &[dir, caption, said] : cases) {
        SCOPED_TRACE(dir);
        if (!dir.empty()) SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", dir);
        ASSERT_TRUE(StartProgram(TestProgramPath("../bin/Uninstaller.exe"), &program_));
        EXPECT_EQ(said, Answer(program_.pid, IDOK, caption));
        EXPECT_EQ(1, WaitForExit(program_, kTimeout));
        EXPECT_EQ(!dir.empty(), KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    }

    LayInstallation({"VT.exe", "core.vtp"});
    CreateDirectoryA(shortcuts_.c_str(), NULL);
    MakeFile(shortcuts_ + "Velvet Tinkers.lnk");
    DriveDefinition saved = QueryDrive('P');
    ASSERT_TRUE(DefineDrive('P', DRIVE_FIXED, base_));
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", "P:\\kestrelix\\Velvet Tinkers\\");
    ASSERT_TRUE(StartProgram(TestProgramPath("../bin/Uninstaller.exe"), &program_));
    HWND question = WaitForWindow(program_.pid, "確認", kTimeout);
    ASSERT_NE(nullptr, question);
    RemoveDrive('P');
    AnswerMessageBox(question, IDYES);
    EXPECT_EQ(std::get<2>(cases[1]), Answer(program_.pid, IDOK, "エラー"));
    EXPECT_EQ(1, WaitForExit(program_, kTimeout));
    EndProgram(program_);
    RestoreDrive('P', saved);
    EXPECT_TRUE(Exists(installed_ + "core.vtp") && Exists(shortcuts_ + "Velvet Tinkers.lnk"));
    ExpectRemoved(false);

    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", installed_);
    HANDLE held = CreateMutexA(NULL, FALSE, "Global\\Velvet Tinkers Installer Run");
    ASSERT_TRUE(StartProgram(TestProgramPath("../bin/Uninstaller.exe"), &program_));
    EXPECT_EQ("Velvet Tinkers のインストーラかアンインストーラが実行中です。\nそちらを終了してから、もう一度アンインストールしてください。",
              Answer(program_.pid, IDOK, "エラー"));
    EXPECT_EQ(1, WaitForExit(program_, kTimeout));
    CloseHandle(held);
    EXPECT_TRUE(Exists(installed_ + "core.vtp") && Exists(shortcuts_ + "Velvet Tinkers.lnk"));
    ExpectRemoved(false);
}

TEST_F(CompanionTest, DeclinedUninstallRemovesNothingWhateverTheCommandLine)
{
    LayInstallation({"VT.exe", "core.vtp"});
    // The hand-over switch counts only from the temporary copy an uninstaller made of itself.
    for (const char *arguments : {"", "/cleanup", "/cleanup 4", "/cleanup 4294967295"}) {
        SCOPED_TRACE(arguments);
        ASSERT_TRUE(StartProgram(TestProgramPath("../bin/Uninstaller.exe"), &program_, "", arguments));
        EXPECT_EQ("Velvet Tinkers をアンインストールしますか？", Answer(program_.pid, IDNO));
        EXPECT_EQ(1, WaitForExit(program_, kTimeout));
        EndProgram(program_);
        EXPECT_TRUE(Exists(installed_ + "core.vtp"));
        ExpectRemoved(false);
    }

    // Named as the temporary copy of a process X and handed an inheritable handle to X, but
    // started by another process than X: only the check of its parent refuses the hand-over.
    Program other;
    ASSERT_TRUE(StartProgram(installed_ + "VT.exe", &other, installed_));
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string copy = temp + std::string("vt-uninstall-") + std::to_string(other.pid) + ".exe";
    ASSERT_TRUE(CopyFileA(TestProgramPath("../bin/Uninstaller.exe").c_str(), copy.c_str(), FALSE));
    HANDLE handle = NULL;
    DuplicateHandle(GetCurrentProcess(), other.process, GetCurrentProcess(), &handle,
                    SYNCHRONIZE | PROCESS_QUERY_INFORMATION, TRUE, 0);
    ASSERT_TRUE(StartProgram(copy, &program_, "", "/cleanup " + std::to_string((unsigned long)(ULONG_PTR)handle), true));
    EXPECT_EQ("Velvet Tinkers をアンインストールしますか？", Answer(program_.pid, IDNO));
    EXPECT_EQ(1, WaitForExit(program_, kTimeout));
    EndProgram(program_);
    EndProgram(other);
    CloseHandle(handle);
    DeleteFileA(copy.c_str());
    EXPECT_TRUE(Exists(installed_ + "core.vtp"));
    ExpectRemoved(false);
}

TEST_F(CompanionTest, FileThatCannotBeRemovedIsNamedAndTheRecordStaysForALaterUninstall)
{
    // In an install folder deep below the drive, files of the user's named outside the system's code
    // page, each named whole as found: a save of 80 kanji (every second one lacking in code page 932)
    // that another program holds open, and a read-only Zoë.sav.
    brand_ = base_ + "\\" + std::string(95, 'd') + "\\kestrelix\\";
    installed_ = brand_ + "Velvet Tinkers\\";
    CreateDirectoryA((base_ + "\\" + std::string(95, 'd')).c_str(), NULL);
    LayInstallation({"Uninstaller.exe", "VT.exe", "core.vtp", "data.vtp"});
    SetFileAttributesA((installed_ + "data.vtp").c_str(), FILE_ATTRIBUTE_READONLY);
    std::wstring zoe = Wide(installed_) + L"Zo\u00eb.sav";
    std::wstring kanji = Wide(installed_) + L"一丂丁丄七丅万丆丈丌三丏上丒下专不业与丛丐东丑丝且丟丕丠世丢丗丣丘两丙严丞丧両丩"
                                            L"並丫丨丬个丮中丯丱丰串丳丶临丸丵丹丷主为丼丽丿举乂乀乃乁久乄之乆乍乇乎么乏义乕乊.sav";
    CloseHandle(CreateFileW(zoe.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_READONLY, NULL));
    HANDLE held = CreateFileW(kanji.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    auto wideText = [](HWND box) { WCHAR text[1024] = L""; GetDlgItemTextW(box, 0xFFFF, text, 1024); return std::wstring(text); };
    ASSERT_TRUE(StartProgram(TestProgramPath("../bin/Uninstaller.exe"), &program_));
    Answer(program_.pid, IDYES);
    HWND box = WaitForWindow(program_.pid, "確認", kTimeout);
    EXPECT_NE(std::wstring::npos, wideText(box).find(L"\n" + kanji + L"\n")) << "the question about the save held open";
    CloseHandle(held);
    AnswerMessageBox(box, IDRETRY);
    box = WaitForWindow(program_.pid, "確認", kTimeout);
    std::wstring report = wideText(box);
    AnswerMessageBox(box, IDOK);
    EXPECT_EQ(0u, report.find(L"アンインストールを完了できませんでした"));
    EXPECT_NE(std::wstring::npos, report.find(Wide(installed_) + L"data.vtp\n"));
    EXPECT_NE(std::wstring::npos, report.find(zoe + L"\n"));
    EXPECT_EQ(std::wstring::npos, report.find(L"core.vtp"));
    EXPECT_EQ(2, WaitForExit(program_, kTimeout));
    EXPECT_TRUE(Exists(installed_ + "data.vtp"));
    EXPECT_FALSE(Exists(installed_ + "core.vtp"));
    EXPECT_TRUE(Exists(installed_ + "Uninstaller.exe")) << "the uninstaller to finish with later";
    ExpectRemoved(false);
}

TEST_F(CompanionTest, RunningGameIsAskedToCloseAndNothingGoesUntilItIs)
{
    LayInstallation({"Uninstaller.exe", "VT.exe", "core.vtp"});
    Program game;
    ASSERT_TRUE(StartProgram(installed_ + "VT.exe", &game, installed_));
    ASSERT_EQ(-1, WaitForExit(game, 1000));
    for (int answer : {IDCANCEL, IDRETRY}) {
        SCOPED_TRACE(answer);
        ASSERT_TRUE(StartProgram(installed_ + "Uninstaller.exe", &program_, installed_));
        Answer(program_.pid, IDYES);
        std::string inUse = Answer(program_.pid, answer);
        EXPECT_NE(std::string::npos, inUse.find(installed_ + "VT.exe")) << inUse;
        if (answer == IDCANCEL) {
            EXPECT_EQ(1, WaitForExit(program_, kTimeout));
            EndProgram(program_);
            ExpectRemoved(false);
            EXPECT_TRUE(Exists(installed_ + "core.vtp"));
        } else {
            // Asked again while it runs; the game ends before that question is answered, so that
            // the next look finds nothing in use whenever it comes.
            HWND again = WaitForWindow(program_.pid, "確認", kTimeout);
            ASSERT_NE(nullptr, again);
            EXPECT_NE(std::string::npos, MessageBoxText(again).find("VT.exe")) << "asked again while it runs";
            EndProgram(game);
            AnswerMessageBox(again, IDRETRY);
            EXPECT_EQ(0, WaitForExit(program_, kTimeout)) << "handed over to its temporary copy";
            HWND done = WaitForWindow(0, "確認", kTimeout);
            ASSERT_NE(nullptr, done);
            EXPECT_EQ("アンインストールが完了しました", MessageBoxText(done));
            // Said by the temporary copy, which is the built program to the byte, signature included.
            char temp[MAX_PATH];
            std::string copy = std::string(temp, GetTempPathA(sizeof(temp), temp)) + "vt-uninstall-";
            EXPECT_TRUE(SameContent(copy + std::to_string(program_.pid) + ".exe", TestProgramPath("../bin/Uninstaller.exe")));
            AnswerMessageBox(done, IDOK);
        }
    }
    EndProgram(game);
    ExpectRemoved(true);
}

TEST_F(CompanionTest, UninstallerRemovesItselfThroughAPathOfOtherLetterCaseOrATempFolderOutsideTheCodePage)
{
    // The temporary folder of a user whose name the system's code page cannot hold.
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring zoe = std::wstring(temp) + L"Zo\u00eb";
    for (bool otherCase : {true, false}) {
        SCOPED_TRACE(otherCase ? "other letter case" : "Zoe's temporary folder");
        LayInstallation({"Uninstaller.exe", "VT.exe", "core.vtp"});
        std::string folder = installed_;
        if (otherCase) CharUpperA(&folder[0]);
        ASSERT_NE(otherCase, folder == installed_);
        CreateDirectoryW(zoe.c_str(), NULL);
        if (!otherCase) SetEnvironmentVariableW(L"TMP", zoe.c_str());
        std::string said = UninstallWith(folder + (otherCase ? "UNINSTALLER.EXE" : "Uninstaller.exe"), folder);
        SetEnvironmentVariableW(L"TMP", temp);
        EXPECT_EQ("アンインストールが完了しました", said);
        ExpectRemoved(true);
        EXPECT_FALSE(Exists(brand_));
        EXPECT_TRUE(RemoveDirectoryW(zoe.c_str())) << "the temporary copy stayed";
    }
}

TEST_F(CompanionTest, RecordNotPointingAtAnInstallFolderIsRefusedAndForgottenOnlyWhenTheUserSaysSo)
{
    std::string precious = base_ + "\\precious\\";
    CreateDirectoryA(precious.c_str(), NULL);
    for (const char *name : {"a.doc", "b.jpg", "Uninstaller.exe"}) MakeFile(precious + name);
    const std::pair<std::string, int> records[] = {{precious, IDNO},
                                                   {"precious\\kestrelix\\Velvet Tinkers\\", IDYES}};
    for (const auto &record : records) {
        SCOPED_TRACE(record.first);
        SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", record.first);
        SetRawString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "Velvet Tinkers");
        ASSERT_TRUE(StartProgram(TestProgramPath("../bin/Uninstaller.exe"), &program_));
        HWND box = WaitForWindow(program_.pid, "エラー", kTimeout);
        ASSERT_NE(nullptr, box) << "no error for a damaged record";
        EXPECT_NE(std::string::npos, MessageBoxText(box).find(record.first));
        AnswerMessageBox(box, IDOK);
        EXPECT_EQ(0u, Answer(program_.pid, record.second).find("壊れたインストール情報を削除しますか？"));
        if (record.second == IDYES) {
            EXPECT_EQ("壊れたインストール情報とスタートメニューの項目を削除しました。ファイルは削除していません。",
                      Answer(program_.pid, IDOK));
        }
        EXPECT_EQ(1, WaitForExit(program_, kTimeout));
        EndProgram(program_);
        EXPECT_EQ(3u, FolderEntries(precious).size());
        EXPECT_EQ(record.second == IDNO, KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
        EXPECT_EQ(record.second == IDNO, KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    }
}

TEST_F(CompanionTest, PlatformsUninstallCommandStartsTheUninstallerNotAProgramPlantedAtABlank)
{
    // An older install's unquoted command, brought to the quoted form by the next start.
    LayInstallation({"Uninstaller.exe", "VT.exe"});
    SetRawString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", installed_ + "Uninstaller.exe");
    ASSERT_TRUE(StartProgram(SetupExePath(), &program_));
    EXPECT_EQ("アップデートが完了しました", Answer(program_.pid, IDOK));
    EXPECT_EQ(1, WaitForExit(program_, kTimeout));
    EndProgram(program_);

    CopyFileA(TestProgramPath("launch_probe.exe").c_str(), (brand_ + "Velvet.exe").c_str(), FALSE);
    char command[] = "uninstaller.exe --remove \"Velvet Tinkers\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION platform;
    ASSERT_TRUE(CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &platform));
    HWND question = WaitForWindow(0, "確認", kTimeout);
    ASSERT_NE(nullptr, question) << "the uninstaller did not ask";
    EXPECT_EQ("Velvet Tinkers をアンインストールしますか？", MessageBoxText(question));
    AnswerMessageBox(question, IDNO);
    WaitForSingleObject(platform.hProcess, kTimeout);
    CloseHandle(platform.hThread);
    CloseHandle(platform.hProcess);
    EXPECT_FALSE(Exists(brand_ + "report.txt")) << "the planted program ran";
    ExpectRemoved(false);
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
    EXPECT_EQ("起動フォルダ:\r\n" + base_, WindowText(folder));
    PostMessageA(game, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, WaitForExit(program_, kTimeout));
}
