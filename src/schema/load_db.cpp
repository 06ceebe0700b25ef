// The root object's database loads: the main database by type, server databases, later tables,
// the list of a server's databases, and what a successful load brings along.
#include <algorithm>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/project/engine_objects.h"
#include "model/project/keyword.h"
#include "model/project/menus.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/db/catalogue.h"
#include "platform/regex.h"
#include "schema/db_quotes.h"
#include "schema/derived_steps.h"
#include "schema/derived_tables.h"
#include "schema/load_steps.h"
#include "schema/schema_load.h"
#include "support/config_paths.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/status.h"
#include "support/text.h"

namespace velmora {
namespace {



bool UseOracleOledb() {
    return ToBoolean(GetRegValue("HKCU", SettingsSection("General"), "UseOracleOledb")).value_or(false);
}

// The host of an Oracle connection string: its "Data Source", else the whole string.
std::string OracleHost(std::string_view connStr) {
    RegExp pattern;
    pattern.SetPattern(R"(Data\s+Source\s*=\s*([^;]+)\s*;)");
    pattern.SetIgnoreCase(true);
    pattern.SetGlobal(true);
    auto matches = pattern.Execute(connStr);
    if (!matches.empty() && !matches.front().SubMatches.empty()) return matches.front().SubMatches.front();
    return std::string(connStr);
}


// The extensions registered for every project, each a subsection with Name, Template, XmlFile.
void LoadRegisteredExtensions(AGP& project) {
    for (const std::string& sub : CurrentUserStore().Subsections(ExtensionsSection())) {
        std::string section = ExtensionsSection() + "\\" + sub;
        std::string name = GetRegValue("HKCU", section, "Name").ToText();
        if (name.empty()) continue;
        project.AddExtension(name, GetRegValue("HKCU", section, "Template").ToText(),
                             GetRegValue("HKCU", section, "XmlFile").ToText());
    }
}

// The part that LoadDB and LoadDBMySQL share: the status window, the database entry, the
// dispatch, and what success or failure leaves behind.
template <class Dispatch>
bool LoadMainDatabase(AGP& project, const std::string& name, bool showStatus, Dispatch dispatch) {
    AGPStatus status;
    if (showStatus) status.ShowStatus(project.hwnd(), StatusLine("Loading Database..."));
    LoadStatusScope scope(showStatus ? &status : nullptr);
    SettingsSnapshot settings;
    Engine().ProjErr.clear();
    Engine().ProjErrDb.clear();
    auto database = project.AddMainDatabase(name);
    database->SetDBName(name);
    database->SetDBVar(MakeVarName(name.substr(0, name.find('.')), ""));
    CacheProjectSettings(project);
    std::int16_t result = dispatch(*database);
    if (showStatus) status.CloseStatus();
    if (result != 0) {
        project.Databases()->Delete(Variant(name));
        project.DropMainDatabase();
        if (Engine().ProjErr.empty()) Engine().ProjErr = "Load Database failed!";
        return false;
    }
    LoadRegisteredExtensions(project);
    Engine().ProjErr.clear();
    SyncMenuWithTables(project);
    return true;
}

}  // namespace

void LoadKeywords() {
    std::string file = GetConfigPath("Keyword");
    if (!file.empty()) Keywords().Load(file);
}

bool LoadDB(AGP& project, const LoadDbArgs& args) {
    if (project.DB()) return Fail("database already loaded!");
    std::string type = ToUpperAscii(args.sDbType);
    std::string name;
    if (type == "ACCESS") {
        if (args.sPhyPath.empty()) return Fail("invalid database path!");
        name = AccessFileName(args.sPhyPath);
    } else if (type == "ODBC") {
        name = args.sDbName.empty() ? "ODBC" : args.sDbName;
    } else {
        if (args.sConnStr.empty() && !(type == "SQLITE" && !args.sPhyPath.empty())) {
            return Fail("invalid connection string specified!");
        }
        name = args.sDbName.empty() ? "DB" : args.sDbName;
    }
    LoadKeywords();
    bool oracleBridge = ToLowerAscii(args.sDbType) == "oracle" && !UseOracleOledb();
    return LoadMainDatabase(project, name, !oracleBridge, [&](AGPDatabase& database) -> std::int16_t {
        if (type == "ACCESS") {
            return LoadDAODB(database, args.sPath, args.sPhyPath, args.bDBUseServerMapPath, args.sUID, args.sPwd,
                             "", "");
        }
        if (oracleBridge) {
            database.SetDBConnstr(args.sConnStr);
            ServerDbArgs server{args.sSchema, args.sDbType, OracleHost(args.sConnStr), "", args.sUID, args.sPwd,
                                "", "", "", ""};
            return LoadzvDB(database, server, "", "");
        }
        std::string connStr = args.sConnStr;
        if (type == "SQLITE" && !args.sPhyPath.empty()) connStr = "Data Source=" + args.sPhyPath;
        return LoadADODB(database, args.sDbType, args.sDbName, args.sUID, args.sPwd, connStr, args.sSchema, "", "");
    });
}

bool LoadDBMySQL(AGP& project, const ServerDbArgs& args) {
    if (project.DB()) return Fail("database already loaded!");
    std::string type = ToLowerAscii(args.sDbType);
    if (type != "mysql" && type != "postgresql") {
        return Fail(ProductMessage("Database type " + args.sDbType + " is not a MySQL or PostgreSQL database!"));
    }
    if (args.sDbName.empty()) return Fail("Invalid DBName specified!");
    LoadKeywords();
    project.SetXMLEncoding(args.sEncoding);
    return LoadMainDatabase(project, args.sDbName, true,
                            [&](AGPDatabase& database) { return LoadzvDB(database, args, "", ""); });
}

bool LoadTableMySQL(AGP& project, std::string_view sTableName) {
    auto database = project.DB();
    if (!database) return Fail(ProductMessage("Database not loaded!"));
    std::string name(sTableName);
    auto tables = database->Tables();
    if (auto table = tables->Find(Variant(name)); table && table->TblLoaded()) {
        return Fail(ProductMessage("Table " + name + " already loaded!"));
    }
    ServerDbArgs args = ServerArgsOf(*database);
    std::string type = ToLowerAscii(args.sDbType);
    if (type != "mysql" && type != "postgresql") return Fail(ProductMessage("Database not loaded!"));
    // A registered table is read again in full, so that its fields come in catalogue order.
    if (tables->TableExist(Variant(name))) tables->Delete(Variant(name));
    if (LoadzvDB(*database, args, name, "") != 0) {
        if (!tables->TableExist(Variant(name))) {
            Engine().ProjErr = ProductMessage("Table " + name + " cannot be added!");
        }
        return false;
    }
    SyncMenuWithTables(project);
    return true;
}

bool LoadTable(AGP& project, std::string_view sTableName) {
    auto database = project.DB();
    if (!database) return Fail(ProductMessage("Database not loaded!"));
    std::string name(sTableName);
    auto tables = database->Tables();
    if (auto table = tables->Find(Variant(name)); table && !table->TblLoaded()) {
        if (EqualsNoCase(table->TblType(), "LINKTABLE")) return LoadRegisteredLinkTable(project, name);
        if (EqualsNoCase(table->TblType(), "CUSTOMVIEW")) {
            std::string sql = table->TblCustomSQL();
            tables->Delete(Variant(name));
            return LoadCustomView(project, name, sql, false);
        }
    }
    if (UsesServerConnection(*database)) return LoadTableMySQL(project, sTableName);
    std::string type = ToUpperAscii(database->DBType());
    if (auto table = tables->Find(Variant(name)); table && table->TblLoaded()) {
        return Fail(ProductMessage("Table " + name + " already loaded!"));
    }
    // A registered table is read again in full, so that its fields come in catalogue order.
    if (tables->TableExist(Variant(name))) tables->Delete(Variant(name));
    std::int16_t result = 0;
    if (type == "ACCESS") {
        result = LoadDAODB(*database, database->DBPath(), database->DBPhyPath(), database->DBUseServerMapPath(),
                           database->DBUID(), database->DBPwd(), name, "");
    } else {
        result = LoadADODB(*database, database->DBType(), database->DBName(), database->DBUID(), database->DBPwd(),
                           CustomViewConnStr(project), database->DBSchema(), name, "");
    }
    if (result != 0 || !tables->TableExist(Variant(name))) {
        if (Engine().ProjErr.empty()) Engine().ProjErr = ProductMessage("Table " + name + " cannot be added!");
        return false;
    }
    SyncMenuWithTables(project);
    return true;
}

std::string LoadDatabaseNames(AGP&, const ServerDbArgs& args) {
    std::string type = ToLowerAscii(args.sDbType.empty() ? std::string("MYSQL") : args.sDbType);
    db::ConnectOptions options;
    if (type == "mysql") options.route = db::ConnectOptions::Route::MySql;
    else if (type == "postgresql") options.route = db::ConnectOptions::Route::PostgreSql;
    else {
        Fail(ProductMessage("Database type " + args.sDbType + " has no list of databases."));
        return {};
    }
    options.host = args.sHost;
    options.port = ToLong(Variant(args.sPort)).value_or(0);
    options.user = args.sUID;
    options.password = args.sPwd;
    options.database = args.sDbName;
    options.encoding = args.sEncoding;
    try {
        std::string list;
        for (const std::string& name : db::ListDatabases(options)) {
            if (!list.empty()) list += "\r\n";
            list += name;
        }
        return list;
    } catch (const db::CatalogueError& error) {
        Engine().ProjErr = error.what();
        Engine().ProjErrDb = error.what();
        return {};
    }
}

std::string ConnectionStringOf(const AGPDatabase& database) {
    std::string type = ToUpperAscii(database.DBType());
    if (type == "ACCESS") {
        std::string connStr = "Provider=" + AccessProviderFor(database.DBDBMSVer()) +
                              ";Data Source=" + database.DBPhyPath() + ";";
        if (!database.DBPwd().empty()) connStr += "Jet OLEDB:Database Password=" + database.DBPwd() + ";";
        return connStr;
    }
    if (type == "ODBC" && database.DBConnstr().empty()) {
        return "dsn=" + database.DBName() + ";uid=" + database.DBUID() + ";pwd=" + database.DBPwd();
    }
    return database.DBConnstr();
}

LoadDbArgs LoadDbArgsOf(const AGPDatabase& database) {
    return {database.DBName(), database.DBType(), database.DBPath(), database.DBPhyPath(),
            database.DBUseServerMapPath(), database.DBUID(), database.DBPwd(), ConnectionStringOf(database),
            database.DBSchema()};
}

std::string CustomViewConnStr(AGP& project) {
    auto database = project.DB();
    return database ? ConnectionStringOf(*database) : std::string();
}

}  // namespace velmora
