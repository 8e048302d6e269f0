// The registry operations against the prefix's real registry.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "../src/record/record.h"
#include "support/registry_probe.h"

namespace {

const char kScratch[] = "SOFTWARE\\InstallerRegistryTest";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteKeyTree(HKEY_LOCAL_MACHINE, kScratch); }
    void TearDown() override { DeleteKeyTree(HKEY_LOCAL_MACHINE, kScratch); }
};

std::string Scratch(const char *below = "")
{
    return std::string(kScratch) + below;
}

}  // namespace

TEST_F(RegistryTest, MissingKeyOrValueReadsEmptyAndFails)
{
    char out[REG_TEXT_SIZE];
    strcpy(out, "stale");
    EXPECT_EQ(0, RegReadString(HKEY_LOCAL_MACHINE, Scratch("\\Nowhere").c_str(), "DIR", out));
    EXPECT_STREQ("", out);

    SetRawString(HKEY_LOCAL_MACHINE, kScratch, "OTHER", "x");
    strcpy(out, "stale");
    EXPECT_EQ(0, RegReadString(HKEY_LOCAL_MACHINE, kScratch, "DIR", out));
    EXPECT_STREQ("", out);
}

TEST_F(RegistryTest, EmptyValueReadsAsEmptyString)
{
    SetRawString(HKEY_LOCAL_MACHINE, kScratch, "DIR", "");
    char out[REG_TEXT_SIZE];
    strcpy(out, "stale");
    RegReadString(HKEY_LOCAL_MACHINE, kScratch, "DIR", out);
    EXPECT_STREQ("", out);
}

TEST_F(RegistryTest, ValueOf255CharactersReadsWholeAndLongerReadsEmpty)
{
    std::string fits(255, 'a');
    ASSERT_EQ(1, RegWriteString(HKEY_LOCAL_MACHINE, kScratch, "FITS", fits.c_str()));
    char out[REG_TEXT_SIZE + 8];
    memset(out, 'x', sizeof(out));
    EXPECT_EQ(1, RegReadString(HKEY_LOCAL_MACHINE, kScratch, "FITS", out));
    EXPECT_EQ(fits, std::string(out));

    for (size_t length = 250; length <= 262; ++length) {
        std::string text(length, 'c');
        RegWriteString(HKEY_LOCAL_MACHINE, kScratch, "AROUND", text.c_str());
        memset(out, 'x', sizeof(out));
        int read = RegReadString(HKEY_LOCAL_MACHINE, kScratch, "AROUND", out);
        EXPECT_EQ(length <= 255 ? 1 : 0, read) << length;
        EXPECT_EQ(length <= 255 ? text : std::string(), std::string(out)) << length;
        EXPECT_EQ('x', out[REG_TEXT_SIZE]) << length;
    }

    for (size_t length : {300u, 4000u}) {
        std::string tooLong(length, 'b');
        RegWriteString(HKEY_LOCAL_MACHINE, kScratch, "LONG", tooLong.c_str());
        memset(out, 'x', sizeof(out));
        EXPECT_EQ(0, RegReadString(HKEY_LOCAL_MACHINE, kScratch, "LONG", out)) << length;
        EXPECT_STREQ("", out) << length;
        EXPECT_EQ('x', out[REG_TEXT_SIZE]) << "wrote past the 256-byte area, length " << length;
    }
}

TEST_F(RegistryTest, DataFillingTheWholeAreaWithoutTerminatorIsRefused)
{
    // Another program may store 256 bytes with no NUL; there is no room to terminate them.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kScratch, 0, NULL, 0, KEY_WRITE, NULL,
                                             &key, NULL));
    std::string bytes(257, 'c');
    RegSetValueExA(key, "FULL", 0, REG_BINARY, reinterpret_cast<const BYTE *>(bytes.data()), 256);
    RegSetValueExA(key, "SHORT", 0, REG_BINARY, reinterpret_cast<const BYTE *>(bytes.data()), 10);
    RegCloseKey(key);

    char out[REG_TEXT_SIZE + 8];
    memset(out, 'x', sizeof(out));
    EXPECT_EQ(0, RegReadString(HKEY_LOCAL_MACHINE, kScratch, "FULL", out));
    EXPECT_STREQ("", out);

    memset(out, 'x', sizeof(out));
    EXPECT_EQ(1, RegReadString(HKEY_LOCAL_MACHINE, kScratch, "SHORT", out));
    EXPECT_EQ(std::string(10, 'c'), std::string(out));
}

