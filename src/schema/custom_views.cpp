// Custom views and database views the user adds to a loaded project, and turning a custom view
// into the database view made from it.
#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/project/menus.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "schema/custom_sql.h"
#include "schema/db_quotes.h"
#include "schema/derived_steps.h"
#include "schema/derived_tables.h"
#include "schema/load_steps.h"
#include "schema/schema_load.h"
#include "schema/schema_reader.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "support/text.h"

namespace velmora {

bool LoadCustomView(AGP& project, std::string_view sTableName, std::string_view sSQL, bool bCopyFields) {
    auto database = project.DB();
    if (!database) return Fail(ProductMessage("Database not loaded!"));
    std::string name(sTableName);
    auto tables = database->Tables();
    if (tables->TableExist(Variant(name))) return Fail(ProductMessage("Table/View " + name + " already exists!"));
    LoadKeywords();
    AGPStatus status;
    status.ShowStatus(project.hwnd(), StatusLine("Loading " + name));
    status.DispStatus("Please wait...");
    LoadStatusScope scope(&status);
    CacheProjectSettings(project);
    Engine().ProjErrDb.clear();
    std::int16_t result = LoadStatementView(*database, name, sSQL);
    status.CloseStatus();
    if (result != 0) {
        if (tables->TableExist(Variant(name))) tables->Delete(Variant(name));
        if (Engine().ProjErr.empty()) Engine().ProjErr = "Load Database failed!";
        return false;
    }
    auto table = tables->Find(Variant(name));
    if (bCopyFields && table->TblCustomError().empty()) CopySettingsFromSources(project, *table, *tables);
    SyncMenuWithTables(project);
    return true;
}

bool LoadView(AGP& project, std::string_view sViewName, std::string_view sSQL, bool bCopyFields) {
    auto database = project.DB();
    if (!database) return Fail(ProductMessage("Database not loaded!"));
    bool loaded = UsesServerConnection(*database) ? LoadTableMySQL(project, sViewName) : LoadTable(project, sViewName);
    if (!loaded) return false;
    auto tables = database->Tables();
    auto table = tables->Find(Variant(std::string(sViewName)));
    if (bCopyFields && !sSQL.empty()) {
        // The definition names the columns the view takes from tables; it is not kept.
        table->SetTblCustomSQL(std::string(sSQL));
        ParseCustomSql(*table, *tables);
        table->SetTblCustomSQL(std::string());
        CopySettingsFromSources(project, *table, *tables);
    }
    return true;
}

bool ChangeCustomViewToView(AGP& project, std::string_view SourceName, std::string_view TargetName) {
    auto database = project.DB();
    if (!database) return Fail(ProductMessage("Database not loaded!"));
    auto tables = database->Tables();
    auto table = tables->Find(Variant(std::string(SourceName)));
    if (!table || !EqualsNoCase(table->TblType(), "CUSTOMVIEW"))
        return Fail(ProductMessage("source table is not a custom view!"));
    if (!table->TblCustomError().empty()) return Fail(ProductMessage("custom view has error!"));

    AGPSchema schema;
    bool read = false;
    {
        LoaderStateScope keepState;
        if (UsesServerConnection(*database)) {
            read = schema.LoadDBMySQL(ServerArgsOf(*database), TargetName);
        } else {
            read = schema.LoadDB(LoadDbArgsOf(*database), TargetName);
        }
    }
    const AGSchemaTable* view = read ? schema.Tbl(1) : nullptr;
    if (!view) return Fail(ProductMessage("load view failed!"));

    auto fields = table->Fields();
    bool same = static_cast<std::size_t>(fields->Count()) == view->TblFields.fld.size();
    for (const AGSchemaField& record : view->TblFields.fld) same = same && fields->FieldExist(Variant(record.FldName));
    if (!same) return Fail(ProductMessage("fields mismatched!"));

    std::string target(TargetName);
    if (!tables->Change(table->TblName(), target))
        return Fail(ProductMessage("Table/View " + target + " already exists!"));
    table->SetTblName(target);
    table->SetTblType("VIEW");
    table->SetTblCustomSQL(std::string());
    for (const AGSchemaField& record : view->TblFields.fld) {
        auto field = fields->Find(Variant(record.FldName));
        field->SetFldType(record.FldType);
        field->SetFldTypeName(record.FldTypeName);
        field->SetNativeDataType(record.NativeDataType);
        field->SetFldSize(record.FldSize);
    }
    Engine().ProjErr.clear();
    return true;
}

}  // namespace velmora
