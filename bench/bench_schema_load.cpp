// Reading a large schema (1,000 tables of 20 columns) from PostgreSQL and MariaDB, timed against
// the servers' own schema dump tools (pg_dump --schema-only, mysqldump --no-data) in the same
// run. Live servers and a fixed number of runs do not fit adaptive iteration counts, so this file
// has its own main; the benchmark_main archive the bench build links is then never pulled in.
//
// Usage: bench_schema_load [runs]   (default 5; one untimed warm-up of each comes first)
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/db/catalogue.h"
#include "schema/schema_load.h"
#include "schema/schema_sync.h"
#include "support/status.h"

namespace {

constexpr int kTables = 1000;
constexpr int kColumnsPerTable = 20;
constexpr const char* kDatabase = "velmora_bench";
// Stored as the database comment once the whole script has run; a different text (or none)
// means the database is rebuilt. Bump the version whenever the generated schema changes.
constexpr const char* kMarker = "velmora bench schema v1: 1000 tables x 20 columns";

enum class Dialect { Postgres, MariaDb };
enum class Kind { Integer, BigInt, VarChar, Text, Numeric, Date, Timestamp, Boolean };
constexpr std::array kKindCycle{Kind::Integer, Kind::BigInt, Kind::VarChar,   Kind::Text,
                                Kind::Numeric, Kind::Date,   Kind::Timestamp, Kind::Boolean};

struct ColumnSpec {
    std::string name;
    Kind kind = Kind::Integer;
    int length = 0;  // varchar only
    bool notNull = false;
    bool hasDefault = false;
    bool serial = false;
};

struct TableSpec {
    std::string name;
    std::vector<ColumnSpec> columns;
    std::vector<std::string> key;
    std::string uniqueColumn;
    std::string indexColumn;
};

// printf-style, for names with zero-padded numbers.
template <class... Args>
std::string Format(const char* format, Args... args) {
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), format, args...);
    return buffer.data();
}

const char* Suffix(Kind kind) {
    switch (kind) {
        case Kind::Integer: return "int";
        case Kind::BigInt: return "big";
        case Kind::VarChar: return "str";
        case Kind::Text: return "txt";
        case Kind::Numeric: return "num";
        case Kind::Date: return "day";
        case Kind::Timestamp: return "ts";
        case Kind::Boolean: return "flag";
    }
    return "x";
}

// Table i: the key by i % 4 (serial, composite, integer, varchar code), then columns cycling
// through the types, shifted per table so that every position sees every type.
TableSpec MakeTable(int i) {
    TableSpec table;
    table.name = Format("t%04d", i);
    switch (i % 4) {
        case 0: table.columns.push_back({"id", Kind::Integer, 0, true, false, true}); break;
        case 1:
            table.columns.push_back({"part_a", Kind::Integer, 0, true, false, false});
            table.columns.push_back({"part_b", Kind::BigInt, 0, true, false, false});
            break;
        case 2: table.columns.push_back({"id", Kind::Integer, 0, true, false, false}); break;
        default: table.columns.push_back({"code", Kind::VarChar, 16, true, false, false}); break;
    }
    for (const ColumnSpec& column : table.columns) table.key.push_back(column.name);
    for (int j = 0; static_cast<int>(table.columns.size()) < kColumnsPerTable; ++j) {
        ColumnSpec column;
        column.kind = kKindCycle[static_cast<std::size_t>((i + j) % kKindCycle.size())];
        column.name = Format("c%02d_%s", j, Suffix(column.kind));
        if (column.kind == Kind::VarChar) column.length = 20 + 10 * ((i + j) % 10);
        column.notNull = j % 3 == 0;
        column.hasDefault = (7 * i + 3 * j) % 5 < 2;
        if (table.uniqueColumn.empty() && column.kind == Kind::VarChar) table.uniqueColumn = column.name;
        if (table.indexColumn.empty() && column.kind == Kind::Date) table.indexColumn = column.name;
        table.columns.push_back(std::move(column));
    }
    return table;
}

