#include "generation/gen_cache.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <optional>
#include <system_error>

#include <fmt/format.h>

#include "platform/xml.h"
#include "support/config_paths.h"
#include "support/engine_state.h"
#include "support/text.h"
#include "support/text_file.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCacheGroupModules = "tpl";
constexpr long long kUnixEpochSerial = 25569;  // 1970-01-01 as days since 1899-12-30
constexpr long long kSecondsPerDay = 86400;

struct CivilTime {
    long long year = 0;
    int month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Days since 1970-01-01 of a proleptic Gregorian date.
long long DaysFromCivil(long long y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long days, CivilTime& t) {
    long long z = days + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = yoe + era * 400 + (t.month <= 2 ? 1 : 0);
}

int DaysInMonth(long long year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

double SerialOf(const CivilTime& t) {
    long long days = DaysFromCivil(t.year, t.month, t.day) + kUnixEpochSerial;
    return static_cast<double>(days) + (t.hour * 3600.0 + t.minute * 60.0 + t.second) / kSecondsPerDay;
}

// The date and time of a serial, rounded to whole seconds; nullopt outside years 1..9999.
std::optional<CivilTime> CivilOf(double serial) {
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6) return std::nullopt;
    double whole = std::floor(serial);
    auto days = static_cast<long long>(whole);
    long long seconds = std::llround((serial - whole) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        ++days;
        seconds -= kSecondsPerDay;
    }
    CivilTime t;
    CivilFromDays(days - kUnixEpochSerial, t);
    if (t.year < 1 || t.year > 9999) return std::nullopt;
    t.hour = static_cast<int>(seconds / 3600);
    t.minute = static_cast<int>(seconds / 60 % 60);
    t.second = static_cast<int>(seconds % 60);
    return t;
}

// A run of minDigits..maxDigits decimal digits as a number.
std::optional<int> Digits(std::string_view text, std::size_t minDigits, std::size_t maxDigits) {
    if (text.size() < minDigits || text.size() > maxDigits) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// "yyyy/m/d" with an optional " h:n:s", the form the cache writes.
std::optional<CivilTime> ParseCacheDate(std::string_view text) {
    text = TrimView(text);
    std::size_t blank = text.find(' ');
    std::vector<std::string> date = Split(text.substr(0, blank), '/');
    std::vector<std::string> time =
        blank == std::string_view::npos ? std::vector<std::string>{"0", "0", "0"} : Split(TrimView(text.substr(blank)), ':');
    if (date.size() != 3 || time.size() != 3) return std::nullopt;
    auto y = Digits(date[0], 4, 4), m = Digits(date[1], 1, 2), d = Digits(date[2], 1, 2);
    auto h = Digits(time[0], 1, 2), n = Digits(time[1], 1, 2), s = Digits(time[2], 1, 2);
    if (!y || !m || !d || !h || !n || !s) return std::nullopt;
    if (*y < 1 || *m < 1 || *m > 12 || *d < 1 || *d > DaysInMonth(*y, *m) || *h > 23 || *n > 59 || *s > 59)
        return std::nullopt;
    return CivilTime{*y, *m, *d, *h, *n, *s};
}

std::string FormatCacheDate(const CivilTime& t) {
    return fmt::format("{:04}/{:02}/{:02} {:02}:{:02}:{:02}", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

// Paths from control and project files may use "\"; on this system only "/" separates folders.
std::string LocalPath(std::string_view path) {
    std::string local(path);
    std::error_code ec;
    if (local.find('\\') != std::string::npos && !fs::exists(local, ec)) return ReplaceAll(local, "\\", "/");
    return local;
}

std::optional<CivilTime> LocalTimeOf(std::time_t time) {
    std::tm local{};
    if (!localtime_r(&time, &local)) return std::nullopt;
    return CivilTime{local.tm_year + 1900LL, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                     std::min(local.tm_sec, 59)};
}

std::optional<std::time_t> ModificationTime(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return info.st_mtime;
}

Variant DateOf(std::time_t time) {
    auto civil = LocalTimeOf(time);
    return civil ? Variant(DateValue{SerialOf(*civil)}) : Variant();
}

// The text a size is recorded and compared as.
std::string SizeText(const Variant& size) { return Trim(size.ToText()); }

// Escapes what would not read back unchanged from a double-quoted attribute value: markup
// characters, and line breaks, tabs and other control characters, which a parser would fold
// into blanks.
std::string EscapeAttribute(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20)
                    out += fmt::format("&#{};", static_cast<int>(c));
                else
                    out += c;
        }
    }
    return out;
}

// Creates the folder unless it exists as one.
bool MakeFolder(const std::string& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec))
        return Fail(ProductMessage("Cannot create folder '" + folder + "'" + (ec ? ": " + ec.message() : "") + "."));
    return true;
}

