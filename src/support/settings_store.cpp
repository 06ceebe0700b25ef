#include "support/settings_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "support/convert.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return (v && *v) ? std::string(v) : fallback;
}

std::string HomeDir() { return EnvOr("HOME", "/root"); }

// The parsed store file, kept while the file on disk does not change.
struct CachedStore {
    std::int64_t mtimeNs = -1;
    std::int64_t size = -1;
    bool corrupt = false;
    std::string corruptReason;
    json doc = json::object();
};

std::map<std::string, CachedStore>& Cache() {
    static std::map<std::string, CachedStore> cache;
    return cache;
}

int& SnapshotDepth() {
    static int depth = 0;
    return depth;
}

// Loads (or reuses) the store at `path`. A missing file is an empty store.
CachedStore& Load(const std::string& path) {
    CachedStore& entry = Cache()[path];
    // Writes drop the cached entry, so a snapshot still sees this process's own changes.
    if (SnapshotDepth() > 0 && entry.mtimeNs >= 0) return entry;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        entry = CachedStore{};
        entry.mtimeNs = 0;
        entry.size = 0;
        return entry;
    }
    std::int64_t mtime = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (entry.mtimeNs == mtime && entry.size == st.st_size) return entry;
    entry = CachedStore{};
    entry.mtimeNs = mtime;
    entry.size = st.st_size;
    std::ifstream in(path, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object() || (doc.contains("sections") && !doc["sections"].is_object())) {
        entry.corrupt = true;
        entry.corruptReason = "not a settings store (invalid JSON)";
        return entry;
    }
    if (!doc.contains("sections")) doc["sections"] = json::object();
    entry.doc = std::move(doc);
    return entry;
}

std::string CorruptMessage(const std::string& path, const CachedStore& store) {
    return fmt::format("Settings store '{}' cannot be read: {}. It was left unchanged.", path,
                       store.corruptReason);
}

std::string NormalizeSection(std::string_view section) {
    std::string s = ReplaceAll(section, "/", "\\");
    while (!s.empty() && s.back() == '\\') s.pop_back();
    while (!s.empty() && s.front() == '\\') s.erase(0, 1);
    return s;
}

// Finds an object member by name without regard to case.
json* FindNoCase(json& object, std::string_view name) {
    if (!object.is_object()) return nullptr;
    for (auto& [key, value] : object.items())
        if (EqualsNoCase(key, name)) return &value;
    return nullptr;
}

const json* FindNoCase(const json& object, std::string_view name) {
    return FindNoCase(const_cast<json&>(object), name);
}

std::string ActualKey(const json& object, std::string_view name) {
    for (auto& [key, value] : object.items())
        if (EqualsNoCase(key, name)) return key;
    return std::string(name);
}

RegEntry DecodeEntry(const std::string& name, const json& stored) {
    RegEntry entry;
    entry.name = name;
    entry.type = stored.value("type", static_cast<std::int32_t>(kRegText));
    const json& v = stored.contains("value") ? stored["value"] : json();
    switch (entry.type) {
        case kRegNumber:
        case kRegBigEndianNumber:
            if (v.is_number_integer()) entry.value = Variant(static_cast<std::int32_t>(v.get<std::int64_t>()));
            break;
        case kRegBinary:
        case kRegMultiText: {
            Variant::Array items;
            if (v.is_array()) {
                for (const json& item : v) {
                    if (entry.type == kRegBinary && item.is_number_integer())
                        items.emplace_back(static_cast<std::int16_t>(item.get<int>() & 0xFF));
                    else if (item.is_string())
                        items.emplace_back(item.get<std::string>());
                }
            }
            entry.value = Variant(std::move(items));
            break;
        }
        case kRegExpandText:
            entry.value = Variant(ExpandEnvironment(v.is_string() ? v.get<std::string>() : std::string()));
            break;
        default:
            entry.value = Variant(v.is_string() ? v.get<std::string>() : std::string());
            break;
    }
    return entry;
}

// Turns a value into its stored JSON form for the given type; false when it does not fit.
bool EncodeValue(std::int32_t type, const Variant& value, json& out) {
    switch (type) {
        case kRegText:
        case kRegExpandText:
            out = value.ToText();
            return true;
        case kRegNumber:
        case kRegBigEndianNumber: {
            if (value.IsEmpty()) { out = 0; return true; }
            auto n = ToLong(value);
            if (!n) return false;
            out = *n;
            return true;
        }
        case kRegBinary: {
            out = json::array();
            if (value.Type() == VarType::Array) {
                for (const Variant& item : value.AsArray()) {
                    auto n = ToLong(item);
                    if (!n || *n < 0 || *n > 255) return false;
                    out.push_back(*n);
                }
            } else {
                for (unsigned char c : value.ToText()) out.push_back(static_cast<int>(c));
            }
            return true;
        }
        case kRegMultiText: {
            out = json::array();
            if (value.Type() == VarType::Array) {
                for (const Variant& item : value.AsArray()) out.push_back(item.ToText());
            } else if (!value.ToText().empty()) {
                for (auto& line : Split(ReplaceAll(value.ToText(), "\r\n", "\n"), '\n')) out.push_back(line);
            }
            return true;
        }
        default:
            return false;
    }
}

