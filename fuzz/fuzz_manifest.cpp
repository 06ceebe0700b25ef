// Fuzz target: arbitrary bytes as a destination's generation manifest. Opening it either reads
// entries or reports why it cannot; saving what was read and opening that again gives the same
// entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "generation/manifest.h"
#include "fuzz_support.h"

using velmora::fuzz::Check;

namespace {

const std::filesystem::path& Destination() { return velmora::fuzz::PrivateFolder(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path folder = Destination() / velmora::kManifestFolder;
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder, ec);
    {
        std::ofstream out(folder / velmora::kManifestFile, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    velmora::GenerationManifest manifest;
    std::string error;
    if (!manifest.Open(Destination().string(), error)) {
        Check(!error.empty());
        Check(manifest.Entries().empty());
        return 0;
    }
    for (const auto& [path, entry] : manifest.Entries()) (void)manifest.Base(path);
    manifest.Record("fuzz.php", "page", "<?php\n");
    Check(manifest.Save());
    velmora::GenerationManifest reread;
    Check(reread.Open(Destination().string(), error));
    Check(reread.Entries().size() == manifest.Entries().size());
    for (const auto& [path, entry] : manifest.Entries()) {
        const velmora::ManifestEntry* again = reread.Find(path);
        Check(again && again->control == entry.control && again->hash == entry.hash);
    }
    return 0;
}
