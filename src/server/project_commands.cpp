#include <filesystem>
#include <iostream>
#include <set>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "persistence/project_reader.h"
#include "persistence/project_writer.h"
#include "schema/derived_tables.h"
#include "schema/foreign_keys.h"
#include "schema/schema_load.h"
#include "server/commands.h"
#include "support/config_paths.h"
#include "support/text.h"

namespace velmora::cli {

namespace {

// Loads the database the options name; false with ProjErr set.
bool LoadDatabase(AGP& project, const DatabaseOptions& db) {
    LinkDbArgs a = DatabaseArgsOf(db);
    if (!a.sHost.empty())
        return LoadDBMySQL(project, {a.sDbName, a.sDbType, a.sHost, a.sPort, a.sUID, a.sPwd, "", "", "", a.sEncoding});
    return LoadDB(project, {a.sDbName, a.sDbType, "", a.sPhyPath, false, a.sUID, a.sPwd, a.sConnStr, a.sSchema});
}

// A column named like a password or a hash of one: password, passwd, pwd, or ending in "_hash".
bool LooksLikeSecret(std::string_view name) {
    std::string lower = ToLowerAscii(name);
    for (std::string_view word : {"password", "passwd", "pwd"})
        if (lower.find(word) != std::string::npos) return true;
    return lower.ends_with("_hash");
}

// What a user expects of a new project's pages: CSV export of its lists, and the table pages of
// NewTablePages.
void NewProjectPages(AGP& project) {
    if (!project.DB()) return;
    project.SetExportCsv(true);
    for (const auto& table : project.DB()->Tables()->Items()) NewTablePages(*table);
}

// The language file of the shipped default package: english.xml when it has one, else its first.
std::string ShippedLanguageFile() {
    namespace fs = std::filesystem;
    fs::path folder = fs::path(InstallFolder()) / "templates" / "default" / "languages";
    std::set<std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".xml") files.insert(it->path().filename().string());
    if (files.empty()) return {};
    return files.count("english.xml") ? std::string("english.xml") : *files.begin();
}

}  // namespace

LinkDbArgs DatabaseArgsOf(const DatabaseOptions& db) {
    std::string type = ToLowerAscii(db.type);
    LinkDbArgs args;
    args.sDbType = type == "sqlite" || type == "access" || type == "odbc" ? ToUpperAscii(type) : type;
    args.sDbName = type == "odbc" ? db.dsn : db.database;
    // A database file is named after itself.
    if (args.sDbName.empty() && type == "sqlite") args.sDbName = std::filesystem::path(db.file).stem().string();
    args.sPhyPath = db.file;
    args.sConnStr = db.connect;
    args.sSchema = db.schema;
    if ((type == "postgresql" || type == "mysql") && db.connect.empty())
        args.sHost = db.host.empty() ? std::string("127.0.0.1") : db.host;
    args.sPort = db.port;
    args.sUID = db.user;
    args.sPwd = db.password;
    args.sEncoding = db.encoding;
    return args;
}

void NewTablePages(AGPTable& table) {
    bool searched = false;
    for (const auto& field : table.Fields()->Items()) {
        // Numbers match exactly; keys would only add noise to what a user looks for.
        bool number = IsNumericAdoType(field->FldType()) && !field->FldIsPrimaryKey() && !field->FldAutoIncrement();
        bool text = FldTypeCategory(field->FldType()) == kCatString;
        bool quick = field->FldSupport() && (text || number);
        field->SetFldBasicSearch(quick);
        searched = searched || quick;
        // A list cuts long texts short; without them many views show next to nothing.
        bool longText = field->FldType() == kAdLongVarChar || field->FldType() == kAdLongVarWChar;
        if (longText && field->FldSupport()) field->SetFldList(true);
        if (text && LooksLikeSecret(field->FldName())) {
            field->SetFldHtmlTag("PASSWORD");
            field->SetFldList(false);
            field->SetFldView(false);
            field->SetFldExport(false);
            field->SetFldBasicSearch(false);
        }
    }
    table.SetTblBasicSearch(searched);
    if (!EqualsNoCase(table.TblType(), "TABLE") || !Trim(table.TblKey()).empty()) return;
    table.SetTblView(false);
    table.SetTblEdit(false);
    table.SetTblDelete(false);
    table.SetTblCopy(false);
}

int NewProject(const std::string& file, const std::string& name, const DatabaseOptions& db, bool relations) {
    static const std::set<std::string> kTypes{"sqlite", "access", "odbc", "postgresql", "mysql"};
    if (!db.type.empty() && !kTypes.contains(ToLowerAscii(db.type))) {
        std::cerr << "Unknown database type " << db.type << " (sqlite, access, odbc, postgresql, mysql)\n";
        return kExitUsage;
    }
    AGP project;
    project.AddProj(name.empty() ? std::filesystem::path(file).stem().string() : name);
    // A new project generates with no other step: without the user's default, the shipped one.
    if (Trim(project.DefaultLanguageFile()).empty()) project.SetDefaultLanguageFile(ShippedLanguageFile());
    if (!db.type.empty() && !LoadDatabase(project, db)) {
        std::cerr << project.ProjErr() << '\n';
        if (!project.ProjErrDb().empty() && project.ProjErr().find(project.ProjErrDb()) == std::string::npos) {
            std::cerr << project.ProjErrDb() << '\n';
        }
        return kExitFailure;
    }
    NewProjectPages(project);
    // The project stays useful without its relations: a key that cannot be read is a warning.
    if (!db.type.empty() && relations && !LoadForeignKeys(project))
        std::cerr << "Warning: " << project.ProjErr() << '\n';
    if (!Save(project, file)) {
        std::cerr << project.ProjErr() << '\n';
        return kExitFailure;
    }
    std::cout << file << '\n';
    return kExitOk;
}

int ShowProject(const std::string& file, bool json) {
    AGP project;
    if (!Load(project, file, false)) {
        std::cerr << project.ProjErr() << '\n';
        return kExitFailure;
    }
    nlohmann::ordered_json out{{"ProjName", project.ProjName()}, {"ProjID", project.ProjID()}, {"tables", nlohmann::ordered_json::array()}};
    if (auto db = project.DB()) {
        out["DBName"] = db->DBName();
        for (const auto& table : db->Tables()->Items())
            out["tables"].push_back({{"TblName", table->TblName()}, {"TblType", table->TblType()}, {"fields", table->Fields()->Count()}});
    }
    if (json) {
        std::cout << out.dump(2) << '\n';
        return kExitOk;
    }
    std::cout << fmt::format("Project {} {}\n", project.ProjName(), project.ProjID());
    if (out.contains("DBName")) std::cout << fmt::format("Database {}\n", out["DBName"].get<std::string>());
    for (const auto& table : out["tables"])
        std::cout << fmt::format("  {:<30} {:<8} {} fields\n", table["TblName"].get<std::string>(),
                                 table["TblType"].get<std::string>(), table["fields"].get<int>());
    return kExitOk;
}

}  // namespace velmora::cli
