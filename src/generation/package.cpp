#include "generation/package.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "support/text.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct EntryCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ArchiveHandle = std::unique_ptr<zip_t, ArchiveCloser>;
using EntryHandle = std::unique_ptr<zip_file_t, EntryCloser>;

// A folder removed again unless it was kept.
class ScratchFolder {
public:
    explicit ScratchFolder(fs::path path) : path_(std::move(path)) {}
    ~ScratchFolder() {
        if (path_.empty()) return;
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    fs::path path_;
};

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// Paths from control and project files may use "\"; on this system only "/" separates folders.
std::string LocalPath(std::string_view path) {
    std::string local(path);
    std::error_code ec;
    if (local.find('\\') != std::string::npos && !fs::exists(local, ec)) return ReplaceAll(local, "\\", "/");
    return local;
}

// A new, empty folder beside `target`, named after it.
std::optional<fs::path> MakeSiblingFolder(const fs::path& target, std::string_view purpose) {
    std::string pattern = (target.parent_path() / ("." + target.filename().string() + "." + std::string(purpose) +
                                                   "-XXXXXX"))
                              .string();
    if (!mkdtemp(pattern.data())) return std::nullopt;
    return fs::path(pattern);
}

// The entry's path below the target, "/"-separated without empty or "." parts; nullopt when the
// name would reach outside it. Archives made on Windows may separate folders with "\".
std::optional<std::string> RelativeEntryPath(std::string_view name) {
    std::string path = ReplaceAll(name, "\\", "/");
    if (path.starts_with('/')) return std::nullopt;
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') return std::nullopt;
    std::string relative;
    for (const std::string& part : Split(path, '/')) {
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        if (!relative.empty()) relative += '/';
        relative += part;
    }
    return relative;
}

struct EntryKind {
    bool directory = false;
    bool symlink = false;
};

EntryKind KindOf(zip_t* archive, zip_uint64_t index, std::string_view name) {
    EntryKind kind;
    kind.directory = name.ends_with('/') || name.ends_with('\\');
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) == 0 && system == ZIP_OPSYS_UNIX) {
        mode_t mode = static_cast<mode_t>(attributes >> 16);
        kind.symlink = S_ISLNK(mode);
        kind.directory = kind.directory || S_ISDIR(mode);
    }
    return kind;
}

