// What the fuzz targets share: a check that stops the run, and a private folder for their files.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
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

}  // namespace velmora::fuzz
