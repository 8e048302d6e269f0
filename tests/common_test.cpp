// Bounded formatting: every composed text stays inside its buffer and says when it was cut.
#include <gtest/gtest.h>

#include <string.h>

#include "../src/common/common.h"

TEST(FormatText, FitsAndReportsSuccess)
{
    char out[16];
    EXPECT_EQ(1, FormatText(out, sizeof(out), "%s\\%s\\", "D:", "Games"));
    EXPECT_STREQ("D:\\Games\\", out);
}

TEST(FormatText, CutTextStaysTerminatedInsideTheBuffer)
{
    char out[12];
    memset(out, 'x', sizeof(out));
    EXPECT_EQ(0, FormatText(out, sizeof(out) - 4, "%s Installer", "Velvet Tinkers"));
    EXPECT_EQ(7u, strlen(out));
    EXPECT_EQ('x', out[8]);
}

TEST(FormatText, ExactFitIsNotACut)
{
    char out[4];
    EXPECT_EQ(1, FormatText(out, sizeof(out), "%c:\\", 'Q'));
    EXPECT_STREQ("Q:\\", out);
    EXPECT_EQ(0, FormatText(out, sizeof(out), "%s", "ABCD"));
    EXPECT_STREQ("ABC", out);
}