std::string TypeSql(const ColumnSpec& column, Dialect dialect) {
    bool pg = dialect == Dialect::Postgres;
    if (column.serial) return pg ? "serial" : "INT NOT NULL AUTO_INCREMENT";
    switch (column.kind) {
        case Kind::Integer: return pg ? "integer" : "INT";
        case Kind::BigInt: return pg ? "bigint" : "BIGINT";
        case Kind::VarChar: return (pg ? "varchar(" : "VARCHAR(") + std::to_string(column.length) + ")";
        case Kind::Text: return pg ? "text" : "TEXT";
        case Kind::Numeric: return pg ? "numeric(10,2)" : "DECIMAL(10,2)";
        case Kind::Date: return pg ? "date" : "DATE";
        // MariaDB's TIMESTAMP may be NOT NULL with an automatic default unless told otherwise.
        case Kind::Timestamp: return pg ? "timestamp" : (column.notNull ? "TIMESTAMP" : "TIMESTAMP NULL");
        case Kind::Boolean: return pg ? "boolean" : "BOOLEAN";
    }
    return "integer";
}

std::string DefaultSql(Kind kind) {
    switch (kind) {
        case Kind::Integer: return "0";
        case Kind::BigInt: return "1000";
        case Kind::VarChar: return "'none'";
        case Kind::Text: return "'empty'";
        case Kind::Numeric: return "0.00";
        case Kind::Date: return "'2000-01-01'";
        case Kind::Timestamp: return "CURRENT_TIMESTAMP";
        case Kind::Boolean: return "false";
    }
    return "NULL";
}

std::string CreateTableSql(const TableSpec& table, Dialect dialect) {
    bool pg = dialect == Dialect::Postgres;
    std::string sql = "CREATE TABLE " + table.name + " (\n";
    for (const ColumnSpec& column : table.columns) {
        sql += "  " + column.name + " " + TypeSql(column, dialect);
        if (column.notNull && !column.serial) sql += " NOT NULL";
        if (column.hasDefault) sql += " DEFAULT " + DefaultSql(column.kind);
        sql += ",\n";
    }
    std::string key;
    for (const std::string& name : table.key) key += (key.empty() ? "" : ", ") + name;
    sql += "  PRIMARY KEY (" + key + ")";
    if (pg) {
        sql += "\n);\n";
        sql += "CREATE UNIQUE INDEX " + table.name + "_uq ON " + table.name + " (" + table.uniqueColumn + ");\n";
        sql += "CREATE INDEX " + table.name + "_ix ON " + table.name + " (" + table.indexColumn + ");\n";
    } else {
        sql += ",\n  UNIQUE KEY " + table.name + "_uq (" + table.uniqueColumn + "),\n";
        sql += "  KEY " + table.name + "_ix (" + table.indexColumn + ")\n) ENGINE=InnoDB;\n";
    }
    return sql;
}

// What a complete load of the schema must show in the model.
struct Counts {
    int tables = 0;
    int fields = 0;
    int keyFields = 0;
    int uniqueFields = 0;
    int autoIncrement = 0;
    int required = 0;
    int dbDefaults = 0;
};

Counts ExpectedCounts(Dialect dialect) {
    Counts counts;
    for (int i = 0; i < kTables; ++i) {
        TableSpec table = MakeTable(i);
        ++counts.tables;
        counts.keyFields += static_cast<int>(table.key.size());
        ++counts.uniqueFields;
        for (const ColumnSpec& column : table.columns) {
            ++counts.fields;
            bool inKey = std::find(table.key.begin(), table.key.end(), column.name) != table.key.end();
            if (column.serial) ++counts.autoIncrement;
            if (column.notNull || inKey) ++counts.required;
            // PostgreSQL states a serial column's sequence as its default; MariaDB has none.
            if (column.hasDefault || (column.serial && dialect == Dialect::Postgres)) ++counts.dbDefaults;
        }
    }
    return counts;
}

Counts CountModel(velmora::AGP& project) {
    Counts counts;
    auto database = project.DB();
    if (!database) return counts;
    for (const auto& table : database->Tables()->Items()) {
        ++counts.tables;
        for (const auto& field : table->Fields()->Items()) {
            ++counts.fields;
            counts.keyFields += field->FldIsPrimaryKey() ? 1 : 0;
            counts.uniqueFields += field->FldUniqueIdx() ? 1 : 0;
            counts.autoIncrement += field->FldAutoIncrement() ? 1 : 0;
            counts.required += field->FldReq() ? 1 : 0;
            counts.dbDefaults += field->FldDbDefault().ToText().empty() ? 0 : 1;
        }
    }
    return counts;
}

