// The root object's extension operations.
#include <exception>
#include <string>
#include <vector>

#include "model/project/agp.h"
#include "model/extensions/ext_definition.h"
#include "model/extensions/extensions.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

bool Failure(const std::string& text) { return Fail(ProductMessage(text)); }

std::string NoSetting(std::string_view ext, std::string_view att) {
    return "Extension " + Quoted(ext) + " has no setting " + Quoted(att) + ".";
}

std::shared_ptr<AGPExtension> FindExtension(std::string_view name) {
    auto ext = Extensions().Find(name);
    if (!ext) Failure("Extension " + Quoted(name) + " does not exist.");
    return ext;
}

template <class List>
auto FindOrAdd(List& list, const std::string& name) {
    if (!list.Find(name)) list.Add(name);
    return list.Find(name);
}

// The bags of one extension, each nullptr (with ProjErr set) when missing.
std::shared_ptr<AGProperties> ProjBag(std::string_view ext, std::string_view att) {
    auto extension = FindExtension(ext);
    if (!extension) return nullptr;
    if (!extension->PROJ()) {
        Failure(NoSetting(ext, att));
        return nullptr;
    }
    return extension->PROJ()->Properties();
}

std::shared_ptr<AGPExtDb> ExtDatabase(std::string_view ext) {
    auto extension = FindExtension(ext);
    if (!extension) return nullptr;
    // The settings of the project's main database are the first (and only) entry.
    auto proj = extension->PROJ();
    auto db = proj ? proj->DB()->Items() : std::vector<std::shared_ptr<AGPExtDb>>{};
    if (db.empty()) {
        Failure("Extension " + Quoted(ext) + " has no settings for the database.");
        return nullptr;
    }
    return db.front();
}

std::shared_ptr<AGPExtTable> ExtTable(std::string_view ext, std::string_view tbl) {
    auto db = ExtDatabase(ext);
    if (!db) return nullptr;
    auto table = db->Tables()->Find(tbl);
    if (!table) Failure("Extension " + Quoted(ext) + " has no settings for table " + Quoted(tbl) + ".");
    return table;
}

std::shared_ptr<AGPExtField> ExtField(std::string_view ext, std::string_view tbl, std::string_view fld) {
    auto table = ExtTable(ext, tbl);
    if (!table) return nullptr;
    auto field = table->Fields()->Find(fld);
    if (!field)
        Failure("Extension " + Quoted(ext) + " has no settings for field " + Quoted(fld) + " of table " +
                Quoted(tbl) + ".");
    return field;
}

bool SetSetting(const std::shared_ptr<AGProperties>& bag, std::string_view ext, std::string_view att,
                const Variant& val) {
    if (!bag) return false;
    std::size_t pos = bag->IndexOf(att);
    if (pos == AGProperties::npos) return Failure(NoSetting(ext, att));
    bag->SetValueAt(pos, ConvertTo(val, bag->RowAt(pos).dataType));
    return true;
}

Variant GetSetting(const std::shared_ptr<AGProperties>& bag, std::string_view ext, std::string_view att) {
    if (!bag) return {};
    std::size_t pos = bag->IndexOf(att);
    if (pos == AGProperties::npos) {
        Failure(NoSetting(ext, att));
        return {};
    }
    return bag->ValueAt(pos);
}

