#include <memory>
#include <string>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/extensions/ext_definition.h"
#include "model/extensions/ext_objects.h"
#include "model/extensions/extensions.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "persistence/project_reader.h"
#include "persistence/read_extensions.h"
#include "support/engine_state.h"

namespace velmora {

namespace {

template <class List>
auto FindOrAdd(List& list, const std::string& name) {
    if (!list.Find(name)) list.Add(name);
    return list.Find(name);
}

std::shared_ptr<AGPExtension> CurrentExtension(const ReadContext& ctx) {
    return ctx.currentExtension.empty() ? nullptr : Extensions().Find(ctx.currentExtension);
}

// The node of a level in the extension's definition file; null when the file does not load.
XmlNode DefinitionNode(ReadContext& ctx, const AGPExtension& ext, ExtLevel level) {
    auto [it, added] = ctx.definitions.try_emplace(ctx.currentExtension);
    if (added && !ext.Folder().empty() && !ext.XmlFile().empty()) {
        auto def = std::make_unique<ExtDefinition>();
        if (def->Load(ExtensionFilePath(ext.Folder(), ext.XmlFile()))) it->second = std::move(def);
    }
    return it->second ? it->second->Node(level) : XmlNode();
}

// The extension's settings of the main database; nullptr while the project has no database.
std::shared_ptr<AGPExtDb> ExtDatabaseOf(ReadContext& ctx, AGPExtension& ext) {
    auto schema = ExtSchemaOf(ctx.proj);
    std::string dbName = schema ? schema->DatabaseName() : std::string();
    if (dbName.empty()) return nullptr;
    return FindOrAdd(*ext.CreatePROJ()->DB(), dbName);
}

void ReadExtension(ReadContext& ctx, const XmlNode& element) {
    std::string name = GetAttr(element, "Name");
    if (!name.empty() && !Extensions().Find(name)) {
        // A package that is not installed here keeps its settings from the file; that is no
        // reason to fail the load.
        std::string error = Engine().ProjErr;
        ctx.proj.AddExtension(name, GetAttr(element, "Template"), GetAttr(element, "XmlFile"));
        Engine().ProjErr = std::move(error);
    }
    auto ext = name.empty() ? nullptr : Extensions().Find(name);
    if (!ext) return;
    ReadAttributes(element, *ext->Properties());
    if (ext->Enabled())
        ext->CreatePROJ();
    else
        ext->ClearPROJ();
    std::string outer = ctx.currentExtension;
    auto outerTable = ctx.currentExtTable;
    ctx.currentExtension = ext->Name();
    ctx.currentExtTable.reset();
    ReadChildren(ctx, element);
    ctx.currentExtension = outer;
    ctx.currentExtTable = outerTable;
}

void ReadExtProject(ReadContext& ctx, const XmlNode& element) {
    auto ext = CurrentExtension(ctx);
    if (!ext) return;
    ReadAttributes(element, *ext->CreatePROJ()->Properties());
    ReadChildren(ctx, element);
}

void ReadExtDatabase(ReadContext& ctx, const XmlNode& element) {
    auto ext = CurrentExtension(ctx);
    if (!ext) return;
    if (auto db = ExtDatabaseOf(ctx, *ext)) ReadAttributes(element, *db->Properties());
    ReadChildren(ctx, element);
}

void ReadExtTable(ReadContext& ctx, const XmlNode& element) {
    auto ext = CurrentExtension(ctx);
    auto db = ctx.proj.DB();
    std::string tableName = GetAttr(element, "TblName");
    if (!ext || !db || !db->Tables()->TableExist(Variant(tableName))) return;
    auto extDb = ExtDatabaseOf(ctx, *ext);
    if (!extDb) return;
    auto extTable = FindOrAdd(*extDb->Tables(), tableName);
    if (XmlNode node = DefinitionNode(ctx, *ext, ExtLevel::Table)) AddExtSettings(*extTable->Properties(), node);
    ReadAttributesExcept(element, *extTable->Properties(), "TblName");
    auto outer = ctx.currentExtTable;
    ctx.currentExtTable = extTable;
    ReadChildren(ctx, element);
    ctx.currentExtTable = outer;
}

void ReadExtField(ReadContext& ctx, const XmlNode& element) {
    auto ext = CurrentExtension(ctx);
    auto db = ctx.proj.DB();
    if (!ext || !db || !ctx.currentExtTable) return;
    auto table = db->Tables()->Find(Variant(ctx.currentExtTable->TblName()));
    std::string fieldName = GetAttr(element, "FldName");
    if (!table || !table->Fields()->FieldExist(Variant(fieldName))) return;
    auto extField = FindOrAdd(*ctx.currentExtTable->Fields(), fieldName);
    if (XmlNode node = DefinitionNode(ctx, *ext, ExtLevel::Field)) AddExtSettings(*extField->Properties(), node);
    ReadAttributesExcept(element, *extField->Properties(), "FldName");
}

}  // namespace

bool ReadExtensionElement(ReadContext& ctx, std::string_view lowerName, const XmlNode& element) {
    if (lowerName == "extension")
        ReadExtension(ctx, element);
    else if (lowerName == "extproject")
        ReadExtProject(ctx, element);
    else if (lowerName == "extdatabase")
        ReadExtDatabase(ctx, element);
    else if (lowerName == "exttable")
        ReadExtTable(ctx, element);
    else if (lowerName == "extfield")
        ReadExtField(ctx, element);
    else
        return false;
    return true;
}

}  // namespace velmora
