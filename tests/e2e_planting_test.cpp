// DLLs planted under system names beside Setup.exe, in its current folder, in the install folder
// and in the temporary folder are never loaded, and the install and uninstall still work.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "../res/resource.h"
#include "../tools/driver/driver.h"
#include "support/files.h"
#include "support/registry_probe.h"
#include "support/wine_drives.h"
#include "support/wizard_walk.h"

namespace {

// The DLLs the programs reach by name that the system does not always take from its own folder:
// the control library they load, what it loads in turn, and the path helper an older build
// imported. The programs' load-time imports are all DLLs the system takes from its own folder
// (they cannot be planted on Windows, and Wine does not let them be overridden). Wine's own
// user32 also pulls in version.dll when the program is mapped, before any code of the program
// runs; Windows' user32 does not, so that name is no test of the programs.
const char *const kPlanted[] = {"comctl32.dll", "uxtheme.dll", "imagehlp.dll"};
// Wine prefers its own DLLs; asked to prefer native ones (for the processes that start while the
// test runs), it searches as Windows does.
const char kOverridesKey[] = "Software\\Wine\\DllOverrides";

class PlantingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *disc = getenv("VT_SAMPLE_DISC");
        if (disc == NULL || *disc == '\0') GTEST_SKIP() << "VT_SAMPLE_DISC is not set";
        ASSERT_TRUE(DefineDrive('Q', DRIVE_CDROM, WindowsPathOf(disc)));
        markers_ = FreshTempFolder("plant-markers");
        download_ = FreshTempFolder("plant-download");
        current_ = FreshTempFolder("plant-current");
        target_ = FreshTempFolder("plant-target");
        shortcuts_ = SpecialFolder(CSIDL_PROGRAMS) + "\\Velvet Tinkers\\";
        temp_ = SpecialFolder(CSIDL_PROFILE) + "\\Temp\\";
        ASSERT_TRUE(CopyFileA(SetupExePath().c_str(), (download_ + "\\Setup.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(TestProgramPath("naive_loader.exe").c_str(), (download_ + "\\naive.exe").c_str(), FALSE));
        Plant(download_ + "\\");
        Plant(current_ + "\\");
        for (const char *name : kPlanted) {
            std::string module(name, strlen(name) - 4);
            SetRawString(HKEY_CURRENT_USER, kOverridesKey, module, "native,builtin");
        }
        SetEnvironmentVariableA("VT_PLANT_MARKERS", markers_.c_str());
    }

    void TearDown() override
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kOverridesKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            for (const char *name : kPlanted) RegDeleteValueA(key, std::string(name, strlen(name) - 4).c_str());
            RegCloseKey(key);
        }
        SetEnvironmentVariableA("VT_PLANT_MARKERS", NULL);
        EndProgram(program_);
        for (const char *name : kPlanted) DeleteFileA((temp_ + name).c_str());
        for (const std::string &folder : {markers_, download_, current_, target_, shortcuts_}) DeleteTree(folder);
        RemoveDrive('Q');
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    }

    void Plant(const std::string &folder)
    {
        for (const char *name : kPlanted) {
            ASSERT_TRUE(CopyFileA(TestProgramPath("planted_dll.dll").c_str(), (folder + name).c_str(), FALSE));
        }
    }

    int Markers() { return (int)FolderEntries(markers_).size(); }

    std::string markers_, download_, current_, target_, shortcuts_, temp_;
    Program program_;
};

}  // namespace

TEST_F(PlantingTest, PlantedDllsAreNeverLoadedAndInstallAndUninstallStillWork)
{
    // A careless program in the same place does load them: the planting is real.
    std::string names;
    for (const char *name : kPlanted) names += std::string(" ") + name;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    std::string command = "\"" + download_ + "\\naive.exe\"" + names;
    ASSERT_TRUE(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, current_.c_str(), &startup, &process));
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_GT(Markers(), 0) << "the planted DLLs do not load even for a careless program";
    DeleteTree(markers_);
    CreateDirectoryA(markers_.c_str(), NULL);

    ASSERT_TRUE(StartProgram(download_ + "\\Setup.exe", &program_, current_));
    HWND dialog = WaitForInstaller(program_.pid);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WalkToCopy(dialog, TYPE_MINIMAL, target_));
    ASSERT_TRUE(WaitForMainMenu(dialog));
    EXPECT_TRUE(ReadControl(dialog, IDC_BUTTON_START).enabled) << "the install did not complete";
    Click(dialog, IDC_BUTTON_END);
    EXPECT_EQ(1, WaitForExit(program_, 60000));
    EndProgram(program_);
    EXPECT_EQ(0, Markers()) << "Setup.exe loaded a planted DLL";

    // The uninstaller starts in the install folder and finishes from the temporary folder.
    Plant(target_ + "\\kestrelix\\Velvet Tinkers\\");
    Plant(temp_);
    EXPECT_EQ("アンインストールが完了しました", UninstallFromShortcut(shortcuts_));
    EXPECT_EQ(0, Markers()) << "Uninstaller.exe loaded a planted DLL";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
}
