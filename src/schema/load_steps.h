// The steps every route shares: catalogue columns become fields by the route's rules, and a
// table is finished with its keys and defaults.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/catalogue.h"

namespace velmora {

class AGPDatabase;
class AGPField;
class AGPStatus;
class AGPTable;

// How the schema was reached; each sets field properties by its own rules.
enum class LoadRoute { Ado, Dao, Bridge };

// A PostgreSQL column default as a field default: the text before the first "::", "NULL" as
// empty, a single-quoted literal unwrapped with doubled quotes undone. nextval(...) stays.
std::string PgDefaultValue(std::string_view def);
// A literal default of another database: a quoted text unwrapped, anything else as it is.
std::string LiteralDefaultValue(std::string_view def);

// Adds the columns of `info` to `table` and finishes it: keys, TblKey, TblGen, the table
// defaults and TblLoaded. Duplicate column names leave TblGen false with the message in TblError.
void LoadTableColumns(AGPTable& table, const db::TableInfo& info, LoadRoute route, std::int16_t kind);

// What a route hands to the common table walk.
struct TableWalk {
    AGPDatabase& database;
    db::Catalogue& catalogue;
    LoadRoute route;
    std::int16_t kind;
    std::string tableName;      // empty: every table
    std::string projTableName;  // non-empty: link mode
    AGPStatus* status;
    // The status line of one table ("Loading " + name, "Loading Table " + name, ...).
    std::function<std::string(const db::TableInfo&)> statusText;
    // Whether a listed table is loaded at all.
    std::function<bool(const db::TableInfo&)> accept;
    // The TblSchema a listed table gets.
    std::function<std::string(const db::TableInfo&)> schemaOf;
};

// The status window of the load in progress, so that the routes LoadDB calls report into it;
// routes called on their own run without one.
class LoadStatusScope {
public:
    explicit LoadStatusScope(AGPStatus* status);
    ~LoadStatusScope();
    LoadStatusScope(const LoadStatusScope&) = delete;
    LoadStatusScope& operator=(const LoadStatusScope&) = delete;

private:
    AGPStatus* previous_;
};
AGPStatus* CurrentLoadStatus();

// The OLE DB provider named in an Access file's connection string, by the file's version.
std::string AccessProviderFor(std::string_view dbmsVersion);

// Lists the tables, adds the accepted ones to the database (or the one link table) and reads
// their columns in batches, with progress. Throws db::CatalogueError when the catalogue fails.
// Returns false when the single table asked for is not there (ProjErr set).
bool WalkTables(const TableWalk& walk);

}  // namespace velmora
