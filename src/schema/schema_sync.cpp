// The check and synchronisation runs: reading the schema, the passes over tables and views,
// custom views, link tables and reports, the rename questions, and the log file.
#include <chrono>
#include <ctime>
#include <functional>

#include <fmt/format.h>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/project/menus.h"
#include "model/project/schema_check_hook.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/prompter.h"
#include "schema/db_quotes.h"
#include "schema/derived_steps.h"
#include "schema/load_steps.h"
#include "schema/schema_reader.h"
#include "schema/sync_steps.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "support/text.h"
#include "support/text_file.h"

namespace velmora {
namespace {

// Process-wide, as each run replaces them: the schema snapshot, the change log, the scope and the
// renames decided beforehand.
struct SyncState {
    std::shared_ptr<AGPSchema> snapshot;
    std::vector<SyncChange> log;
    std::string scope;
    SyncRenames renames;
    bool writeLog = true;
};

SyncState& State() {
    static SyncState state;
    return state;
}

bool IsTableOrView(const AGPTable& table) {
    return EqualsNoCase(table.TblType(), "TABLE") || EqualsNoCase(table.TblType(), "VIEW");
}

// Reads the main database's schema into a fresh snapshot; nullptr (ProjErr, ProjErrDb the
// database's name) when it cannot be read.
std::shared_ptr<AGPSchema> ReadSchema(AGP& project, std::string_view caption) {
    Engine().ProjErr.clear();
    Engine().ProjErrDb.clear();
    auto database = project.DB();
    if (!database) {
        Fail(ProductMessage("Database not loaded!"));
        return nullptr;
    }
    AGPStatus status;
    status.ShowStatus(project.hwnd(), StatusLine(caption));
    auto schema = std::make_shared<AGPSchema>();
    // The snapshot needs every field, whatever the project's dynamic loading says.
    bool dynamic = Loader().dynamicLoad;
    Loader().dynamicLoad = false;
    bool read = false;
    {
        LoaderStateScope keepState;
        if (UsesServerConnection(*database)) {
            read = schema->LoadDBMySQL(ServerArgsOf(*database));
        } else {
            read = schema->LoadDB(LoadDbArgsOf(*database));
        }
    }
    Loader().dynamicLoad = dynamic;
    status.CloseStatus();
    if (!read) {
        Engine().ProjErrDb = database->DBName();
        return nullptr;
    }
    State().snapshot = schema;
    return schema;
}

std::shared_ptr<AGPTable> SchemaTable(const AGPSchema& schema, const std::string& name) {
    return schema.Loaded() ? schema.Loaded()->Tables()->Find(Variant(name)) : nullptr;
}

// A custom view's statement run again; nullptr with the error on the view when it fails.
std::shared_ptr<AGPTable> FreshCustomView(AGP& project, AGPTable& view) {
    auto database = project.DB();
    AGPSchema schema;
    LoaderStateScope keepState;
    bool read = UsesServerConnection(*database)
                    ? schema.LoadzvCustomView(ServerArgsOf(*database), view.TblName(), view.TblCustomSQL())
                    : schema.LoadADOCustomView(ConnectionStringOf(*database), view.TblName(), view.TblCustomSQL());
    auto fresh = read ? SchemaTable(schema, view.TblName()) : nullptr;
    std::string error = !fresh ? Engine().ProjErr : fresh->TblCustomError();
    if (error.empty()) return fresh;
    view.SetTblCustomError(error);
    view.SetTblSync(true);
    view.SetTblSyncMessage(error);
    return nullptr;
}

// A report's source as it is in the project now; nullptr with the message on the report.
std::shared_ptr<AGPTable> ReportSource(AGP& project, AGPTable& report) {
    auto source = project.DB()->Tables()->Find(Variant(report.TblRptSrc()));
    std::string error = !source ? "Source Table not found" : !source->TblLoaded() ? "Source Table Error" : "";
    if (error.empty()) return source;
    report.SetTblSync(true);
    report.SetTblSyncMessage(ProductMessage(error));
    return nullptr;
}

// The fresh version of a derived table, by its kind.
std::shared_ptr<AGPTable> FreshDerived(AGP& project, AGPTable& table) {
    std::string type = ToUpperAscii(table.TblType());
    if (type == "CUSTOMVIEW") return FreshCustomView(project, table);
    if (type == "REPORT") return ReportSource(project, table);
    auto fresh = ReadFreshLinkTable(project, table);
    if (!fresh) {
        table.SetTblSync(true);
        table.SetTblSyncMessage(Engine().ProjErr);
    }
    return fresh;
}

// Asks for (old, new) pairs one at a time until "none"; the pairs decided beforehand instead.
// Pairs whose two sides `alike` says are of a kind (fields of one type) are offered first.
std::vector<std::pair<std::string, std::string>> AskPairs(
    const std::string& id, const std::string& message, std::vector<std::string> olds, std::vector<std::string> news,
    const std::vector<std::pair<std::string, std::string>>* given,
    const std::function<bool(const std::string&, const std::string&)>& alike) {
    if (given) return *given;
    std::vector<std::pair<std::string, std::string>> pairs;
    while (!olds.empty() && !news.empty()) {
        Question question{id, message, {}, Buttons::Ok, {}, "none"};
        for (bool first : {true, false})
            for (const std::string& n : news)
                for (const std::string& o : olds)
                    if (alike(o, n) == first) question.choices.push_back({o + "=" + n, o + " -> " + n});
        question.choices.push_back({"none", "No more"});
        Answer answer = Ask(question);
        if (answer.Is("none") || answer.byDefault) break;
        std::size_t equals = answer.value.find('=');
        std::string o = answer.value.substr(0, equals), n = answer.value.substr(equals + 1);
        pairs.emplace_back(o, n);
        std::erase(olds, o);
        std::erase(news, n);
    }
    return pairs;
}

// Step 1: fields and tables the user maps to their old settings.
void MapRenames(SyncRun& run, const AGPSchema& schema, const std::string& scope) {
    auto tables = run.project.DB()->Tables();
    const SyncRenames& renames = State().renames;
    bool all = scope == "ALL";
    for (const auto& table : tables->Items()) {
        if (!IsTableOrView(*table) || !table->TblLoaded() || (!all && table->TblName() != scope)) continue;
        auto fresh = SchemaTable(schema, table->TblName());
        if (!fresh) continue;
        std::vector<std::string> olds, news;
        for (const auto& field : table->Fields()->Items())
            if (!field->FldIsCustom() && !fresh->Fields()->FieldExist(Variant(field->FldName())))
                olds.push_back(field->FldName());
        for (const auto& field : fresh->Fields()->Items())
            if (!table->Fields()->FieldExist(Variant(field->FldName()))) news.push_back(field->FldName());
        if (olds.empty() || news.empty()) continue;
        auto given = renames.fields.find(table->TblName());
        auto pairs = AskPairs("sync-field-mapping",
                              "Table: " + table->TblName() +
                                  " - New fields found in schema\r\nTo use old settings, "
                                  "please select the old fields which you would like to map to the new fields",
                              olds, news, given == renames.fields.end() ? nullptr : &given->second,
                              [&](const std::string& o, const std::string& n) {
                                  return table->Fields()->Find(Variant(o))->FldType() ==
                                         fresh->Fields()->Find(Variant(n))->FldType();
                              });
        for (const auto& [o, n] : pairs)
            if (table->Fields()->FieldExist(Variant(o)) && fresh->Fields()->FieldExist(Variant(n)))
                RenameField(run, *table, o, n);
    }
    if (!all) return;
    for (std::string kind : {"TABLE", "VIEW"}) {
        std::vector<std::string> olds, news;
        for (const auto& table : tables->Items())
            if (EqualsNoCase(table->TblType(), kind) && !SchemaTable(schema, table->TblName()))
                olds.push_back(table->TblName());
        for (const auto& table : schema.Loaded()->Tables()->Items())
            if (EqualsNoCase(table->TblType(), kind) && !tables->TableExist(Variant(table->TblName())))
                news.push_back(table->TblName());
        if (olds.empty() || news.empty()) continue;
        std::string word = ToLowerAscii(kind);
        auto pairs = AskPairs("sync-table-mapping",
                              "New " + word + " found in schema\r\nTo use old settings, please select the old " + word +
                                  "(s) which you would like to map to the new " + word,
                              olds, news, renames.tables.empty() ? nullptr : &renames.tables,
                              [](const std::string&, const std::string&) { return true; });
        for (const auto& [o, n] : pairs)
            if (tables->TableExist(Variant(o)) && !tables->TableExist(Variant(n)) && SchemaTable(schema, n))
                RenameTable(run, o, n);
    }
}

// A table of the schema the project lacks, added as a fresh load gives it (only registered with
// dynamic loading).
void AddSchemaTable(SyncRun& run, const AGPTable& fresh) {
    auto tables = run.project.DB()->Tables();
    tables->Add(fresh.TblName());
    auto table = tables->Find(Variant(fresh.TblName()));
    constexpr std::string_view kIdentity[] = {"TblSeq", "TblName"};
    CopyPropertyValues(*fresh.Properties(), *table->Properties(), kIdentity, true);
    if (run.project.DynamicLoadDB()) {
        table->SetTblLoaded(false);
    } else {
        constexpr std::string_view kFieldIdentity[] = {"FldSeq", "FldName"};
        for (const auto& source : fresh.Fields()->Items()) {
            table->Fields()->Add(table->TblName(), source->FldName());
            auto field = table->Fields()->Find(Variant(source->FldName()));
            CopyPropertyValues(*source->Properties(), *field->Properties(), kFieldIdentity, true);
        }
    }
    table->SetTblSync(true);
    LogChange(run, "A", *table, nullptr, EqualsNoCase(fresh.TblType(), "VIEW") ? "Add view" : "Add table");
}

// Step 2: tables and views.
bool SyncTablesAndViews(SyncRun& run, const AGPSchema& schema, const std::string& scope) {
    auto tables = run.project.DB()->Tables();
    bool all = scope == "ALL";
    if (run.status) run.status->DispStatus("Please wait...");
    for (const auto& table : tables->Items()) {
        if (!IsTableOrView(*table) || (!all && table->TblName() != scope)) continue;
        if (run.status && run.status->StatusIsCancelled()) return false;
        table->SetTblSync(false);
        table->SetTblSyncMessage(std::string());
        for (const auto& field : table->Fields()->Items()) {
            field->SetFldSync(false);
            field->SetFldSyncMessage(std::string());
        }
        auto fresh = SchemaTable(schema, table->TblName());
        if (!fresh || !EqualsNoCase(fresh->TblType(), table->TblType())) {
            if (!all) continue;
            LogChange(run, "D", *table, nullptr, "Delete table");
            run.removedTables.insert(table->TblName());
            tables->Delete(Variant(table->TblName()));
            continue;
        }
        if (!table->TblLoaded()) continue;
        MergeFields(run, *table, *fresh, EqualsNoCase(table->TblType(), "TABLE") ? KeyRule::Ask : KeyRule::Leave, {});
    }
    if (!all) return true;
    for (const auto& fresh : schema.Loaded()->Tables()->Items())
        if (!tables->TableExist(Variant(fresh->TblName()))) AddSchemaTable(run, *fresh);
    return true;
}

// Steps 3 to 5: custom views, link tables and reports of one type (or the one `scope` names).
bool SyncDerived(SyncRun& run, std::string_view type, const std::string& scope) {
    MergeWords words;
    if (type == "CUSTOMVIEW") words = {"Add field", "Change type from "};
    for (const auto& table : run.project.DB()->Tables()->Items()) {
        if (!EqualsNoCase(table->TblType(), type) || (!scope.empty() && table->TblName() != scope)) continue;
        if (run.status && run.status->StatusIsCancelled()) return false;
        table->SetTblSync(false);
        table->SetTblSyncMessage(std::string());
        auto fresh = FreshDerived(run.project, *table);
        if (!fresh) continue;
        // A report keeps the settings of a field its source renamed in this run.
        if (type == "REPORT")
            if (auto renamed = run.renamedFields.find(table->TblRptSrc()); renamed != run.renamedFields.end())
                for (const auto& [from, to] : renamed->second)
                    if (!table->Fields()->FieldExist(Variant(to))) RenameField(run, *table, from, to);
        if (type == "CUSTOMVIEW") table->SetTblCustomError(std::string());
        MergeFields(run, *table, *fresh, type == "LINKTABLE" ? KeyRule::Take : KeyRule::Leave, words);
        table->SetTblLoaded(true);
    }
    return true;
}

// Steps 6 to 9: relations and menu, field references, the log, the keys.
void FinishRun(SyncRun& run) {
    RepairRelations(run);
    SyncMenuWithTables(run.project);
    RepairFieldReferences(run);
    WriteSyncLog(run.project, run.log);
    for (const auto& table : run.project.DB()->Tables()->Items()) {
        if (!table->TblLoaded()) continue;
        std::vector<std::string> keys;
        for (const auto& field : table->Fields()->Items())
            if (field->FldIsPrimaryKey()) keys.push_back(field->FldName());
        table->SetTblKey(SortKeyList(std::move(keys)));
    }
}

// Differences of one project table against the snapshot or its fresh read.
std::int16_t CountTable(AGP& project, const AGPSchema& schema, AGPTable& table) {
    if (IsTableOrView(table)) {
        auto fresh = SchemaTable(schema, table.TblName());
        if (!fresh || !EqualsNoCase(fresh->TblType(), table.TblType())) return 1;
        return TableDiffers(table, *fresh, EqualsNoCase(table.TblType(), "TABLE")) ? 1 : 0;
    }
    auto fresh = FreshDerived(project, table);
    return !fresh || TableDiffers(table, *fresh, false) ? 1 : 0;
}

// The main run of SynchronizeDB and SyncTable; `scope` "ALL" or a table of type TABLE or VIEW.
bool RunSync(AGP& project, const std::string& scope, bool links) {
    auto schema = ReadSchema(project, "Database Synchronization...");
    if (!schema) return false;
    SyncState& state = State();
    state.scope = scope;
    state.log.clear();
    CacheProjectSettings(project);
    AGPStatus status;
    status.ShowStatus(project.hwnd(), StatusLine("Synchronizing Tables and Views..."));
    SyncRun run{project, state.log, &status};
    MapRenames(run, *schema, scope);
    bool completed = SyncTablesAndViews(run, *schema, scope);
    if (completed && scope == "ALL") {
        for (auto [type, caption] : {std::pair{"CUSTOMVIEW", "Synchronizing Custom Views..."},
                                     std::pair{"LINKTABLE", "Synchronizing Link Tables..."},
                                     std::pair{"REPORT", "Synchronizing Reports..."}}) {
            if (std::string_view(type) == "LINKTABLE" && !links) continue;
            status.ShowStatus(project.hwnd(), StatusLine(caption));
            if (!(completed = SyncDerived(run, type, ""))) break;
        }
    }
    FinishRun(run);
    status.CloseStatus();
    if (!completed) return Fail(ProductMessage("Synchronization cancelled by user!"));
    Engine().ProjErr.clear();
    return true;
}

// Custom views, link tables or reports alone.
bool RunDerived(AGP& project, std::string_view type, std::string_view sTable, std::string_view caption) {
    if (!project.DB()) return Fail(ProductMessage("Database not loaded!"));
    SyncState& state = State();
    state.log.clear();
    state.scope = sTable.empty() ? "ALL" : std::string(sTable);
    AGPStatus status;
    status.ShowStatus(project.hwnd(), StatusLine(caption));
    SyncRun run{project, state.log, &status};
    bool completed = SyncDerived(run, type, std::string(sTable));
    FinishRun(run);
    status.CloseStatus();
    if (!completed) return Fail(ProductMessage("Synchronization cancelled by user!"));
    Engine().ProjErr.clear();
    return true;
}

// The checks CheckTable and SyncTable make; nullptr with ProjErr.
std::shared_ptr<AGPTable> ScopeTable(AGP& project, std::string_view name) {
    auto table = project.DB() ? project.DB()->Tables()->Find(Variant(std::string(name))) : nullptr;
    if (!table) return Fail("Table not exist"), nullptr;
    std::string type = ToUpperAscii(table->TblType());
    if (type != "TABLE" && type != "VIEW" && type != "CUSTOMVIEW" && type != "LINKTABLE" && type != "REPORT")
        return Fail("Incorrect table type"), nullptr;
    return table;
}

}  // namespace

const std::vector<SyncChange>& SyncChanges() { return State().log; }

void SetSyncRenames(SyncRenames renames) { State().renames = std::move(renames); }

void SetSyncLogWriting(bool write) { State().writeLog = write; }

void ReaderSchemaCheck(AGP& project) {
    if (!project.DB()) return;
    std::int16_t count = CheckDB(project);
    if (count < 0) {
        std::string reason = Engine().ProjErr;
        Engine().ProjErr.clear();
        Engine().ProjErrDb.clear();
        if (!ContainsNoCase(reason, "JDBC ERROR"))
            ShowMessage("Unable to load database information! Reason: " + reason +
                        ". Please check if correct database is in use.");
        return;
    }
    bool typeNamesMissing = false;
    for (const auto& table : project.DB()->Tables()->Items())
        for (const auto& field : table->Fields()->Items())
            typeNamesMissing = typeNamesMissing || (!field->FldIsCustom() && field->FldTypeName().empty());
    if (count == 0 && !typeNamesMissing) return;
    std::string message = count > 0 ? "Database has been modified since last change. Do you want to keep old "
                                      "definition or update to new definition?"
                                    : "Field Type Names are empty for some of the fields in the project. Generated "
                                      "codes may not work correctly. Update from database schema?";
    Question question{
        "sync-keep-or-update", message, {}, Buttons::Ok, {{"keep", "Keep"}, {"update", "Update"}}, "keep"};
    if (Ask(question).Is("update")) SynchronizeDB(project, false);
    Engine().ProjErr.clear();
}

void InstallReaderSchemaCheck() { SetProjectSchemaCheck(ReaderSchemaCheck); }

std::int16_t CheckDB(AGP& project) {
    auto schema = ReadSchema(project, "Database Synchronization check...");
    if (!schema) return -1;
    State().scope = "ALL";
    AGPStatus status;
    std::int32_t count = 0;
    auto tables = project.DB()->Tables();
    struct Pass {
        std::string_view caption;
        bool (*takes)(const AGPTable&);
    };
    static constexpr Pass kPasses[] = {
        {"Checking Database...", IsTableOrView},
        {"Checking Custom View...", [](const AGPTable& t) { return EqualsNoCase(t.TblType(), "CUSTOMVIEW"); }},
        {"Checking Link Table...", [](const AGPTable& t) { return EqualsNoCase(t.TblType(), "LINKTABLE"); }},
        {"Checking Report...", [](const AGPTable& t) { return EqualsNoCase(t.TblType(), "REPORT"); }}};
    for (const Pass& pass : kPasses) {
        status.ShowStatus(project.hwnd(), StatusLine(pass.caption));
        status.DispStatus("Please wait...");
        for (const auto& table : tables->Items())
            if (pass.takes(*table)) count += CountTable(project, *schema, *table);
    }
    for (const auto& fresh : schema->Loaded()->Tables()->Items())
        if (!tables->TableExist(Variant(fresh->TblName()))) ++count;
    status.CloseStatus();
    Engine().ProjErr.clear();
    return static_cast<std::int16_t>(std::min<std::int32_t>(count, INT16_MAX));
}

std::int16_t CheckTable(AGP& project, std::string_view TableName) {
    auto table = ScopeTable(project, TableName);
    if (!table) return -1;
    auto schema = ReadSchema(project, "Database Synchronization check...");
    if (!schema) return -1;
    State().scope = table->TblName();
    std::int16_t count = CountTable(project, *schema, *table);
    Engine().ProjErr.clear();
    return count;
}

bool SynchronizeDB(AGP& project, bool CheckLinkDb) { return RunSync(project, "ALL", CheckLinkDb); }

bool SyncTable(AGP& project, std::string_view TableName) {
    auto table = ScopeTable(project, TableName);
    if (!table) return false;
    std::string type = ToUpperAscii(table->TblType());
    if (type == "CUSTOMVIEW") return SyncCustom(project, TableName);
    if (type == "LINKTABLE") return SyncLinkTable(project, TableName);
    if (type == "REPORT") return SyncReport(project, TableName);
    return RunSync(project, table->TblName(), false);
}

bool SyncCustom(AGP& project, std::string_view sTable) {
    return RunDerived(project, "CUSTOMVIEW", sTable, "Synchronizing Custom Views...");
}

bool SyncLinkTable(AGP& project, std::string_view sTable) {
    return RunDerived(project, "LINKTABLE", sTable, "Synchronizing Link Tables...");
}

bool SyncReport(AGP& project, std::string_view sTable) {
    return RunDerived(project, "REPORT", sTable, "Synchronizing Reports...");
}

std::vector<std::string> SyncLogLines(const std::vector<SyncChange>& changes, std::string_view date) {
    std::vector<std::string> lines{"# Software: " + std::string(kProductName), "# Version: " + EngineVersion(),
                                   "# Date: " + std::string(date)};
    std::string previous;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const SyncChange& change = changes[i];
        if (i == 0 || change.table != previous) {
            lines.insert(lines.end(), {"", "#", "# " + change.table, "#"});
            previous = change.table;
        }
        std::string word = change.action == "A"   ? "ADDED  "
                           : change.action == "C" ? "CHANGED"
                           : change.action == "D" ? "DELETED"
                                                  : "*******";
        std::string kind = change.kind.empty() ? change.tableType : change.kind;
        std::string name = change.kind.empty() ? change.table : change.table + "->" + change.field;
        std::string line = word + " : (" + kind + ") " + name;
        if (change.action == "C") line += " - " + change.message;
        lines.push_back(std::move(line));
    }
    return lines;
}

void WriteSyncLog(AGP& project, const std::vector<SyncChange>& changes) {
    if (!State().writeLog) return;
    if (changes.empty()) {
        project.SetSyncLog(std::string());
        return;
    }
    std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    std::string stamp = fmt::format("{:04}{:02}{:02}{:02}{:02}{:02}", local.tm_year + 1900, local.tm_mon + 1,
                                    local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::string date = fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", local.tm_year + 1900, local.tm_mon + 1,
                                   local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::string path = Engine().reportFolder + "/" + project.ProjVar() + "_" + stamp + ".log";
    std::string text;
    for (const std::string& line : SyncLogLines(changes, date)) text += line + "\r\n";
    std::string saved = Engine().ProjErr;
    if (!WriteTextFile(path, text, false, "utf-8")) {
        ShowMessage("Error in writing sync log file '" + path + "', error description: " + Engine().ProjErr);
        Engine().ProjErr = saved;
        return;
    }
    project.SetSyncLog(path);
}

}  // namespace velmora