void SetModificationTime(const fs::path& path, std::time_t time) {
    struct timespec times[2] = {{time, 0}, {time, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

bool CopyEntry(zip_t* archive, zip_uint64_t index, const zip_stat_t& info, const fs::path& to, std::string& reason) {
    EntryHandle entry(zip_fopen_index(archive, index, 0));
    if (!entry) {
        reason = zip_strerror(archive);
        return false;
    }
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    if (!out) {
        reason = "cannot create " + Quoted(to.string());
        return false;
    }
    std::vector<char> buffer(1 << 16);
    zip_uint64_t total = 0;
    for (;;) {
        zip_int64_t read = zip_fread(entry.get(), buffer.data(), buffer.size());
        if (read < 0) {
            reason = zip_file_strerror(entry.get());
            return false;
        }
        if (read == 0) break;
        out.write(buffer.data(), static_cast<std::streamsize>(read));
        total += static_cast<zip_uint64_t>(read);
    }
    out.close();
    if (!out) {
        reason = "cannot write " + Quoted(to.string());
        return false;
    }
    if ((info.valid & ZIP_STAT_SIZE) && total != info.size) {
        reason = "the entry is truncated";
        return false;
    }
    return true;
}

// Writes every entry of the archive below `folder`.
bool ExtractInto(zip_t* archive, const fs::path& folder, const std::string& archiveName, std::string& error) {
    zip_int64_t count = zip_get_num_entries(archive, 0);
    std::vector<std::pair<fs::path, std::time_t>> folderTimes;
    for (zip_int64_t i = 0; i < count; ++i) {
        auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t info;
        zip_stat_init(&info);
        if (zip_stat_index(archive, index, 0, &info) != 0 || !(info.valid & ZIP_STAT_NAME)) {
            error = "Cannot read entry " + std::to_string(i + 1) + " of archive " + Quoted(archiveName) + ": " +
                    zip_strerror(archive);
            return false;
        }
        std::string name = info.name;
        auto fail = [&](std::string_view why) {
            error = "Cannot unpack entry " + Quoted(name) + " of archive " + Quoted(archiveName) + ": " +
                    std::string(why) + ".";
            return false;
        };
        EntryKind kind = KindOf(archive, index, name);
        if (kind.symlink) return fail("symbolic links are not unpacked");
        auto relative = RelativeEntryPath(name);
        if (!relative) return fail("its name leads outside the target folder");
        if (relative->empty()) continue;

        fs::path to = folder / *relative;
        std::error_code ec;
        fs::create_directories(kind.directory ? to : to.parent_path(), ec);
        if (ec) return fail(ec.message());
        if (kind.directory) {
            if (info.valid & ZIP_STAT_MTIME) folderTimes.emplace_back(to, info.mtime);
            continue;
        }
        std::string reason;
        if (!CopyEntry(archive, index, info, to, reason)) return fail(reason);
        if (info.valid & ZIP_STAT_MTIME) SetModificationTime(to, info.mtime);
    }
    // Writing files changes their folders' times; the archive's are set last, innermost first.
    std::sort(folderTimes.begin(), folderTimes.end(),
              [](const auto& a, const auto& b) { return a.first.string().size() > b.first.string().size(); });
    for (const auto& [path, time] : folderTimes) SetModificationTime(path, time);
    return true;
}

// Puts the unpacked folder in the target's place; the old target is removed only once the new one
// is there.
bool ReplaceTarget(const fs::path& unpacked, const fs::path& target, std::string& error) {
    std::error_code ec;
    std::optional<fs::path> old;
    if (fs::exists(fs::symlink_status(target, ec))) {
        old = MakeSiblingFolder(target, "old");
        if (old) fs::remove(*old, ec);
        if (!old || ec) {
            error = "Cannot make room for folder " + Quoted(target.string()) + ".";
            return false;
        }
        fs::rename(target, *old, ec);
        if (ec) {
            error = "Cannot replace folder " + Quoted(target.string()) + ": " + ec.message() + ".";
            return false;
        }
    }
    fs::rename(unpacked, target, ec);
    if (ec) {
        error = "Cannot create folder " + Quoted(target.string()) + ": " + ec.message() + ".";
        std::error_code restoreError;
        if (old) fs::rename(*old, target, restoreError);
        return false;
    }
    if (old) fs::remove_all(*old, ec);
    return true;
}

bool Unpack(std::string_view archive, std::string_view target, std::string& error) {
    std::string archivePath = LocalPath(archive);
    std::string targetText = LocalPath(target);
    while (targetText.size() > 1 && targetText.back() == '/') targetText.pop_back();
    if (targetText.empty()) {
        error = "No folder to unpack archive " + Quoted(archivePath) + " into.";
        return false;
    }
    fs::path targetPath = fs::absolute(fs::path(targetText));

    int code = 0;
    ArchiveHandle zip(zip_open(archivePath.c_str(), ZIP_RDONLY, &code));
    if (!zip) {
        zip_error_t reason;
        zip_error_init_with_code(&reason, code);
        error = "Cannot open archive " + Quoted(archivePath) + ": " + zip_error_strerror(&reason) + ".";
        zip_error_fini(&reason);
        return false;
    }

    std::error_code ec;
    fs::create_directories(targetPath.parent_path(), ec);
    auto made = MakeSiblingFolder(targetPath, "unpack");
    if (ec || !made) {
        error = "Cannot create a folder beside " + Quoted(targetPath.string()) + ".";
        return false;
    }
    ScratchFolder scratch(*made);
    if (!ExtractInto(zip.get(), scratch.path(), archivePath, error)) return false;
    if (!ReplaceTarget(scratch.path(), targetPath, error)) return false;
    scratch.Keep();
    return true;
}

}  // namespace

bool UnpackArchive(std::string_view archive, std::string_view target, std::string& error) {
    error.clear();
    try {
        return Unpack(archive, target, error);
    } catch (const std::exception& e) {
        error = "Cannot unpack archive " + Quoted(archive) + ": " + e.what();
        return false;
    }
}

bool PreparePackage(std::string_view package, std::string_view workFolder, bool refresh, std::string& folder,
                    std::string& error) {
    folder.clear();
    error.clear();
    std::string path = LocalPath(package);
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        folder = path;
        return true;
    }
    if (!fs::is_regular_file(path, ec)) {
        error = "Package " + Quoted(path) + " not found.";
        return false;
    }
    std::string work = LocalPath(workFolder);
    if ((refresh || !fs::is_directory(work, ec)) && !UnpackArchive(path, work, error)) return false;
    folder = work;
    return true;
}

}  // namespace velmora
