// Reading a database's schema into the project: the root object's load operations and the
// three routes of a database entry. Every operation reports failure through ProjErr (the
// driver's own message in ProjErrDb) and never throws.
//
// How a database is named:
//   LoadDB(name, "SQLITE", path, phyPath, ..., connStr)   the file in phyPath, else connStr's
//                                                        "Data Source=<file>" (or the whole connStr)
//   LoadDB(dsn, "ODBC", ..., uid, pwd, "")                "dsn=<name>;uid=<uid>;pwd=<pwd>"
//   LoadDB(name, "ODBC", ..., connStr)                    any ODBC connection string
//   LoadDB(name, "ACCESS", path, phyPath, ...)            the .mdb/.accdb file in phyPath
//   LoadDB(name, "postgresql"|"mysql", ..., connStr)      "Server=..;Port=..;Database=..;Uid=..;Pwd=.."
//   LoadDBMySQL(database, "postgresql"|"mysql", host, port, uid, pwd, sid, method, url, encoding)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

class AGP;
class AGPDatabase;

struct LoadDbArgs {
    std::string sDbName;
    std::string sDbType;
    std::string sPath;
    std::string sPhyPath;
    bool bDBUseServerMapPath = false;
    std::string sUID;
    std::string sPwd;
    std::string sConnStr;
    std::string sSchema;
};

struct ServerDbArgs {
    std::string sDbName;
    std::string sDbType;  // "mysql" or "postgresql"
    std::string sHost;
    std::string sPort;
    std::string sUID;
    std::string sPwd;
    std::string sSID;
    std::string sMethod;
    std::string sUrl;
    std::string sEncoding;
};

// Loads the project's main database; false (with ProjErr) when it cannot, leaving no database.
bool LoadDB(AGP& project, const LoadDbArgs& args);
// The same for a MySQL or PostgreSQL server database.
bool LoadDBMySQL(AGP& project, const ServerDbArgs& args);
// Reads one more table of a loaded server database (or the fields of a registered one).
bool LoadTableMySQL(AGP& project, std::string_view sTableName);
// Reads the fields of a table of the main database that a dynamic load only registered (or adds
// a table created since), through the route the database was loaded by: LoadTableMySQL for
// server databases, the Access file, or the stored connection string.
bool LoadTable(AGP& project, std::string_view sTableName);
// The databases on a server, one per line (CR LF); empty with ProjErr on failure.
std::string LoadDatabaseNames(AGP& project, const ServerDbArgs& args);
// Server databases are read by native client libraries that are always there.
inline bool JVMLoaded() { return true; }
// The connection string a custom view of the main database uses.
std::string CustomViewConnStr(AGP& project);

// The routes, on a database entry. Result 0 success, 1 no connection, 3 an error (ProjErr set).
// An empty sTableName loads every table; "@" for both names only connects and fills the
// database's properties; a non-empty sProjTableName loads sTableName as a link table of that name.
std::int16_t LoadADODB(AGPDatabase& database, std::string_view DBType, std::string_view DBName,
                       std::string_view uid, std::string_view pwd, std::string_view sConnStr,
                       std::string_view sSchema, std::string_view sTableName, std::string_view sProjTableName);
std::int16_t LoadDAODB(AGPDatabase& database, std::string_view DBPath, std::string_view DBPhyPath,
                       bool DBUseServerMapPath, std::string_view uid, std::string_view pwd,
                       std::string_view sTableName, std::string_view sProjTableName);
std::int16_t LoadzvDB(AGPDatabase& database, const ServerDbArgs& args, std::string_view sTableName,
                      std::string_view sProjTableName);

// Custom views: a table of type CUSTOMVIEW whose fields are the result columns of sSQL, read
// through a connection of its own (LoadADOCustomView) or the database's server connection.
std::int16_t LoadADOCustomView(AGPDatabase& database, std::string_view sConnStr, std::string_view sTableName,
                               std::string_view sSQL);
std::int16_t LoadzvCustomView(AGPDatabase& database, std::string_view sTableName, std::string_view sSQL);

}  // namespace velmora
