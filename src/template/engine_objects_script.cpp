#include "template/engine_objects_script.h"

#include <functional>
#include <utility>
#include <vector>

#include "model/project/agp.h"
#include "model/project/settings_file.h"
#include "schema/schema_reader.h"
#include "support/status.h"
#include "support/text.h"
#include "template/file_cache.h"
#include "template/parser.h"
#include "template/script_xml.h"

namespace velmora {

namespace {

std::vector<std::pair<std::string, std::function<ObjectRef()>>>& AddedClasses() {
    static std::vector<std::pair<std::string, std::function<ObjectRef()>>> classes;
    return classes;
}

}  // namespace

void AddEngineObjectClass(std::string name, std::function<ObjectRef()> create) {
    AddedClasses().emplace_back(std::move(name), std::move(create));
}

ObjectRef CreateEngineObject(std::string_view className) {
    static const std::pair<std::string_view, std::function<ObjectRef()>> kClasses[] = {
        {"AGP", [] { return std::make_shared<AGP>(); }},
        {"AGPSchema", [] { return std::make_shared<AGPSchema>(); }},
        {"XmlDocument", [] { return std::make_shared<ScriptXmlDocument>(); }},
        {"AGParser", [] { return std::make_shared<AGParser>(); }},
        {"AGPFileCache", [] { return std::make_shared<AGPFileCache>(); }},
        {"AGPStatus", [] { return std::make_shared<ScriptObject<AGPStatus>>(); }},
        {"AGPSettings", [] { return std::make_shared<ScriptObject<AGPSettings>>(); }},
        {"cRegistry", [] { return std::make_shared<ScriptObject<RegistryRef>>(); }},
    };
    for (const auto& [name, make] : kClasses)
        if (EqualsNoCase(name, className)) return make();
    for (const auto& [name, make] : AddedClasses())
        if (EqualsNoCase(name, className)) return make();
    return nullptr;
}

}  // namespace velmora
