// The subcommands of the velmora command line. Each returns the process exit code:
// 0 success, 1 failure (the message is printed), 2 usage error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "schema/derived_tables.h"

namespace velmora {
class AGPTable;
}

namespace velmora::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct SettingsOptions {
    bool machine = false;
    std::string section;
    std::string name;
    std::string value;
    std::int32_t type = 1;
};

int SettingsList(const SettingsOptions& options);
int SettingsGet(const SettingsOptions& options);
int SettingsSet(const SettingsOptions& options);

// Prints the project properties a new project starts with.
int Defaults(bool json);

// Where a new project's database is: --db TYPE and the options that type reads.
struct DatabaseOptions {
    std::string type;  // sqlite, access, odbc, postgresql, mysql; empty: no database
    std::string file;
    std::string connect;
    std::string dsn;
    std::string host;
    std::string port;
    std::string user;
    std::string password;
    std::string database;
    std::string schema;
    std::string encoding;
};

// The connection the options name, as LoadDB and LoadDBMySQL take it together: a server by host
// (127.0.0.1 by default) unless a connection string is given, a file by its path.
LinkDbArgs DatabaseArgsOf(const DatabaseOptions& db);

// Creates a project named `name` (default: the file's stem), loads its database when one is
// given and saves it to `file`.
int NewProject(const std::string& file, const std::string& name, const DatabaseOptions& db, bool relations = true);
// What a user expects of the pages of a table new to a project: quick search over its text
// columns, long texts in the list too, a password control for columns named like secrets (never
// listed, shown, searched or exported), and for a table without a primary key the pages of a view
// (list and add), since the pages that find a row by its key cannot serve it.
void NewTablePages(AGPTable& table);
// Prints the tables and fields of a project file with types, keys and flags.
int InspectProject(const std::string& file, bool json);

// Prints one setting, "[TABLE[.FIELD].]Property", or with `all` every setting of the project, the
// table or the field that `path` names, as Name=Value lines.
int GetProperty(const std::string& file, const std::string& path, bool all);
// Applies "[TABLE[.FIELD].]Property=Value" assignments, each value converted to its property's
// type, and saves the project once; a wrong name or value leaves the file as it was.
int SetProperties(const std::string& file, const std::vector<std::string>& assignments);
// Prints a project file's name, database and tables.
int ShowProject(const std::string& file, bool json);

// Project additions, each saving the project: a custom view over an SQL statement (with
// `copySettings` its columns take the settings of the table columns they come from), a custom
// field computed by an SQL expression (an existing custom field gets the new expression), its
// removal, a table of another database linked under `as` (default: its own name), and a report
// on a table.
int AddView(const std::string& file, const std::string& name, const std::string& sql, bool copySettings);
int AddField(const std::string& file, const std::string& table, const std::string& name, const std::string& sql);
int RemoveField(const std::string& file, const std::string& table, const std::string& name);
int LinkTable(const std::string& file, const DatabaseOptions& db, const std::string& table, const std::string& as);
int AddReport(const std::string& file, const std::string& name, const std::string& from);

// A chart on a table's list: `y` summarised per value of `x`, with trend lines "VALUE[=CAPTION]".
struct ChartOptions {
    std::string file;
    std::string table;
    std::string name;
    std::string x;
    std::string y;
    std::string type = "bar";     // bar, line, pie, area
    std::string summary = "SUM";  // SUM, COUNT, AVG, MIN, MAX
    std::vector<std::string> trends;
};
int AddChart(const ChartOptions& options);

// velmora sync: --check counts and lists the differences (exit 1 when there are some); without it
// the project is synchronised and saved; --dry-run shows the changes and saves nothing.
struct SyncOptions {
    std::string project;
    bool check = false;
    bool dryRun = false;
    bool links = false;                    // re-read link tables too
    bool json = false;
    std::vector<std::string> renames;      // TABLE.OLD=NEW
    std::vector<std::string> tableRenames; // OLD=NEW
    std::string key;                       // keep or update: the answer for a changed primary key
    std::string answers;                   // answers file (JSON)
};
int Sync(const SyncOptions& options);

// JSON-RPC 2.0 over stdin and stdout (docs/rpc.md); a question not answered within
// `questionTimeoutSeconds` takes its safe default.
int Rpc(int questionTimeoutSeconds);

// Runs a script file with `new AGP()`, print() and scriptArgs; 1 on an uncaught error.
int RunScript(const std::string& file, const std::vector<std::string>& args);

struct GenerateOptions {
    std::string project;
    std::string templatePackage;  // replaces the project's Template
    std::string dest;             // replaces the project's Destination
    bool check = false;           // count the pages and list the item lists
    bool dryRun = false;          // list what each file would get, write nothing there
    bool restoreDeleted = false;  // write again generated files the user deleted
    bool json = false;            // print the run's summary as JSON
    bool yes = false;             // answer every yes/no question yes
    bool no = false;              // ... or no
    std::string overwrite = "ask";  // ask, all, skip: existing files no earlier run wrote
    std::string answers;          // answers file (JSON)
};

// Generates the application of a project; 130 when cancelled.
int Generate(const GenerateOptions& options);

struct ServeOptions {
    std::string app;
    std::string host = "127.0.0.1";
    int port = 8080;
    std::string php = "php";
};

// Runs a generated application with PHP's built-in server; returns only when PHP cannot start.
int Serve(const ServeOptions& options);

}  // namespace velmora::cli
