// Generating and regenerating an application with the default package, for a schema of N tables
// of 30 columns (N = 200 and 2,000) read from SQLite. One run reports:
// - cold: the first generation into an empty folder with an empty translation cache, with its
//   time split into translation, script runs and writing, and the time a plain loop takes to
//   write the same files (the floor writing is measured against);
// - unchanged: the same generation again (nothing should be written);
// - one change: after one table's caption changed (only its files and those listing it should be);
// - the time per generated file, which should not grow with the number of tables.
// The project is built in memory, so the figures are the generation's own, without reading a
// project file.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "generation/driver.h"
#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "schema/schema_load.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "support/text_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const fs::path kRoot = fs::temp_directory_path() / "velmora-bench-generation";

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A shop-like schema: a key, texts, numbers, dates and a flag in each table.
bool BuildDatabase(const fs::path& file, int tables) {
    static const char* kTypes[] = {"VARCHAR(50)", "INTEGER", "REAL", "TEXT", "DATE", "NUMERIC(10,2)", "BOOLEAN"};
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) return false;
    std::string sql = "BEGIN;";
    for (int t = 0; t < tables; ++t) {
        sql += "CREATE TABLE t" + std::to_string(t) + " (id INTEGER PRIMARY KEY";
        for (int c = 1; c < 30; ++c) sql += ", c" + std::to_string(c) + " " + kTypes[c % 7];
        sql += ");";
    }
    sql += "COMMIT;";
    bool built = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return built;
}

struct Run {
    double seconds = 0;
    double check = 0;
    velmora::GenerationTimings timings;
    velmora::GenerationSummary summary;
};

Run Generate(const std::shared_ptr<velmora::AGP>& project) {
    Clock::time_point start = Clock::now();
    velmora::GenCheck(project);
    double check = Seconds(start);
    if (velmora::Engine().ProjErr.empty()) velmora::GenScript(project);
    return {Seconds(start), check, velmora::LastGenerationTimings(), velmora::LastGenerationSummary()};
}

// Writes the files of `app` (the record folder aside) into `copy` with a plain loop; seconds.
double FloorWrite(const fs::path& app, const fs::path& copy) {
    std::vector<std::pair<fs::path, std::string>> files;
    for (const auto& entry : fs::recursive_directory_iterator(app)) {
        if (!entry.is_regular_file() || entry.path().string().find("/.velmora/") != std::string::npos) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files.emplace_back(copy / entry.path().lexically_relative(app), std::string(std::istreambuf_iterator<char>(in), {}));
    }
    Clock::time_point start = Clock::now();
    for (const auto& [path, text] : files) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    return Seconds(start);
}

void BM_Regeneration(benchmark::State& state) {
    const int tables = static_cast<int>(state.range(0));
    setenv("VELMORA_CONFIG_DIR", (kRoot / "config").c_str(), 1);
    setenv("VELMORA_MACHINE_CONFIG", (kRoot / "machine.json").c_str(), 1);
    setenv("VELMORA_USER_DIR", (kRoot / "data").c_str(), 1);
    velmora::SetStatusSink(std::make_shared<velmora::NullStatusSink>());
    velmora::SetGenerationOptions({"O"});
    for (auto _ : state) {
        fs::remove_all(kRoot);
        // ext4 passes over the inodes of files deleted in the last seconds when it makes new ones,
        // which would slow the first files made after the removal above by several times.
        std::this_thread::sleep_for(std::chrono::seconds(6));
        fs::create_directories(kRoot);
        fs::path database = kRoot / "shop.db";
        if (!BuildDatabase(database, tables)) state.SkipWithError("cannot build the database");
        auto project = std::make_shared<velmora::AGP>();
        project->AddProj("Bench");
        velmora::LoadDbArgs args;
        args.sDbName = "shop";
        args.sDbType = "SQLITE";
        args.sPhyPath = database.string();
        if (!velmora::LoadDB(*project, args)) state.SkipWithError(velmora::Engine().ProjErr.c_str());
        project->SetTemplate("default");
        project->SetDefaultLanguageFile("english.xml");
        project->SetDestination((kRoot / "app").string());

        Run cold = Generate(project);
        if (!velmora::Engine().ProjErr.empty()) state.SkipWithError(velmora::Engine().ProjErr.c_str());
        double floor = FloorWrite(kRoot / "app", kRoot / "floor");
        Run unchanged = Generate(project);
        project->DB()->Tables()->Item(velmora::Variant(std::string("t0")))->SetTblCaption("Changed");
        Run changed = Generate(project);

        const auto files = static_cast<double>(cold.summary.Written());
        state.counters["files"] = files;
        state.counters["cold_s"] = cold.seconds;
        state.counters["cold_translate_s"] = cold.timings.translate;
        state.counters["cold_script_s"] = cold.timings.script;
        state.counters["cold_write_s"] = cold.timings.write;
        state.counters["floor_write_s"] = floor;
        state.counters["write_vs_floor"] = cold.timings.write / floor;
        state.counters["unchanged_s"] = unchanged.seconds;
        state.counters["unchanged_check_s"] = unchanged.check;
        state.counters["unchanged_script_s"] = unchanged.timings.script;
        state.counters["unchanged_write_s"] = unchanged.timings.write;
        state.counters["cold_check_s"] = cold.check;
        state.counters["unchanged_vs_cold"] = unchanged.seconds / cold.seconds;
        state.counters["unchanged_written"] = unchanged.summary.Written();
        state.counters["change_s"] = changed.seconds;
        state.counters["change_written"] = changed.summary.Written();
        state.counters["cold_us_per_file"] = cold.seconds / files * 1e6;
    }
    fs::remove_all(kRoot);
}
BENCHMARK(BM_Regeneration)->ArgName("tables")->Arg(200)->Arg(2000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
