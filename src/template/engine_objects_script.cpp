#include "template/engine_objects_script.h"

#include <functional>
#include <utility>

#include "model/agp.h"
#include "model/settings_file.h"
#include "schema/schema_reader.h"
#include "support/status.h"
#include "support/text.h"
#include "template/file_cache.h"
#include "template/parser.h"
#include "template/script_xml.h"

namespace velmora {

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
    return nullptr;
}

}  // namespace velmora