// A file where the template folder belongs is kept under name + "." + yyyymmddhhnnss.
bool MoveFileAside(const std::string& path) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec)) || fs::is_directory(path, ec)) return true;
    auto now = LocalTimeOf(std::time(nullptr)).value_or(CivilTime{});
    std::string aside = path + "." +
                        fmt::format("{:04}{:02}{:02}{:02}{:02}{:02}", now.year, now.month, now.day, now.hour,
                                    now.minute, now.second);
    fs::rename(path, aside, ec);
    if (ec) return Fail(ProductMessage("Cannot move file '" + path + "' to '" + aside + "': " + ec.message() + "."));
    return true;
}

// File names of the cache folder's regular files, sorted so that records come out in one order.
std::vector<std::string> CacheFolderFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError)) names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool HasExtension(std::string_view name, std::string_view extension) {
    return fs::path(std::string(name)).extension().string().size() == extension.size() + 1 &&
           EndsWithNoCase(name, "." + std::string(extension));
}

}  // namespace

Variant FileDateTime(std::string_view path) {
    auto time = ModificationTime(LocalPath(path));
    return time ? DateOf(*time) : Variant();
}

std::string CacheDateText(const Variant& dt) {
    std::optional<CivilTime> civil;
    if (dt.Type() == VarType::Date)
        civil = CivilOf(dt.AsDate().serial);
    else if (dt.IsString())
        civil = ParseCacheDate(dt.AsString());
    return civil ? FormatCacheDate(*civil) : std::string();
}

FileStamp StampOf(std::string_view path) {
    FileStamp stamp;
    std::string local = LocalPath(path);
    std::error_code ec;
    auto status = fs::status(local, ec);
    if (fs::is_regular_file(status)) {
        auto size = fs::file_size(local, ec);
        auto time = ModificationTime(local);
        if (ec || !time) return stamp;
        stamp = {DateOf(*time), static_cast<std::int64_t>(size), true};
        return stamp;
    }
    if (!fs::is_directory(status)) return stamp;

    auto newest = ModificationTime(local);
    if (!newest) return stamp;
    std::int64_t total = 0;
    fs::recursive_directory_iterator it(local, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        auto time = ModificationTime(it->path().string());
        if (time && *time > *newest) newest = time;
        if (it->is_regular_file(entryError)) {
            auto size = it->file_size(entryError);
            if (!entryError) total += static_cast<std::int64_t>(size);
        }
    }
    stamp = {DateOf(*newest), total, true};
    return stamp;
}

std::string PackageFolderName(std::string_view packageFile) {
    std::size_t slash = packageFile.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? packageFile : packageFile.substr(slash + 1);
    std::string folder;
    for (char c : name)
        if (c != ' ' && c != '/' && c != '\\') folder += c;
    return folder;
}

bool AGPCache::Open(std::string_view templateName) {
    entries_.clear();
    templateFolder_.clear();
    cacheFolder_.clear();
    cacheFile_.clear();

    std::string name = PackageFolderName(templateName);
    if (name.empty() || name == "." || name == "..")
        return Fail(ProductMessage("Template file name '" + std::string(templateName) + "' has no usable name."));
    std::string base = Trim(UserDataFolder());
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    std::string templates = base + "/Templates";
    std::string folder = templates + "/" + name;
    if (!MakeFolder(templates) || !MoveFileAside(folder) || !MakeFolder(folder)) return false;
    std::string cache = folder + "/cache";
    if (!MakeFolder(cache)) return false;

    templateFolder_ = folder;
    cacheFolder_ = cache;
    cacheFile_ = cache + "/cache.xml";
    ReadCacheFile();
    return true;
}

void AGPCache::ReadCacheFile() {
    std::error_code ec;
    if (!fs::is_regular_file(cacheFile_, ec)) return;
    XmlDocument doc;
    if (!doc.Load(cacheFile_)) return;
    XmlNode root = doc.DocumentElement();
    if (root.NodeName() != "Cache") return;
    for (const XmlNode& element : root.ChildElements()) {
        if (element.NodeName() != "CacheEntry") continue;
        entries_.push_back({element.GetAttribute("Group"), element.GetAttribute("Key"),
                            element.GetAttribute("DateTime"), element.GetAttribute("Size")});
    }
}

std::vector<AGPCache::Entry>::const_iterator AGPCache::Find(std::string_view group, std::string_view key) const {
    return std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) {
        return EqualsNoCase(entry.group, group) && EqualsNoCase(entry.key, key);
    });
}

