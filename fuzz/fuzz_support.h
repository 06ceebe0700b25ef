// What the fuzz targets share: a check that stops the run, a private folder for their files and
// a way to hand the input to code that reads a file.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>

#include "support/status.h"

namespace velmora::fuzz {

inline void Check(bool condition) {
    if (!condition) std::abort();
}

// A folder of the run's own, made on first use and removed at exit. The settings stores and the
// user folder point into it, never at the user's, and status lines go nowhere.
inline const std::filesystem::path& PrivateFolder() {
    static const std::filesystem::path folder = [] {
        static std::filesystem::path made;
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-fuzz-XXXXXX").string();
        made = mkdtemp(pattern.data());
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(made, ec);
        });
        setenv("VELMORA_CONFIG_DIR", (made / "user").c_str(), 1);
        setenv("VELMORA_MACHINE_CONFIG", (made / "machine.json").c_str(), 1);
        setenv("VELMORA_USER_DIR", (made / "documents").c_str(), 1);
        SetStatusSink(std::make_shared<NullStatusSink>());
        return made;
    }();
    return folder;
}

// Writes the input as the whole content of `path`.
inline void WriteInput(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace velmora::fuzz
