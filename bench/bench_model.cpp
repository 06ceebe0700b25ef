// Building a project's model the way a schema load does: tables with fields, each given its
// defaults. Reports time per table and the process's peak resident memory.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"

namespace {

void IsolateSettings() {
    static const std::string dir = (std::filesystem::temp_directory_path() / "velmora-bench").string();
    setenv("VELMORA_CONFIG_DIR", dir.c_str(), 1);
    setenv("VELMORA_MACHINE_CONFIG", (dir + "/machine.json").c_str(), 1);
    setenv("VELMORA_USER_DIR", (dir + "/data").c_str(), 1);
}

void BuildSchema(benchmark::State& state) {
    IsolateSettings();
    const int tables = static_cast<int>(state.range(0));
    const int fieldsPerTable = static_cast<int>(state.range(1));
    for (auto _ : state) {
        velmora::AGP proj;
        auto db = proj.AddMainDatabase("bench.db");
        for (int t = 0; t < tables; ++t) {
            std::string name = "table_" + std::to_string(t);
            db->Tables()->Add(name);
            auto table = db->Tables()->Item(velmora::Variant(name));
            table->SetTblType("TABLE");
            table->LoadTableDefault();
            for (int f = 0; f < fieldsPerTable; ++f) {
                std::string fieldName = "field_" + std::to_string(f);
                table->Fields()->Add(name, fieldName);
                auto field = table->Fields()->Item(velmora::Variant(fieldName));
                field->SetFldType(f % 2 ? 3 : 202);
                field->SetFldSupport(true);
                field->LoadFldDefault();
            }
        }
        benchmark::DoNotOptimize(db);
    }
    state.counters["fields"] = tables * fieldsPerTable;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

BENCHMARK(BuildSchema)->Args({20, 30})->Args({200, 30})->Args({2000, 1})->Unit(benchmark::kMillisecond)->Iterations(1);
