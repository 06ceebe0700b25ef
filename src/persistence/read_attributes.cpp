#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "model/property_bag.h"
#include "model/settings_file.h"
#include "persistence/project_reader.h"
#include "persistence/read_context.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {

namespace {

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// The value a known entry receives; nullopt when nothing is stored.
std::optional<Variant> KnownValue(const AGProperty& entry, const std::string& value) {
    const std::string name = ToLowerAscii(entry.Name());
    if (name == "js") {
        if (value.empty() || !FileExists(value)) return std::nullopt;
        return ConvertToNumberOrBool(Variant(value), entry.DataType());
    }
    if (name == "fldtagvalues") return Variant(ReplaceAll(value, "|", "\r\n"));
    if (name == "ext") return Variant(value.empty() ? std::string("php") : value);
    if (name == "defaultpage") return Variant(value.empty() ? std::string("index.php") : value);
    return ConvertToNumberOrBool(Variant(value), entry.DataType());
}

}  // namespace

void ReadAttributes(const XmlNode& element, AGProperties& bag, bool projectLevel) {
    ReadAttributesExcept(element, bag, {}, projectLevel);
}

void ReadAttributesExcept(const XmlNode& element, AGProperties& bag, std::string_view nameAttribute,
                          bool projectLevel) {
    std::unique_ptr<AGPSettings> settings;
    for (const XmlAttribute& attribute : element.Attributes()) {
        if (!nameAttribute.empty() && EqualsNoCase(attribute.name, nameAttribute)) continue;
        if (auto entry = bag.Find(attribute.name)) {
            if (!entry->FileSave()) continue;
            if (auto value = KnownValue(*entry, attribute.value)) entry->SetValue(std::move(*value));
            continue;
        }
        std::string type = "String";
        if (projectLevel) {
            if (!settings) {
                // A missing custom-setting file only means no custom types; it is no load failure.
                std::string error = Engine().ProjErr;
                settings = std::make_unique<AGPSettings>();
                Engine().ProjErr = std::move(error);
            }
            std::string custom = settings->LoadSettingType("Project", attribute.name);
            if (!custom.empty()) type = custom;
        }
        if (!bag.Add(attribute.name, type, false, 0, true, true)) continue;
        bag.Find(attribute.name)->SetValue(ConvertTo(Variant(attribute.value), type));
    }
}

std::string GetAttr(const XmlNode& element, std::string_view name) { return element.GetAttributeNoCase(name); }

}  // namespace velmora
