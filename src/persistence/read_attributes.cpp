#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include "model/core/property_bag.h"
#include "model/project/settings_file.h"
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

// The entries the reader treats specially, compared without regard to case.
enum class SpecialEntry { None, Script, TagValues, Extension, DefaultPage };

SpecialEntry SpecialEntryOf(std::string_view name) {
    static constexpr std::pair<std::string_view, SpecialEntry> kSpecial[] = {
        {"js", SpecialEntry::Script},
        {"fldtagvalues", SpecialEntry::TagValues},
        {"ext", SpecialEntry::Extension},
        {"defaultpage", SpecialEntry::DefaultPage}};
    // Case folding keeps an ASCII name's length: only another name needs comparing whatever its length.
    const bool ascii = IsAscii(name);
    for (const auto& [special, entry] : kSpecial)
        if ((!ascii || name.size() == special.size()) && EqualsNoCase(name, special)) return entry;
    return SpecialEntry::None;
}

// Stores the text read for a known entry.
void StoreKnownValue(AGProperties& bag, std::size_t pos, std::string_view text) {
    const PropertyRow& entry = bag.RowAt(pos);
    switch (SpecialEntryOf(entry.name)) {
        case SpecialEntry::Script:
            if (text.empty() || !FileExists(std::string(text))) return;
            break;
        case SpecialEntry::TagValues: return bag.SetValueAt(pos, Variant(ReplaceAll(text, "|", "\r\n")));
        case SpecialEntry::Extension:
            return bag.SetValueAt(pos, Variant(text.empty() ? std::string_view("php") : text));
        case SpecialEntry::DefaultPage:
            return bag.SetValueAt(pos, Variant(text.empty() ? std::string_view("index.php") : text));
        case SpecialEntry::None: break;
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
