// Fuzz target: arbitrary bytes as a project file. Loading must end with a verdict in ProjErr and
// never crash; a load that succeeds leaves a main database behind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "model/project/agp.h"
#include "model/project/custom_scripts.h"
#include "model/extensions/extensions.h"
#include "model/project/language.h"
#include "model/project/menus.h"
#include "persistence/project_reader.h"
#include "fuzz_support.h"

using velmora::fuzz::Check;

namespace {

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = (velmora::fuzz::PrivateFolder() / "input.vlp").string();
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
