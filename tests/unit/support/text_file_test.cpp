#include "support/text_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "support/charset.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DetectEncoding, TagsFollowTheHexTextOfTheFirstThreeBytes) {
    TempDir dir;
    struct Case {
        std::string bytes;
        std::string_view tag;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBFtext", kEncodingUtf8},
        {std::string("\xFE\xFF\x00t", 4), kEncodingUnicodeBig},
        {std::string("\xFF\xFEt\x00", 4), kEncodingUnicode},
        {"plain", kEncodingNone},
        {"\xEF\xBB\xBE", kEncodingNone},
        // Leading zero bytes vanish from the hex text, so these still read as marks.
        {std::string("\x00\xFE\xFF", 3), kEncodingUnicodeBig},
        {std::string("\x00\xFF\xFE", 3), kEncodingUnicode},
        {"\x0F\xEF\xFF", kEncodingUnicodeBig},  // "FEFFF"
        // Files shorter than a mark.
        {"\xFF\xFE", kEncodingNone},
        {"\xEF", kEncodingNone},
        {"", kEncodingNone},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::string path = dir / ("f" + std::to_string(n++));
        WriteFile(path, c.bytes);
        EXPECT_EQ(DetectEncoding(path), c.tag) << "case " << n;
    }
    EXPECT_EQ(DetectEncoding(dir / "missing"), "");
}

TEST(ReadTextFile, OnlyTheUtf8MarkSwitchesTheDecoder) {
    TempDir dir;
    WriteFile(dir / "marked", "\xEF\xBB\xBF" "caf\xC3\xA9");
    EXPECT_EQ(ReadTextFile(dir / "marked"), "caf\xC3\xA9");

    // UTF-16 is not decoded as such: each byte is a windows-1252 character.
    WriteFile(dir / "utf16", std::string("\xFF\xFE" "A\x00", 4));
    EXPECT_EQ(ReadTextFile(dir / "utf16"), std::string("\xC3\xBF\xC3\xBE" "A\x00", 6));

    WriteFile(dir / "ansi", "caf\xE9 \x80 \x81");  // 0x81 is undefined in windows-1252
    EXPECT_EQ(ReadTextFile(dir / "ansi"), "caf\xC3\xA9 \xE2\x82\xAC \xC2\x81");

    // Unmarked UTF-8 goes the ANSI way too, unless the caller names code page 65001.
    WriteFile(dir / "unmarked", "\xC3\xA9");
    EXPECT_EQ(ReadTextFile(dir / "unmarked"), "\xC3\x83\xC2\xA9");
    EXPECT_EQ(ReadTextFile(dir / "unmarked", "65001"), "\xC3\xA9");

    EXPECT_EQ(ReadTextFile(dir / "missing"), "");
}

TEST(StripUtf8Bom, RemovesOnlyAMark) {
    TempDir dir;
    WriteFile(dir / "a", "\xEF\xBB\xBFhello");
    WriteFile(dir / "b", "hello");
    EXPECT_TRUE(StripUtf8Bom(dir / "a"));
    EXPECT_TRUE(StripUtf8Bom(dir / "b"));
    EXPECT_EQ(ReadFile(dir / "a"), "hello");
    EXPECT_EQ(ReadFile(dir / "b"), "hello");
    EXPECT_FALSE(StripUtf8Bom(dir / "missing"));
}

class WriteTextFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetSettingsStores();
        Engine().ProjErr.clear();
    }
    void TearDown() override { test::ResetSettingsStores(); }
    TempDir dir;
};

TEST_F(WriteTextFileTest, Utf8OutputNeverCarriesAMark) {
    ASSERT_TRUE(WriteTextFile(dir / "a.php", "\xEF\xBB\xBF<?php \xC3\xA9", false, "UTF-8"));
    EXPECT_EQ(ReadFile(dir / "a.php"), "<?php \xC3\xA9");

    // The user setting chooses UTF-8 as well; forceAnsi overrides both.
    ASSERT_TRUE(SetRegValue("HKCU", SettingsSection("General"), "UTF8Output", kRegText,
                            Variant("True")));
    ASSERT_TRUE(WriteTextFile(dir / "b.php", "\xC3\xA9"));
    EXPECT_EQ(ReadFile(dir / "b.php"), "\xC3\xA9");
    ASSERT_TRUE(WriteTextFile(dir / "c.php", "\xC3\xA9", true, "utf-8"));
    EXPECT_EQ(ReadFile(dir / "c.php"), "\xE9");
}

