// Bounded formatting: every composed text stays inside its buffer and says when it was cut.
#include <gtest/gtest.h>

#include <string.h>
#include <wchar.h>

#include "../src/common/common.h"
#include "../src/common/path.h"

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

// Texts held in code page 932 reach the screen as written, with a path of the system's code page
// in their one slot; a long text is cut at a whole character (of code page 932, whatever the
// system's is; of the path's own code page, UTF-8 too) inside its buffer. A part that cannot be
// converted leaves the text not whole. A name the system gave wide goes in whole, or cut before a
// pair of surrogates that does not fit.
TEST(ComposeWide, TextsAndPathsEachInTheirOwnCodePage)
{
    const struct {
        const char *text;
        const char *arg;
        UINT argCodePage;
        int size;
        const wchar_t *expected;
        int whole;
    } rows[] = {
        {"確認", NULL, CP_ACP, 16, L"\u78BA\u8A8D", 1},
        {"記録: %s です", "C:\\Games\\", CP_ACP, 32, L"\u8A18\u9332: C:\\Games\\ \u3067\u3059", 1},
        {"%s", "", CP_ACP, 4, L"", 1},
        {"エラー", NULL, CP_ACP, 3, L"\u30A8\u30E9", 0},
        {"100%", NULL, CP_ACP, 8, L"100%", 1},
        {"確認です", NULL, CP_ACP, 3, L"\u78BA\u8A8D", 0},
        {"ｴﾗｰです", NULL, CP_ACP, 3, L"\uFF74\uFF97", 0},
        {"%s です", "C:\\Games", CP_ACP, 6, L"C:\\Ga", 0},
        // A system whose code page is UTF-8: sequences of two to four bytes, one or two units each.
        {"記録: %s です", "C:\\Zo\xC3\xAB\\", CP_UTF8, 32, L"\u8A18\u9332: C:\\Zo\u00EB\\ \u3067\u3059", 1},
        {"%s です", "C:\\\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0", CP_UTF8, 6, L"C:\\\u30B2\u30FC", 0},
        {"%s", "\xC3\xABx", CP_UTF8, 2, L"\u00EB", 0},
        {"%s", "a\xF0\x9F\x8E\xAE", CP_UTF8, 3, L"a", 0},
        {"%s", "a\xF0\x9F\x8E\xAE", CP_UTF8, 4, L"a\U0001F3AE", 1},
        // A path in a code page the system does not have is left out, and the text is not whole.
        {"記録: %s", "C:\\Games", 12345, 32, L"\u8A18\u9332: ", 0},
    };
    for (const auto &row : rows) {
        wchar_t out[64];
        wmemset(out, L'x', 64);
        EXPECT_EQ(row.whole, ComposeWide(out, row.size, row.text, row.arg, row.argCodePage)) << row.text;
        EXPECT_STREQ(row.expected, out) << row.text;
    }
    wchar_t out[16];
    EXPECT_EQ(1, ComposeWide(out, 16, "使用中: %s", L"Zo\u00EB.sav"));
    EXPECT_STREQ(L"\u4F7F\u7528\u4E2D: Zo\u00EB.sav", out);
    EXPECT_EQ(0, ComposeWide(out, 3, "%s", L"a\U0001F3AE"));
    EXPECT_STREQ(L"a", out);
}

// A folder the system names is taken only in its exact form: no look-alike, no question mark.
TEST(AnsiFromWidePath, RefusesWhatTheCodePageCannotHold)
{
    char out[MAX_PATH];
    EXPECT_EQ(1, AnsiFromWidePath(L"C:\\users\\Games", out, sizeof(out)));
    EXPECT_STREQ("C:\\users\\Games", out);
    EXPECT_EQ(GetACP() == 932 ? 1 : 0, AnsiFromWidePath(L"C:\\\u30B2\u30FC\u30E0", out, sizeof(out)));
    for (const wchar_t *foreign : {L"C:\\users\\Zo\u00EB", L"C:\\users\\\u0395\u03BB\u03AD\u03BD\u03B7", L"C:\\\U0001F3AE"}) {
        EXPECT_EQ(0, AnsiFromWidePath(foreign, out, sizeof(out)));
        EXPECT_STREQ("", out);
    }
    EXPECT_EQ(0, AnsiFromWidePath(L"C:\\Games", out, 4)) << "does not fit";
}