void WarnIfDifferent(const char* what, int got, int want) {
    if (got != want) std::printf("  WARNING: %s loaded %d, expected %d\n", what, got, want);
}

void CheckCounts(const Counts& got, const Counts& want) {
    WarnIfDifferent("tables", got.tables, want.tables);
    WarnIfDifferent("fields", got.fields, want.fields);
    WarnIfDifferent("primary key fields", got.keyFields, want.keyFields);
    WarnIfDifferent("unique-index fields", got.uniqueFields, want.uniqueFields);
    WarnIfDifferent("auto-increment fields", got.autoIncrement, want.autoIncrement);
    WarnIfDifferent("required fields", got.required, want.required);
    WarnIfDifferent("fields with a database default", got.dbDefaults, want.dbDefaults);
}

// ---- shell ---------------------------------------------------------------------------------

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The command's standard output, trailing line breaks removed; nullopt when it fails.
std::optional<std::string> Capture(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    std::array<char, 4096> buffer{};
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) out.append(buffer.data(), n);
    if (pclose(pipe) != 0) return std::nullopt;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

bool Feed(const std::string& command, const std::string& script) {
    FILE* pipe = popen(command.c_str(), "w");
    if (!pipe) return false;
    bool written = std::fwrite(script.data(), 1, script.size(), pipe) == script.size();
    return pclose(pipe) == 0 && written;
}

// ---- servers -------------------------------------------------------------------------------

struct Server {
    const char* title;
    Dialect dialect;
    const char* type;  // ServerDbArgs::sDbType
    const char* port;
    std::string client;  // the command-line client, logged in, before the database argument
    std::string dump;    // the timed dump command
    const char* dumpName;
};

Server Postgres() {
    return {"PostgreSQL",
            Dialect::Postgres,
            "postgresql",
            "5432",
            "PGPASSWORD=velmora PGCONNECT_TIMEOUT=5 psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p 5432 -U velmora",
            std::string("PGPASSWORD=velmora pg_dump --schema-only -h 127.0.0.1 -p 5432 -U velmora ") + kDatabase +
                " > /dev/null",
            "pg_dump --schema-only"};
}

Server MariaDb() {
    return {"MariaDB",
            Dialect::MariaDb,
            "mysql",
            "3306",
            "mysql --connect-timeout=5 -h 127.0.0.1 -P 3306 -u velmora -pvelmora",
            std::string("mysqldump --no-data -h 127.0.0.1 -P 3306 -u velmora -pvelmora ") + kDatabase + " > /dev/null",
            "mysqldump --no-data"};
}

// One value from a query; nullopt when the client cannot connect or the query fails.
std::optional<std::string> QueryValue(const Server& server, const std::string& database, const std::string& sql) {
    bool pg = server.dialect == Dialect::Postgres;
    std::string flags = pg ? " -tA -d " + database + " -c" : " -N -B " + database + " -e";
    return Capture(server.client + flags + " \"" + sql + "\" 2>/dev/null");
}

std::optional<std::string> ServerVersion(const Server& server) {
    return server.dialect == Dialect::Postgres ? QueryValue(server, "postgres", "SHOW server_version")
                                               : QueryValue(server, "", "SELECT VERSION()");
}

// The marker and the number of tables, as "marker|count"; empty when the database is missing.
std::string DatabaseShape(const Server& server) {
    std::optional<std::string> shape;
    if (server.dialect == Dialect::Postgres) {
        shape = QueryValue(server, kDatabase,
                           "SELECT coalesce(shobj_description(d.oid, 'pg_database'), '') || '|' || "
                           "(SELECT count(*) FROM pg_tables WHERE schemaname = 'public') "
                           "FROM pg_database d WHERE d.datname = current_database()");
    } else {
        shape = QueryValue(server, "",
                           std::string("SELECT concat(SCHEMA_COMMENT, '|', (SELECT count(*) FROM "
                                       "information_schema.TABLES WHERE TABLE_SCHEMA = '") +
                               kDatabase + "')) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = '" + kDatabase +
                               "'");
    }
    return shape.value_or("");
}

