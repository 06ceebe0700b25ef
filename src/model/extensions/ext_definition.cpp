#include "model/extensions/ext_definition.h"

#include <array>
#include <utility>

#include "support/convert.h"
#include "support/text.h"

namespace velmora {
namespace {

struct LevelInfo {
    ExtLevel level;
    std::string_view name;
    std::string_view xpath;
};

constexpr std::array<LevelInfo, 5> kLevels = {{
    {ExtLevel::Project, "project", "//Project"},
    {ExtLevel::Database, "database", "//Project/Database"},
    {ExtLevel::Table, "table", "//Project/Database/Table"},
    {ExtLevel::Chart, "chart", "//Project/Database/Table/Chart"},
    {ExtLevel::Field, "field", "//Project/Database/Table/Field"},
}};

// The bag's spelling of a definition type name; unknown names are kept as written.
std::string PropertyTypeName(std::string_view type) {
    std::string trimmed = Trim(type);
    if (trimmed.empty()) return "String";
    for (std::string_view known : {"Boolean", "Integer", "Long", "Single", "Double", "String"})
        if (EqualsNoCase(trimmed, known)) return std::string(known);
    return trimmed;
}

std::vector<XmlNode> SettingNodes(XmlNode node) { return node.ChildrenNoCase("attribute"); }

}  // namespace

ExtLevel ExtLevelFromName(std::string_view nodeType) {
    for (const LevelInfo& info : kLevels)
        if (nodeType == info.name) return info.level;
    return ExtLevel::Project;
}

bool ExtDefinition::Load(const std::string& path) { return doc_.Load(path); }

std::string ExtDefinition::PackageFile() const {
    return Trim(doc_.DocumentNode().SelectSingleNode("//file").Text());
}

XmlNode ExtDefinition::Node(ExtLevel level) const {
    for (const LevelInfo& info : kLevels)
        if (info.level == level) return doc_.DocumentNode().SelectSingleNode(info.xpath);
    return {};
}

bool ExtNodeHolds(XmlNode node, ConditionSource& source) {
    return EvaluateCondition(node.GetAttributeNoCase("cond"), source);
}

void AddExtSettings(AGProperties& bag, XmlNode node) {
    for (XmlNode setting : SettingNodes(node)) {
        std::string name = Trim(setting.GetAttributeNoCase("name"));
        if (name.empty() || bag.Find(name)) continue;
        std::string type = PropertyTypeName(setting.GetAttributeNoCase("type"));
        bag.Add(name, type);
        std::string value = setting.GetAttributeNoCase("default");
        if (!value.empty()) bag.Find(name)->SetValue(ConvertTo(Variant(value), type));
    }
}

std::optional<Variant> ExtSettingDefault(XmlNode node, std::string_view name) {
    for (XmlNode setting : SettingNodes(node)) {
        if (!EqualsNoCase(Trim(setting.GetAttributeNoCase("name")), name)) continue;
        Variant value(setting.GetAttributeNoCase("default"));
        std::string type = setting.GetAttributeNoCase("type");
        return type.empty() ? value : ConvertTo(value, type);
    }
    return std::nullopt;
}

}  // namespace velmora