// Settings of every level the definition declares: the project, the database, then each loaded
// table with its fields.
void CreateSettings(AGP& project, const std::string& name, AGPExtension& ext, const ExtDefinition& def) {
    XmlNode projNode = def.Node(ExtLevel::Project);
    if (!projNode) return;
    auto schema = ExtSchemaOf(project);
    auto source = ExtConditionSource(project, schema);

    auto proj = ext.CreatePROJ();
    if (ExtNodeHolds(projNode, source)) AddExtSettings(*proj->Properties(), projNode);

    std::string dbName = schema ? schema->DatabaseName() : std::string();
    XmlNode dbNode = def.Node(ExtLevel::Database);
    if (!dbNode || dbName.empty()) return;
    auto db = FindOrAdd(*proj->DB(), dbName);
    if (ExtNodeHolds(dbNode, source)) AddExtSettings(*db->Properties(), dbNode);

    XmlNode tableNode = def.Node(ExtLevel::Table);
    XmlNode fieldNode = def.Node(ExtLevel::Field);
    for (const std::string& table : schema->LoadedTables()) {
        if (tableNode && schema->MakeCurrent(table, {}) && ExtNodeHolds(tableNode, source))
            AddExtSettings(*FindOrAdd(*db->Tables(), table)->Properties(), tableNode);
        if (!fieldNode) continue;
        for (const std::string& field : schema->FieldNames(table))
            project.AddExtendedField(name, table, field, fieldNode);
    }
}

bool AddExtensionFrom(AGP& project, std::string_view sName, std::string_view sTemplate, std::string_view sXmlFile,
                      const std::vector<std::string_view>& folders, bool viewTemplate) {
    std::string name = Trim(sName);
    if (name.empty()) return Failure("Extension name is empty.");
    AGPExtensions& list = Extensions();
    if (list.Find(name)) return Failure("Extension " + Quoted(name) + " already exists.");

    // A definition file marks the extension's folder; without one, the package does.
    std::string folder = LocateExtensionFolder(folders, sXmlFile.empty() ? sTemplate : sXmlFile);
    list.Add(name);
    auto ext = list.Find(name);
    ext->SetTemplate(std::string(sTemplate));
    ext->SetFolder(folder);
    ext->SetXmlFile(std::string(sXmlFile));
    ext->SetEnabled(true);
    ext->SetIsViewTemplate(viewTemplate);
    if (sXmlFile.empty()) return true;

    if (folder.empty()) {
        Failure("Definition file " + Quoted(sXmlFile) + " of extension " + Quoted(name) +
                " not found. The extension has no settings.");
        return true;
    }
    std::string path = ExtensionFilePath(folder, sXmlFile);
    ExtDefinition def;
    if (!def.Load(path)) {
        Failure("Unable to load definition file " + Quoted(path) + " of extension " + Quoted(name) + " (" +
                def.Error().reason + "). The extension has no settings.");
        return true;
    }
    std::string package = def.PackageFile();
    if (!package.empty()) ext->SetTemplate(package);
    CreateSettings(project, name, *ext, def);
    return true;
}

}  // namespace

std::shared_ptr<AGPExtensions> AGP::Extensions() const { return SharedExtensions(); }

bool AGP::AddExtension(std::string_view sName, std::string_view sTemplate, std::string_view sXmlFile) {
    try {
        return AddExtensionFrom(*this, sName, sTemplate, sXmlFile, {kExtSourceFolder, kExtSourceFolder2}, false);
    } catch (const std::exception& e) {
        return Failure(e.what());
    }
}

bool AGP::AddViewTemplateExtension(std::string_view sName, std::string_view sTemplate, std::string_view sXmlFile) {
    try {
        return AddExtensionFrom(*this, sName, sTemplate, sXmlFile, {kExtViewTagsFolder}, true);
    } catch (const std::exception& e) {
        return Failure(e.what());
    }
}

Variant AGP::GetExtDefault(std::string_view sExtName, std::string_view sNodeType, std::string_view sAttName) {
    auto ext = FindExtension(sExtName);
    if (!ext || ext->Folder().empty() || ext->XmlFile().empty()) return {};
    ExtDefinition def;
    if (!def.Load(ExtensionFilePath(ext->Folder(), ext->XmlFile()))) return {};
    XmlNode node = def.Node(ExtLevelFromName(ToLowerAscii(sNodeType)));
    if (!node) return {};
    return ExtSettingDefault(node, sAttName).value_or(Variant());
}

bool AGP::SetExtProjAtt(std::string_view sExtName, std::string_view sAttName, const Variant& val) {
    return SetSetting(ProjBag(sExtName, sAttName), sExtName, sAttName, val);
}

