#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/engine_state.h"
#include "template/file_cache.h"
#include "template/parser.h"
#include "test_support.h"

namespace velmora {
namespace {

using Pieces = std::vector<std::string>;

class FileCacheTest : public testing::Test {
protected:
    void SetUp() override {
        Engine().ProjErr.clear();
        FileCache().Clear();
    }
    void TearDown() override {
        FileCache().Clear();
        Engine().ProjErr.clear();
    }
};

TEST_F(FileCacheTest, StoresTheClosedSectionsOfAFile) {
    test::TempDir dir;
    AGPFileCache& cache = FileCache();
    cache.AddFile(test::DataPath("template_text/sections.txt"), "list.php");
    cache.AddFile(dir / "missing.php", "missing.php");
    EXPECT_EQ(cache.GetSession("list.php", "top"), "T1\r\n");
    EXPECT_EQ(cache.GetSession("list.php", "Top"), "T2");
    // Sections do not nest: a section ends at the first closing mark.
    EXPECT_EQ(cache.GetSession("list.php", "outer"), "no nesting<!--##session Top##-->T2");
    EXPECT_EQ(cache.GetSession("list.php", "bottom"), "<!--##/session ##-->B");
    EXPECT_EQ(cache.GetSession("list.php", "tail"), "");
    EXPECT_EQ(cache.GetSession("other.php", "top"), "");
    EXPECT_EQ(cache.Count(), 4);
    EXPECT_TRUE(Engine().ProjErr.empty());

    test::WriteFile(dir / "list.php", "<!--##session bottom##-->new<!--##/session##-->");
    cache.AddFile(dir / "list.php", "list.php");
    EXPECT_EQ(cache.Count(), 4);
    EXPECT_EQ(cache.GetSession("list.php", "bottom"), "new");
    EXPECT_EQ(cache.GetSession("list.php", "top"), "T1\r\n");
    cache.Clear();
    EXPECT_EQ(cache.GetSession("list.php", "top"), "");
}

TEST_F(FileCacheTest, ExpandsIncludesIntoPieces) {
    AGPFileCache& cache = FileCache();
    cache.AddText("<!--##session header##-->H<!--##include more/part##-->h<!--##/session##-->", "common");
    cache.AddText("<!--##session part##-->P<!--##/session##-->", "more");
    cache.AddText("<!--##session body##-->a<!--##INCLUDE common / header ##-->b"
                  "<!--##include noslash##-->c<!--##include a/b/c##-->d<!--##include x/unknown##-->e"
                  "<!--##/session##-->"
                  "<!--##session open##-->x<!--##include common/header<!--##/session##-->",
                  "page");
    AGParser parser;
    EXPECT_EQ(parser.GetSession("page", "body"), (Pieces{"a", "H", "P", "h", "b", "c", "d", "", "e"}));
    EXPECT_EQ(parser.GetSession("page", "open"), (Pieces{"x", "<!--##include common/header"}));
    EXPECT_EQ(parser.GetSession("page", "none"), (Pieces{""}));
    EXPECT_TRUE(Engine().ProjErr.empty());
}

TEST_F(FileCacheTest, SessionsIncludingEachOtherFail) {
    AGPFileCache& cache = FileCache();
    cache.AddText("<!--##session a##-->x<!--##include f/b##--><!--##/session##-->"
                  "<!--##session b##-->y<!--##include f/a##--><!--##/session##-->",
                  "f");
    Pieces pieces = ExpandSession(cache, "f", "a");
    EXPECT_EQ(pieces.size(), 33u);
    EXPECT_EQ(Engine().ProjErr,
              "Includes nested more than 32 deep at session \"a\" of template file \"f\" (including \"f/b\"): "
              "sessions include each other.");

    // Not nested deeply, but doubling at every level.
    Engine().ProjErr.clear();
    std::string text;
    for (int i = 0; i < 30; ++i) {
        std::string next = "f/s" + std::to_string(i + 1);
        text += "<!--##session s" + std::to_string(i) + "##-->" + std::string(100, 'x') + "<!--##include " + next +
                "##--><!--##include " + next + "##--><!--##/session##-->";
    }
    cache.AddText(text, "f");
    ExpandSession(cache, "f", "s0");
    EXPECT_EQ(Engine().ProjErr.rfind("Session \"s", 0), 0u) << Engine().ProjErr;
}

TEST(ListIncludedFiles, NamesTheFilePartOfEveryDirective) {
    EXPECT_EQ(ListIncludedFiles("a<!--##include common/header##-->b<!--##Include  dir/sub/x ##-->"
                                "<!--##include solo##--><!--##include common/footer##-->"),
              "common,dir/sub,solo,common");
    EXPECT_EQ(ListIncludedFiles("<!--##include a/b##--><!--##include c/d"), "a");
    EXPECT_EQ(ListIncludedFiles("nothing"), "");
}

}  // namespace
}  // namespace velmora