bool SaveAtomically(const std::string& path, const json& doc, std::string& error) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::string tmp = fmt::format("{}.tmp.{}", path, getpid());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << doc.dump(2) << '\n';
        out.flush();
        if (!out) {
            error = fmt::format("Failed to write settings store '{}'.", path);
            fs::remove(tmp, ec);
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = fmt::format("Failed to write settings store '{}'.", path);
        fs::remove(tmp, ec);
        return false;
    }
    Cache().erase(path);
    return true;
}

thread_local std::int32_t lastValueType = kRegNone;

SettingsStore& StoreFor(std::string_view root) {
    return root == "HKLM" ? MachineStore() : CurrentUserStore();
}

}  // namespace

SettingsSnapshot::SettingsSnapshot() { ++SnapshotDepth(); }
SettingsSnapshot::~SettingsSnapshot() { --SnapshotDepth(); }

std::string SettingsStore::Path() const {
    if (root_ == RegRoot::Machine) return EnvOr("VELMORA_MACHINE_CONFIG", "/etc/velmora/registry.json");
    std::string dir = EnvOr("VELMORA_CONFIG_DIR", EnvOr("XDG_CONFIG_HOME", HomeDir() + "/.config") + "/velmora");
    return dir + "/registry.json";
}

bool SettingsStore::KeyExists(std::string_view section) const {
    std::string path = Path();
    CachedStore& store = Load(path);
    if (store.corrupt) { lastError_ = CorruptMessage(path, store); return false; }
    std::string wanted = NormalizeSection(section);
    for (auto& [key, value] : store.doc["sections"].items()) {
        if (EqualsNoCase(key, wanted) || StartsWithNoCase(key, wanted + "\\")) return true;
    }
    return false;
}

std::optional<RegEntry> SettingsStore::Read(std::string_view section, std::string_view name) const {
    std::string path = Path();
    CachedStore& store = Load(path);
    if (store.corrupt) { lastError_ = CorruptMessage(path, store); return std::nullopt; }
    const json* sec = FindNoCase(store.doc["sections"], NormalizeSection(section));
    if (!sec) return std::nullopt;
    const json* stored = FindNoCase(*sec, name);
    if (!stored || !stored->is_object()) return std::nullopt;
    return DecodeEntry(ActualKey(*sec, name), *stored);
}

std::vector<RegEntry> SettingsStore::Values(std::string_view section) const {
    std::vector<RegEntry> entries;
    std::string path = Path();
    CachedStore& store = Load(path);
    if (store.corrupt) { lastError_ = CorruptMessage(path, store); return entries; }
    const json* sec = FindNoCase(store.doc["sections"], NormalizeSection(section));
    if (!sec || !sec->is_object()) return entries;
    for (auto& [key, value] : sec->items())
        if (value.is_object()) entries.push_back(DecodeEntry(key, value));
    return entries;
}

std::vector<std::string> SettingsStore::Subsections(std::string_view section) const {
    std::vector<std::string> names;
    std::string path = Path();
    CachedStore& store = Load(path);
    if (store.corrupt) { lastError_ = CorruptMessage(path, store); return names; }
    std::string prefix = NormalizeSection(section);
    if (!prefix.empty()) prefix += "\\";
    for (auto& [key, value] : store.doc["sections"].items()) {
        if (!StartsWithNoCase(key, prefix) || key.size() == prefix.size()) continue;
        std::string child = key.substr(prefix.size());
        child = child.substr(0, child.find('\\'));
        bool known = false;
        for (auto& n : names) known = known || EqualsNoCase(n, child);
        if (!known) names.push_back(child);
    }
    return names;
}

bool SettingsStore::CreateKey(std::string_view section) {
    std::string path = Path();
    CachedStore& store = Load(path);
    if (store.corrupt) { lastError_ = CorruptMessage(path, store); return false; }
    std::string name = NormalizeSection(section);
    if (FindNoCase(store.doc["sections"], name)) return true;
    json doc = store.doc;
    doc["sections"][name] = json::object();
    return SaveAtomically(path, doc, lastError_);
}

