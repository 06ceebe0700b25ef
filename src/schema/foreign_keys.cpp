#include "schema/foreign_keys.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/master_details.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/db/catalogue.h"
#include "schema/load_steps.h"
#include "support/text.h"

namespace velmora {
namespace {

// Column names that say "this is what the row is called", in order of preference.
constexpr std::array<std::string_view, 4> kNameLike{"name", "title", "label", "description"};

bool IsShownText(const AGPField& field) {
    return field.FldSupport() && !field.FldIsPrimaryKey() && FldTypeCategory(field.FldType()) == kCatString &&
           !EqualsNoCase(field.FldHtmlTag(), "PASSWORD");
}

// What a lookup shows of a row of `target`: its first text column named like a name, else its
// first unique text column, else its key.
std::string DisplayField(const AGPTable& target, const std::string& key) {
    auto fields = target.Fields()->Items();
    for (std::string_view word : kNameLike)
        for (const auto& field : fields)
            if (IsShownText(*field) && ContainsNoCase(field->FldName(), word)) return field->FldName();
    for (const auto& field : fields)
        if (IsShownText(*field) && field->FldUniqueIdx()) return field->FldName();
    return key;
}

// The project table a catalogue names; PostgreSQL's "public" schema is the project's empty one.
std::shared_ptr<AGPTable> ProjectTable(AGPTables& tables, const std::string& schema, const std::string& name) {
    std::string wanted = schema == "public" ? std::string() : schema;
    for (const auto& table : tables.Items()) {
        if (!EqualsNoCase(table->TblType(), "TABLE") || table->TblName() != name) continue;
        if (wanted.empty() || table->TblSchema().empty() || table->TblSchema() == wanted) return table;
    }
    return nullptr;
}

void AddLookup(AGPField& field, const AGPTable& target, const std::string& key) {
    if (!field.FldTagLnkTbl().empty()) return;
    std::string display = DisplayField(target, key);
    field.SetFldHtmlTag("SELECT");
    field.SetFldSelectType("Table");
    field.SetFldTagLnkTbl(target.TblName());
    field.SetFldTagLnkFld(key);
    field.SetFldTagLnkDisplay(display);
    field.SetFldTagLnkOrderBy(display);
    // the field's own lookup page: what cascading lists, auto-fill and "add new" ask
    field.SetFldGenerate(true);
    // "Team Id" shows a team, not a number.
    std::string caption = field.FldCaption();
    if (caption.size() > 3 && EqualsNoCase(std::string_view(caption).substr(caption.size() - 3), " id"))
        field.SetFldCaption(caption.substr(0, caption.size() - 3));
}

void AddRelation(AGPMasterDetails& relations, const db::ForeignKeyInfo& key, const std::string& master,
                 AGPTable& detail) {
    if (master == detail.TblName() || relations.MasterDetailExist(master, detail.TblName())) return;
    relations.Add(master, detail.TblName());
    auto relation = relations.Item(master, detail.TblName());
    if (!relation) return;
    for (const auto& [column, referenced] : key.columns) relation->AddRelation(referenced, column);
    // the master's view page lists the detail rows and its list counts them
    detail.SetTblDetailView(true);
    detail.SetTblDetailShowCount(true);
}

}  // namespace

bool LoadForeignKeys(AGP& project) {
    auto database = project.DB();
    if (!database) {
        project.SetProjErr("No database loaded");
        return false;
    }
    auto options = ConnectOptionsOf(*database);
    if (!options) {
        project.SetProjErr("The database's connection settings are incomplete");
        return false;
    }
    std::vector<db::ForeignKeyInfo> keys;
    try {
        keys = db::OpenCatalogue(*options)->ReadForeignKeys();
    } catch (const db::CatalogueError& error) {
        project.SetProjErr(std::string("Unable to read the foreign keys: ") + error.what());
        project.SetProjErrDb(error.what());
        return false;
    }
    auto tables = database->Tables();
    auto relations = project.MasterDetails();
    for (const db::ForeignKeyInfo& key : keys) {
        auto detail = ProjectTable(*tables, key.schema, key.table);
        auto master = ProjectTable(*tables, key.refSchema, key.refTable);
        if (!detail || !master || key.columns.empty()) continue;
        bool complete = true;
        for (const auto& [column, referenced] : key.columns)
            complete =
                complete && detail->Fields()->Find(Variant(column)) && master->Fields()->Find(Variant(referenced));
        if (!complete) continue;
        AddRelation(*relations, key, master->TblName(), *detail);
        if (key.columns.size() == 1)
            AddLookup(*detail->Fields()->Find(Variant(key.columns.front().first)), *master, key.columns.front().second);
    }
    return true;
}

}  // namespace velmora
