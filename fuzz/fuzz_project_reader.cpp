// Fuzz target: arbitrary bytes as a project file. Loading must end with a verdict in ProjErr and
// never crash; a load that succeeds leaves a main database behind.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/project/agp.h"
#include "model/project/custom_scripts.h"
#include "model/extensions/extensions.h"
#include "model/project/language.h"
#include "model/project/menus.h"
#include "persistence/project_reader.h"
#include "fuzz_support.h"

using velmora::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = (velmora::fuzz::PrivateFolder() / "input.vlp").string();
    velmora::fuzz::WriteInput(path, data, size);
    velmora::Extensions().Clear();
    velmora::MenuList().Clear();
    velmora::CustomScripts().Clear();
    velmora::Language().ClearTranslations();
    velmora::AGP proj;
    bool loaded = velmora::Load(proj, path, false);
    Check(loaded == proj.ProjErr().empty());
    Check(!loaded || proj.DB());
    return 0;
}
