// The disc locator on real drive letters of the Wine prefix.
#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>

#include "../src/app/app.h"
#include "../tools/driver/driver.h"
#include "support/wine_drives.h"

namespace {

class DiscLocatorTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (auto &saved : saved_) RestoreDrive(saved.first, saved.second);
    }

    // Defines a drive for this test only; the previous definition comes back afterwards.
    void Drive(char letter, UINT type, const std::string &label)
    {
        if (!saved_.count(letter)) saved_[letter] = QueryDrive(letter);
        std::string root;
        if (!label.empty()) root = MakeLabelledFolder(std::string("disc-") + letter, label);
        ASSERT_TRUE(DefineDrive(letter, type, root)) << letter;
    }

    // Runs the search into an 8-byte buffer and returns the root it left, or "" for no match.
    std::string Search(const char *prefix)
    {
        memset(root_, 'x', sizeof(root_));
        if (!FindInstallDisc(root_, prefix)) return "";
        EXPECT_EQ('\0', root_[3]);
        EXPECT_EQ('x', root_[4]) << "wrote past the four bytes of a drive root";
        return std::string(root_, 3);
    }

    std::map<char, DriveDefinition> saved_;
    char root_[8];
};

}  // namespace

TEST_F(DiscLocatorTest, FindsLabelOnCdDrive)
{
    Drive('Q', DRIVE_CDROM, "VELVETTINKERS");
    EXPECT_EQ("Q:\\", Search("VELVETTINKERS"));
}

TEST_F(DiscLocatorTest, FindsLabelOnFixedDrive)
{
    Drive('P', DRIVE_FIXED, "VELVETTINKERS");
    EXPECT_EQ("P:\\", Search("VELVETTINKERS"));
}

TEST_F(DiscLocatorTest, LabelMayContinueAfterThePrefixButCaseMatters)
{
    Drive('Q', DRIVE_CDROM, "velvettinkers");
    EXPECT_EQ("", Search("VELVETTINKERS"));
    Drive('R', DRIVE_CDROM, "VELVETTINKERS_DISC1");
    EXPECT_EQ("R:\\", Search("VELVETTINKERS"));
}

TEST_F(DiscLocatorTest, LowerLetterWins)
{
    Drive('Q', DRIVE_CDROM, "VELVETTINKERS");
    Drive('E', DRIVE_CDROM, "VELVETTINKERS");
    EXPECT_EQ("E:\\", Search("VELVETTINKERS"));
}

TEST_F(DiscLocatorTest, RemovableAndNetworkDrivesAreIgnored)
{
    Drive('R', DRIVE_REMOVABLE, "VELVETTINKERS");
    Drive('S', DRIVE_REMOTE, "VELVETTINKERS");
    EXPECT_EQ("", Search("VELVETTINKERS"));
}

TEST_F(DiscLocatorTest, EmptyCdDriveIsSkippedQuietly)
{
    Drive('D', DRIVE_CDROM, "");
    Drive('Q', DRIVE_CDROM, "VELVETTINKERS");
    EXPECT_EQ("Q:\\", Search("VELVETTINKERS"));
    UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    EXPECT_NE(0u, mode & SEM_FAILCRITICALERRORS);
    EXPECT_TRUE(VisibleWindows(GetCurrentProcessId()).empty()) << "a message box was shown";
}

TEST_F(DiscLocatorTest, NoMatchingDriveGivesZero)
{
    Drive('Q', DRIVE_CDROM, "OTHERGAME");
    EXPECT_EQ("", Search("VELVETTINKERS"));
}

TEST_F(DiscLocatorTest, EmptyPrefixTakesFirstReadableFixedOrCdDrive)
{
    Drive('A', DRIVE_REMOVABLE, "FLOPPY");
    Drive('B', DRIVE_CDROM, "");
    EXPECT_EQ("C:\\", Search(""));
}

// Z: maps the host's root and holds this test program, so it is changed last and briefly.
TEST_F(DiscLocatorTest, DriveZIsNeverSearched)
{
    Drive('Z', DRIVE_FIXED, "VELVETTINKERS");
    std::string found = Search("VELVETTINKERS");
    RestoreDrive('Z', saved_['Z']);
    saved_.erase('Z');
    EXPECT_EQ("", found);
}