std::string SchemaScript(Dialect dialect) {
    std::string script;
    bool pg = dialect == Dialect::Postgres;
    if (!pg) {
        script += std::string("DROP DATABASE IF EXISTS ") + kDatabase + ";\n";
        script += std::string("CREATE DATABASE ") + kDatabase + " CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;\n";
        script += std::string("USE ") + kDatabase + ";\n";
    }
    // PostgreSQL in transactions of 100 tables: one for all would overrun the lock table.
    for (int i = 0; i < kTables; ++i) {
        if (pg && i % 100 == 0) script += "BEGIN;\n";
        script += CreateTableSql(MakeTable(i), dialect);
        if (pg && i % 100 == 99) script += "COMMIT;\n";
    }
    if (pg) {
        script += std::string("COMMENT ON DATABASE ") + kDatabase + " IS '" + kMarker + "';\n";
    } else {
        script += std::string("ALTER DATABASE ") + kDatabase + " COMMENT '" + kMarker + "';\n";
    }
    return script;
}

// Reuses the database when its marker and table count match, else builds it in one script.
bool EnsureDatabase(const Server& server) {
    std::string want = std::string(kMarker) + "|" + std::to_string(kTables);
    if (DatabaseShape(server) == want) {
        std::printf("  database %s: present with the expected shape, reused\n", kDatabase);
        return true;
    }
    std::printf("  database %s: building %d tables x %d columns ...\n", kDatabase, kTables, kColumnsPerTable);
    std::fflush(stdout);
    auto start = Clock::now();
    bool ok = true;
    if (server.dialect == Dialect::Postgres) {
        // Quiet about a database that is not there to drop.
        std::string command = "PGOPTIONS='-c client_min_messages=warning' " + server.client +
                              " -d postgres -c \"DROP DATABASE IF EXISTS " + kDatabase + " WITH (FORCE)\"" +
                              " -c \"CREATE DATABASE " + kDatabase + "\" > /dev/null";
        ok = std::system(command.c_str()) == 0;
        ok = ok && Feed(server.client + " -d " + kDatabase + " > /dev/null", SchemaScript(server.dialect));
    } else {
        ok = Feed(server.client + " > /dev/null", SchemaScript(server.dialect));
    }
    if (!ok || DatabaseShape(server) != want) {
        std::printf("  WARNING: could not build %s on %s; skipped\n", kDatabase, server.title);
        return false;
    }
    std::printf("  database %s: built in %.1f s\n", kDatabase, SecondsSince(start));
    return true;
}

// ---- measuring -----------------------------------------------------------------------------

struct EngineRun {
    double seconds = 0;
    double teardownSeconds = 0;
    bool ok = false;
    std::string error;
    Counts counts;
    double heapMiB = 0;  // held by the loaded project
};

