// Running a translated control once per table: 200 tables of 30 fields, each page about 180 KB,
// the way page generation calls BuildNewCode. Reports pages/s and MB/s.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/script_engine.h"
#include "support/engine_state.h"
#include "template/script_host.h"
#include "template/translate.h"

namespace {

void IsolateSettings() {
    static const std::string dir = (std::filesystem::temp_directory_path() / "velmora-bench").string();
    setenv("VELMORA_CONFIG_DIR", dir.c_str(), 1);
    setenv("VELMORA_MACHINE_CONFIG", (dir + "/machine.json").c_str(), 1);
    setenv("VELMORA_USER_DIR", (dir + "/data").c_str(), 1);
}

std::shared_ptr<velmora::AGP> BuildProject(int tables, int fields) {
    auto proj = std::make_shared<velmora::AGP>();
    auto db = proj->AddMainDatabase("bench.db");
    for (int t = 0; t < tables; ++t) {
        std::string name = "table_" + std::to_string(t);
        db->Tables()->Add(name);
        auto table = db->Tables()->Item(velmora::Variant(name));
        for (int f = 0; f < fields; ++f) table->Fields()->Add(name, "field_" + std::to_string(f));
    }
    return proj;
}

// Per field: three content blocks of about 2 KB around output blocks reading field properties.
std::string PageTemplate() {
    std::string row(1950, 'x');
    for (std::size_t i = 80; i < row.size(); i += 81) row[i] = '\n';
    return "<h1><!--##=TABLE.TblName##--></h1>\r\n<!--## for (var f of TABLE.Fields) { ##-->\r\n"
           "<div><!--##=f.FldName##-->" + row + "</div><!--##=f.FldCaption##-->" + row +
           "<span><!--##=f.FldVar##--></span>" + row + "\r\n<!--## } ##-->\r\n";
}

void RunPages(benchmark::State& state) {
    IsolateSettings();
    auto proj = BuildProject(200, 30);
    velmora::Translator translator;
    translator.TranslateTemplate(PageTemplate());
    std::string code = translator.ControlFunction("zvExlist_php", false);
    std::size_t bytes = 0, pages = 0;
    {
        velmora::AGScript host;
        host.Initialize(proj);
        auto tables = proj->DB()->Tables();
        for (auto _ : state) {
            for (int t = 1; t <= tables->Count(); ++t) {
                tables->Item(velmora::Variant(t));
                std::string page = host.BuildNewCode("zvExlist_php", code, 2, 0);
                bytes += page.size();
                ++pages;
            }
        }
        if (!velmora::Engine().ProjErr.empty()) state.SkipWithError(velmora::Engine().ProjErr.c_str());
    }
    state.counters["pages/s"] = benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
    state.counters["KB/page"] = pages ? static_cast<double>(bytes) / 1024.0 / static_cast<double>(pages) : 0;
}

}  // namespace

BENCHMARK(RunPages)->Unit(benchmark::kMillisecond)->Iterations(3);
