#include "generation/manifest.h"

#include <zip.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

#include "platform/text_merge.h"
#include "support/engine_state.h"
#include "support/text_file.h"

namespace velmora {
namespace fs = std::filesystem;
namespace {

// Larger files are not kept for merging: a file that size is data, not a page someone edits.
constexpr std::size_t kLargestBase = 4 * 1024 * 1024;
// Entries carry a fixed date, so that equal bases give equal archives.
constexpr time_t kEntryTime = 315532800;  // 1980-01-01, the earliest date a zip entry holds

struct ArchiveDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveDiscard>;

std::string BasesPath(const std::string& folder) { return folder + "/" + std::string(kManifestBases); }

std::optional<std::string> ReadEntry(zip_t* archive, const std::string& name) {
    zip_stat_t info;
    zip_stat_init(&info);
    if (zip_stat(archive, name.c_str(), ZIP_FL_ENC_UTF_8, &info) != 0 || !(info.valid & ZIP_STAT_SIZE))
        return std::nullopt;
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen(archive, name.c_str(), 0), zip_fclose);
    if (!file) return std::nullopt;
    std::string bytes(info.size, '\0');
    if (zip_fread(file.get(), bytes.data(), info.size) != static_cast<zip_int64_t>(info.size)) return std::nullopt;
    return bytes;
}

}  // namespace

bool GenerationManifest::Open(const std::string& destination, std::string& error) {
    folder_ = (fs::path(destination) / std::string(kManifestFolder)).generic_string();
    entries_.clear();
    pendingBases_.clear();
    changed_ = false;
    std::string path = folder_ + "/" + std::string(kManifestFile);
    std::error_code ec;
    if (!fs::exists(path, ec)) return true;
    auto text = ReadFileBytes(path);
    nlohmann::json document = text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
    if (!document.is_object() || !document.contains("files") || !document["files"].is_object()) {
        error = "The generation manifest " + path + " cannot be read; every existing file is treated as unknown.";
        changed_ = true;
        return false;
    }
    // A hand-edited manifest may hold anything: entries whose texts are not texts are dropped.
    auto textOf = [](const nlohmann::json& entry, const char* key) -> std::optional<std::string> {
        auto found = entry.find(key);
        if (found == entry.end() || !found->is_string()) return std::nullopt;
        return found->get<std::string>();
    };
    for (const auto& [relative, entry] : document["files"].items()) {
        if (!entry.is_object()) continue;
        auto control = textOf(entry, "control");
        auto hash = textOf(entry, "hash");
        if (control && hash) entries_[relative] = {*control, *hash};
    }
    return true;
}

const ManifestEntry* GenerationManifest::Find(const std::string& relative) const {
    auto found = entries_.find(relative);
    return found == entries_.end() ? nullptr : &found->second;
}

void GenerationManifest::Record(const std::string& relative, std::string_view control, std::string_view bytes) {
    std::string hash = ContentHash(bytes);
    auto& entry = entries_[relative];
    if (entry.hash == hash && entry.control == control) return;
    entry = {std::string(control), hash};
    bool keep = bytes.size() <= kLargestBase && !LooksBinary(bytes);
    pendingBases_[relative] = keep ? std::optional<std::string>(std::string(bytes)) : std::nullopt;
    changed_ = true;
}

void GenerationManifest::Forget(const std::string& relative) {
    if (entries_.erase(relative) == 0) return;
    pendingBases_[relative] = std::nullopt;
    changed_ = true;
}

std::optional<std::string> GenerationManifest::Base(const std::string& relative) {
    auto pending = pendingBases_.find(relative);
    if (pending != pendingBases_.end()) return pending->second;
    int code = 0;
    Archive archive(zip_open(BasesPath(folder_).c_str(), ZIP_RDONLY, &code));
    if (!archive) return std::nullopt;
    return ReadEntry(archive.get(), relative);
}

bool GenerationManifest::Save() {
    if (!changed_) return true;
    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (ec) return Fail("Cannot create " + folder_ + ": " + ec.message());
    // Apache serves dot folders unless told not to; PHP's built-in server goes through the router.
    std::string guard = folder_ + "/.htaccess";
    if (!fs::exists(guard, ec) && !WriteTextFile(guard, "Require all denied\n", false, "utf-8")) return false;

    if (!pendingBases_.empty()) {
        int code = 0;
        zip_t* opened = zip_open(BasesPath(folder_).c_str(), ZIP_CREATE, &code);
        if (!opened) {
            // A damaged archive is started again: bases are a convenience, the manifest is the record.
            fs::remove(BasesPath(folder_), ec);
            opened = zip_open(BasesPath(folder_).c_str(), ZIP_CREATE, &code);
        }
        if (!opened) return Fail("Cannot open " + BasesPath(folder_));
        Archive archive(opened);
        for (const auto& [relative, bytes] : pendingBases_) {
            zip_int64_t index = zip_name_locate(archive.get(), relative.c_str(), ZIP_FL_ENC_UTF_8);
            if (!bytes) {
                if (index >= 0) zip_delete(archive.get(), static_cast<zip_uint64_t>(index));
                continue;
            }
            zip_source_t* source = zip_source_buffer(archive.get(), bytes->data(), bytes->size(), 0);
            zip_int64_t added = source ? zip_file_add(archive.get(), relative.c_str(), source,
                                                      ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8)
                                       : -1;
            if (added < 0) {
                if (source) zip_source_free(source);
                return Fail("Cannot keep the generated content of " + relative + ": " +
                            zip_strerror(archive.get()));
            }
            zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(added), ZIP_CM_DEFLATE, 1);
            zip_file_set_mtime(archive.get(), static_cast<zip_uint64_t>(added), kEntryTime, 0);
        }
        // zip_close writes a new archive beside the old one and renames it into place.
        if (zip_close(archive.get()) != 0)
            return Fail("Cannot write " + BasesPath(folder_) + ": " + zip_strerror(archive.get()));
        archive.release();
        pendingBases_.clear();
    }

    nlohmann::ordered_json files = nlohmann::ordered_json::object();
    for (const auto& [relative, entry] : entries_)
        files[relative] = {{"control", entry.control}, {"hash", entry.hash}};
    nlohmann::ordered_json document = {{"version", 1}, {"files", std::move(files)}};
    if (!WriteTextFile(folder_ + "/" + std::string(kManifestFile), document.dump(1) + "\n", false, "utf-8"))
        return false;
    changed_ = false;
    return true;
}

}  // namespace velmora