// Bytes the allocator has handed out and not yet had back, over all arenas.
double HeapInUseMiB() {
    struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

velmora::ServerDbArgs LoadArgs(const Server& server) {
    velmora::ServerDbArgs args;
    args.sDbName = kDatabase;
    args.sDbType = server.type;
    args.sHost = "127.0.0.1";
    args.sPort = server.port;
    args.sUID = "velmora";
    args.sPwd = "velmora";
    return args;
}

EngineRun LoadOnce(const Server& server) {
    EngineRun run;
    double heapBefore = HeapInUseMiB();
    auto project = std::make_unique<velmora::AGP>();
    auto start = Clock::now();
    run.ok = velmora::LoadDBMySQL(*project, LoadArgs(server));
    run.seconds = SecondsSince(start);
    if (!run.ok) run.error = project->ProjErr();
    run.counts = CountModel(*project);
    run.heapMiB = HeapInUseMiB() - heapBefore;
    start = Clock::now();
    project.reset();
    run.teardownSeconds = SecondsSince(start);
    return run;
}

// CheckDB and SynchronizeDB on a freshly loaded project, nothing changed: seconds each, negative
// when the check does not find the project equal to its database.
std::pair<double, double> SyncOnce(const Server& server) {
    velmora::AGP project;
    if (!velmora::LoadDBMySQL(project, LoadArgs(server))) return {-1, -1};
    auto start = Clock::now();
    std::int16_t differences = velmora::CheckDB(project);
    double check = SecondsSince(start);
    start = Clock::now();
    bool synced = velmora::SynchronizeDB(project, false);
    double sync = SecondsSince(start);
    if (differences != 0 || !synced) return {-1, -1};
    return {check, sync};
}

// The same catalogue queries the load sends, in the same batches, without building the model:
// what the server and the client library cost on their own. Negative when it fails.
double CatalogueOnce(const Server& server) {
    velmora::db::ConnectOptions options;
    options.route = server.dialect == Dialect::Postgres ? velmora::db::ConnectOptions::Route::PostgreSql
                                                        : velmora::db::ConnectOptions::Route::MySql;
    options.host = "127.0.0.1";
    options.port = std::atoi(server.port);
    options.user = "velmora";
    options.password = "velmora";
    options.database = kDatabase;
    constexpr std::size_t kBatch = 256;  // the loader's batch size
    auto start = Clock::now();
    try {
        auto catalogue = velmora::db::OpenCatalogue(options);
        std::vector<velmora::db::TableInfo> tables = catalogue->ListTables();
        for (std::size_t begin = 0; begin < tables.size(); begin += kBatch) {
            catalogue->ReadColumns(std::span(tables).subspan(begin, std::min(kBatch, tables.size() - begin)));
        }
    } catch (const std::exception& error) {
        std::printf("  WARNING: catalogue read failed: %s\n", error.what());
        return -1.0;
    }
    return SecondsSince(start);
}

// Wall-clock seconds of the whole dump command; negative when it fails.
double DumpOnce(const Server& server) {
    auto start = Clock::now();
    int status = std::system(server.dump.c_str());
    double seconds = SecondsSince(start);
    return status == 0 ? seconds : -1.0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double Min(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

std::optional<long> CommittedTransactions(const Server& server) {
    auto text = QueryValue(server, "postgres",
                           std::string("SELECT xact_commit FROM pg_stat_database WHERE datname = '") + kDatabase + "'");
    if (!text || text->empty()) return std::nullopt;
    return std::strtol(text->c_str(), nullptr, 10);
}

// Transactions one action commits in the bench database. A backend reports its counts when it
// ends, just after the client hangs up, hence the pause; the least of three runs leaves out
// what autovacuum or others did meanwhile.
template <class Action>
std::optional<long> TransactionsOf(const Server& server, Action action) {
    std::optional<long> least;
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto before = CommittedTransactions(server);
        action();
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        auto after = CommittedTransactions(server);
        if (!before || !after) return std::nullopt;
        long delta = *after - *before;
        if (!least || delta < *least) least = delta;
    }
    return least;
}

// Every statement the engine sends outside a transaction commits one; the connection's start
// commits its own, measured with a client that sends exactly one query.
void ReportQueriesPerLoad(const Server& server) {
    auto oneQuery = TransactionsOf(server, [&] { QueryValue(server, kDatabase, "SELECT 1"); });
    auto load = TransactionsOf(server, [&] { LoadOnce(server); });
    if (!oneQuery || !load) {
        std::printf("  queries per load: not available (pg_stat_database unreadable)\n");
        return;
    }
    long perConnection = *oneQuery - 1;
    std::printf("  queries per load: %ld (pg_stat_database.xact_commit %ld, less %ld for the connection)\n",
                *load - perConnection, *load, perConnection);
}

void RunServer(const Server& server, int runs) {
    std::printf("\n");
    auto version = ServerVersion(server);
    if (!version) {
        std::printf("%s at 127.0.0.1:%s is not reachable as velmora (or its client is missing); skipped\n",
                    server.title, server.port);
        return;
    }
    std::printf("%s %s at 127.0.0.1:%s\n", server.title, version->c_str(), server.port);
    if (!EnsureDatabase(server)) return;

    Counts want = ExpectedCounts(server.dialect);
    long peakBefore = PeakResidentKiB();
    EngineRun warmUp = LoadOnce(server);
    if (!warmUp.ok) {
        std::printf("  WARNING: the engine could not load %s: %s; skipped\n", kDatabase, warmUp.error.c_str());
        return;
    }
    CatalogueOnce(server);
    if (DumpOnce(server) < 0) std::printf("  WARNING: %s failed\n", server.dumpName);

    std::vector<double> engine;
    std::vector<double> catalogue;
    std::vector<double> teardown;
    std::vector<double> dump;
    std::vector<double> heap;
    std::vector<double> checks;
    std::vector<double> syncs;
    Counts last;
    // Interleaved, so that a busy moment on the shared machine falls on all sides alike.
    for (int r = 0; r < runs; ++r) {
        EngineRun run = LoadOnce(server);
        if (!run.ok) std::printf("  WARNING: load %d failed: %s\n", r + 1, run.error.c_str());
        engine.push_back(run.seconds);
        teardown.push_back(run.teardownSeconds);
        heap.push_back(run.heapMiB);
        last = run.counts;
        if (double seconds = CatalogueOnce(server); seconds >= 0) catalogue.push_back(seconds);
        if (auto [check, sync] = SyncOnce(server); check >= 0) {
            checks.push_back(check);
            syncs.push_back(sync);
        } else {
            std::printf("  WARNING: the check found differences on an unchanged database\n");
        }
        double seconds = DumpOnce(server);
        if (seconds < 0) {
            std::printf("  WARNING: %s failed; its figures are left out\n", server.dumpName);
            dump.clear();
            break;
        }
        dump.push_back(seconds);
    }

    std::printf("  %-34s median %7.3f s   min %7.3f s   runs: %d\n", "engine LoadDBMySQL", Median(engine),
                Min(engine), runs);
    if (!dump.empty()) {
        std::printf("  %-34s median %7.3f s   min %7.3f s\n", server.dumpName, Median(dump), Min(dump));
        std::printf("  %-34s median %7.2f     min %7.2f\n", "ratio engine/dump", Median(engine) / Median(dump),
                    Min(engine) / Min(dump));
    }
    if (!checks.empty()) {
        std::printf("  %-34s median %7.3f s   min %7.3f s   (%.2f x the load)\n", "engine CheckDB, nothing changed",
                    Median(checks), Min(checks), Median(checks) / Median(engine));
        std::printf("  %-34s median %7.3f s   min %7.3f s   (%.2f x the load)\n", "engine SynchronizeDB, nothing changed",
                    Median(syncs), Min(syncs), Median(syncs) / Median(engine));
    }
    if (!catalogue.empty()) {
        std::printf("  %-34s median %7.3f s   min %7.3f s\n", "catalogue queries alone, no model",
                    Median(catalogue), Min(catalogue));
    }
    std::printf("  %-34s median %7.3f s   min %7.3f s   (not in the load's time)\n", "freeing the loaded project",
                Median(teardown), Min(teardown));
    std::printf("  loaded: %d tables, %d fields (%d key, %d unique-index, %d auto-increment, %d required, "
                "%d with a db default)\n",
                last.tables, last.fields, last.keyFields, last.uniqueFields, last.autoIncrement, last.required,
                last.dbDefaults);
    CheckCounts(last, want);
    // The high-water mark only rises: after an earlier server's loads it may not move at all.
    std::printf("  memory: heap held by a loaded project %.1f MiB; peak RSS %.1f MiB (+%.1f MiB over this "
                "server's loads)\n",
                Median(heap), static_cast<double>(PeakResidentKiB()) / 1024.0,
                static_cast<double>(std::max(0L, PeakResidentKiB() - peakBefore)) / 1024.0);
    if (server.dialect == Dialect::Postgres) ReportQueriesPerLoad(server);
}

// The engine must neither read nor change the user's or the machine's settings.
bool IsolateSettings() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-bench-schema-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return false;
    setenv("VELMORA_CONFIG_DIR", pattern.c_str(), 1);
    setenv("VELMORA_MACHINE_CONFIG", (pattern + "/machine.json").c_str(), 1);
    setenv("VELMORA_USER_DIR", (pattern + "/data").c_str(), 1);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (runs < 1) runs = 1;
    if (!IsolateSettings()) {
        std::printf("cannot make a temporary settings folder\n");
        return 1;
    }
    velmora::SetStatusSink(std::make_shared<velmora::NullStatusSink>());
    std::printf("Schema load: %d tables x %d columns, engine vs the server's schema dump, %d timed runs each "
                "after one warm-up; wall-clock seconds\n",
                kTables, kColumnsPerTable, runs);
    RunServer(Postgres(), runs);
    RunServer(MariaDb(), runs);
    std::filesystem::remove_all(std::getenv("VELMORA_CONFIG_DIR"));
    return 0;
}
