// Helpers shared by the unit tests.
#pragma once

#include <sys/resource.h>
#include <sys/stat.h>
#include <zip.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace velmora::test {

// A fresh folder below the system's temporary folder, removed again on destruction.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, std::string_view content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fixture file below tests/data, by its path relative to that folder.
inline std::string DataPath(std::string_view relative) {
    return std::string(VELMORA_SOURCE_DIR) + "/tests/data/" + std::string(relative);
}

inline std::string ReadData(std::string_view relative) { return ReadFile(DataPath(relative)); }

// One entry of an archive written by WriteZip.
struct ZipEntry {
    std::string name;
    std::string content;
    bool directory = false;
    bool symlink = false;
    std::time_t mtime = 0;
};

// Writes a zip archive with the entries exactly as named (libzip stores any name it is given);
// false when an entry or the archive could not be written.
inline bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries) {
    int code = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!zip) return false;
    for (const ZipEntry& entry : entries) {
        zip_int64_t index = -1;
        if (entry.directory) {
            index = zip_dir_add(zip, entry.name.c_str(), ZIP_FL_ENC_UTF_8);
        } else if (zip_source_t* source = zip_source_buffer(zip, entry.content.data(), entry.content.size(), 0)) {
            index = zip_file_add(zip, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
            if (index < 0) zip_source_free(source);
        }
        if (index < 0) {
            zip_discard(zip);
            return false;
        }
        auto at = static_cast<zip_uint64_t>(index);
        if (entry.symlink)
            zip_file_set_external_attributes(zip, at, 0, ZIP_OPSYS_UNIX, static_cast<zip_uint32_t>(S_IFLNK | 0777) << 16);
        if (entry.mtime) zip_file_set_mtime(zip, at, entry.mtime, 0);
    }
    return zip_close(zip) == 0;
}

// Packs every file below a folder, named by its path relative to the folder, as packages are shipped.
inline bool ZipFolder(const std::filesystem::path& folder, const std::string& path) {
    std::vector<ZipEntry> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            entries.push_back({entry.path().lexically_relative(folder).generic_string(), ReadFile(entry.path())});
    return WriteZip(path, entries);
}

// A file-size limit for as long as it lives: every write past it fails, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// Points the user and machine settings stores and the user folder at a temporary folder that
// lives as long as the process, and clears both stores.
inline void IsolateEnvironment() {
    static TempDir root;
    setenv("VELMORA_CONFIG_DIR", (root / "user").c_str(), 1);
    setenv("VELMORA_MACHINE_CONFIG", (root / "machine/registry.json").c_str(), 1);
    setenv("VELMORA_USER_DIR", (root / "documents").c_str(), 1);
}

// Empties both settings stores; for tests that need a clean registry.
inline void ResetSettingsStores() {
    std::error_code ec;
    std::filesystem::remove(std::string(std::getenv("VELMORA_CONFIG_DIR")) + "/registry.json", ec);
    std::filesystem::remove(std::getenv("VELMORA_MACHINE_CONFIG"), ec);
}

// The time_t of a local date and time (daylight saving as the system decides).
inline std::time_t LocalTime(int y, int m, int d, int h, int n, int s) {
    std::tm local{};
    local.tm_year = y - 1900;
    local.tm_mon = m - 1;
    local.tm_mday = d;
    local.tm_hour = h;
    local.tm_min = n;
    local.tm_sec = s;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

}  // namespace velmora::test
