#include "support/text_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "support/charset.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/text.h"

namespace velmora {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

std::optional<std::string> ReadBytes(std::string_view path) {
    int fd = ::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string content;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (count == 0) break;
        content.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return content;
}

struct WriteFailure {
    bool creating = true;  // false: the file was created but writing it failed
    std::string description;
};

std::string ErrnoText(int error) { return std::strerror(error); }

// Removes the temporary file unless it was handed over to the target.
class TempFile {
public:
    explicit TempFile(fs::path path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    void Release() { path_.clear(); }

private:
    fs::path path_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

WriteFaultInjector& FaultInjector() {
    static WriteFaultInjector injector;
    return injector;
}

// Writes the bytes to a new file next to the target and renames it over the target. The target
// keeps its permissions; a new file gets the usual ones (0666 less the umask).
std::optional<WriteFailure> ReplaceFile(const fs::path& target, std::string_view bytes) {
    static std::atomic<unsigned> counter{0};
    fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string name = target.filename().string();

    fs::path tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        // Part of the name is enough to tell the file; all of it could pass the length limit.
        tempPath = folder / fmt::format(".{}.{}.{}.tmp", name.substr(0, 64), ::getpid(), counter++);
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return WriteFailure{true, ErrnoText(errno)};
    TempFile temp(tempPath);

    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);

    int fault = FaultInjector() ? FaultInjector()(target.string()) : 0;
    bool written = WriteAll(fd, fault == 0 ? bytes : bytes.substr(0, bytes.size() / 2));
    int writeError = errno;
    if (written && fault != 0) {
        written = false;
        writeError = fault;
    }
    if (::close(fd) != 0 && written) {
        written = false;
        writeError = errno;
    }
    if (!written) return WriteFailure{false, ErrnoText(writeError)};
    if (::rename(tempPath.c_str(), target.c_str()) != 0)
        return WriteFailure{true, ErrnoText(errno)};
    temp.Release();
    return std::nullopt;
}

// The names of a folder by their lower-case form, kept between writes so that writing many
// files into one folder does not list it again for each file. A listing is trusted while the
// folder's modification time is the one seen after the engine's own last change to it.
struct FolderNames {
    timespec modified{};
    std::unordered_map<std::string, std::vector<std::string>> byLowerName;
};

std::mutex& FolderNamesLock() {
    static std::mutex lock;
    return lock;
}

std::unordered_map<std::string, FolderNames>& FolderNamesCache() {
    static std::unordered_map<std::string, FolderNames> cache;
    return cache;
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

std::optional<timespec> FolderTime(const fs::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) return std::nullopt;
    return info.st_mtim;
}

FolderNames& ListedFolder(const fs::path& folder) {
    auto& cache = FolderNamesCache();
    auto time = FolderTime(folder);
    auto found = cache.find(folder.string());
    if (found != cache.end() && time && SameTime(found->second.modified, *time)) return found->second;
    FolderNames& names = cache[folder.string()];
    names = FolderNames{};
    if (time) names.modified = *time;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        names.byLowerName[ToLowerAscii(entry)].push_back(entry);
    }
    return names;
}

// After the engine wrote `target`: its name is in the folder, and the folder's new time is ours.
// Other spellings that were there are gone, or are folders, which a new listing shows.
void NoteWritten(const fs::path& target, bool hadVariants) {
    std::lock_guard<std::mutex> guard(FolderNamesLock());
    fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    auto found = FolderNamesCache().find(folder.string());
    if (found == FolderNamesCache().end()) return;
    auto time = FolderTime(folder);
    if (!time || hadVariants) {
        FolderNamesCache().erase(found);
        return;
    }
    std::string name = target.filename().string();
    auto& spellings = found->second.byLowerName[ToLowerAscii(name)];
    spellings.assign(1, name);
    found->second.modified = *time;
}

// Entries of the target's folder whose names equal the target's name without regard to case but
// are spelt differently.
std::vector<fs::path> CaseVariants(const fs::path& target) {
    std::vector<fs::path> variants;
    fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string name = target.filename().string();
    std::lock_guard<std::mutex> guard(FolderNamesLock());
    const FolderNames& names = ListedFolder(folder);
    auto found = names.byLowerName.find(ToLowerAscii(name));
    if (found == names.byLowerName.end()) return variants;
    for (const std::string& entry : found->second)
        if (entry != name) variants.push_back(folder / entry);
    return variants;
}

// A file stored under another letter case takes the requested name, so that the written file
// carries it. On a case-insensitive folder the two names are one file and the rename goes
// through an intermediate name. Returns the other spellings found.
std::vector<fs::path> CarryOverStoredName(const fs::path& target) {
    std::error_code ec;
    auto variants = CaseVariants(target);
    for (const auto& variant : variants) {
        if (fs::is_directory(variant, ec)) continue;
        if (!fs::exists(target, ec)) {
            fs::rename(variant, target, ec);
        } else if (fs::equivalent(variant, target, ec)) {
            fs::path step = variant;
            step += fmt::format(".{}.case", ::getpid());
            fs::rename(variant, step, ec);
            if (!ec) fs::rename(step, target, ec);
        }
    }
    return variants;
}

// Other spellings left beside the target (a case-sensitive folder holding several) go, so only
// the requested name remains.
void RemoveCaseVariants(const fs::path& target, const std::vector<fs::path>& variants) {
    std::error_code ec;
    for (const auto& variant : variants) {
        if (!fs::exists(variant, ec) || fs::is_directory(variant, ec) ||
            fs::equivalent(variant, target, ec)) {
            continue;
        }
        fs::remove(variant, ec);
    }
}

std::string_view FileNamePart(std::string_view path) {
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool Utf8OutputWanted(std::string_view charSet) {
    bool utf8 =
        ToBoolean(GetRegValue("HKCU", SettingsSection("General"), "UTF8Output")).value_or(false);
    return utf8 || ToLowerAscii(charSet) == "utf-8";
}

}  // namespace

std::string DetectEncoding(std::string_view path) {
    std::ifstream in{std::string(path), std::ios::binary};
    if (!in) return std::string(kEncodingNone);
    unsigned char bytes[3] = {};
    in.read(reinterpret_cast<char*>(bytes), 3);
    if (in.gcount() < 3) return std::string(kEncodingNone);
    unsigned value = (bytes[0] << 16) | (bytes[1] << 8) | bytes[2];
    std::string hex = fmt::format("{:X}", value);
    if (hex == "EFBBBF") return std::string(kEncodingUtf8);
    std::string_view head = std::string_view(hex).substr(0, 4);
    if (head == "FEFF") return std::string(kEncodingUnicodeBig);
    if (head == "FFFE") return std::string(kEncodingUnicode);
    return std::string(kEncodingNone);
}

std::string ReadTextFile(std::string_view path) { return ReadTextFile(path, kDefaultAnsiCodePage); }

std::string ReadTextFile(std::string_view path, std::string_view codePage) {
    std::string tag = DetectEncoding(path);
    auto bytes = ReadBytes(path);
    if (!bytes) return {};
    if (tag == kEncodingUtf8)
        return SanitizeUtf8(std::string_view(*bytes).substr(kUtf8Mark.size()));
    return DecodeFromCodePage(*bytes, codePage);
}

std::string ReadScriptText(std::string_view path) {
    auto bytes = ReadBytes(path);
    if (!bytes) return {};
    std::string_view text(*bytes);
    if (text.starts_with(kUtf8Mark)) return SanitizeUtf8(text.substr(kUtf8Mark.size()));
    if (text.starts_with("\xFF\xFE")) return DecodeFromCodePage(text.substr(2), "1200");
    if (text.starts_with("\xFE\xFF")) return DecodeFromCodePage(text.substr(2), "1201");
    return SanitizeUtf8(text);
}

bool StripUtf8Bom(std::string_view path) {
    auto bytes = ReadBytes(path);
    if (!bytes) return false;
    if (!bytes->starts_with(kUtf8Mark)) return true;
    return !ReplaceFile(fs::path(path), std::string_view(*bytes).substr(kUtf8Mark.size()));
}

void SetWriteFaultInjector(WriteFaultInjector injector) { FaultInjector() = std::move(injector); }

std::optional<std::string> ReadFileBytes(std::string_view path) { return ReadBytes(path); }

EncodedText EncodeTextFile(std::string_view text, bool forceAnsi, std::string_view charSet,
                           std::string_view codePage) {
    EncodedText encoded;
    encoded.utf8 = !forceAnsi && Utf8OutputWanted(charSet);
    if (encoded.utf8)
        encoded.bytes = text.starts_with(kUtf8Mark) ? text.substr(kUtf8Mark.size()) : text;
    else
        encoded.bytes = EncodeToCodePage(text, codePage.empty() ? kDefaultAnsiCodePage : codePage);
    return encoded;
}

bool WriteEncodedFile(std::string_view path, const EncodedText& encoded) {
    fs::path target{std::string(path)};
    auto variants = CarryOverStoredName(target);
    auto failure = ReplaceFile(target, encoded.bytes);
    if (failure) {
        std::string_view action = failure->creating ? "create" : "write";
        if (encoded.utf8) {
            return Fail(fmt::format("Failed to {} file '{}'. Error: {}.", action,
                                    FileNamePart(path), failure->description));
        }
        return Fail(
            fmt::format("Failed to {} file '{}'. Error: {}", action, path, failure->description));
    }
    RemoveCaseVariants(target, variants);
    NoteWritten(target, !variants.empty());
    return true;
}

bool WriteTextFile(std::string_view path, std::string_view text, bool forceAnsi,
                   std::string_view charSet, std::string_view codePage) {
    return WriteEncodedFile(path, EncodeTextFile(text, forceAnsi, charSet, codePage));
}

}  // namespace velmora
