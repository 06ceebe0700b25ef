// The three routes to a schema. "ADO" is the connection-string route (ODBC, SQLite, and
// PostgreSQL or MySQL named by a connection string), "DAO" reads Access files, the "bridge"
// reads PostgreSQL and MySQL servers named by host, port and database.
#include <algorithm>
#include <optional>

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "platform/db/catalogue.h"
#include "schema/db_quotes.h"
#include "schema/load_steps.h"
#include "schema/schema_load.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "support/text.h"

namespace velmora {
namespace {

using db::CatalogueError;
using Route = db::ConnectOptions::Route;

constexpr std::string_view kAccessProvider = "Microsoft.ACE.OLEDB.12.0";

std::int16_t Failed(std::int16_t result, std::string message, std::string_view driverMessage) {
    Engine().ProjErr = std::move(message);
    Engine().ProjErrDb = std::string(driverMessage);
    return result;
}

int PortNumber(std::string_view port) {
    std::string text = Trim(port);
    if (text.empty()) return 0;
    try {
        return std::stoi(text);
    } catch (const std::exception&) {
        return -1;
    }
}

void ShowInfo(AGPStatus* status, std::string_view text) {
    if (status) status->DispStatus(text);
}

std::string LoadingName(const db::TableInfo& info) {
    return "Loading " + (info.schema.empty() ? info.name : info.schema + "." + info.name);
}

}  // namespace

// The message of a failed connection or catalogue read, by the route's wording.
std::int16_t CatalogueFailure(const db::CatalogueError& error, std::string_view route) {
    if (error.reason() == CatalogueError::Reason::Login) {
        return Failed(3, ProductMessage("Unable to connect to Data Source! User ID / Password not valid!"),
                      error.what());
    }
    return Failed(3, ProductMessage(std::string(route) + " Connection Error " + error.what()), error.what());
}


// Connection options for a connection string: the route comes from the database type, and for
// unknown types from the string itself ("Driver=" or "DSN=" is ODBC, "Data Source=" a file).
std::optional<db::ConnectOptions> AdoConnectOptions(std::string_view dbType, std::string_view connStr) {
    db::ConnectOptions options;
    std::string type = ToUpperAscii(dbType);
    auto value = [&](std::initializer_list<std::string_view> keys) { return ConnectionStringValue(connStr, keys); };
    if (type == "ODBC" || (!value({"driver", "dsn"}).empty() && type != "SQLITE")) {
        options.route = Route::Odbc;
        options.connectionString = std::string(connStr);
        return options;
    }
    if (type == "SQLITE" || !value({"data source"}).empty()) {
        options.route = Route::Sqlite;
        options.path = value({"data source"});
        if (options.path.empty() && connStr.find('=') == std::string_view::npos) options.path = Trim(connStr);
        return options;
    }
    if (type == "POSTGRESQL" || type == "MYSQL") {
        options.route = type == "MYSQL" ? Route::MySql : Route::PostgreSql;
        options.host = value({"server", "host"});
        options.port = PortNumber(value({"port"}));
        options.database = value({"database", "dbname", "initial catalog"});
        options.user = value({"uid", "user id", "user", "username"});
        options.password = value({"pwd", "password"});
        options.encoding = value({"charset", "encoding", "client_encoding"});
        return options;
    }
    return std::nullopt;
}

ServerDbArgs ServerArgsOf(const AGPDatabase& database) {
    return {database.DBName(), database.DBType(), database.DBHost(), database.DBPort(),
            database.DBUID(),  database.DBPwd(),  database.DBSID(),  database.DBConnectionMethod(),
            database.DBURL(),  database.DBEncoding()};
}

void SetServerConnection(AGPDatabase& database, const ServerDbArgs& args) {
    database.SetDBType(args.sDbType);
    database.SetDBHost(args.sHost);
    database.SetDBPort(args.sPort);
    database.SetDBUID(args.sUID);
    database.SetDBPwd(args.sPwd);
    database.SetDBSID(args.sSID);
    database.SetDBConnectionMethod(args.sMethod);
    database.SetDBURL(args.sUrl);
    database.SetDBEncoding(args.sEncoding);
}

std::optional<db::ConnectOptions> ServerConnectOptions(const ServerDbArgs& args) {
    std::string type = ToLowerAscii(args.sDbType);
    if (type != "mysql" && type != "postgresql") return std::nullopt;
    db::ConnectOptions options;
    options.route = type == "mysql" ? Route::MySql : Route::PostgreSql;
    options.host = args.sHost;
    options.port = PortNumber(args.sPort);
    if (options.port < 0) return std::nullopt;
    options.user = args.sUID;
    options.password = args.sPwd;
    options.database = args.sDbName;
    options.encoding = args.sEncoding;
    return options;
}

std::optional<db::ConnectOptions> ConnectOptionsOf(const AGPDatabase& database) {
    std::string type = ToUpperAscii(database.DBType());
    if (type == "ACCESS") {
        db::ConnectOptions options;
        options.route = Route::Access;
        options.path = database.DBPhyPath();
        options.password = database.DBPwd();
        return options;
    }
    if ((type == "MYSQL" || type == "POSTGRESQL") && database.DBConnstr().empty())
        return ServerConnectOptions(ServerArgsOf(database));
    if (type == "SQLITE" && !database.DBPhyPath().empty()) {
        db::ConnectOptions options;
        options.path = database.DBPhyPath();
        return options;
    }
    std::string connStr = type == "ODBC" && database.DBConnstr().empty()
                              ? "dsn=" + database.DBName() + ";uid=" + database.DBUID() + ";pwd=" + database.DBPwd()
                              : database.DBConnstr();
    return AdoConnectOptions(database.DBType(), connStr);
}

std::int16_t LoadADODB(AGPDatabase& database, std::string_view DBType, std::string_view DBName,
                       std::string_view uid, std::string_view pwd, std::string_view sConnStr,
                       std::string_view sSchema, std::string_view sTableName, std::string_view sProjTableName) {
    if (sTableName.empty()) ShowInfo(CurrentLoadStatus(), "Connecting to Data Source...");
    std::string connStr = EqualsNoCase(DBType, "ODBC") && sConnStr.empty()
                              ? "dsn=" + std::string(DBName) + ";uid=" + std::string(uid) + ";pwd=" + std::string(pwd)
                              : std::string(sConnStr);
    std::optional<db::ConnectOptions> options = AdoConnectOptions(DBType, connStr);
    if (!options) {
        return Failed(1, ProductMessage("Unknown database type " + std::string(DBType) + " for connection string!"), "");
    }
    if (EqualsNoCase(DBType, "oracle")) {
        return Failed(1, ProductMessage("Oracle databases are read through ODBC on this platform: use type ODBC "
                                        "with an Oracle ODBC driver."),
                      "");
    }
    try {
        auto catalogue = db::OpenCatalogue(*options);
        AdoLoad load{std::string(DBType), connStr, std::string(uid), std::string(pwd), std::string(sSchema),
                     std::string(sTableName), std::string(sProjTableName),
                     options->route == Route::Sqlite ? options->path : std::string()};
        return LoadAdoCatalogue(database, *catalogue, load);
    } catch (const CatalogueError& error) {
        return CatalogueFailure(error, "ADO");
    }
}

std::int16_t LoadAdoCatalogue(AGPDatabase& database, db::Catalogue& catalogue, const AdoLoad& load) {
    AGPStatus* status = CurrentLoadStatus();
    bool loadAll = load.tableName.empty();
    bool connectOnly = load.tableName == "@" && load.projTableName == "@";
    try {
        const db::ServerInfo& server = catalogue.Info();
        EngineState& state = Engine();
        state.dbmsName = ContainsNoCase(server.dbmsName, "Interbase") ? "Interbase Server" : server.dbmsName;
        SetDbQuotes(state.dbmsName);
        std::int16_t kind = DbKindOf(state.dbmsName);
        Engine().databaseKind = kind;

        if (loadAll || connectOnly) {
            database.SetDBType(load.dbType);
            database.SetDBPath(std::string());
            database.SetDBPhyPath(load.filePath);
            database.SetDBUID(load.uid);
            database.SetDBPwd(load.pwd);
            database.SetDBConnstr(load.connStr);
            database.SetDBADOVer(server.providerVersion);
            database.SetDBDBMSName(state.dbmsName);
            database.SetDBDBMSVer(server.dbmsVersion);
            database.SetDBOLEDBVer(server.providerVersion);
            database.SetDBProviderName(server.providerName);
            database.SetDBProviderVer(server.providerVersion);
            if (kind == kDbSqlServer) database.SetDBSchema(load.schema);
            database.SetDBQuoteS(state.quoteStart);
            database.SetDBQuoteE(state.quoteEnd);
        }
        ShowInfo(status, "Loading Database Tables/Views...");
        if (connectOnly) return 0;

        // Old PostgreSQL providers hid the "public" schema; from 7.3 on it is a schema like others.
        std::string version = database.DBDBMSVer().substr(0, 3);
        bool hidePublic = kind == kDbPostgreSql && version.size() == 3 &&
                          std::all_of(version.begin(), version.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
                          std::stoi(version) < 703;
        std::vector<db::TableInfo> listed = catalogue.ListTables();
        std::string schema = load.schema;
        if (kind == kDbOracle) {
            if (loadAll) {
                if (schema.empty()) {
                    auto first = std::find_if(listed.begin(), listed.end(),
                                              [](const db::TableInfo& info) { return info.type == "TABLE"; });
                    if (first != listed.end()) schema = first->schema;
                }
                database.SetDBSchema(schema);
                Loader().oracleSchema = schema;
            } else {
                schema = Loader().oracleSchema;
            }
        }
        TableWalk walk{database, catalogue, LoadRoute::Ado, kind, load.tableName, load.projTableName, status,
                       LoadingName,
                       [&](const db::TableInfo& info) {
                           if (kind == kDbOracle) return info.schema == schema;
                           return kind != kDbSqlServer || schema.empty() || info.schema == schema;
                       },
                       [&](const db::TableInfo& info) {
                           return hidePublic && info.schema == "public" ? std::string() : info.schema;
                       }};
        if (!WalkTables(walk, std::move(listed))) return 3;
        return 0;
    } catch (const CatalogueError& error) {
        return CatalogueFailure(error, "ADO");
    }
}

std::int16_t LoadDAODB(AGPDatabase& database, std::string_view DBPath, std::string_view DBPhyPath,
                       bool DBUseServerMapPath, std::string_view uid, std::string_view pwd,
                       std::string_view sTableName, std::string_view sProjTableName) {
    AGPStatus* status = CurrentLoadStatus();
    if (DBPhyPath.empty()) return 1;
    bool loadAll = sTableName.empty();
    bool connectOnly = sTableName == "@" && sProjTableName == "@";
    if (loadAll) ShowInfo(status, "Loading Database Tables...");
    db::ConnectOptions options;
    options.route = Route::Access;
    options.path = std::string(DBPhyPath);
    options.password = std::string(pwd);
    try {
        auto catalogue = db::OpenCatalogue(options);
        EngineState& state = Engine();
        state.dbmsName = "ACCESS";
        SetDbQuotes(state.dbmsName);
        Engine().databaseKind = kDbAccess;
        if (loadAll || connectOnly) {
            const db::ServerInfo& server = catalogue->Info();
            database.SetDBType("ACCESS");
            database.SetDBUseServerMapPath(DBUseServerMapPath);
            database.SetDBPath(std::string(DBPath));
            database.SetDBPhyPath(std::string(DBPhyPath));
            database.SetDBUID(std::string(uid));
            database.SetDBPwd(std::string(pwd));
            database.SetDBADOVer(server.providerVersion);
            database.SetDBDBMSName("ACCESS");
            database.SetDBDBMSVer(server.dbmsVersion);
            database.SetDBOLEDBVer("N.A.");
            database.SetDBProviderName("N.A.");
            database.SetDBProviderVer("N.A.");
            database.SetDBQuoteS(state.quoteStart);
            database.SetDBQuoteE(state.quoteEnd);
        }
        if (connectOnly) return 0;
        TableWalk walk{database, *catalogue, LoadRoute::Dao, kDbAccess, std::string(sTableName),
                       std::string(sProjTableName), status,
                       [](const db::TableInfo& info) {
                           return (info.type == "VIEW" ? "Loading View " : "Loading Table ") + info.name;
                       },
                       [](const db::TableInfo& info) {
                           constexpr std::int32_t kSystemObject = static_cast<std::int32_t>(0x80000002);
                           constexpr std::int32_t kHiddenObject = 1;
                           if (info.attributes & (kSystemObject | kHiddenObject)) return false;
                           return info.name != "Switchboard Items" && !info.name.starts_with("~");
                       },
                       nullptr};
        if (!WalkTables(walk)) return 3;
        return 0;
    } catch (const CatalogueError& error) {
        return Failed(1, "Open MS Access database failed. Error: " + std::string(error.what()), error.what());
    }
}

std::int16_t LoadzvDB(AGPDatabase& database, const ServerDbArgs& args, std::string_view sTableName,
                      std::string_view sProjTableName) {
    AGPStatus* status = CurrentLoadStatus();
    bool loadAll = sTableName.empty();
    bool connectOnly = sTableName == "@" && sProjTableName == "@";
    std::string type = ToLowerAscii(args.sDbType);
    if (type != "mysql" && type != "postgresql") {
        return Failed(1, ProductMessage("Database type " + args.sDbType +
                                        " has no server client on this platform; use an ODBC connection."),
                      "");
    }
    std::string quote = ResolveSqlQuote(args.sDbType, args.sMethod);
    std::optional<db::ConnectOptions> options = ServerConnectOptions(args);
    if (!options) return Failed(3, ProductMessage("Invalid port " + args.sPort + "!"), "");
    if (loadAll) ShowInfo(status, "Connecting to Data Source...");
    try {
        auto catalogue = db::OpenCatalogue(*options);
        const db::ServerInfo& server = catalogue->Info();
        EngineState& state = Engine();
        state.dbmsName = args.sDbType;
        SetDbQuotes(state.dbmsName);
        std::int16_t kind = DbKindOf(state.dbmsName);
        Engine().databaseKind = kind;
        if (loadAll || connectOnly) {
            SetServerConnection(database, args);
            database.SetDBDBMSName(server.dbmsName);
            database.SetDBDBMSVer(server.dbmsVersion);
            database.SetDBProviderName(std::string(kProductName));
            database.SetDBProviderVer(server.providerVersion);
            bool resolved = quote != "NA" && !quote.empty();
            database.SetDBQuoteS(resolved ? quote : state.quoteStart);
            database.SetDBQuoteE(resolved ? quote : state.quoteEnd);
        }
        if (connectOnly) return 0;
        ShowInfo(status, "Loading Database Tables/Views...");
        TableWalk walk{database, *catalogue, LoadRoute::Bridge, kind, std::string(sTableName),
                       std::string(sProjTableName), status, LoadingName, nullptr,
                       [&](const db::TableInfo& info) {
                           return type == "postgresql" && info.schema == "public" ? std::string() : info.schema;
                       }};
        if (!WalkTables(walk)) return 3;
        return 0;
    } catch (const CatalogueError& error) {
        if (error.reason() == CatalogueError::Reason::Login) return CatalogueFailure(error, "");
        return Failed(3, ProductMessage(std::string(error.what())), error.what());
    }
}

std::string AccessProviderFor(std::string_view dbmsVersion) {
    std::string major(dbmsVersion.substr(0, dbmsVersion.find('.')));
    return major == "12" ? std::string(kAccessProvider) : std::string("Microsoft.Jet.OLEDB.4.0");
}

}  // namespace velmora
