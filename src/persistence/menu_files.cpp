// Taking over the menu of a Corvantis project through a Menus document (menu.xml).
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/project/language.h"
#include "model/project/menus.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "persistence/project_reader.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/guid.h"
#include "support/text.h"
#include "support/text_file.h"

namespace velmora {

namespace {

constexpr std::string_view kMenuFileName = "menu.xml";
constexpr std::string_view kSiblingProduct = "Corvantis";

bool Failure(std::string_view text) { return Fail(ProductMessage(text)); }

std::string MenuAttributeText(const AGPMenu& item, std::string_view name) {
    Variant value = item.MenuAtt(name);
    if (value.Type() == VarType::Boolean) return value.AsBool() ? "1" : "0";
    return value.ToText();
}

// User-level security of the two projects must agree: a project that secures its pages with a
// default security list can only hand its menu to a project with the same list (or none set).
bool SecurityCompatible(const AGP& proj, const XmlNode& otherRoot) {
    std::string other = Trim(GetAttr(otherRoot.ChildNoCase("Database"), "SecDefault"));
    auto db = proj.DB();
    std::string own = db ? Trim(db->SecDefault()) : std::string();
    return other.empty() || own.empty() || EqualsNoCase(own, other);
}

bool TemplateLoads(const XmlNode& otherRoot) {
    std::string path = GetAttr(otherRoot, "Template");
    std::error_code ec;
    return path.empty() || std::filesystem::is_regular_file(path, ec);
}

XmlNode FindTable(const XmlNode& otherRoot, std::string_view name) {
    for (const XmlNode& table : otherRoot.ChildNoCase("Database").ChildrenNoCase("Table"))
        if (EqualsNoCase(GetAttr(table, "TblName"), name)) return table;
    return {};
}

// The Menus document: the other project's menu items with the security settings of the tables
// they open, and their menu phrases.
XmlDocument BuildMenuDocument(const XmlNode& otherRoot) {
    XmlDocument doc;
    doc.AddProcessingInstruction("xml", R"(version="1.0" encoding="UTF-8" standalone="yes")");
    XmlNode menus = doc.CreateDocumentElement("Menus");
    for (const XmlNode& node : otherRoot.ChildElements()) {
        std::string name = ToLowerAscii(node.NodeName());
        if (name == "menuphrase") {
            menus.AppendCopy(node);
            continue;
        }
        if (name != "menu") continue;
        XmlNode item = menus.AppendElement("Menu");
        for (std::string_view attribute : MenuAttributeNames()) item.SetAttribute(attribute, GetAttr(node, attribute));
        if (XmlNode table = FindTable(otherRoot, GetAttr(node, "MenuSource"))) {
            item.SetAttribute("TblAnonymous", GetAttr(table, "TblAnonymous"));
            item.SetAttribute("TblSecurity", GetAttr(table, "TblSecurity"));
        }
    }
    return doc;
}

std::int32_t HighestMenuId() {
    std::int32_t highest = 0;
    for (const auto& item : MenuList().Items()) highest = std::max(highest, item->MenuId());
    return highest;
}

// The table a menu item opens takes the security settings it had in the other project.
void ApplyTableSecurity(AGP& proj, const XmlNode& node, std::string_view source) {
    auto db = proj.DB();
    auto table = db && !source.empty() ? db->Tables()->Find(Variant(std::string(source))) : nullptr;
    if (!table) return;
    if (node.HasAttribute("TblAnonymous")) table->SetV("TblAnonymous", GetAttr(node, "TblAnonymous"));
    if (node.HasAttribute("TblSecurity")) table->SetV("TblSecurity", GetAttr(node, "TblSecurity"));
}

}  // namespace

bool LoadMenuFromXml(AGP& proj, std::string_view xmlFile) {
    XmlDocument doc;
    if (!doc.Load(std::string(xmlFile))) return Failure("Load menu file failed. " + doc.Error().reason);
    XmlNode root = doc.DocumentElement();
    if (root.NodeName() != "Menus") return Failure("Invalid menu file.");

    AGPMenus& list = MenuList();
    std::vector<std::pair<XmlNode, MenuValues>> items;
    std::map<std::int32_t, std::int32_t> newIds;  // id in the file -> id in this menu
    std::int32_t next = HighestMenuId();
    for (const XmlNode& node : root.ChildrenNoCase("Menu")) {
        AGPMenu item;
        item.Load(node);
        MenuValues values = item.Values();
        auto existing = values.MenuSource.empty() ? nullptr : list.GetItemByTableName(values.MenuSource);
        newIds[values.MenuId] = existing ? existing->MenuId() : ++next;
        items.emplace_back(node, values);
    }
    for (auto& [node, values] : items) {
        std::int32_t id = newIds[values.MenuId];
        auto parent = newIds.find(values.MenuParentId);
        values.MenuParentId = parent != newIds.end() ? parent->second : 0;
        values.MenuId = id;
        if (list.MenuHasID(id))
            list.ChangeMenu(values);
        else
            list.AddMenu(values);
        ApplyTableSecurity(proj, node, values.MenuSource);
    }
    AGPLanguage& language = Language();
    for (const XmlNode& node : root.ChildrenNoCase("MenuPhrase")) {
        auto id = ToLong(Variant(GetAttr(node, "MenuId")));
        if (!id || !newIds.count(*id)) continue;
        language.SetMenuPhrase(GetAttr(node, "LanguageId"), std::to_string(newIds[*id]), GetAttr(node, "MenuAttribute"),
                               GetAttr(node, "Phrase"));
    }
    list.Sort();
    return true;
}

bool SaveMenuToXml(std::string_view xmlFile) {
    XmlDocument doc;
    doc.AddProcessingInstruction("xml", R"(version="1.0" encoding="UTF-8" standalone="yes")");
    XmlNode root = doc.CreateDocumentElement("Menus");
    for (const auto& item : MenuList().Items()) {
        XmlNode node = root.AppendElement("Menu");
        for (std::string_view attribute : MenuAttributeNames())
            node.SetAttribute(attribute, MenuAttributeText(*item, attribute));
        root.AppendText("\r\n");
    }
    const AGPLanguage& language = Language();
    for (std::int32_t i = 1; i <= language.MenuCount(); ++i) {
        auto phrase = language.MenuItem(i);
        if (!phrase || phrase->Phrase.empty()) continue;
        XmlNode node = root.AppendElement("MenuPhrase");
        node.SetAttribute("LanguageId", phrase->LanguageId);
        node.SetAttribute("MenuId", phrase->MenuId);
        node.SetAttribute("MenuAttribute", phrase->MenuAttribute);
        node.SetAttribute("Phrase", phrase->Phrase);
        root.AppendText("\r\n");
    }
    if (!doc.Save(std::string(xmlFile))) return Failure("Save menu file failed. " + doc.Error().reason);
    return true;
}

bool LoadMenuFromProj(AGP& proj, std::string_view projFile) {
    const std::string path(projFile);
    XmlDocument doc;
    if (!doc.Load(path)) return Failure("Load project file failed.");
    XmlNode root = doc.DocumentElement();
    if (root.NodeName() != "Project") return Failure("Invalid project file.");
    std::string product = GetAttr(root, "Product");
    if (product != kSiblingProduct) return Failure("Incorrect product name '" + product + "' for project file");
    if (!root.ChildNoCase("Menu")) return Failure("No menu item exists for this project");
    if (!SecurityCompatible(proj, root)) return Failure("Incompatible user level security settings for this project");
    if (!TemplateLoads(root)) return Failure("Load template file failed.");

    if (GetAttr(root, "ProjID").empty()) {
        root.SetAttribute("ProjID", GetGUID());
        if (!WriteTextFile(path, doc.ToString(), false, "utf-8")) return false;
    }
    XmlDocument menus = BuildMenuDocument(root);
    std::filesystem::path menuPath = std::filesystem::path(path).parent_path() / kMenuFileName;
    if (!menus.Save(menuPath.string())) return Failure("Save menu file failed. " + menus.Error().reason);
    return LoadMenuFromXml(proj, menuPath.string());
}

}  // namespace velmora
