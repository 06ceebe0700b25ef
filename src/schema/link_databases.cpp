// Linked databases: second databases whose tables the project reads and writes as link tables.
#include <filesystem>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/project/menus.h"
#include "model/core/property_bag.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "schema/derived_steps.h"
#include "schema/derived_tables.h"
#include "schema/load_steps.h"
#include "schema/schema_load.h"
#include "schema/sync_steps.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

bool IsServerType(std::string_view type) {
    std::string lower = ToLowerAscii(type);
    return lower == "mysql" || lower == "postgresql";
}

// The argument checks of LoadLinkDB; empty when the arguments can be tried.
std::string LinkArgsError(const LinkDbArgs& args) {
    std::string type = ToUpperAscii(args.sDbType);
    if (type == "ACCESS") return args.sPhyPath.empty() ? "invalid database path!" : "";
    if (IsServerType(type) && !args.sHost.empty()) return args.sDbName.empty() ? "Invalid DBName specified!" : "";
    if (type == "SQLITE" && !args.sPhyPath.empty()) return "";
    return args.sConnStr.empty() ? "invalid connection string specified!" : "";
}

std::string LinkDatabaseName(const LinkDbArgs& args) {
    if (EqualsNoCase(args.sDbType, "ACCESS")) return AccessFileName(args.sPhyPath);
    if (!args.sDbName.empty()) return args.sDbName;
    if (EqualsNoCase(args.sDbType, "SQLITE") && !args.sPhyPath.empty())
        return std::filesystem::path(args.sPhyPath).stem().string();
    return EqualsNoCase(args.sDbType, "ODBC") ? "ODBC" : "DB";
}

// Connects `database` by `args` and fills its connection properties; no table is read.
std::int16_t ConnectLinkDatabase(AGPDatabase& database, const LinkDbArgs& args) {
    LoaderStateScope keepState;
    std::string type = ToUpperAscii(args.sDbType);
    if (type == "ACCESS") {
        return LoadDAODB(database, args.sPath, args.sPhyPath, args.bDBUseServerMapPath, args.sUID, args.sPwd, "@", "@");
    }
    if (IsServerType(type) && !args.sHost.empty()) {
        ServerDbArgs server{args.sDbName, args.sDbType, args.sHost,   args.sPort, args.sUID,
                            args.sPwd,    args.sSID,    args.sMethod, args.sUrl,  args.sEncoding};
        database.SetDBConnstr(std::string());
        return LoadzvDB(database, server, "@", "@");
    }
    std::string connStr = args.sConnStr;
    if (type == "SQLITE" && !args.sPhyPath.empty()) connStr = "Data Source=" + args.sPhyPath;
    return LoadADODB(database, args.sDbType, args.sDbName, args.sUID, args.sPwd, connStr, args.sSchema, "@", "@");
}

// Reads table sTableName of the linked database into `target` (the main database's tables, or a
// scratch list) as sProjTable.
std::int16_t ReadLinkTable(std::shared_ptr<AGPTables> target, AGPDatabase& link, const std::string& sTableName,
                           const std::string& sProjTable) {
    LoaderStateScope keepState;
    LinkTargetScope scope(std::move(target));
    if (EqualsNoCase(link.DBType(), "ACCESS")) {
        return LoadDAODB(link, link.DBPath(), link.DBPhyPath(), link.DBUseServerMapPath(), link.DBUID(), link.DBPwd(),
                         sTableName, sProjTable);
    }
    if (UsesServerConnection(link)) return LoadzvDB(link, ServerArgsOf(link), sTableName, sProjTable);
    return LoadADODB(link, link.DBType(), link.DBName(), link.DBUID(), link.DBPwd(), ConnectionStringOf(link),
                     link.DBSchema(), sTableName, sProjTable);
}

std::vector<std::shared_ptr<AGPTable>> LinkTablesOf(AGP& project, std::string_view id) {
    std::vector<std::shared_ptr<AGPTable>> linked;
    if (!project.DB()) return linked;
    for (const auto& table : project.DB()->Tables()->Items())
        if (EqualsNoCase(table->TblType(), "LINKTABLE") && EqualsNoCase(table->LinkDBID(), id)) linked.push_back(table);
    return linked;
}

}  // namespace

