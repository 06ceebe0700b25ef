#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "generation/package.h"
#include "test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

using test::ZipEntry;

std::time_t ModificationTime(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mtime;
}

// Every path below the folder, relative to it.
std::set<std::string> Tree(const fs::path& folder) {
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        paths.insert(fs::relative(entry.path(), folder).string());
    return paths;
}

TEST(PackageTest, UnpacksFoldersFilesAndTheirTimes) {
    test::TempDir dir;
    const std::string archive = dir / "pkg.zip";
    // Even seconds: the archive's time fields hold them exactly.
    std::time_t when = test::LocalTime(2019, 3, 4, 10, 20, 30);
    ASSERT_TRUE(test::WriteZip(archive, {{"control.xml", "<x/>"},
                                         {"scripts/", "", true},
                                         {"scripts/table/list.tpl", "list", false, false, when},
                                         {"win\\page.tpl", "page"},
                                         {"./dot.txt", "dot"}}));
    test::WriteFile(dir / "work/stale.txt", "old");

    std::string error;
    ASSERT_TRUE(UnpackArchive(archive, dir / "work", error)) << error;
    EXPECT_EQ(error, "");
    EXPECT_EQ(Tree(dir / "work"), (std::set<std::string>{"control.xml", "scripts", "scripts/table", "scripts/table/list.tpl",
                                                          "win", "win/page.tpl", "dot.txt"}));
    EXPECT_EQ(test::ReadFile(dir / "work/scripts/table/list.tpl"), "list");
    EXPECT_EQ(ModificationTime(dir / "work/scripts/table/list.tpl"), when);
    // The old contents are gone and nothing is left beside the target.
    EXPECT_EQ(Tree(dir.path()).size(), Tree(dir / "work").size() + 2);
}

TEST(PackageTest, RefusesEntriesThatLeaveTheTargetAndKeepsItsContents) {
    const std::vector<ZipEntry> unsafe = {
        {"../evil.txt", "x"},        {"/tmp/evil.txt", "x"},       {"sub/../../evil.txt", "x"},
        {"sub\\..\\..\\evil.txt", "x"}, {"\\evil.txt", "x"},         {"C:/evil.txt", "x"},
        {"link", "/etc/passwd", false, true},
        // Not an archive at all.
        {"", ""},
    };
    for (const ZipEntry& bad : unsafe) {
        test::TempDir dir;
        const std::string archive = dir / "pkg.zip";
        if (bad.name.empty())
            test::WriteFile(archive, "PK not really an archive");
        else
            ASSERT_TRUE(test::WriteZip(archive, {{"good.txt", "fine"}, bad})) << bad.name;
        test::WriteFile(dir / "work/keep.txt", "kept");

        std::string error;
        EXPECT_FALSE(UnpackArchive(archive, dir / "work", error)) << bad.name;
        EXPECT_NE(error.find("'" + (bad.name.empty() ? archive : bad.name) + "'"), std::string::npos) << error;
        EXPECT_EQ(Tree(dir.path()), (std::set<std::string>{"pkg.zip", "work", "work/keep.txt"})) << bad.name;
        EXPECT_EQ(test::ReadFile(dir / "work/keep.txt"), "kept");
    }
}

// Packages that are there are prepared in the generation and extension tests; only here is one gone.
TEST(PackageTest, AMissingPackageIsNamed) {
    test::TempDir dir;
    std::string folder = "stale", error;
    EXPECT_FALSE(PreparePackage(dir / "gone.zip", dir / "work", true, folder, error));
    EXPECT_EQ(folder, "");
    EXPECT_NE(error.find("gone.zip"), std::string::npos);
}

}  // namespace
}  // namespace velmora
