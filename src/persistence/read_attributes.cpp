#include <algorithm>
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

// Stores the text read for a known entry. Most entries of a file hold their defaults: an entry that
// holds the text already is left as it is.
void StoreKnownValue(AGProperties& bag, std::size_t pos, std::string_view text) {
    const PropertyRow& entry = bag.RowAt(pos);
    const std::string& name = entry.name;
    // The special names are ASCII and 2, 3, 11 or 12 bytes long; most names are neither.
    const std::size_t size = name.size();
    const bool maybeSpecial = size == 2 || size == 3 || size == 11 || size == 12 ||
        std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (maybeSpecial) {
        if (EqualsNoCase(name, "js")) {
            if (text.empty() || !FileExists(std::string(text))) return;
        } else if (EqualsNoCase(name, "fldtagvalues")) {
            return bag.SetValueAt(pos, Variant(ReplaceAll(text, "|", "\r\n")));
        } else if (EqualsNoCase(name, "ext")) {
            return bag.SetValueAt(pos, Variant(text.empty() ? std::string_view("php") : text));
        } else if (EqualsNoCase(name, "defaultpage")) {
            return bag.SetValueAt(pos, Variant(text.empty() ? std::string_view("index.php") : text));
        }
    }
    if (!IsNumberOrBoolType(entry.dataType)) {
        const Variant& current = bag.ValueAt(pos);
        if (current.Type() == VarType::String && current.AsString() == text) return;
        return bag.SetValueAt(pos, Variant(text));
    }
    bag.SetValueAt(pos, ConvertTextToNumberOrBool(text, entry.dataType));
}

}  // namespace

void ReadAttributes(const XmlNode& element, AGProperties& bag, bool projectLevel) {
    ReadAttributesExcept(element, bag, {}, projectLevel);
}

void ReadAttributesExcept(const XmlNode& element, AGProperties& bag, std::string_view nameAttribute,
                          bool projectLevel) {
    std::unique_ptr<AGPSettings> settings;
    std::size_t expected = 0;
    element.ForEachAttribute([&](std::string_view name, std::string_view text) {
        if (!nameAttribute.empty() && EqualsNoCase(name, nameAttribute)) return;
        if (std::size_t pos = bag.IndexOf(name, expected); pos != AGProperties::npos) {
            expected = pos + 1;
            if (bag.RowAt(pos).fileSave) StoreKnownValue(bag, pos, text);
            return;
        }
        std::string type = "String";
        if (projectLevel) {
            if (!settings) {
                // A missing custom-setting file only means no custom types; it is no load failure.
                std::string error = Engine().ProjErr;
                settings = std::make_unique<AGPSettings>();
                Engine().ProjErr = std::move(error);
            }
            std::string custom = settings->LoadSettingType("Project", name);
            if (!custom.empty()) type = custom;
        }
        if (!bag.Add(name, type, false, 0, true, true)) return;
        bag.SetValueAt(bag.Size() - 1, ConvertTo(Variant(text), type));
    });
}

std::string GetAttr(const XmlNode& element, std::string_view name) { return element.GetAttributeNoCase(name); }

}  // namespace velmora
