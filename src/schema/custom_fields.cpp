// Custom fields: a column computed by an SQL expression. The expression is probed against the
// table's own source (with no rows) so that the field gets the type the database gives it.
#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/core/property_bag.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "schema/db_quotes.h"
#include "schema/derived_steps.h"
#include "schema/derived_tables.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

// The type of the column the database gives a probed expression.
constexpr std::string_view kTypeProperties[] = {"FldType",   "FldTypeName", "NativeDataType", "FldSize",   "FldSupport",
                                                "FldQuoteS", "FldQuoteE",   "FldAttribute",   "FldZeroLen"};

void CopyTypeOf(const AGPField& probe, AGPField& field) {
    const AGProperties& from = *probe.Properties();
    AGProperties& to = *field.Properties();
    for (std::string_view name : kTypeProperties) to.SetValueAt(to.IndexOf(name), from.ValueAt(from.IndexOf(name)));
}

// What the probe selects from: the table under its name in its own database, or a custom view's
// statement as a derived table.
std::string ProbeSource(const AGPTable& table, const AGPDatabase& database) {
    if (EqualsNoCase(table.TblType(), "CUSTOMVIEW")) return "(" + table.TblCustomSQL() + ") ZV_TMP_TABLE";
    const std::string& quoteStart = database.DBQuoteS();
    const std::string& quoteEnd = database.DBQuoteE();
    std::string name = EqualsNoCase(table.TblType(), "LINKTABLE") ? table.LinkTableName() : table.TblName();
    std::string source = QuoteIdentifier(name, quoteStart, quoteEnd);
    if (!table.TblSchema().empty()) source = QuoteIdentifier(table.TblSchema(), quoteStart, quoteEnd) + "." + source;
    return source;
}

// Runs "SELECT sSQL AS field FROM source WHERE 0=1" as a temporary view and hands its one column
// to `take`. False with "Load custom field failed!" when the database refuses the expression.
template <class Take>
bool ProbeExpression(AGP& project, AGPTable& table, std::string_view fieldName, std::string_view sSQL, Take take) {
    auto database = ConnectionDatabaseOf(project, table);
    if (!database) return Fail("link database '" + table.LinkDBID() + "' not found!");
    std::string sql = "SELECT " + std::string(sSQL) + " AS " +
                      QuoteIdentifier(fieldName, database->DBQuoteS(), database->DBQuoteE()) + " FROM " +
                      ProbeSource(table, *database) + " WHERE 0=1";
    auto probeTables = database->Tables();
    std::string probeName = FreeTableName("TEMP", {probeTables.get(), project.DB()->Tables().get()});
    LoaderStateScope keepState;
    Engine().ProjErrDb.clear();
    std::int16_t result = LoadStatementView(*database, probeName, sql);
    auto probe = probeTables->Find(Variant(probeName));
    std::string error = probe ? probe->TblCustomError() : std::string();
    bool usable = result == 0 && probe && error.empty() && probe->Fields()->Count() == 1;
    if (usable) take(*probe->Fields()->Items().front());
    if (probe) probeTables->Delete(Variant(probeName));
    if (!usable) {
        if (!error.empty()) Engine().ProjErrDb = error;
        return Fail("Load custom field failed!");
    }
    Engine().ProjErr.clear();
    return true;
}

// The table of a custom-field operation, after the checks every one of them makes.
std::shared_ptr<AGPTable> CheckedTable(AGP& project, std::string_view sTableName, std::string_view sFieldName) {
    if (sTableName.empty()) return Fail("table name is empty!"), nullptr;
    if (sFieldName.empty()) return Fail("field name is empty!"), nullptr;
    if (!project.DB()) return Fail("database not loaded!"), nullptr;
    auto table = project.DB()->Tables()->Find(Variant(std::string(sTableName)));
    if (!table) Fail("table '" + std::string(sTableName) + "' not exists!");
    return table;
}

// The custom field `name` of the table; nullptr with ProjErr when it is missing or not custom.
std::shared_ptr<AGPField> CheckedCustomField(AGPTable& table, const std::string& name) {
    auto field = table.Fields()->Find(Variant(name));
    if (!field) return Fail("field '" + name + "' not exists!"), nullptr;
    if (!field->FldIsCustom()) return Fail("field '" + name + "' is not a custom field!"), nullptr;
    return field;
}

}  // namespace

bool LoadCustomField(AGP& project, std::string_view sTableName, std::string_view sFieldName, std::string_view sSQL) {
    auto table = CheckedTable(project, sTableName, sFieldName);
    if (!table) return false;
    std::string name(sFieldName);
    auto fields = table->Fields();
    if (fields->FieldExist(Variant(name))) return Fail("field '" + name + "' already exists!");
    return ProbeExpression(project, *table, name, sSQL, [&](AGPField& probe) {
        fields->Add(table->TblName(), name);
        auto field = fields->Find(Variant(name));
        CopyTypeOf(probe, *field);
        field->LoadFldDefault();
        // Computed: read everywhere, written nowhere.
        field->SetFldIsCustom(true);
        field->SetFldSQL(std::string(sSQL));
        field->SetFldAdd(false);
        field->SetFldAddOpt(false);
        field->SetFldEdit(false);
        field->SetFldMultiUpdate(false);
        field->SetFldRequired(false);
    });
}

bool ChangeCustomField(AGP& project, std::string_view sTableName, std::string_view sFieldName, std::string_view sSQL) {
    auto table = CheckedTable(project, sTableName, sFieldName);
    if (!table) return false;
    std::string name(sFieldName);
    auto field = CheckedCustomField(*table, name);
    if (!field) return false;
    return ProbeExpression(project, *table, name, sSQL, [&](AGPField& probe) {
        CopyTypeOf(probe, *field);
        field->SetFldSQL(std::string(sSQL));
    });
}

bool UnloadCustomField(AGP& project, std::string_view sTableName, std::string_view sFieldName) {
    auto table = CheckedTable(project, sTableName, sFieldName);
    if (!table) return false;
    std::string name(sFieldName);
    auto field = CheckedCustomField(*table, name);
    if (!field) return false;
    if (!table->Fields()->Delete(table->TblName(), Variant(name)))
        return Fail("remove custom field '" + name + "' failed!");
    Engine().ProjErr.clear();
    return true;
}

}  // namespace velmora