TEST_F(WriteTextFileTest, AnsiOutputUsesTheCodePage) {
    ASSERT_TRUE(WriteTextFile(dir / "a", "caf\xC3\xA9 \xE2\x82\xAC", false, "iso-8859-1"));
    EXPECT_EQ(ReadFile(dir / "a"), "caf\xE9 \x80");

    // What windows-1252 cannot hold becomes "?", except its undefined bytes read earlier.
    ASSERT_TRUE(WriteTextFile(dir / "b", "\xE6\x97\xA5 \xC2\x81", false, "", "1252"));
    EXPECT_EQ(ReadFile(dir / "b"), "? \x81");

    ASSERT_TRUE(WriteTextFile(dir / "c", "\xE6\x97\xA5\xE6\x9C\xAC", false, "shift_jis", " 932 "));
    EXPECT_EQ(ReadFile(dir / "c"), "\x93\xFA\x96\x7B");

    ASSERT_TRUE(WriteTextFile(dir / "d", "\xC3\xA9", false, "", "65001"));
    EXPECT_EQ(ReadFile(dir / "d"), "\xC3\xA9");
    EXPECT_EQ(Engine().ProjErr, "");
}

TEST_F(WriteTextFileTest, ResultCarriesTheRequestedLetterCaseAndKeepsPermissions) {
    WriteFile(dir / "index.php", "old");
    WriteFile(dir / "INDEX.PHP", "older");
    WriteFile(dir / "other.php", "kept");
    ASSERT_TRUE(WriteTextFile(dir / "Index.php", "new"));
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"Index.php", "other.php"}));
    EXPECT_EQ(ReadFile(dir / "Index.php"), "new");

    fs::permissions(dir / "other.php", fs::perms(0640));
    ASSERT_TRUE(WriteTextFile(dir / "other.php", "new"));
    EXPECT_EQ(fs::status(dir / "other.php").permissions(), fs::perms(0640));
}

TEST_F(WriteTextFileTest, FailureToCreateNamesThePath) {
    WriteFile(dir / "plain", "x");
    std::string path = dir / "plain/out.php";
    EXPECT_FALSE(WriteTextFile(path, "text"));
    EXPECT_EQ(Engine().ProjErr, "Failed to create file '" + path + "'. Error: Not a directory");

    // The UTF-8 writer names the file only and ends the sentence.
    EXPECT_FALSE(WriteTextFile(path, "text", false, "utf-8"));
    EXPECT_EQ(Engine().ProjErr, "Failed to create file 'out.php'. Error: Not a directory.");
}

TEST_F(WriteTextFileTest, FailedWriteKeepsThePreviousFile) {
    WriteFile(dir / "page.php", "previous");
    {
        test::FileSizeLimit limit(16);
        EXPECT_FALSE(WriteTextFile(dir / "page.php", std::string(1000, 'x')));
    }
    EXPECT_EQ(Engine().ProjErr,
              "Failed to write file '" + (dir / "page.php") + "'. Error: File too large");
    EXPECT_EQ(ReadFile(dir / "page.php"), "previous");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"page.php"});
}

TEST(Charset, CodePageTable) {
    const std::pair<std::string, std::string> cases[] = {
        {"437", "iso-8859-1"}, {" 932 ", "shift_jis"}, {std::string("9\0" "32", 4), "shift_jis"}, {"57004", ""},
        {"1252", "iso-8859-1"}, {"20866", "iso-8859-5"}, {"1201", "utf-16"}, {"65001", "utf-8"}, {"93", ""}, {"", ""}};
    for (const auto& [page, charset] : cases) EXPECT_EQ(CharsetFromCodePage(page), charset) << page;
}

TEST(Charset, DefaultFollowsTheLocaleCodeSet) {
    for (auto [codeset, page] :
         {std::pair{"UTF-8", "65001"}, {"ANSI_X3.4-1968", "1252"}, {"ISO-8859-2", "28592"}, {"eucJP", "51932"}})
        EXPECT_EQ(CodePageFromCodeset(codeset), page) << codeset;
    const auto& info = DefaultCharset();
    EXPECT_EQ(info.charset, CharsetFromCodePage(info.codePage));
    EXPECT_FALSE(info.charset.empty());
}

TEST(Charset, Conversions) {
    for (auto [page, name] :
         {std::pair{"", "CP1252"}, {"28605", "ISO-8859-15"}, {"20273", "IBM273"}, {"99999", "CP1252"}})
        EXPECT_EQ(IconvNameFromCodePage(page), name) << page;
    // Every byte of a single-byte page survives the round trip.
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(EncodeToCodePage(DecodeFromCodePage(all, "1252"), "1252"), all);
    // A truncated double-byte character at the end.
    EXPECT_EQ(DecodeFromCodePage("\x82\xA0\x93", "932"), "\xE3\x81\x82\xEF\xBF\xBD");
    // Overlong forms and surrogates are not UTF-8.
    EXPECT_EQ(SanitizeUtf8("a\xC0\x80" "b\xED\xA0\x80"),
              "a\xEF\xBF\xBD\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace velmora