void AGPCache::Store(std::string_view group, std::string_view key, std::string dateTime, std::string size) {
    auto found = Find(group, key);
    if (found == entries_.end()) {
        entries_.push_back({std::string(group), std::string(key), std::move(dateTime), std::move(size)});
        return;
    }
    Entry& entry = entries_[static_cast<std::size_t>(found - entries_.begin())];
    entry.dateTime = std::move(dateTime);
    entry.size = std::move(size);
}

std::int32_t AGPCache::Compare(std::string_view group, std::string_view key, std::string_view dateTime,
                               std::string_view size) const {
    auto found = Find(group, key);
    if (found == entries_.end()) return 2;
    return found->dateTime == dateTime && found->size == size ? 0 : 1;
}

bool AGPCache::AddCache(std::string_view sGroup, std::string_view sKey, const Variant& dt, const Variant& size) {
    Store(sGroup, sKey, CacheDateText(dt), SizeText(size));
    return true;
}

bool AGPCache::DeleteCache(std::string_view sGroup, std::string_view sKey) {
    auto found = Find(sGroup, sKey);
    if (found == entries_.end()) return false;
    entries_.erase(found);
    return true;
}

bool AGPCache::DeleteCacheGroup(std::string_view sGroup) {
    auto removed = std::erase_if(entries_, [&](const Entry& entry) { return EqualsNoCase(entry.group, sGroup); });
    return removed > 0;
}

void AGPCache::DeleteAllCache() { entries_.clear(); }

std::int32_t AGPCache::CheckCache(std::string_view sGroup, std::string_view sKey, const Variant& dt,
                                  const Variant& size) const {
    return Compare(sGroup, sKey, CacheDateText(dt), SizeText(size));
}

Variant AGPCache::GetCacheDate(std::string_view sGroup, std::string_view sKey) const {
    auto found = Find(sGroup, sKey);
    auto civil = found == entries_.end() ? std::nullopt : ParseCacheDate(found->dateTime);
    return Variant(DateValue{civil ? SerialOf(*civil) : 0.0});
}

bool AGPCache::MatchCacheGroup(std::string_view sGroup, std::string_view sList) const {
    std::vector<std::string> keys;
    for (const std::string& item : Split(sList, ',')) {
        std::string key = Trim(item);
        if (!key.empty()) keys.push_back(std::move(key));
    }
    auto listed = [&](std::string_view key) {
        return std::any_of(keys.begin(), keys.end(), [&](const std::string& k) { return EqualsNoCase(k, key); });
    };
    for (const Entry& entry : entries_)
        if (EqualsNoCase(entry.group, sGroup) && !listed(Trim(entry.key))) return false;
    return std::all_of(keys.begin(), keys.end(), [&](const std::string& key) {
        return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& entry) {
            return EqualsNoCase(entry.group, sGroup) && EqualsNoCase(Trim(entry.key), key);
        });
    });
}

bool AGPCache::WriteCacheFile() {
    if (cacheFile_.empty()) return Fail(ProductMessage("The generation cache has no folder."));
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    text += "<Cache Product=\"" + EscapeAttribute(kProductName) + "\" Version=\"" + EscapeAttribute(EngineVersion()) +
            "\" >\n";
    for (const Entry& entry : entries_) {
        text += "<CacheEntry Group=\"" + EscapeAttribute(entry.group) + "\" Key=\"" + EscapeAttribute(entry.key) +
                "\" DateTime=\"" + EscapeAttribute(entry.dateTime) + "\" Size=\"" + EscapeAttribute(entry.size) +
                "\" />\n";
    }
    text += "</Cache>\n";
    return WriteTextFile(cacheFile_, text, false, "utf-8");
}

std::int32_t AGPCache::CheckFile(std::string_view sGroup, std::string_view sKey, std::string_view path) const {
    FileStamp stamp = StampOf(path);
    if (!stamp.exists) return -1;
    return Compare(sGroup, sKey, CacheDateText(stamp.date), std::to_string(stamp.size));
}

void AGPCache::UpdateFile(std::string_view sGroup, std::string_view sKey, std::string_view path) {
    FileStamp stamp = StampOf(path);
    if (stamp.exists) Store(sGroup, sKey, CacheDateText(stamp.date), std::to_string(stamp.size));
}

void AGPCache::DropModules() {
    if (!cacheFolder_.empty()) {
        for (const std::string& name : CacheFolderFiles(cacheFolder_)) {
            std::error_code ec;
            if (HasExtension(name, "tpl")) fs::remove(cacheFolder_ + "/" + name, ec);
        }
    }
    DeleteCacheGroup(kCacheGroupModules);
}

void AGPCache::RecordModules() {
    if (cacheFolder_.empty()) return;
    for (const std::string& name : CacheFolderFiles(cacheFolder_))
        if (!HasExtension(name, "xml")) UpdateFile(kCacheGroupModules, name, cacheFolder_ + "/" + name);
}

}  // namespace velmora