std::string LoadLinkDB(AGP& project, const LinkDbArgs& args) {
    if (std::string error = LinkArgsError(args); !error.empty()) {
        Fail(error);
        return {};
    }
    auto links = project.LINKDBS();
    std::string id;
    for (int n = links->Count() + 1; id.empty() || links->DBExist(Variant(id)); ++n) id = "LINKDB" + std::to_string(n);
    links->Add(id);
    auto database = links->Find(Variant(id));
    std::string name = LinkDatabaseName(args);
    database->SetDBID(id);
    database->SetDBName(name);
    database->SetDBVar(MakeVarName(name.substr(0, name.find('.')), ""));
    Engine().ProjErrDb.clear();
    if (ConnectLinkDatabase(*database, args) != 0) {
        links->Delete(Variant(id));
        Fail("Load database failed");
        return {};
    }
    Engine().ProjErr.clear();
    return id;
}

bool SyncLinkDB(AGP& project, std::string_view sDbID, const LinkDbArgs& args) {
    std::string id(sDbID);
    auto link = project.LINKDBS()->Find(Variant(id));
    if (!link) return Fail("Link Database with id '" + id + "' not found");
    std::string failed = "Synchronize link database '" + link->DBName() + "' failed";
    if (!LinkArgsError(args).empty() || ConnectLinkDatabase(*link, args) != 0) return Fail(failed);
    if (!args.sDbName.empty()) link->SetDBName(args.sDbName);
    std::vector<SyncChange> changes;
    SyncRun run{project, changes};
    for (const auto& table : LinkTablesOf(project, id)) {
        auto fresh = ReadFreshLinkTable(project, *table);
        if (!fresh) return Fail(failed);
        MergeFields(run, *table, *fresh, KeyRule::Take, {});
        table->SetLinkTableType(fresh->LinkTableType());
        table->SetTblLoaded(true);
    }
    Engine().ProjErr.clear();
    return true;
}

std::shared_ptr<AGPTable> ReadFreshLinkTable(AGP& project, const AGPTable& linkTable) {
    auto link = project.LINKDBS()->Find(Variant(linkTable.LinkDBID()));
    if (!link) return Fail("link database not found"), nullptr;
    auto scratch = std::make_shared<AGPDatabase>();
    std::string source = linkTable.LinkTableName().empty() ? linkTable.TblName() : linkTable.LinkTableName();
    Engine().ProjErr.clear();
    if (ReadLinkTable(scratch->Tables(), *link, source, linkTable.TblName()) != 0) {
        if (Engine().ProjErr.empty()) Fail("table not found");
        return nullptr;
    }
    return scratch->Tables()->Find(Variant(linkTable.TblName()));
}

bool UnloadLinkDB(AGP& project, std::string_view sDbID) {
    std::string id(sDbID);
    auto links = project.LINKDBS();
    if (!links->DBExist(Variant(id))) return Fail("Link Database with id '" + id + "' not found");
    for (const auto& table : LinkTablesOf(project, id)) project.DB()->Tables()->Delete(Variant(table->TblName()));
    links->Delete(Variant(id));
    SyncMenuWithTables(project);
    Engine().ProjErr.clear();
    return true;
}

bool LoadLinkTable(AGP& project, std::string_view sLinkDBID, std::string_view sTableName,
                   std::string_view sProjTableName) {
    if (sTableName.empty()) return Fail("table name is empty!");
    if (sProjTableName.empty()) return Fail("project table name is empty!");
    if (!project.DB()) return Fail("database not loaded!");
    std::string id(sLinkDBID);
    auto link = project.LINKDBS()->Find(Variant(id));
    if (!link) return Fail("link database '" + id + "' not found!");
    std::string projName(sProjTableName);
    auto tables = project.DB()->Tables();
    if (tables->TableExist(Variant(projName))) return Fail("table '" + projName + "' already exists!");
    Engine().ProjErrDb.clear();
    std::int16_t result = ReadLinkTable(tables, *link, std::string(sTableName), projName);
    auto table = tables->Find(Variant(projName));
    if (result != 0 || !table) {
        if (table) tables->Delete(Variant(projName));
        return Fail("table not found");
    }
    table->SetLinkDBID(id);
    SyncMenuWithTables(project);
    Engine().ProjErr.clear();
    return true;
}

bool LoadRegisteredLinkTable(AGP& project, std::string_view sTableName) {
    auto tables = project.DB()->Tables();
    std::string name(sTableName);
    auto table = tables->Find(Variant(name));
    std::string id = table->LinkDBID();
    std::string source = table->LinkTableName().empty() ? name : table->LinkTableName();
    tables->Delete(Variant(name));
    return LoadLinkTable(project, id, source, name);
}

}  // namespace velmora
