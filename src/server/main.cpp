// velmora: the engine's command line.
#include <unistd.h>

#include <functional>
#include <iostream>
#include <memory>

#include <CLI/CLI.hpp>

#include "schema/schema_sync.h"
#include "server/commands.h"
#include "support/engine_state.h"
#include "support/status.h"

using namespace velmora;

int main(int argc, char** argv) {
    CLI::App app{std::string(kProductName) + ": generates PHP web applications from database schemas"};
    // A project read with Sync (Load(file, true) from scripts) is checked against its database.
    InstallReaderSchemaCheck();
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", std::string(kProductName) + " " + EngineVersion());

    cli::SettingsOptions settings;
    int rc = cli::kExitOk;

    // Without a terminal, status lines name each table and page only with --verbose; commands
    // whose output is their result print nothing else unless asked.
    bool verbose = false;
    auto statusLines = [&verbose](bool resultOnly) {
        if (::isatty(STDERR_FILENO)) return;
        if (verbose)
            SetStatusSink(std::make_shared<LineStatusSink>(std::cerr, true));
        else if (resultOnly)
            SetStatusSink(std::make_shared<NullStatusSink>());
    };
    // Runs `command` with the status lines set up; `verboseHelp` empty: the command has no --verbose.
    auto runWithStatus = [&](CLI::App* command, bool resultOnly, const std::string& verboseHelp,
                             std::function<int()> run) {
        if (!verboseHelp.empty()) command->add_flag("--verbose", verbose, verboseHelp);
        command->callback([&rc, statusLines, resultOnly, run] {
            statusLines(resultOnly);
            rc = run();
        });
    };
    const std::string kProgressHelp = "Print the progress of reading the project too";

    CLI::App* settingsCmd = app.add_subcommand("settings", "Read and write the user's or the machine's settings");
    settingsCmd->require_subcommand(1);
    settingsCmd->add_flag("--machine", settings.machine, "Use the machine settings instead of the user's");

    CLI::App* list = settingsCmd->add_subcommand("list", "List the values of a section and its subsections");
    list->add_option("SECTION", settings.section, "Section below the settings base (General, Project, ...)");
    list->callback([&] { rc = cli::SettingsList(settings); });

    CLI::App* get = settingsCmd->add_subcommand("get", "Print one value");
    get->add_option("SECTION", settings.section)->required();
    get->add_option("NAME", settings.name)->required();
    get->callback([&] { rc = cli::SettingsGet(settings); });

    CLI::App* set = settingsCmd->add_subcommand("set", "Set one value");
    set->add_option("SECTION", settings.section)->required();
    set->add_option("NAME", settings.name)->required();
    set->add_option("VALUE", settings.value)->required();
    set->add_option("--type", settings.type, "Value type: 1 text, 2 expandable text, 3 binary, 4 number, "
                                             "5 big-endian number, 7 multi-text (items separated by |)");
    set->callback([&] { rc = cli::SettingsSet(settings); });

    for (CLI::App* sub : {list, get, set}) sub->add_flag("--machine", settings.machine, "Use the machine settings");

    bool json = false;
    CLI::App* defaults = app.add_subcommand("defaults", "Show the project settings a new project starts with");
    defaults->add_flag("--json", json, "Print as JSON");
    defaults->callback([&] { rc = cli::Defaults(json); });

    // Where a database is, for new and link.
    auto addDatabaseOptions = [](CLI::App* command, cli::DatabaseOptions& database) {
        command->add_option("--db", database.type, "Database type: sqlite, access, odbc, postgresql, mysql");
        command->add_option("--file", database.file, "SQLite or Access database file");
        command->add_option("--connect", database.connect,
                            "Connection string (ODBC, or \"Data Source=FILE\" for SQLite)");
        command->add_option("--dsn", database.dsn, "ODBC data source name");
        command->add_option("--host", database.host, "Database server (default 127.0.0.1)");
        command->add_option("--port", database.port, "Server port (default: the database's own)");
        command->add_option("--user", database.user, "User name");
        command
            ->add_option("--password", database.password, "Password (or the VELMORA_DB_PASSWORD environment variable)")
            ->envname("VELMORA_DB_PASSWORD");
        command->add_option("--database", database.database, "Database on the server");
        command->add_option("--schema", database.schema, "Schema (SQL Server)");
        command->add_option("--encoding", database.encoding, "Client character set (default UTF-8)");
    };

    std::string projectName, projectFile;
    cli::DatabaseOptions database;
    CLI::App* create = app.add_subcommand("new", "Create a project file, with the schema of a database");
    create->add_option("FILE", projectFile, "Project file to write (.vlp)")->required();
    create->add_option("--name", projectName, "Project name (default: the file's name)");
    addDatabaseOptions(create, database);
    bool noRelations = false;
    create->add_flag("--no-relations", noRelations,
                     "Leave foreign keys alone: no lookups and no master/detail relations from them");
    runWithStatus(create, false, "Without a terminal, a line for every table too",
                  [&] { return cli::NewProject(projectFile, projectName, database, !noRelations); });

    std::string derivedName, derivedTable, derivedSql;
    bool copySettings = false;
    CLI::App* addView = app.add_subcommand("add-view", "Add a custom view: a table made by an SQL SELECT statement");
    addView->add_option("FILE", projectFile, "Project file (.vlp)")->required();
    addView->add_option("NAME", derivedName, "Name of the view in the project")->required();
    addView->add_option("--sql", derivedSql, "The SELECT statement")->required();
    addView->add_flag("--copy-settings", copySettings,
                      "Columns taken from a table column get that column's settings (caption, edit control, ...)");
    runWithStatus(addView, true, "",
                  [&] { return cli::AddView(projectFile, derivedName, derivedSql, copySettings); });

    CLI::App* addField = app.add_subcommand("add-field", "Add a custom field: a column computed by an SQL expression "
                                                         "(an existing custom field gets the new expression)");
    addField->add_option("FILE", projectFile, "Project file (.vlp)")->required();
    addField->add_option("TABLE", derivedTable, "Table, view, custom view or link table")->required();
    addField->add_option("NAME", derivedName, "Name of the field")->required();
    addField->add_option("--sql", derivedSql, "The SQL expression, e.g. \"price * quantity\"")->required();
    runWithStatus(addField, true, "",
                  [&] { return cli::AddField(projectFile, derivedTable, derivedName, derivedSql); });

    CLI::App* removeField = app.add_subcommand("remove-field", "Remove a custom field");
    removeField->add_option("FILE", projectFile, "Project file (.vlp)")->required();
    removeField->add_option("TABLE", derivedTable, "Table of the field")->required();
    removeField->add_option("NAME", derivedName, "Name of the custom field")->required();
    runWithStatus(removeField, true, "", [&] { return cli::RemoveField(projectFile, derivedTable, derivedName); });

    cli::DatabaseOptions linkDatabase;
    std::string linkAs;
    CLI::App* link = app.add_subcommand("link", "Link a table of another database into the project");
    link->add_option("FILE", projectFile, "Project file (.vlp)")->required();
    link->add_option("TABLE", derivedTable, "Table or view in the other database")->required();
    link->add_option("--as", linkAs, "Name in the project (default: the table's own)");
    addDatabaseOptions(link, linkDatabase);
    runWithStatus(link, true, "", [&] { return cli::LinkTable(projectFile, linkDatabase, derivedTable, linkAs); });

    std::string reportFrom;
    CLI::App* addReport = app.add_subcommand("add-report", "Add a report: a summary page of a table");
    addReport->add_option("FILE", projectFile, "Project file (.vlp)")->required();
    addReport->add_option("NAME", derivedName, "Name of the report")->required();
    addReport->add_option("--from", reportFrom, "The table it summarises")->required();
    runWithStatus(addReport, true, "", [&] { return cli::AddReport(projectFile, derivedName, reportFrom); });

    cli::ChartOptions chart;
    CLI::App* addChart = app.add_subcommand("add-chart", "Add a chart to the list page of a table");
    addChart->add_option("FILE", chart.file, "Project file (.vlp)")->required();
    addChart->add_option("TABLE", chart.table, "Table whose list shows the chart")->required();
    addChart->add_option("NAME", chart.name, "Name and caption of the chart")->required();
    addChart->add_option("--x", chart.x, "Field whose values make the bars, points or slices")->required();
    addChart->add_option("--y", chart.y, "Field summarised per value (none: rows are counted)");
    addChart->add_option("--type", chart.type, "bar, line, pie or area (default bar)");
    addChart->add_option("--summary", chart.summary, "SUM, COUNT, AVG, MIN or MAX (default SUM)");
    addChart->add_option("--trend", chart.trends, "A trend line: VALUE or VALUE=CAPTION; repeatable");
    runWithStatus(addChart, true, "", [&] { return cli::AddChart(chart); });

    cli::SyncOptions sync;
    CLI::App* syncCmd = app.add_subcommand("sync", "Check a project against its database, or bring it in step");
    syncCmd->add_option("FILE", sync.project, "Project file (.vlp)")->required();
    syncCmd->add_flag("--check", sync.check, "Count and list the differences; exit 1 when there are some");
    syncCmd->add_flag("--dry-run", sync.dryRun, "Show what synchronising would change; save nothing");
    syncCmd->add_option("--rename", sync.renames, "A renamed field keeps its settings: TABLE.OLD=NEW; repeatable");
    syncCmd->add_option("--rename-table", sync.tableRenames, "A renamed table keeps its settings: OLD=NEW");
    syncCmd->add_option("--key", sync.key, "A changed primary key: keep the project's or update (default keep)");
    syncCmd->add_flag("--links", sync.links, "Read link tables again from their databases too");
    syncCmd->add_option("--answers", sync.answers, "JSON file of answers by question id");
    syncCmd->add_flag("--json", sync.json, "Print the differences and changes as JSON");
    runWithStatus(syncCmd, true, kProgressHelp, [&] { return cli::Sync(sync); });

    std::string propertyPath;
    bool allProperties = false;
    CLI::App* getProperty = app.add_subcommand("get", "Print a setting of a project, a table or a field");
    getProperty->add_option("FILE", projectFile, "Project file (.vlp)")->required();
    getProperty->add_option("SETTING", propertyPath, "[TABLE[.FIELD].]Property, or TABLE[.FIELD] with --all");
    getProperty->add_flag("--all", allProperties, "Every setting of the project, the table or the field");
    runWithStatus(getProperty, true, "", [&] {
        if (!propertyPath.empty() || allProperties) return cli::GetProperty(projectFile, propertyPath, allProperties);
        std::cerr << "Name a setting, or give --all\n";
        return cli::kExitUsage;
    });

    std::vector<std::string> assignments;
    CLI::App* setProperty = app.add_subcommand("set", "Change settings of a project, its tables and fields");
    setProperty->add_option("FILE", projectFile, "Project file (.vlp)")->required();
    setProperty->add_option("ASSIGNMENT", assignments, "[TABLE[.FIELD].]Property=Value, one or more")->required();
    runWithStatus(setProperty, true, "", [&] { return cli::SetProperties(projectFile, assignments); });

    bool inspectJson = false;
    CLI::App* inspect = app.add_subcommand("inspect", "Show a project's tables and fields with types, keys and flags");
    inspect->add_option("FILE", projectFile, "Project file (.vlp)")->required();
    inspect->add_flag("--json", inspectJson, "Print as JSON");
    runWithStatus(inspect, true, kProgressHelp, [&] { return cli::InspectProject(projectFile, inspectJson); });

    bool showJson = false;
    CLI::App* show = app.add_subcommand("show", "Show a project file's database and tables");
    show->add_option("FILE", projectFile, "Project file (.vlp)")->required();
    show->add_flag("--json", showJson, "Print as JSON");
    runWithStatus(show, true, kProgressHelp, [&] { return cli::ShowProject(projectFile, showJson); });

    std::string scriptFile;
    std::vector<std::string> scriptArgs;
    CLI::App* script = app.add_subcommand("script", "Run a script that drives root objects (new AGP())");
    script->add_option("FILE", scriptFile, "Script file (.js)")->required();
    script->add_option("ARGS", scriptArgs, "Arguments, seen by the script as scriptArgs");
    script->prefix_command();
    script->callback([&] {
        for (const std::string& extra : script->remaining()) scriptArgs.push_back(extra);
        rc = cli::RunScript(scriptFile, scriptArgs);
    });

    int questionTimeout = 60;
    CLI::App* rpc = app.add_subcommand("rpc", "Serve JSON-RPC 2.0 on stdin and stdout (one object per line)");
    rpc->add_option("--question-timeout", questionTimeout,
                    "Seconds a question waits for the client's answer before its safe default (default 60)");
    rpc->callback([&] { rc = cli::Rpc(questionTimeout); });

    cli::GenerateOptions generate;
    CLI::App* generateCmd = app.add_subcommand("generate", "Generate the application of a project");
    generateCmd->add_option("PROJECT", generate.project, "Project file (.vlp)")->required();
    generateCmd->add_option("--template", generate.templatePackage, "Template package (.zip or folder)");
    generateCmd->add_option("--dest", generate.dest, "Destination folder (default: the project's)");
    generateCmd->add_flag("--check", generate.check, "Count the pages and list what would be generated");
    generateCmd->add_flag("--dry-run", generate.dryRun,
                          "List what each file would get (create, update, merge, conflict, unchanged, skip); "
                          "write nothing to the destination");
    generateCmd->add_flag("--restore-deleted", generate.restoreDeleted,
                          "Write again the generated files you deleted");
    generateCmd->add_flag("--json", generate.json, "Print the summary of the run as JSON");
    generateCmd->add_flag("--yes", generate.yes, "Answer every yes/no question yes");
    generateCmd->add_flag("--no", generate.no, "Answer every yes/no question no");
    generateCmd->add_option("--overwrite", generate.overwrite,
                            "Existing files no earlier run wrote: ask, all or skip (default ask)");
    generateCmd->add_option("--answers", generate.answers, "JSON file of answers by question id");
    runWithStatus(generateCmd, false, "Without a terminal, a line for every page too",
                  [&] { return cli::Generate(generate); });

    cli::ServeOptions serve;
    CLI::App* serveCmd = app.add_subcommand("serve", "Run a generated application with PHP's built-in server");
    serveCmd->add_option("APP", serve.app, "Folder of the generated application")->required();
    serveCmd->add_option("--host", serve.host, "Address to listen on (default 127.0.0.1)");
    serveCmd->add_option("--port", serve.port, "Port (default 8080)");
    serveCmd->add_option("--php", serve.php, "PHP executable (default php)");
    serveCmd->callback([&] { rc = cli::Serve(serve); });

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? cli::kExitOk : cli::kExitUsage;
    }
    if (app.get_subcommands().empty()) {
        std::cout << app.help();
        return cli::kExitUsage;
    }
    return rc;
}
