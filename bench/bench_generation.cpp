// A whole generation: 200 tables of 30 fields, a package of 8 table controls, 1 field control,
// 5 project controls and a copy control. Reports the cold run (every control translated) with its
// time split into translation, script runs and writing, the warm run (cache unchanged: nothing
// translated), pages/s, and the time to merely write the same bytes over the generated files,
// which bounds what the warm run can reach.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "generation/driver.h"
#include "model/agp.h"
#include "model/database.h"
#include "model/field.h"
#include "model/fields.h"
#include "model/table.h"
#include "model/tables.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "support/text_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const fs::path kRoot = fs::temp_directory_path() / "velmora-bench-generation";

void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The package: the test package's system functions and language file, with more controls.
fs::path BuildPackage() {
    fs::path source = fs::path(VELMORA_SOURCE_DIR) / "tests/data/gen_package";
    fs::path package = kRoot / "package";
    fs::remove_all(package);
    fs::create_directories(kRoot);
    fs::copy(source, package, fs::copy_options::recursive);
    std::string controls = R"(<?xml version="1.0" encoding="utf-8"?>
<Velmora date="2026/12/06" version="12.0" desc="Benchmark package" author="Velmora">
  <control id="_css" type="folder" ofolder="css" ifolder="assets/css"/>
  <control id="robots" type="copy" ifiles="robots.txt" ifolder="assets"/>
  <control id="library" type="function" ifiles="functions.js" ifolder="scripts"/>
)";
    for (int i = 1; i <= 8; ++i)
        controls += "  <control id=\"page" + std::to_string(i) + "\" type=\"table\" ofile=\"page" + std::to_string(i) +
                    "\" oext=\"php\" ifiles=\"list.tpl\" ifolder=\"scripts/table\" tagext=\".php\">\n"
                    "    <session type=\"include\" value=\"header\" parm=\"x\"/><session type=\"key\" value=\"body\"/>\n"
                    "    <session type=\"include\" value=\"footer\" parm=\"\"/>\n  </control>\n";
    controls += "  <control id=\"lookup\" type=\"field\" ofile=\"lookup\" oext=\"php\" ifiles=\"lookup.tpl\" "
                "ifolder=\"scripts/field\" tagext=\".php\"/>\n";
    for (int i = 1; i <= 5; ++i)
        controls += "  <control id=\"project" + std::to_string(i) + "\" type=\"other\" ofile=\"project" +
                    std::to_string(i) + "\" oext=\"php\" ifiles=\"index.tpl\" ifolder=\"scripts\" tagext=\".php\"/>\n";
    controls += "</Velmora>\n";
    Write(package / "control.xml", controls);
    return package;
}

std::shared_ptr<velmora::AGP> BuildProject(const fs::path& package, const fs::path& destination) {
    auto project = std::make_shared<velmora::AGP>();
    project->AddProj("Bench");
    project->SetTemplate(package.string());
    project->SetDestination(destination.string());
    project->SetDefaultLanguageFile("english.xml");
    auto db = project->AddMainDatabase("bench.db");
    for (int t = 0; t < 200; ++t) {
        std::string name = "table_" + std::to_string(t);
        db->Tables()->Add(name);
        auto table = db->Tables()->Item(velmora::Variant(name));
        table->LoadTableDefault();
        table->SetTblType("TABLE");
        table->SetTblGen(true);
        for (int f = 0; f < 30; ++f) table->Fields()->Add(name, "field_" + std::to_string(f));
        table->Fields()->Item(velmora::Variant(std::string("field_0")))->SetFldGenerate(true);
    }
    return project;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void BM_Generation(benchmark::State& state) {
    setenv("VELMORA_CONFIG_DIR", (kRoot / "config").c_str(), 1);
    setenv("VELMORA_MACHINE_CONFIG", (kRoot / "machine.json").c_str(), 1);
    setenv("VELMORA_USER_DIR", (kRoot / "data").c_str(), 1);
    velmora::SetStatusSink(std::make_shared<velmora::NullStatusSink>());
    velmora::SetGenerationOptions({"O"});
    for (auto _ : state) {
        fs::remove_all(kRoot);
        fs::path package = BuildPackage();
        fs::path destination = kRoot / "app";
        auto project = BuildProject(package, destination);

        Clock::time_point start = Clock::now();
        std::int32_t pages = velmora::GenCheck(project);
        velmora::GenScript(project);
        double cold = Seconds(start);
        if (!velmora::Engine().ProjErr.empty()) state.SkipWithError(velmora::Engine().ProjErr.c_str());
        velmora::GenerationTimings coldParts = velmora::LastGenerationTimings();

        start = Clock::now();
        velmora::GenCheck(project);
        velmora::GenScript(project);
        double warm = Seconds(start);
        velmora::GenerationTimings warmParts = velmora::LastGenerationTimings();

        std::vector<std::pair<fs::path, std::string>> files;
        std::uintmax_t bytes = 0;
        for (const auto& entry : fs::recursive_directory_iterator(destination)) {
            if (!entry.is_regular_file() || entry.path().extension() != ".php") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            files.emplace_back(entry.path(), std::string(std::istreambuf_iterator<char>(in), {}));
            bytes += files.back().second.size();
        }
        start = Clock::now();
        for (const auto& [path, text] : files) velmora::WriteTextFile(path.string(), text, false, "utf-8");
        double writeOnly = Seconds(start);

        state.counters["pages"] = pages;
        state.counters["files"] = static_cast<double>(files.size());
        state.counters["MB"] = static_cast<double>(bytes) / 1e6;
        state.counters["cold_s"] = cold;
        state.counters["cold_translate_s"] = coldParts.translate;
        state.counters["cold_script_s"] = coldParts.script;
        state.counters["cold_write_s"] = coldParts.write;
        state.counters["warm_s"] = warm;
        state.counters["warm_script_s"] = warmParts.script;
        state.counters["warm_write_s"] = warmParts.write;
        state.counters["write_only_s"] = writeOnly;
        state.counters["warm_pages_per_s"] = static_cast<double>(files.size()) / warm;
    }
    fs::remove_all(kRoot);
}
BENCHMARK(BM_Generation)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
