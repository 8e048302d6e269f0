// Repeated runs in one prefix: installs cancelled within one installer process, and installs
// followed by uninstalls; nothing may be left over and the installer may not leak.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <stdlib.h>

#include <string>

#include "../res/resource.h"
#include "../tools/driver/driver.h"
#include "support/files.h"
#include "support/process_probe.h"
#include "support/registry_probe.h"
#include "support/wine_drives.h"
#include "support/wizard_walk.h"

namespace {

const char *const kMinimal[] = {"Uninstaller.exe", "VT.exe",  "core.vtp", "data.vtp", "font.vtp",
                                "sys.vtp",         "chr.vtp", "map.vtp",  "snd.vtp"};

class SoakTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        target_ = FreshTempFolder("soak-target");
        shortcuts_ = SpecialFolder(CSIDL_PROGRAMS) + "\\Velvet Tinkers\\";
    }

    void TearDown() override
    {
        EndProgram(setup_);
        RemoveDrive('Q');
        if (!disc_.empty()) DeleteTree(disc_);
        DeleteTree(target_);
        DeleteTree(shortcuts_);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    }

    void ExpectNothingLeft()
    {
        EXPECT_FALSE(Exists(target_ + "\\kestrelix")) << "the brand folder goes too";
        EXPECT_FALSE(Exists(shortcuts_));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    }

    std::string disc_, target_, shortcuts_;
    Program setup_;
};

}  // namespace

TEST_F(SoakTest, ThirtyCancelledInstallsInOneProcessLeaveNothingAndLeakNothing)
{
    // A large first archive keeps every copy under way long enough to be cancelled mid-file.
    disc_ = FreshTempFolder("soak-disc");
    MakeFile(disc_ + "\\.windows-label", "VELVETTINKERS\n");
    for (const char *name : kMinimal) MakeFile(disc_ + "\\" + name, "small");
    MakeSizedFile(disc_ + "\\Uninstaller.exe", 6ull << 30, 0, true);
    ASSERT_TRUE(DefineDrive('Q', DRIVE_CDROM, disc_));

    ASSERT_TRUE(StartProgram(SetupExePath(), &setup_));
    HWND dialog = WaitForInstaller(setup_.pid);
    ASSERT_NE(nullptr, dialog);
    HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
    long handles = 0, gdi = 0;
    for (int cycle = 1; cycle <= 30; ++cycle) {
        SCOPED_TRACE(cycle);
        LayRecordToTakeBack(shortcuts_);
        ASSERT_TRUE(WalkToCopy(dialog, TYPE_MINIMAL, target_));
        LRESULT start = SendMessageA(progress, PBM_GETPOS, 0, 0);
        DWORD began = GetTickCount();
        while (SendMessageA(progress, PBM_GETPOS, 0, 0) == start && GetTickCount() - began < 60000) Sleep(5);
        Click(dialog, IDC_BUTTON_NEXT);
        ASSERT_TRUE(WaitForMainMenu(dialog));
        ExpectNothingLeft();
        if (cycle == 10) {
            handles = HandleCount(setup_.process, setup_.pid);
            gdi = GdiObjectCount(setup_.process);
            ASSERT_GT(handles, 0);
            ASSERT_GT(gdi, 0);
        }
    }
    // Counts settle in the first cycles (the platform caches a few objects once); a leak of one
    // object per cycle would add twenty over the last twenty.
    EXPECT_LE(HandleCount(setup_.process, setup_.pid), handles + 4);
    EXPECT_LE(GdiObjectCount(setup_.process), gdi + 4);
    Click(dialog, IDC_BUTTON_END);
    EXPECT_EQ(1, WaitForExit(setup_, 60000));
}

TEST_F(SoakTest, TenInstallsAndUninstallsLeaveNothing)
{
    const char *disc = getenv("VT_SAMPLE_DISC");
    if (disc == NULL || *disc == '\0') GTEST_SKIP() << "VT_SAMPLE_DISC is not set";
    ASSERT_TRUE(DefineDrive('Q', DRIVE_CDROM, WindowsPathOf(disc)));
    for (int cycle = 1; cycle <= 10; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_TRUE(StartProgram("Q:\\Setup.exe", &setup_));
        HWND dialog = WaitForInstaller(setup_.pid);
        ASSERT_NE(nullptr, dialog);
        ASSERT_TRUE(WalkToCopy(dialog, cycle % 3, target_));
        ASSERT_TRUE(WaitForMainMenu(dialog));
        ASSERT_TRUE(ReadControl(dialog, IDC_BUTTON_START).enabled);
        Click(dialog, IDC_BUTTON_END);
        EXPECT_EQ(1, WaitForExit(setup_, 60000));
        EndProgram(setup_);
        EXPECT_EQ("アンインストールが完了しました", UninstallFromShortcut(shortcuts_));
        ExpectNothingLeft();
    }
}