TEST_F(RegistryTest, WriteStoresTheTextWithoutCountingItsTerminator)
{
    const char dir[] = "C:\\Games\\kestrelix\\Velvet Tinkers\\";
    ASSERT_EQ(34u, strlen(dir));
    ASSERT_EQ(1, RegWriteString(HKEY_LOCAL_MACHINE, kScratch, "DIR", dir));
    RawValue stored = ReadRawValue(HKEY_LOCAL_MACHINE, kScratch, "DIR");
    ASSERT_TRUE(stored.exists);
    EXPECT_EQ((DWORD)REG_SZ, stored.type);
    // The platform adds the NUL that follows the counted bytes in the caller's buffer.
    EXPECT_EQ(std::string(dir, sizeof(dir)), stored.data);

    // Only an empty text shows the count itself: counted without its NUL it stores nothing.
    ASSERT_EQ(1, RegWriteString(HKEY_LOCAL_MACHINE, kScratch, "EMPTY", ""));
    stored = ReadRawValue(HKEY_LOCAL_MACHINE, kScratch, "EMPTY");
    ASSERT_TRUE(stored.exists);
    EXPECT_EQ(0u, stored.data.size());
}

TEST_F(RegistryTest, WriteBelowMissingPathCreatesItAndReplacesExistingValue)
{
    std::string deep = Scratch("\\a\\b\\c");
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Scratch("\\a")));
    EXPECT_EQ(1, RegWriteString(HKEY_LOCAL_MACHINE, deep.c_str(), "EXE", "first"));
    EXPECT_EQ(1, RegWriteString(HKEY_LOCAL_MACHINE, deep.c_str(), "EXE", "second"));
    char out[REG_TEXT_SIZE];
    EXPECT_EQ(1, RegReadString(HKEY_LOCAL_MACHINE, deep.c_str(), "EXE", out));
    EXPECT_STREQ("second", out);
}

TEST_F(RegistryTest, DeleteTakesForeignValuesAndSubkeys)
{
    std::string product = Scratch("\\Velvet Tinkers");
    RegWriteString(HKEY_LOCAL_MACHINE, product.c_str(), "DIR", "C:\\x\\");
    SetRawString(HKEY_LOCAL_MACHINE, product, "SomethingElse", "not ours");
    SetRawString(HKEY_LOCAL_MACHINE, product + "\\Sub", "Deeper", "also not ours");
    SetRawString(HKEY_LOCAL_MACHINE, Scratch("\\Neighbour"), "Keep", "me");

    EXPECT_EQ(1, RegDeleteSubKey(HKEY_LOCAL_MACHINE, kScratch, "Velvet Tinkers"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, product));
    EXPECT_TRUE(ReadRawValue(HKEY_LOCAL_MACHINE, Scratch("\\Neighbour"), "Keep").exists);
}

TEST_F(RegistryTest, DeleteOfMissingSubkeySucceedsAndMissingParentFails)
{
    SetRawString(HKEY_LOCAL_MACHINE, kScratch, "Keep", "me");
    EXPECT_EQ(1, RegDeleteSubKey(HKEY_LOCAL_MACHINE, kScratch, "NotThere"));
    EXPECT_TRUE(ReadRawValue(HKEY_LOCAL_MACHINE, kScratch, "Keep").exists);
    EXPECT_EQ(0, RegDeleteSubKey(HKEY_LOCAL_MACHINE, Scratch("\\NoParent").c_str(), "Velvet Tinkers"));
}

TEST_F(RegistryTest, StringEqualsComparesTheWholeValue)
{
    std::string stored(300, 'v');
    SetRawString(HKEY_LOCAL_MACHINE, kScratch, "LONG", stored);
    std::string differing = stored;
    differing[230] = 'w';
    const std::pair<std::string, int> cases[] = {
        {stored, 1}, {differing, 0}, {stored.substr(0, 299), 0}, {stored + "v", 0}};
    for (const auto &compared : cases) {
        EXPECT_EQ(compared.second, RegStringEquals(HKEY_LOCAL_MACHINE, kScratch, "LONG", compared.first.c_str()))
            << compared.first.size();
    }
    EXPECT_EQ(0, RegStringEquals(HKEY_LOCAL_MACHINE, kScratch, "MISSING", ""));
}
