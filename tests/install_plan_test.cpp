// The install folder composition, the file-list parser, the progress figure and folder creation.
#include <gtest/gtest.h>

#include <windows.h>
#include <string.h>

#include <set>
#include <string>

#include "../src/common/path.h"
#include "../src/install/plan.h"
#include "support/files.h"

namespace {

std::string Folder(const char *typed)
{
    char out[512];
    memset(out, 'x', sizeof(out));
    if (!ComposeInstallFolder(typed, "kestrelix", "Velvet Tinkers", out, sizeof(out))) return "<refused>";
    return out;
}

}  // namespace

TEST(InstallFolder, TrailingBackslashesGiveOneFolder)
{
    const std::string expected = "D:\\Games\\kestrelix\\Velvet Tinkers\\";
    EXPECT_EQ(expected, Folder("D:\\Games"));
    EXPECT_EQ(expected, Folder("D:\\Games\\"));
    EXPECT_EQ(expected, Folder("D:\\Games\\\\"));
    EXPECT_EQ("\\kestrelix\\Velvet Tinkers\\", Folder(""));
    EXPECT_EQ("\\kestrelix\\Velvet Tinkers\\", Folder("\\\\\\"));
}

TEST(InstallFolder, JapaneseNamesEndingInTrailByte5CStayWhole)
{
    // ソ is 83 5C and 表 is 95 5C in code page 932: their second byte is no backslash.
    ASSERT_EQ(0x5C, (unsigned char)"ソ"[1]);
    ASSERT_EQ(0x5C, (unsigned char)"表"[1]);
    EXPECT_EQ("D:\\ゲーム\\ソフト\\表\\kestrelix\\Velvet Tinkers\\", Folder("D:\\ゲーム\\ソフト\\表"));
    EXPECT_EQ("D:\\ゲーム\\ソフト\\表\\kestrelix\\Velvet Tinkers\\", Folder("D:\\ゲーム\\ソフト\\表\\\\"));
    EXPECT_EQ("D:\\ソ\\kestrelix\\Velvet Tinkers\\", Folder("D:\\ソ"));
    EXPECT_FALSE(EndsWithBackslash("D:\\表"));
    EXPECT_TRUE(EndsWithBackslash("D:\\表\\"));
}

TEST(InstallFolder, OnlyAbsoluteFoldersEndingInBrandAndTitleAreInstallFolders)
{
    const char *const installFolders[] = {"C:\\kestrelix\\Velvet Tinkers\\", "d:\\Games\\kestrelix\\Velvet Tinkers\\",
                                          "\\\\server\\share\\kestrelix\\Velvet Tinkers\\",
                                          "D:\\表\\kestrelix\\Velvet Tinkers\\"};
    for (const char *dir : installFolders) EXPECT_TRUE(IsInstallFolderOf(dir, "kestrelix", "Velvet Tinkers")) << dir;
    const char *const others[] = {
        "C:\\precious\\", "\\kestrelix\\Velvet Tinkers\\", "games\\kestrelix\\Velvet Tinkers\\",
        "D:kestrelix\\Velvet Tinkers\\", "D:games\\kestrelix\\Velvet Tinkers\\", "C:\\kestrelix\\Velvet Tinkers",
        "C:\\kestrelix\\velvet tinkers\\",
        "C:\\xkestrelix\\Velvet Tinkers\\", "\\\\server\\kestrelix\\Velvet Tinkers\\",
        "\\\\.\\C:\\kestrelix\\Velvet Tinkers\\", "\\\\?\\C:\\kestrelix\\Velvet Tinkers\\",
        "C:\\a|b\\kestrelix\\Velvet Tinkers\\", "C:\\a\\*\\kestrelix\\Velvet Tinkers\\",
        "C:\\ソkestrelix\\Velvet Tinkers\\",  // the backslash before the brand is ソ's trail byte
        // Names the system takes otherwise than written.
        "C:\\New\\..\\Existing\\kestrelix\\Velvet Tinkers\\", "C:\\.\\kestrelix\\Velvet Tinkers\\",
        "C:\\a/b\\kestrelix\\Velvet Tinkers\\", "C:\\Games.\\kestrelix\\Velvet Tinkers\\",
        "C:\\Games \\kestrelix\\Velvet Tinkers\\", "C:\\a\\\\b\\kestrelix\\Velvet Tinkers\\", ""};
    for (const char *dir : others) EXPECT_FALSE(IsInstallFolderOf(dir, "kestrelix", "Velvet Tinkers")) << dir;

    char root[16];
    EXPECT_TRUE(VolumeRoot("\\\\server\\share\\kestrelix\\", root, sizeof(root)));
    EXPECT_STREQ("\\\\server\\share\\", root);
    EXPECT_TRUE(VolumeRoot("d:\\Games\\", root, sizeof(root)));
    EXPECT_STREQ("d:\\", root);
    EXPECT_FALSE(VolumeRoot("\\\\server\\share\\", root, 15));
    EXPECT_STREQ("", root);
}