bool SettingsStore::Write(std::string_view section, std::string_view name, std::int32_t type,
                          const Variant& value) {
    std::string path = Path();
    CachedStore& store = Load(path);
    if (store.corrupt) { lastError_ = CorruptMessage(path, store); return false; }
    json encoded;
    if (!EncodeValue(type, value, encoded)) {
        lastError_ = fmt::format("The value of '{}' does not fit the value type {}.", name, type);
        return false;
    }
    json doc = store.doc;
    json& sections = doc["sections"];
    std::string secName = ActualKey(sections, NormalizeSection(section));
    json& sec = sections[secName];
    if (!sec.is_object()) sec = json::object();
    sec[ActualKey(sec, name)] = json{{"type", type}, {"value", encoded}};
    return SaveAtomically(path, doc, lastError_);
}

bool SettingsStore::DeleteValue(std::string_view section, std::string_view name) {
    std::string path = Path();
    CachedStore& store = Load(path);
    if (store.corrupt) { lastError_ = CorruptMessage(path, store); return false; }
    json doc = store.doc;
    json* sec = FindNoCase(doc["sections"], NormalizeSection(section));
    if (!sec || !FindNoCase(*sec, name)) return false;
    sec->erase(ActualKey(*sec, name));
    return SaveAtomically(path, doc, lastError_);
}

bool SettingsStore::DeleteKey(std::string_view section) {
    std::string path = Path();
    CachedStore& store = Load(path);
    if (store.corrupt) { lastError_ = CorruptMessage(path, store); return false; }
    json doc = store.doc;
    std::string wanted = NormalizeSection(section);
    std::vector<std::string> doomed;
    for (auto& [key, value] : doc["sections"].items())
        if (EqualsNoCase(key, wanted) || StartsWithNoCase(key, wanted + "\\")) doomed.push_back(key);
    if (doomed.empty()) return false;
    for (auto& key : doomed) doc["sections"].erase(key);
    return SaveAtomically(path, doc, lastError_);
}

SettingsStore& CurrentUserStore() {
    static SettingsStore store(RegRoot::CurrentUser);
    return store;
}

SettingsStore& MachineStore() {
    static SettingsStore store(RegRoot::Machine);
    return store;
}

Variant GetRegValue(std::string_view root, std::string_view section, std::string_view name) {
    auto entry = StoreFor(root).Read(section, name);
    if (!entry) {
        lastValueType = kRegNone;
        return {};
    }
    lastValueType = entry->type;
    return entry->value;
}

bool SetRegValue(std::string_view root, std::string_view section, std::string_view name,
                 std::int32_t type, const Variant& value) {
    SettingsStore& store = StoreFor(root);
    if (store.Write(section, name, type, value)) return true;
    Engine().ProjErr = store.LastError();
    return false;
}

std::int32_t LastRegValueType() { return lastValueType; }

std::string ExpandEnvironment(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        char c = text[i];
        std::size_t end = std::string_view::npos;
        std::string name;
        if (c == '%') {
            end = text.find('%', i + 1);
            if (end != std::string_view::npos) name = std::string(text.substr(i + 1, end - i - 1));
        } else if (c == '$' && i + 1 < text.size() && text[i + 1] == '{') {
            end = text.find('}', i + 2);
            if (end != std::string_view::npos) name = std::string(text.substr(i + 2, end - i - 2));
        } else if (c == '$') {
            std::size_t j = i + 1;
            while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_')) ++j;
            if (j > i + 1) {
                name = std::string(text.substr(i + 1, j - i - 1));
                end = j - 1;
            }
        }
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (value) {
            out += value;
            i = end + 1;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string BaseSection() { return fmt::format("Software\\{}\\{}.{}", kProductName, kVersionMajor, kVersionMinor); }

std::string SettingsSection(std::string_view sub) {
    std::string s = BaseSection() + "\\Settings";
    if (!sub.empty()) s += fmt::format("\\{}", sub);
    return s;
}

std::string AdvancedFiltersSection() { return BaseSection() + "\\AdvancedFilters"; }
std::string ExtensionsSection() { return BaseSection() + "\\Extensions"; }

bool CopyMachineSectionToUser(std::string_view section) {
    bool ok = true;
    for (const RegEntry& entry : MachineStore().Values(section))
        ok = CurrentUserStore().Write(section, entry.name, entry.type, entry.value) && ok;
    for (const std::string& child : MachineStore().Subsections(section))
        ok = CopyMachineSectionToUser(fmt::format("{}\\{}", NormalizeSection(section), child)) && ok;
    return ok;
}

}  // namespace velmora
