// Fuzz target: arbitrary bytes as a destination's generation manifest. Opening it either reads
// entries or reports why it cannot; saving what was read and opening that again gives the same
// entries.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "generation/manifest.h"
#include "fuzz_support.h"

using velmora::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path& destination = velmora::fuzz::PrivateFolder();
    const std::filesystem::path folder = destination / velmora::kManifestFolder;
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder, ec);
    velmora::fuzz::WriteInput(folder / velmora::kManifestFile, data, size);
    velmora::GenerationManifest manifest;
    std::string error;
    if (!manifest.Open(destination.string(), error)) {
        Check(!error.empty());
        Check(manifest.Entries().empty());
        return 0;
    }
    for (const auto& [path, entry] : manifest.Entries()) (void)manifest.Base(path);
    manifest.Record("fuzz.php", "page", "<?php\n");
    Check(manifest.Save());
    velmora::GenerationManifest reread;
    Check(reread.Open(destination.string(), error));
    Check(reread.Entries().size() == manifest.Entries().size());
    for (const auto& [path, entry] : manifest.Entries()) {
        const velmora::ManifestEntry* again = reread.Find(path);
        Check(again && again->control == entry.control && again->hash == entry.hash);
    }
    return 0;
}
