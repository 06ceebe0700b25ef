// Unloading tables and the database, reports built on a table, and copying settings between
// tables and fields.
#include <vector>

#include "model/project/agp.h"
#include "model/project/custom_scripts.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/extensions/ext_objects.h"
#include "model/extensions/extensions.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/project/language.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "model/core/property_bag.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "schema/derived_steps.h"
#include "schema/derived_tables.h"
#include "schema/load_steps.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "support/text.h"

namespace velmora {
namespace {

constexpr std::string_view kFieldIdentity[] = {"FldSeq", "FldName"};

void CopyTablePhrases(std::string_view source, std::string_view target) {
    AGPLanguage& language = Language();
    std::vector<AGTablePhrase> phrases;
    for (std::int32_t i = 1; i <= language.TableCount(); ++i)
        if (auto phrase = language.TableItem(i); phrase && EqualsNoCase(phrase->TableName, source))
            phrases.push_back(*phrase);
    for (const AGTablePhrase& phrase : phrases)
        language.SetTablePhrase(phrase.LanguageId, target, phrase.TableAttribute, phrase.Phrase);
}

void CopyFieldPhrases(std::string_view sourceTable, std::string_view sourceField, std::string_view targetTable,
                      std::string_view targetField) {
    AGPLanguage& language = Language();
    std::vector<AGFieldPhrase> phrases;
    for (std::int32_t i = 1; i <= language.FieldCount(); ++i)
        if (auto phrase = language.FieldItem(i);
            phrase && EqualsNoCase(phrase->TableName, sourceTable) && EqualsNoCase(phrase->FieldName, sourceField))
            phrases.push_back(*phrase);
    for (const AGFieldPhrase& phrase : phrases)
        language.SetFieldPhrase(phrase.LanguageId, targetTable, targetField, phrase.FieldAttribute, phrase.Phrase);
}

std::shared_ptr<AGPTable> FindTable(AGP& project, std::string_view name) {
    return project.DB() ? project.DB()->Tables()->Find(Variant(std::string(name))) : nullptr;
}

void CopyField(AGPField& source, std::string_view sourceTable, AGPField& target, std::string_view targetTable) {
    CopyPropertyValues(*source.Properties(), *target.Properties(), FieldSchemaProperties());
    CopyFieldPhrases(sourceTable, source.FldName(), targetTable, target.FldName());
}

}  // namespace

bool UnLoadTable(AGP& project, std::string_view sTableName) {
    if (!project.DB()) return Fail(ProductMessage("Database not loaded!"));
    std::string name(sTableName);
    auto table = FindTable(project, name);
    if (!table) return Fail(ProductMessage("Table " + name + " not found!"));
    if (!table->TblLoaded()) return Fail(ProductMessage("Table " + name + " not loaded!"));
    AGPStatus status;
    status.ShowStatus(project.hwnd(), StatusLine("Unloading " + name));
    status.DispStatus("Please wait...");
    auto fields = table->Fields();
    while (fields->Count() > 0) fields->Delete(table->TblName(), Variant(std::int32_t{1}));
    table->SetTblGen(false);
    table->SetTblLoaded(false);
    SyncMenuWithTables(project);
    status.CloseStatus();
    Engine().ProjErr.clear();
    return true;
}

bool LoadReport(AGP& project, std::string_view sTableName, std::string_view sFromTableName) {
    if (!project.DB()) return Fail(ProductMessage("Database not loaded!"));
    std::string name(sTableName);
    std::string from(sFromTableName);
    auto source = FindTable(project, from);
    if (!source || !source->TblLoaded()) return Fail(ProductMessage("Table/View " + from + " not exist or loaded!"));
    auto tables = project.DB()->Tables();
    if (tables->TableExist(Variant(name))) return Fail(ProductMessage("Table/View " + name + " already exists!"));
    AGPStatus status;
    status.ShowStatus(project.hwnd(), StatusLine("Loading " + name));
    status.DispStatus("Please wait...");
    LoadKeywords();
    tables->Add(name);
    auto report = tables->Find(Variant(name));
    report->SetTblType("REPORT");
    report->LoadTableDefault();
    report->SetTblRptSrc(source->TblName());
    auto fields = report->Fields();
    for (const auto& sourceField : source->Fields()->Items()) {
        fields->Add(name, sourceField->FldName());
        auto field = fields->Find(Variant(sourceField->FldName()));
        CopyPropertyValues(*sourceField->Properties(), *field->Properties(), kFieldIdentity, true);
        field->SetFldVar(MakeVarName(field->FldName(), "x_"));
    }
    report->SetTblKey(source->TblKey());
    report->SetTblGen(true);
    report->SetTblLoaded(true);
    SyncMenuWithTables(project);
    status.CloseStatus();
    Engine().ProjErr.clear();
    return true;
}

bool CopyTableSettings(AGP& project, std::string_view SourceTable, std::string_view TargetTable) {
    auto source = FindTable(project, SourceTable);
    auto target = FindTable(project, TargetTable);
    if (!source) return Fail(ProductMessage("Table " + std::string(SourceTable) + " not found!"));
    if (!target) return Fail(ProductMessage("Table " + std::string(TargetTable) + " not found!"));
    if (source == target) return Fail(ProductMessage("Source and target table are the same!"));
    CopyPropertyValues(*source->Properties(), *target->Properties(), TableSchemaProperties());
    auto targetFields = target->Fields();
    for (const auto& field : source->Fields()->Items())
        if (auto namesake = targetFields->Find(Variant(field->FldName())))
            CopyField(*field, source->TblName(), *namesake, target->TblName());
    CopyTablePhrases(source->TblName(), target->TblName());
    Engine().ProjErr.clear();
    return true;
}

bool CopyFieldSettings(AGP& project, std::string_view SourceTable, std::string_view SourceField,
                       std::string_view TargetTable, std::string_view TargetField) {
    auto sourceTable = FindTable(project, SourceTable);
    auto targetTable = FindTable(project, TargetTable);
    if (!sourceTable) return Fail(ProductMessage("Table " + std::string(SourceTable) + " not found!"));
    if (!targetTable) return Fail(ProductMessage("Table " + std::string(TargetTable) + " not found!"));
    auto source = sourceTable->Fields()->Find(Variant(std::string(SourceField)));
    auto target = targetTable->Fields()->Find(Variant(std::string(TargetField)));
    if (!source) return Fail(ProductMessage("Field " + std::string(SourceField) + " not found!"));
    if (!target) return Fail(ProductMessage("Field " + std::string(TargetField) + " not found!"));
    if (source == target) return Fail(ProductMessage("Source and target field are the same!"));
    CopyField(*source, sourceTable->TblName(), *target, targetTable->TblName());
    Engine().ProjErr.clear();
    return true;
}

void UnLoadDB(AGP& project) {
    auto database = project.DB();
    if (!database) return;
    AGPStatus status;
    status.ShowStatus(project.hwnd(), StatusLine("Unloading Database..."));
    std::vector<std::string> tableNames;
    for (const auto& table : database->Tables()->Items()) tableNames.push_back(table->TblName());

    AGPCustomScripts& scripts = CustomScripts();
    for (const auto& script : scripts.Items()) {
        if (!EqualsNoCase(script->ScriptType(), "table") && !EqualsNoCase(script->ScriptType(), "field")) continue;
        ScriptPlace place = script->Place();
        scripts.Delete(place.scriptType, place.codeType, place.name, place.ctrlId, place.l1Key, place.l2Key);
    }
    for (const auto& extension : Extensions().Items())
        if (auto proj = extension->PROJ())
            for (const auto& db : proj->DB()->Items()) db->Tables()->Clear();
    project.MasterDetails()->Clear();
    AGPLanguage& language = Language();
    for (const std::string& name : tableNames) {
        MenuList().DeleteMenuBySource(name);
        language.DeleteTableFieldPhrases(name);
        language.DeleteTablePhrase(name);
    }
    project.Databases()->Delete(Variant(database->DBName()));
    project.DropMainDatabase();
    status.CloseStatus();
    Engine().ProjErr.clear();
}

}  // namespace velmora
