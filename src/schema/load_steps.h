// The steps every route shares: catalogue columns become fields by the route's rules, and a
// table is finished with its keys and defaults.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/catalogue.h"
#include "schema/schema_load.h"

namespace velmora {

class AGPDatabase;
class AGPField;
class AGPStatus;
class AGPTable;
class AGPTables;

// How the schema was reached; each sets field properties by its own rules.
enum class LoadRoute { Ado, Dao, Bridge };

// A PostgreSQL column default as a field default: the text before the first "::", "NULL" as
// empty, a single-quoted literal unwrapped with doubled quotes undone. nextval(...) stays.
std::string PgDefaultValue(std::string_view def);
// A literal default of another database: a quoted text unwrapped, anything else as it is.
std::string LiteralDefaultValue(std::string_view def);

// Adds the columns of `info` to `table` and finishes it: keys, TblKey, TblGen, the table
// defaults and TblLoaded. Duplicate column names leave TblGen false with the message in TblError.
// `catalogue` runs the dialect steps of the connection-string route (nullptr: none).
void LoadTableColumns(AGPTable& table, const db::TableInfo& info, LoadRoute route, std::int16_t kind,
                      db::Catalogue* catalogue = nullptr);

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

// While it lives, a link-mode load adds its table to `target` (the main database's tables)
// instead of the tables of the linked database it reads from.
class LinkTargetScope {
public:
    explicit LinkTargetScope(std::shared_ptr<AGPTables> target);
    ~LinkTargetScope();
    LinkTargetScope(const LinkTargetScope&) = delete;
    LinkTargetScope& operator=(const LinkTargetScope&) = delete;

private:
    std::shared_ptr<AGPTables> previous_;
};

// The connection string a database is opened by: its own, the "dsn=" form of an ODBC data
// source, or the provider form of an Access file.
std::string ConnectionStringOf(const AGPDatabase& database);
// Loads the reserved-word list named by the configuration.
void LoadKeywords();

// The name of an Access database: its file name, after the last "\\" or "/" of the path.
std::string AccessFileName(std::string_view path);

// The OLE DB provider named in an Access file's connection string, by the file's version.
std::string AccessProviderFor(std::string_view dbmsVersion);

// Result 3 with the message of a failed connection or catalogue read ("Unable to connect ...
// User ID / Password not valid!" for a refused login, else route + " Connection Error " + the
// driver's text); the driver's own text goes to ProjErrDb.
std::int16_t CatalogueFailure(const db::CatalogueError& error, std::string_view route);

// Where a connection string points: the route comes from the database type, and for other
// types from the string itself ("Driver=" or "DSN=" is ODBC, "Data Source=" a SQLite file).
std::optional<db::ConnectOptions> AdoConnectOptions(std::string_view dbType, std::string_view connStr);
// A MySQL or PostgreSQL server; nullopt for another type or a port that is not a number.
std::optional<db::ConnectOptions> ServerConnectOptions(const ServerDbArgs& args);
// Where a database of the project lives, by the properties its load stored.
std::optional<db::ConnectOptions> ConnectOptionsOf(const AGPDatabase& database);
// A server database's connection settings as stored on the database, and the other way round.
ServerDbArgs ServerArgsOf(const AGPDatabase& database);
// A database's stored connection as LoadDB takes it (the connection string as ConnectionStringOf).
LoadDbArgs LoadDbArgsOf(const AGPDatabase& database);
void SetServerConnection(AGPDatabase& database, const ServerDbArgs& args);

// The connection-string route once its catalogue is open; the dialect steps of SQL Server and
// Oracle run their own queries through it.
struct AdoLoad {
    std::string dbType;
    std::string connStr;
    std::string uid;
    std::string pwd;
    std::string schema;
    std::string tableName;
    std::string projTableName;
    std::string filePath;  // DBPhyPath: the file of a file database
};
std::int16_t LoadAdoCatalogue(AGPDatabase& database, db::Catalogue& catalogue, const AdoLoad& load);

// SQL Server: the identity column and nullability from the server's own views, GUID keys the
// server fills. Oracle: columns filled by a sequence in a BEFORE INSERT trigger, declared type
// names. Queries that fail leave the fields as they are.
void ApplySqlServerSteps(AGPTable& table, db::Catalogue& catalogue);
void ApplyOracleSteps(AGPTable& table, db::Catalogue& catalogue, std::string_view schema);
// The column and the sequence of a trigger body such as
// "BEGIN SELECT orders_seq.NEXTVAL INTO :NEW.order_id FROM dual; END;".
std::string OracleTriggerColumn(std::string_view body);
std::string OracleTriggerSequence(std::string_view body);

// Lists the tables, adds the accepted ones to the database (or the one link table) and reads
// their columns in batches, with progress. Throws db::CatalogueError when the catalogue fails.
// Returns false when the single table asked for is not there (ProjErr set).
bool WalkTables(const TableWalk& walk);
// The same over tables already listed.
bool WalkTables(const TableWalk& walk, std::vector<db::TableInfo> listed);

}  // namespace velmora
