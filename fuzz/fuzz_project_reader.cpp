// Fuzz target: arbitrary bytes as a project file. Loading must end with a verdict in ProjErr and
// never crash; a load that succeeds leaves a main database behind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <unistd.h>

#include "model/project/agp.h"
#include "model/project/custom_scripts.h"
#include "model/extensions/extensions.h"
#include "model/project/language.h"
#include "model/project/menus.h"
#include "persistence/project_reader.h"
#include "support/status.h"

namespace {

std::filesystem::path& MadeFolder() {
    static std::filesystem::path made;
    return made;
}

void RemoveWorkFolder() {
    std::error_code ec;
    std::filesystem::remove_all(MadeFolder(), ec);
}

// The settings stores and the input file live in a private folder, never in the user's.
const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-fuzz-XXXXXX").string();
        std::filesystem::path made = mkdtemp(pattern.data());
        MadeFolder() = made;
        std::atexit(RemoveWorkFolder);
        setenv("VELMORA_CONFIG_DIR", (made / "user").c_str(), 1);
        setenv("VELMORA_MACHINE_CONFIG", (made / "machine.json").c_str(), 1);
        setenv("VELMORA_USER_DIR", (made / "documents").c_str(), 1);
        velmora::SetStatusSink(std::make_shared<velmora::NullStatusSink>());
        return made;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = (WorkFolder() / "input.vlp").string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    velmora::Extensions().Clear();
    velmora::MenuList().Clear();
    velmora::CustomScripts().Clear();
    velmora::Language().ClearTranslations();
    velmora::AGP proj;
    bool loaded = velmora::Load(proj, path, false);
    if (loaded != proj.ProjErr().empty()) std::abort();
    if (loaded && !proj.DB()) std::abort();
    return 0;
}
