// Custom views: a table made from the project's own SELECT statement, its fields from the
// statement's result columns. A statement that does not compile leaves the view in the project
// with the database's message in TblCustomError.
#include <set>

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "schema/custom_sql.h"
#include "schema/db_quotes.h"
#include "schema/load_steps.h"
#include "schema/schema_load.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

using db::CatalogueError;

// Bridge views name their duplicate columns in one message.
std::string DuplicateNames(const std::vector<db::ColumnInfo>& columns) {
    std::set<std::string> seen;
    std::string duplicates;
    for (const db::ColumnInfo& column : columns) {
        if (seen.insert(ToLowerAscii(column.name)).second) continue;
        if (!duplicates.empty()) duplicates += ", ";
        duplicates += column.name;
    }
    return duplicates;
}

// Adds the view's table and reads its columns from the statement; the table stays even when the
// statement fails. False (with ProjErr) only when the view cannot be made at all.
bool LoadCustomViewTable(AGPDatabase& database, db::Catalogue& catalogue, std::string_view sTableName,
                         std::string_view sSQL, LoadRoute route, std::int16_t kind) {
    std::string name(sTableName);
    if (kind == kDbOracle && name.find(' ') != std::string::npos) {
        return Fail(ProductMessage("Oracle Table/View Name [" + name + "] contain spaces,table not loaded!"));
    }
    auto tables = database.Tables();
    if (!tables->TableExist(Variant(name)) && !tables->Add(name)) {
        return Fail(ProductMessage("Table " + name + " cannot be added!"));
    }
    auto table = tables->Find(Variant(name));
    table->SetTblType("CUSTOMVIEW");
    table->SetTblCustomSQL(std::string(sSQL));
    table->SetTblCustomError(std::string());
    table->SetTblLoaded(false);
    db::TableInfo info;
    info.name = name;
    info.type = "CUSTOMVIEW";
    try {
        info.columns = catalogue.DescribeQuery(std::string(sSQL));
    } catch (const CatalogueError& error) {
        table->LoadTableDefault();
        table->SetTblGen(false);
        table->SetTblCustomError(error.what());
        Engine().ProjErrDb = error.what();
        return true;
    }
    std::string duplicates = route == LoadRoute::Bridge ? DuplicateNames(info.columns) : std::string();
    LoadTableColumns(*table, info, route, kind);
    ParseCustomSql(*table, *tables);
    if (!duplicates.empty()) {
        table->SetTblGen(false);
        table->SetTblCustomError("Columns with same field name: " + duplicates + ". Please create Alias for the fields.");
    }
    return true;
}

}  // namespace

std::int16_t LoadADOCustomView(AGPDatabase& database, std::string_view sConnStr, std::string_view sTableName,
                               std::string_view sSQL) {
    Engine().ProjErr.clear();
    std::optional<db::ConnectOptions> options = AdoConnectOptions(database.DBType(), sConnStr);
    if (!options) {
        Fail(ProductMessage("invalid connection string specified!"));
        return 1;
    }
    try {
        auto catalogue = db::OpenCatalogue(*options);
        EngineState& state = Engine();
        state.dbmsName = catalogue->Info().dbmsName;
        SetDbQuotes(state.dbmsName);
        std::int16_t kind = DbKindOf(state.dbmsName);
        if (!LoadCustomViewTable(database, *catalogue, sTableName, sSQL, LoadRoute::Ado, kind)) return 3;
        return 0;
    } catch (const CatalogueError& error) {
        return CatalogueFailure(error, "ADO");
    }
}

std::int16_t LoadzvCustomView(AGPDatabase& database, std::string_view sTableName, std::string_view sSQL) {
    Engine().ProjErr.clear();
    ServerDbArgs args = ServerArgsOf(database);
    std::optional<db::ConnectOptions> options = ServerConnectOptions(args);
    if (!options) {
        Fail(ProductMessage("Database not loaded!"));
        return 1;
    }
    try {
        auto catalogue = db::OpenCatalogue(*options);
        Engine().dbmsName = args.sDbType;
        SetDbQuotes(args.sDbType);
        std::int16_t kind = DbKindOf(args.sDbType);
        if (!LoadCustomViewTable(database, *catalogue, sTableName, sSQL, LoadRoute::Bridge, kind)) return 3;
        return 0;
    } catch (const CatalogueError& error) {
        return CatalogueFailure(error, "ADO");
    }
}

}  // namespace velmora