TEST(InstallFolder, FolderBeyondTheBufferIsRefused)
{
    std::string typed(490, 'a');
    EXPECT_EQ("<refused>", Folder(typed.c_str()));
    typed.resize(511 - 26);  // exactly fills 511 characters with the two levels
    EXPECT_EQ(511u, Folder(typed.c_str()).size());
}

TEST(FileList, SplitsAtCommasAndKeepsEmptyNames)
{
    char names[LIST_MAX_NAMES][LIST_NAME_SIZE];
    int count = 0;
    ASSERT_EQ(FILE_LIST_OK, ParseFileList("Uninstaller.exe,VT.exe,core.vtp", names, &count));
    ASSERT_EQ(3, count);
    EXPECT_STREQ("VT.exe", names[1]);

    ASSERT_EQ(FILE_LIST_OK, ParseFileList("a.vtp,,b.vtp,", names, &count));
    ASSERT_EQ(4, count);
    EXPECT_STREQ("", names[1]);
    EXPECT_STREQ("", names[3]);

    ASSERT_EQ(FILE_LIST_OK, ParseFileList("", names, &count));
    EXPECT_EQ(1, count);
    ASSERT_EQ(FILE_LIST_OK, ParseFileList("名前 付き.vtp", names, &count));
    EXPECT_STREQ("名前 付き.vtp", names[0]);
}

TEST(FileList, LimitsAreRefusedWithoutWritingPastTheSlots)
{
    struct Guarded {
        char names[LIST_MAX_NAMES][LIST_NAME_SIZE];
        char guard[64];
    } slots;
    memset(&slots, 'g', sizeof(slots));
    int count = 0;

    std::string list;
    for (int i = 0; i < 64; ++i) list += (i ? "," : "") + std::to_string(i);
    EXPECT_EQ(FILE_LIST_OK, ParseFileList(list.c_str(), slots.names, &count));
    EXPECT_EQ(64, count);
    EXPECT_EQ(FILE_LIST_TOO_MANY_NAMES, ParseFileList((list + ",64").c_str(), slots.names, &count));
    EXPECT_EQ(FILE_LIST_TOO_MANY_NAMES, ParseFileList((list + ",").c_str(), slots.names, &count));

    EXPECT_EQ(FILE_LIST_OK, ParseFileList(std::string(63, 'n').c_str(), slots.names, &count));
    EXPECT_EQ(FILE_LIST_NAME_TOO_LONG, ParseFileList(std::string(64, 'n').c_str(), slots.names, &count));
    EXPECT_EQ(std::string(sizeof(slots.guard), 'g'), std::string(slots.guard, sizeof(slots.guard)));
}

TEST(Progress, FractionIsDroppedAndTheEndIsExactlyHundred)
{
    const unsigned long long mib = 1048576;
    EXPECT_EQ(33, ProgressPosition(mib, 3 * mib));
    EXPECT_EQ(66, ProgressPosition(2 * mib, 3 * mib));
    EXPECT_EQ(100, ProgressPosition(3 * mib, 3 * mib));
    EXPECT_EQ(0, ProgressPosition(0, 0));
    EXPECT_EQ(50, ProgressPosition(5ull << 30, 10ull << 30)) << "sizes beyond 4 GiB";
    EXPECT_EQ(99, ProgressPosition(~0ull - 1, ~0ull));
}

TEST(FolderCreation, MakesExactlyTheFoldersOfAJapanesePath)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string base = std::string(temp) + "folder-test";
    std::string path = base + "\\t\\ソフト\\表\\";
    ASSERT_EQ(1, CreateFolderPath(path.c_str()));
    EXPECT_EQ(std::set<std::string>({"t"}), FolderEntries(base));
    EXPECT_EQ(std::set<std::string>({"ソフト"}), FolderEntries(base + "\\t"));
    EXPECT_EQ(std::set<std::string>({"表"}), FolderEntries(base + "\\t\\ソフト"));
    EXPECT_EQ(1, CreateFolderPath(path.c_str())) << "existing folders are fine";

    std::string blocked = base + "\\file";
    HANDLE file = CreateFileA(blocked.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    CloseHandle(file);
    EXPECT_EQ(0, CreateFolderPath((blocked + "\\below\\").c_str())) << "a file is in the way";

    DeleteFileA(blocked.c_str());
    RemoveDirectoryA((base + "\\t\\ソフト\\表").c_str());
    RemoveDirectoryA((base + "\\t\\ソフト").c_str());
    RemoveDirectoryA((base + "\\t").c_str());
    RemoveDirectoryA(base.c_str());
}
