#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zip.h>

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

struct ZipEntry {
    std::string name;
    std::string content;
    bool directory = false;
    bool symlink = false;
    std::time_t mtime = 0;
};

// Writes a zip archive with the entries exactly as named: libzip stores any name it is given.
void MakeZip(const std::string& path, const std::vector<ZipEntry>& entries) {
    int code = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    ASSERT_NE(zip, nullptr);
    for (const ZipEntry& entry : entries) {
        zip_int64_t index = -1;
        if (entry.directory) {
            index = zip_dir_add(zip, entry.name.c_str(), ZIP_FL_ENC_UTF_8);
        } else {
            zip_source_t* source = zip_source_buffer(zip, entry.content.data(), entry.content.size(), 0);
            index = zip_file_add(zip, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        }
        ASSERT_GE(index, 0) << entry.name;
        auto at = static_cast<zip_uint64_t>(index);
        if (entry.symlink)
            zip_file_set_external_attributes(zip, at, 0, ZIP_OPSYS_UNIX, static_cast<zip_uint32_t>(S_IFLNK | 0777) << 16);
        if (entry.mtime) zip_file_set_mtime(zip, at, entry.mtime, 0);
    }
    ASSERT_EQ(zip_close(zip), 0);
}

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
    MakeZip(archive, {{"control.xml", "<x/>"},
                      {"scripts/", "", true},
                      {"scripts/table/list.tpl", "list", false, false, when},
                      {"win\\page.tpl", "page"},
                      {"./dot.txt", "dot"}});
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
            MakeZip(archive, {{"good.txt", "fine"}, bad});
        test::WriteFile(dir / "work/keep.txt", "kept");

        std::string error;
        EXPECT_FALSE(UnpackArchive(archive, dir / "work", error)) << bad.name;
        EXPECT_NE(error.find("'" + (bad.name.empty() ? archive : bad.name) + "'"), std::string::npos) << error;
        EXPECT_EQ(Tree(dir.path()), (std::set<std::string>{"pkg.zip", "work", "work/keep.txt"})) << bad.name;
        EXPECT_EQ(test::ReadFile(dir / "work/keep.txt"), "kept");
    }
}

TEST(PackageTest, PreparingFolderAndArchivePackages) {
    test::TempDir dir;
    std::string folder, error;
    test::WriteFile(dir / "plain/control.xml", "<x/>");
    ASSERT_TRUE(PreparePackage(dir / "plain", dir / "unused", true, folder, error));
    EXPECT_EQ(folder, dir / "plain");
    EXPECT_FALSE(fs::exists(dir / "unused"));

    MakeZip(dir / "pkg.zip", {{"control.xml", "first"}});
    ASSERT_TRUE(PreparePackage(dir / "pkg.zip", dir / "work", false, folder, error)) << error;
    EXPECT_EQ(folder, dir / "work");
    EXPECT_EQ(test::ReadFile(dir / "work/control.xml"), "first");

    // An unpacked package is kept until a refresh is asked for.
    MakeZip(dir / "pkg.zip", {{"control.xml", "second"}});
    ASSERT_TRUE(PreparePackage(dir / "pkg.zip", dir / "work", false, folder, error));
    EXPECT_EQ(test::ReadFile(dir / "work/control.xml"), "first");
    ASSERT_TRUE(PreparePackage(dir / "pkg.zip", dir / "work", true, folder, error));
    EXPECT_EQ(test::ReadFile(dir / "work/control.xml"), "second");

    EXPECT_FALSE(PreparePackage(dir / "gone.zip", dir / "work", true, folder, error));
    EXPECT_EQ(folder, "");
    EXPECT_NE(error.find("gone.zip"), std::string::npos);
}

}  // namespace
}  // namespace velmora
