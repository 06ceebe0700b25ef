#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/project/engine_objects.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/project/keyword.h"
#include "model/project/menus.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "persistence/parse_error_text.h"
#include "persistence/project_reader.h"
#include "persistence/read_context.h"
#include "persistence/related_project.h"
#include "support/config_paths.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/guid.h"
#include "support/settings_store.h"
#include "support/status.h"
#include "support/text.h"

namespace velmora {

namespace {

constexpr std::string_view kProjectExtension = "vlp";

// The text after the last "." of the file name; "" when it has none.
std::string FileExtension(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string EngineMajorMinor() { return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor); }

// Files from before FldDbDefault existed: every field gets it, empty, so that the user's default
// does not stand for the database's.
void BackFillFldDbDefault(const XmlNode& root) {
    std::vector<XmlNode> fields;
    for (const XmlNode& db : root.ChildrenNoCase("Database"))
        for (const XmlNode& table : db.ChildrenNoCase("Table"))
            for (const XmlNode& field : table.ChildrenNoCase("Field")) fields.push_back(field);
    if (fields.empty() || fields.front().HasAttributeNoCase("FldDbDefault")) return;
    for (XmlNode& field : fields) field.SetAttribute("FldDbDefault", "");
}

// The menu of the same file, read from the parsed document rather than parsed again.
void LoadMenusFrom(const XmlNode& root) {
    if (ToLowerAscii(root.BaseName()) != "project") return;
    AGPMenus& menus = MenuList();
    menus.Clear();
    std::string error = Engine().ProjErr;
    for (const XmlNode& node : root.ChildElements()) {
        if (ToLowerAscii(node.NodeName()) != "menu") continue;
        AGPMenu item;
        item.Load(node);
        menus.AddMenu(item.Values());
    }
    Engine().ProjErr = std::move(error);
}

void LoadKeywords() {
    std::string error = Engine().ProjErr;
    Keywords().Load(GetConfigPath("Keyword"));
    Engine().ProjErr = std::move(error);
}

void UpgradeSettings(AGP& proj) {
    AGProperties& bag = *proj.Properties();
    if (proj.SmtpServer().empty()) {
        proj.SetSmtpServer("localhost");
        proj.SetSmtpServerPort(25);
    }
    if (auto brand = bag.Find("ThemeBrandPrimary")) {
        std::string value = brand->Value().ToText();
        if (value.size() == 7 && value[0] == '#')
            brand->SetValue(Variant("darken(" + ToLowerAscii(value) + ", 6.5%)"));
    }
    for (const char* name : {"ThemeTableHeaderBackColorFrom", "ThemeTableHeaderBackColorTo"})
        if (bag.Find(name)) bag.Delete(Variant(std::string(name)));
    auto margin = bag.Find("ThemeFormGroupMarginBottom");
    if (!margin || margin->Value().ToText().empty()) proj.SetV("ThemeFormGroupMarginBottom", Variant("15"));
}

void ApplyDerivedSettings(AGP& proj) {
    // A package shipped with the engine may be named without its path ("default").
    if (FindTemplatePackage(proj.Template()).empty())
        proj.SetTemplate(GetRegValue("HKCU", SettingsSection("Project"), "Template").ToText());
    EngineState& engine = Engine();
    engine.sqlQuote = proj.SQLQuote();
    engine.defaultDateFormat = ToInteger(Variant(proj.DefaultDateFormat())).value_or(0);
    auto db = proj.DB();
    engine.dbmsName = db ? db->DBDBMSName() : std::string();
    engine.databaseKind = DbKindOf(engine.dbmsName);
    SetDbQuotes(engine.dbmsName);
    engine.secDefault = db ? db->SecDefault() : std::string();
}

void RebuildTableKeys(AGPDatabase& db) {
    for (const auto& table : db.Tables()->Items()) {
        std::vector<std::string> keys;
        for (const auto& field : table->Fields()->Items())
            if (field->FldIsPrimaryKey()) keys.push_back(field->FldName());
        table->SetTblKey(SortKeyList(std::move(keys)));
    }
}

// The steps after the document has parsed; false ends the load with ProjErr as it is.
bool ReadDocument(AGP& proj, XmlDocument& doc, const std::string& path, bool sync) {
    XmlNode root = doc.DocumentElement();
    BackFillFldDbDefault(root);
    std::string version = GetAttr(root, "Version");

    std::string extension = FileExtension(path);
    if (!extension.empty() && ToLowerAscii(extension) != kProjectExtension)
        return Fail(ProductMessage("Unable to convert project file from '" + extension + "' to '" +
                                   std::string(kProjectExtension) + "'."));
    // An older file has no converter to pass through: it is read as it is.
    if (CompareVersion(version, EngineMajorMinor()) == 2)
        return Fail(ProductMessage("Project file version (" + version + ") newer than software (" +
                                   EngineMajorMinor() + ")! Please check!"));

    LoadMenusFrom(root);
    LoadKeywords();
    if (root.NodeName() != "Project") return Fail(ProductMessage("Invalid Project File!"));

    ReadContext ctx(proj);
    AGPStatus status;
    ctx.status = &status;
    if (XmlNode db = root.ChildNoCase("Database")) ctx.databaseElementCount = static_cast<int>(db.ChildElements().size());
    if (ctx.databaseElementCount > 0) status.ShowStatus(proj.hwnd(), "Loading Project File...");

    ReadAttributes(root, *proj.Properties(), true);
    UpgradeSettings(proj);
    proj.SetProjVar(MakeVarName(proj.ProjName(), ""));
    UpdateRelatedProjectVersion(proj);
    ReadChildren(ctx, root);
    // Reading the elements has no failure of its own: a duplicate a collection refused is skipped,
    // and the text it may leave behind is no verdict on the file.
    Engine().ProjErr.clear();
    status.CloseStatus();

    Engine().projectDirty = false;
    if (proj.ProjID().empty()) proj.SetProjID(GetGUID());
    FillRelatedProjectId(proj);
    ApplyDerivedSettings(proj);

    auto db = proj.DB();
    if (!db) return Fail(ProductMessage("No Database Information in Project File!"));
    RebuildTableKeys(*db);
    if (proj.AutoSync() && sync) CheckProjectAgainstSchema(proj);
    SyncMenuWithTables(proj);
    if (Engine().ProjErr.empty()) proj.AlignExtensions();
    return true;
}

}  // namespace

bool Load(AGP& proj, std::string_view projFile, bool sync) {
    Engine().ProjErr.clear();
    SettingsSnapshot settings;
    try {
        proj.LoadDefault();
        const std::string path(projFile);
        XmlDocument doc;
        if (!doc.Load(path)) {
            const XmlParseError& error = doc.Error();
            if (error.line > 0)
                return Fail(ProductMessage("Load project file failed! " + ParseErrorText(error)));
            return Fail(ProductMessage("Load Project File failed! " + error.reason));
        }
        if (!ReadDocument(proj, doc, path, sync)) return false;
        // Relative paths in the project (its database file, its destination) are the project's.
        std::error_code ec;
        std::filesystem::path absolute = std::filesystem::absolute(path, ec);
        Engine().currentProjectFile = ec ? path : absolute.lexically_normal().string();
        return true;
    } catch (const std::exception& e) {
        return Fail(ProductMessage(std::string("Load Project File failed! ") + e.what()));
    }
}

}  // namespace velmora