Variant AGP::GetExtProjAtt(std::string_view sExtName, std::string_view sAttName) {
    return GetSetting(ProjBag(sExtName, sAttName), sExtName, sAttName);
}

bool AGP::SetExtDbAtt(std::string_view sExtName, std::string_view sAttName, const Variant& val) {
    auto db = ExtDatabase(sExtName);
    return SetSetting(db ? db->Properties() : nullptr, sExtName, sAttName, val);
}

Variant AGP::GetExtDbAtt(std::string_view sExtName, std::string_view sAttName) {
    auto db = ExtDatabase(sExtName);
    return GetSetting(db ? db->Properties() : nullptr, sExtName, sAttName);
}

bool AGP::SetExtTblAtt(std::string_view sExtName, std::string_view sTblName, std::string_view sAttName,
                       const Variant& val) {
    auto table = ExtTable(sExtName, sTblName);
    return SetSetting(table ? table->Properties() : nullptr, sExtName, sAttName, val);
}

Variant AGP::GetExtTblAtt(std::string_view sExtName, std::string_view sTblName, std::string_view sAttName) {
    auto table = ExtTable(sExtName, sTblName);
    return GetSetting(table ? table->Properties() : nullptr, sExtName, sAttName);
}

bool AGP::SetExtFldAtt(std::string_view sExtName, std::string_view sTblName, std::string_view sFldName,
                       std::string_view sAttName, const Variant& val) {
    auto field = ExtField(sExtName, sTblName, sFldName);
    return SetSetting(field ? field->Properties() : nullptr, sExtName, sAttName, val);
}

Variant AGP::GetExtFldAtt(std::string_view sExtName, std::string_view sTblName, std::string_view sFldName,
                          std::string_view sAttName) {
    auto field = ExtField(sExtName, sTblName, sFldName);
    return GetSetting(field ? field->Properties() : nullptr, sExtName, sAttName);
}

bool AGP::AddExtendedField(std::string_view sExtName, std::string_view sTblName, std::string_view sFldName,
                           const XmlNode& fldnode) try {
    auto schema = ExtSchemaOf(*this);
    if (!schema || !schema->TableExists(sTblName))
        return Failure("Table " + Quoted(sTblName) + " does not exist.");
    if (!schema->FieldExists(sTblName, sFldName))
        return Failure("Field " + Quoted(sFldName) + " of table " + Quoted(sTblName) + " does not exist.");
    auto ext = FindExtension(sExtName);
    if (!ext) return false;
    std::string dbName = schema->DatabaseName();
    if (dbName.empty() || !schema->MakeCurrent(sTblName, sFldName))
        return Failure("Table " + Quoted(sTblName) + " does not exist.");

    auto source = ExtConditionSource(*this, schema);
    if (!ExtNodeHolds(fldnode, source)) return false;
    auto db = FindOrAdd(*ext->CreatePROJ()->DB(), dbName);
    auto table = FindOrAdd(*db->Tables(), std::string(sTblName));
    auto field = FindOrAdd(*table->Fields(), std::string(sFldName));
    AddExtSettings(*field->Properties(), fldnode);
    return true;
} catch (const std::exception& e) {
    // The schema is reached through an adapter; whatever it throws stays inside the engine.
    return Failure(e.what());
}

void AGP::AlignExtensions() {
    for (const auto& ext : Extensions()->Items()) {
        if (!ext->Enabled() || ext->Folder().empty() || ext->XmlFile().empty()) continue;
        ExtDefinition def;
        if (def.Load(ExtensionFilePath(ext->Folder(), ext->XmlFile()))) CreateSettings(*this, ext->Name(), *ext, def);
    }
}

bool AGP::DeleteExtension(std::string_view sName) {
    if (!Extensions()->Delete(Variant(std::string(sName))))
        return Failure("Extension " + Quoted(sName) + " does not exist.");
    return true;
}

}  // namespace velmora
