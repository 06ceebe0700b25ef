#include "schema/derived_steps.h"

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/core/property_bag.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "schema/load_steps.h"
#include "schema/schema_load.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {

std::shared_ptr<AGPDatabase> ConnectionDatabaseOf(AGP& project, const AGPTable& table) {
    if (EqualsNoCase(table.TblType(), "LINKTABLE")) return project.LINKDBS()->Find(Variant(table.LinkDBID()));
    return project.DB();
}

bool UsesServerConnection(const AGPDatabase& database) {
    std::string type = ToLowerAscii(database.DBType());
    return (type == "mysql" || type == "postgresql") && database.DBConnstr().empty();
}

std::int16_t LoadStatementView(AGPDatabase& database, std::string_view sTableName, std::string_view sSQL) {
    if (UsesServerConnection(database)) return LoadzvCustomView(database, sTableName, sSQL);
    return LoadADOCustomView(database, ConnectionStringOf(database), sTableName, sSQL);
}

void CopyPropertyValues(const AGProperties& from, AGProperties& to, std::span<const std::string_view> skip, bool all) {
    for (std::size_t pos = 0; pos < from.Size(); ++pos) {
        const PropertyRow& row = from.RowAt(pos);
        if (!all && !row.sync) continue;
        bool skipped = false;
        for (std::string_view name : skip) skipped = skipped || EqualsNoCase(name, row.name);
        if (skipped) continue;
        std::size_t target = to.IndexOf(row.name);
        if (target != AGProperties::npos) to.SetValueAt(target, from.ValueAt(pos));
    }
}

std::span<const std::string_view> TableSchemaProperties() {
    static constexpr std::string_view kNames[] = {"TblSeq",        "TblName",   "TblVar",         "TblType",
                                                  "TblSchema",     "TblKey",    "LinkDBID",       "LinkTableName",
                                                  "LinkTableType", "TblLoaded", "TblCustomSQL",   "TblCustomError",
                                                  "TblError",      "TblSync",   "TblSyncMessage", "TblRptSrc"};
    return kNames;
}

std::span<const std::string_view> FieldSchemaProperties() {
    static constexpr std::string_view kNames[] = {
        "FldSeq",  "FldName",         "FldVar",           "FldType",        "FldTypeName",  "NativeDataType",
        "FldSize", "FldSupport",      "FldQuoteS",        "FldQuoteE",      "FldUniqueIdx", "FldZeroLen",
        "FldReq",  "FldIsPrimaryKey", "FldAutoIncrement", "FldAttribute",   "FldDbDefault", "FldIsCustom",
        "FldSQL",  "FldSourceName",   "FldSourceTable",   "FldSourceField", "FldSync",      "FldSyncMessage"};
    return kNames;
}

void CopySettingsFromSources(AGP&, AGPTable& view, const AGPTables& tables) {
    for (const auto& field : view.Fields()->Items()) {
        if (field->FldSourceTable().empty() || field->FldSourceField().empty()) continue;
        auto source = tables.Find(Variant(field->FldSourceTable()));
        if (!source || source.get() == &view) continue;
        auto sourceField = source->Fields()->Find(Variant(field->FldSourceField()));
        if (sourceField) CopyPropertyValues(*sourceField->Properties(), *field->Properties(), FieldSchemaProperties());
    }
}

std::string FreeTableName(std::string_view base, std::initializer_list<const AGPTables*> lists) {
    auto taken = [&](const std::string& name) {
        for (const AGPTables* list : lists)
            if (list && list->TableExist(Variant(name))) return true;
        return false;
    };
    std::string name(base);
    for (int n = 1; taken(name); ++n) name = std::string(base) + std::to_string(n);
    return name;
}

LoaderStateScope::LoaderStateScope()
    : dbmsName_(Engine().dbmsName),
      quoteStart_(Engine().quoteStart),
      quoteEnd_(Engine().quoteEnd),
      databaseKind_(Engine().databaseKind) {}

LoaderStateScope::~LoaderStateScope() {
    Engine().dbmsName = std::move(dbmsName_);
    Engine().quoteStart = std::move(quoteStart_);
    Engine().quoteEnd = std::move(quoteEnd_);
    Engine().databaseKind = databaseKind_;
}

}  // namespace velmora
