// What the operations on derived tables share: the database a table is read through, the route
// a statement runs by, and copying the copyable settings of one property bag to another.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

class AGP;
class AGPDatabase;
class AGPTable;
class AGProperties;
class AGPTables;

// The database a table's rows live in: its linked database for a link table, else the main one.
std::shared_ptr<AGPDatabase> ConnectionDatabaseOf(AGP& project, const AGPTable& table);
// A custom view of sSQL named sTableName in `database`'s own table list, read through the
// server connection of a server database or through the database's connection string.
// 0 success (the view may still carry TblCustomError), non-zero failure with ProjErr.
std::int16_t LoadStatementView(AGPDatabase& database, std::string_view sTableName, std::string_view sSQL);
// Whether a database is reached through its server settings (host, port) rather than a
// connection string.
bool UsesServerConnection(const AGPDatabase& database);

// Copies each property of `from` whose Sync flag is set and that `to` also has, except the
// names in `skip` (compared without regard to case). With `all`, the Sync flag is not asked.
void CopyPropertyValues(const AGProperties& from, AGProperties& to, std::span<const std::string_view> skip,
                        bool all = false);
// The table and field properties a copy of settings never touches: names, types and what the
// schema decides.
std::span<const std::string_view> TableSchemaProperties();
std::span<const std::string_view> FieldSchemaProperties();

// Every field of `view` whose source table and field are in `tables` takes that field's settings.
void CopySettingsFromSources(AGP& project, AGPTable& view, const AGPTables& tables);

// A table name not used in any of the lists: base, then base followed by 1, 2, ...
std::string FreeTableName(std::string_view base, std::initializer_list<const AGPTables*> lists);

// Restores the process-wide DBMS name, quotes and database kind that a load through another
// database changes.
class LoaderStateScope {
public:
    LoaderStateScope();
    ~LoaderStateScope();
    LoaderStateScope(const LoaderStateScope&) = delete;
    LoaderStateScope& operator=(const LoaderStateScope&) = delete;

private:
    std::string dbmsName_;
    std::string quoteStart_;
    std::string quoteEnd_;
    std::int16_t databaseKind_;
};

}  // namespace velmora
