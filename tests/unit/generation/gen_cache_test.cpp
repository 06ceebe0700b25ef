#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>

#include "generation/gen_cache.h"
#include "support/config_paths.h"
#include "support/engine_state.h"
#include "test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Sets a file's modification time to a local date and time.
void SetLocalTime(const std::string& path, int y, int m, int d, int h, int n, int s) {
    std::time_t time = test::LocalTime(y, m, d, h, n, s);
    struct timespec times[2] = {{time, 0}, {time, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class GenCacheTest : public testing::Test {
protected:
    void SetUp() override {
        test::IsolateEnvironment();
        Engine().ProjErr.clear();
        std::error_code ec;
        fs::remove_all(Templates(), ec);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Templates(), ec);
    }
    static std::string Templates() { return UserDataFolder() + "/Templates"; }
};

TEST(CacheDateTextTest, FormatsDatesFileTimesAndTheirText) {
    // 2015-12-01 09:05:00 is day 42339 after 1899-12-30; times round to whole seconds.
    EXPECT_EQ(CacheDateText(Variant(DateValue{42339 + (9 * 3600 + 5 * 60) / 86400.0})), "2015/12/01 09:05:00");
    EXPECT_EQ(CacheDateText(Variant(DateValue{42339 + 0.99999999})), "2015/12/02 00:00:00");
    EXPECT_EQ(CacheDateText(Variant("2016/2/29 7:3:9")), "2016/02/29 07:03:09");
    for (const char* text : {"yesterday", "2015/02/29 00:00:00", "2015/12/01 24:00:00", "15/12/01 00:00:00",
                             "2015-12-01 00:00:00"})
        EXPECT_EQ(CacheDateText(Variant(text)), "") << text;
    EXPECT_EQ(CacheDateText(Variant()), "");
    EXPECT_EQ(CacheDateText(Variant(42339.5)), "");
    EXPECT_EQ(CacheDateText(Variant(DateValue{1e12})), "");

    test::TempDir dir;
    test::WriteFile(dir / "a.txt", "x");
    SetLocalTime(dir / "a.txt", 2015, 12, 1, 9, 5, 7);
    EXPECT_EQ(CacheDateText(FileDateTime(dir / "a.txt")), "2015/12/01 09:05:07");
    EXPECT_TRUE(FileDateTime(dir / "missing.txt").IsEmpty());
}

TEST(CacheDateTextTest, AFolderStampFollowsEveryFileBelowIt) {
    test::TempDir dir;
    test::WriteFile(dir / "pkg/control.xml", "12345");
    test::WriteFile(dir / "pkg/sub/page.tpl", "abc");
    SetLocalTime(dir / "pkg/control.xml", 2015, 1, 1, 0, 0, 0);
    SetLocalTime(dir / "pkg/sub/page.tpl", 2016, 6, 1, 12, 0, 0);
    SetLocalTime(dir / "pkg/sub", 2014, 1, 1, 0, 0, 0);
    SetLocalTime(dir / "pkg", 2014, 1, 1, 0, 0, 0);

    FileStamp stamp = StampOf(dir / "pkg");
    ASSERT_TRUE(stamp.exists);
    EXPECT_EQ(stamp.size, 8);
    EXPECT_EQ(CacheDateText(stamp.date), "2016/06/01 12:00:00");

    FileStamp file = StampOf(dir / "pkg\\control.xml");
    EXPECT_TRUE(file.exists);
    EXPECT_EQ(file.size, 5);
    EXPECT_FALSE(StampOf(dir / "nothing").exists);
}

TEST_F(GenCacheTest, EntriesAreKeyedByGroupAndKeyWithoutRegardToCase) {
    AGPCache cache;
    ASSERT_TRUE(cache.Open("pkg.zip"));
    Variant when(DateValue{42339.5});
    Variant size(std::int32_t{100});
    EXPECT_TRUE(cache.AddCache("Extension", "Grid", when, size));
    EXPECT_EQ(cache.CheckCache("extension", "GRID", Variant("2015/12/01 12:00:00"), Variant("100")), 0);
    EXPECT_EQ(cache.CheckCache("extension", "grid", when, Variant(std::int32_t{101})), 1);
    EXPECT_EQ(cache.CheckCache("extension", "grid", Variant(DateValue{42339.6}), size), 1);
    EXPECT_EQ(cache.CheckCache("template", "grid", when, size), 2);
    EXPECT_EQ(cache.GetCacheDate("EXTENSION", "grid"), when);
    EXPECT_EQ(cache.GetCacheDate("extension", "unknown"), Variant(DateValue{0}));

    // Recording again updates in place; deleting closes the gap.
    cache.AddCache("EXTENSION", "grid", when, Variant(std::int32_t{7}));
    for (const char* key : {"a.tpl", "b.tpl"}) cache.AddCache("tpl", key, Variant(), Variant("1"));
    EXPECT_EQ(cache.Count(), 3);
    EXPECT_EQ(cache.CheckCache("extension", "grid", when, Variant(std::int32_t{7})), 0);
    EXPECT_TRUE(cache.DeleteCache("TPL", "A.tpl"));
    EXPECT_FALSE(cache.DeleteCache("tpl", "a.tpl"));
    EXPECT_EQ(cache.CheckCache("tpl", "b.tpl", Variant(), Variant("1")), 0);
    EXPECT_TRUE(cache.DeleteCacheGroup("Tpl"));
    EXPECT_EQ(cache.Count(), 1);
    cache.DeleteAllCache();
    EXPECT_EQ(cache.Count(), 0);
}

TEST_F(GenCacheTest, MatchingAGroupAgainstAList) {
    AGPCache cache;
    ASSERT_TRUE(cache.Open("pkg.zip"));
    EXPECT_TRUE(cache.MatchCacheGroup("extension", ""));
    cache.AddCache("extension", "a", Variant(), Variant("1"));
    EXPECT_FALSE(cache.MatchCacheGroup("extension", ""));
    EXPECT_FALSE(cache.MatchCacheGroup("extension", "a,b"));
    cache.AddCache("extension", "B", Variant(), Variant("1"));
    cache.AddCache("extensionfiles", "c", Variant(), Variant("1"));
    EXPECT_TRUE(cache.MatchCacheGroup("extension", "a,b"));
    EXPECT_TRUE(cache.MatchCacheGroup("Extension", "b, A"));
    EXPECT_FALSE(cache.MatchCacheGroup("extension", "a"));
    cache.AddCache("extension", "c", Variant(), Variant("1"));
    EXPECT_FALSE(cache.MatchCacheGroup("extension", "a,b"));
}

TEST_F(GenCacheTest, WritesTheDocumentLineByLineAndReadsItBack) {
    AGPCache cache;
    ASSERT_TRUE(cache.Open("C:\\Packages\\My Template.zip"));
    EXPECT_EQ(cache.TemplateFolder(), Templates() + "/MyTemplate.zip");
    EXPECT_EQ(cache.CacheFile(), Templates() + "/MyTemplate.zip/cache/cache.xml");
    EXPECT_FALSE(AGPCache().Open(" / ")) << "a name with nothing usable in it";
    cache.AddCache("template", "template", Variant(DateValue{42339 + 9.0 / 24}), Variant(std::int32_t{1024}));
    cache.AddCache("extensionfiles", "odd \"key\" & <more>\r\n\tend", Variant(), Variant("5"));
    ASSERT_TRUE(cache.WriteCacheFile());
    std::string written = test::ReadFile(cache.CacheFile());
    std::string expected = test::ReadData("expected/cache.xml");
    EXPECT_EQ(written, expected.replace(expected.find("@VERSION@"), 9, EngineVersion()));

    AGPCache again;
    ASSERT_TRUE(again.Open("My Template.zip"));
    ASSERT_EQ(again.Count(), 2);
    EXPECT_EQ(again.CheckCache("extensionfiles", "odd \"key\" & <more>\r\n\tend", Variant(), Variant("5")), 0);
    EXPECT_EQ(again.GetCacheDate("template", "template"), Variant(DateValue{42339 + 9.0 / 24}));
    ASSERT_TRUE(again.WriteCacheFile());
    EXPECT_EQ(test::ReadFile(again.CacheFile()), written);
}

TEST_F(GenCacheTest, AnUnreadableCacheFileStartsEmptyAndAFileInTheWayIsMovedAside) {
    const std::string file = Templates() + "/pkg.zip/cache/cache.xml";
    const std::pair<const char*, int> cases[] = {
        {"<Cache><CacheEntry Group=\"g\"", 0},
        {"<cache><CacheEntry Group=\"g\" Key=\"k\"/></cache>", 0},
        {"<Cache><Other Group=\"g\"/><CacheEntry Key=\"k\" Extra=\"x\"/></Cache>", 1},
    };
    for (const auto& [text, count] : cases) {
        test::WriteFile(file, text);
        AGPCache cache;
        ASSERT_TRUE(cache.Open("pkg.zip"));
        EXPECT_EQ(cache.Count(), count) << text;
    }

    test::WriteFile(Templates() + "/other.zip", "old");
    AGPCache cache;
    ASSERT_TRUE(cache.Open("/somewhere/other.zip"));
    EXPECT_TRUE(fs::is_directory(cache.CacheFolder()));
    std::vector<std::string> aside;
    for (const auto& entry : fs::directory_iterator(Templates()))
        if (entry.is_regular_file()) aside.push_back(entry.path().filename().string());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(aside[0].size(), std::string("other.zip.yyyymmddhhnnss").size());
    EXPECT_EQ(test::ReadFile(Templates() + "/" + aside[0]), "old");
}

TEST_F(GenCacheTest, FilesAndModulesAreStampedFromTheDisk) {
    AGPCache cache;
    ASSERT_TRUE(cache.Open("pkg.zip"));
    test::TempDir dir;
    const std::string package = dir / "pkg.zip";
    EXPECT_EQ(cache.CheckFile("template", "template", package), -1);
    cache.UpdateFile("template", "template", package);
    EXPECT_EQ(cache.Count(), 0);

    test::WriteFile(package, "1234");
    SetLocalTime(package, 2020, 5, 5, 5, 5, 5);
    EXPECT_EQ(cache.CheckFile("template", "template", package), 2);
    cache.UpdateFile("template", "template", package);
    EXPECT_EQ(cache.CheckFile("template", "template", package), 0);
    // Same time, other size.
    test::WriteFile(package, "12345");
    SetLocalTime(package, 2020, 5, 5, 5, 5, 5);
    EXPECT_EQ(cache.CheckFile("template", "template", package), 1);

    test::WriteFile(cache.CacheFolder() + "/list.tpl", "x");
    test::WriteFile(cache.CacheFolder() + "/View.TPL", "x");
    test::WriteFile(cache.CacheFolder() + "/notes.txt", "x");
    cache.RecordModules();
    EXPECT_EQ(cache.CheckFile("tpl", "list.tpl", cache.CacheFolder() + "/list.tpl"), 0);
    EXPECT_EQ(cache.CheckFile("tpl", "notes.txt", cache.CacheFolder() + "/notes.txt"), 0);
    EXPECT_EQ(cache.CheckCache("tpl", "cache.xml", Variant(), Variant()), 2);
    EXPECT_EQ(cache.Count(), 4);

    ASSERT_TRUE(cache.WriteCacheFile());
    cache.DropModules();
    EXPECT_EQ(cache.Count(), 1);
    EXPECT_FALSE(fs::exists(cache.CacheFolder() + "/list.tpl"));
    EXPECT_FALSE(fs::exists(cache.CacheFolder() + "/View.TPL"));
    EXPECT_TRUE(fs::exists(cache.CacheFolder() + "/notes.txt"));
    EXPECT_TRUE(fs::exists(cache.CacheFile()));
}

}  // namespace
}  // namespace velmora
