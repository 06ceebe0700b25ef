#include "platform/db/catalogue.h"

#include "platform/db/drivers.h"

namespace velmora::db {

std::vector<ColumnInfo> Catalogue::DescribeQuery(const std::string&) {
    throw CatalogueError(CatalogueError::Reason::Unsupported, "this connection cannot describe a query");
}

std::vector<ForeignKeyInfo> Catalogue::ReadForeignKeys() { return {}; }

std::vector<QueryRow> Catalogue::Query(const std::string&) {
    throw CatalogueError(CatalogueError::Reason::Unsupported, "this connection runs no dialect queries");
}

void Catalogue::Execute(const std::string&) {
    throw CatalogueError(CatalogueError::Reason::Unsupported, "this connection cannot change the database");
}

void RequireWritable(bool writable) {
    if (!writable) throw CatalogueError(CatalogueError::Reason::Unsupported, "the connection was opened read-only");
}

std::unique_ptr<Catalogue> OpenCatalogue(const ConnectOptions& options) {
    using Route = ConnectOptions::Route;
    switch (options.route) {
        case Route::Sqlite: return OpenSqliteCatalogue(options);
        case Route::PostgreSql: return OpenPostgresCatalogue(options);
        case Route::MySql: return OpenMySqlCatalogue(options);
        case Route::Odbc: return OpenOdbcCatalogue(options);
        case Route::Access: return OpenAccessCatalogue(options);
    }
    throw CatalogueError(CatalogueError::Reason::Unsupported, "unknown database route");
}

std::vector<std::string> ListDatabases(const ConnectOptions& options) {
    using Route = ConnectOptions::Route;
    switch (options.route) {
        case Route::PostgreSql: return ListPostgresDatabases(options);
        case Route::MySql: return ListMySqlDatabases(options);
        default: break;
    }
    throw CatalogueError(CatalogueError::Reason::Unsupported,
                         "this kind of database has no list of databases on a server");
}

}  // namespace velmora::db
