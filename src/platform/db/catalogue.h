// Reading a database's catalogue: its tables and views, and for each its columns with type,
// size, nullability, keys, uniqueness, auto-increment and default. One driver per route; every
// driver reports column types as ADO data type codes, so that nothing above this layer depends
// on the database product. Drivers read the catalogue in batches (one query per catalogue view
// for all tables asked for), never one query per table or column.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace velmora::db {

// A failure of the database or its client library; what() is the driver's own message.
class CatalogueError : public std::runtime_error {
public:
    enum class Reason { Connect, Login, NoDatabase, NotADatabase, Query, Unsupported };
    CatalogueError(Reason reason, const std::string& message) : std::runtime_error(message), reason_(reason) {}
    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

// ADO field attribute flags the catalogue reports.
inline constexpr std::int32_t kAttrMayDefer = 0x2;
inline constexpr std::int32_t kAttrUpdatable = 0x4;
inline constexpr std::int32_t kAttrFixed = 0x10;
inline constexpr std::int32_t kAttrIsNullable = 0x20;
inline constexpr std::int32_t kAttrLong = 0x80;

struct ColumnInfo {
    std::string name;
    // ADO data type code (-1 when the route's type has no counterpart) and, for dates and
    // numbers, the precision that AdoTypeName looks at.
    std::int16_t adoType = -1;
    std::int32_t precision = 0;
    // The route's own type code: MySQL's field type (247 ENUM, 248 SET), PostgreSQL's type oid,
    // SQLite's affinity, the DAO field type of an Access file, the ODBC SQL type.
    std::int16_t nativeType = 0;
    // The type as the database names it: PostgreSQL "int4", MySQL "varchar", SQLite the declared
    // type ("VARCHAR(20)"); empty for Access, whose DAO code says it all.
    std::string typeName;
    // Characters for text, bytes for binary, the storage size otherwise.
    std::int32_t size = 0;
    bool nullable = true;
    bool zeroLength = true;  // an empty text is allowed
    bool primaryKey = false;
    bool unique = false;  // a unique index or constraint on this column alone
    bool autoIncrement = false;
    bool isEnum = false;
    bool isSet = false;
    // ENUM/SET values as edit-control tag values: "\"a\",\"a\"" lines joined with CR LF.
    std::string tagValues;
    // The default as the catalogue states it; nullopt when the column has none.
    std::optional<std::string> defaultValue;
    // Access: the "Caption" property and the DAO field attributes.
    std::string caption;
    std::int32_t attributes = 0;
    // The database computes the value (a generated column, a full-text vector): never written.
    bool computed = false;
    // The database sets the value on every update (MySQL's ON UPDATE CURRENT_TIMESTAMP).
    bool updatedByDatabase = false;
};

// A foreign key: `table`'s columns referring to `refTable`'s, pairs in key order.
struct ForeignKeyInfo {
    std::string schema;  // empty where the database has none
    std::string table;
    std::string name;
    std::string refSchema;
    std::string refTable;
    std::vector<std::pair<std::string, std::string>> columns;  // (column, referenced column)
};

struct TableInfo {
    std::string schema;  // empty where the database has none
    std::string name;
    std::string type;  // "TABLE" or "VIEW"
    std::vector<ColumnInfo> columns;
    // Set when the columns could not be read (the table was dropped meanwhile, a view that no
    // longer compiles); the table is still listed.
    std::string error;
    // Access only: the table is hidden or a system object; such tables are not listed at all.
    std::int32_t attributes = 0;
};

struct ServerInfo {
    std::string dbmsName;  // "PostgreSQL", "MySQL", "SQLite", "ACCESS", or the ODBC driver's DBMS name
    std::string dbmsVersion;
    std::string providerName;
    std::string providerVersion;
};

// Where the catalogue lives. Only the members a route needs are read.
struct ConnectOptions {
    enum class Route { Sqlite, PostgreSql, MySql, Odbc, Access };
    Route route = Route::Sqlite;
    std::string path;  // SQLite and Access files
    std::string host;
    int port = 0;  // 0: the client library's default
    std::string user;
    std::string password;
    std::string database;
    std::string encoding;  // client character set; empty: UTF-8
    // ODBC: the full connection string ("dsn=...;uid=...;pwd=..." or "Driver=...;...").
    std::string connectionString;
    // Opened for changes through Catalogue::Execute. A SQLite file is then opened read-write
    // (still never created); an Access file stays read-only.
    bool writable = false;
};

// A result row of Catalogue::Query: column name (lower case) to value, nullopt for NULL.
using QueryRow = std::map<std::string, std::optional<std::string>>;

class Catalogue {
public:
    virtual ~Catalogue() = default;
    virtual const ServerInfo& Info() const = 0;
    // Tables and views in the catalogue's order (by name within each schema), without columns.
    virtual std::vector<TableInfo> ListTables() = 0;
    // Fills the columns of the given tables, in column order, in one batch. A table that is not
    // found any more gets its `error` set instead of throwing. Throws CatalogueError when the
    // catalogue cannot be read at all.
    virtual void ReadColumns(std::span<TableInfo> tables) = 0;
    // The result columns of a SELECT statement, found by preparing it without running it:
    // names, types, sizes and nullability as far as the database tells them for a statement.
    // Throws CatalogueError with the database's message when the statement does not compile.
    virtual std::vector<ColumnInfo> DescribeQuery(const std::string& sql);
    // Every foreign key between the catalogue's tables, ordered by table and key name; empty on
    // routes that keep no foreign keys.
    virtual std::vector<ForeignKeyInfo> ReadForeignKeys();
    // Runs a read-only statement of the database's own dialect, for what the catalogue views
    // do not tell (SQL Server identities, Oracle triggers). Routes without it throw Unsupported.
    virtual std::vector<QueryRow> Query(const std::string& sql);
    // Runs one statement that changes the database (ALTER TABLE, ...) and returns no rows,
    // committed when it returns. Throws Unsupported on a catalogue not opened `writable` and on
    // routes that cannot change a database, Query with the database's message when it fails.
    virtual void Execute(const std::string& sql);
};

// Opens a catalogue; throws CatalogueError with the client library's message. SQLite and
// Access files are opened read-only unless `writable`: a path that does not exist is an error,
// never created.
std::unique_ptr<Catalogue> OpenCatalogue(const ConnectOptions& options);

// The databases of a server (PostgreSQL, MySQL), one name per element, sorted.
std::vector<std::string> ListDatabases(const ConnectOptions& options);

}  // namespace velmora::db
