// What earlier generations wrote into a destination folder: per file, the control that produced
// it and the hash of the bytes written, with those bytes kept as the base of a three-way merge
// when the user has edited the file since. Lives in the destination's ".velmora" folder, which
// the generated application never serves.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The folder below the destination, and the files in it.
inline constexpr std::string_view kManifestFolder = ".velmora";
inline constexpr std::string_view kManifestFile = "manifest.json";
inline constexpr std::string_view kManifestBases = "base.zip";

struct ManifestEntry {
    std::string control;
    std::string hash;
};

class GenerationManifest {
public:
    // Reads the destination's manifest; a missing one is empty. False, with the reason in
    // `error`, for one that cannot be read (it then starts empty, and is replaced on Save).
    bool Open(const std::string& destination, std::string& error);

    // Paths are relative to the destination, with "/" between folders.
    const ManifestEntry* Find(const std::string& relative) const;
    // `bytes` were written (or found identical on disk) for `relative`; text is kept as the base
    // of later merges.
    void Record(const std::string& relative, std::string_view control, std::string_view bytes);
    // The engine removed the file.
    void Forget(const std::string& relative);
    // The content last generated for the file; nullopt when none is kept (binary or too large).
    std::optional<std::string> Base(const std::string& relative);

    bool Changed() const { return changed_; }
    // Writes the manifest and the kept bases atomically. False, with ProjErr set, on failure.
    bool Save();

    const std::map<std::string, ManifestEntry>& Entries() const { return entries_; }

private:
    std::string folder_;
    std::map<std::string, ManifestEntry> entries_;
    // Bases recorded in this run, not yet saved; nullopt removes a kept base.
    std::map<std::string, std::optional<std::string>> pendingBases_;
    bool changed_ = false;
};

}  // namespace velmora
