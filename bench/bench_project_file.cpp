// Project files of 500 tables with 50 fields each: loading and saving through the model, against
// parsing and serialising the same document alone, so that the cost of the model walk shows. File
// size and the process's peak resident memory are reported with each run.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "model/project/custom_scripts.h"
#include "model/extensions/extensions.h"
#include "model/project/language.h"
#include "model/project/menus.h"
#include "persistence/project_reader.h"
#include "persistence/project_writer.h"
#include "support/status.h"
#include "support/text_file.h"
#include "platform/xml.h"
#include "support/engine_state.h"

namespace {

constexpr int kTables = 500;
constexpr int kFieldsPerTable = 50;

const std::string& BenchFolder() {
    static const std::string dir = (std::filesystem::temp_directory_path() / "velmora-bench-project").string();
    return dir;
}

void IsolateSettings() {
    const std::string& dir = BenchFolder();
    setenv("VELMORA_CONFIG_DIR", (dir + "/config").c_str(), 1);
    setenv("VELMORA_MACHINE_CONFIG", (dir + "/machine.json").c_str(), 1);
    setenv("VELMORA_USER_DIR", (dir + "/data").c_str(), 1);
}

// The project every benchmark of this file works on, built once: tables and fields with their
// defaults, as a schema load leaves them.
velmora::AGP& BenchProject() {
    static std::unique_ptr<velmora::AGP> proj = [] {
        IsolateSettings();
        auto built = std::make_unique<velmora::AGP>();
        built->SetProjName("bench");
        auto db = built->AddMainDatabase("bench.db");
        for (int t = 0; t < kTables; ++t) {
            std::string name = "table_" + std::to_string(t);
            db->Tables()->Add(name);
            auto table = db->Tables()->Find(velmora::Variant(name));
            table->SetTblType("TABLE");
            table->SetTblCaption("Table " + std::to_string(t) + " & \"friends\"");
            table->LoadTableDefault();
            for (int f = 0; f < kFieldsPerTable; ++f) {
                std::string fieldName = "field_" + std::to_string(f);
                table->Fields()->Add(name, fieldName);
                auto field = table->Fields()->Find(velmora::Variant(fieldName));
                field->SetFldType(f % 2 ? 3 : 202);
                field->SetFldSupport(true);
                field->LoadFldDefault();
            }
        }
        return built;
    }();
    return *proj;
}

// Where the save benchmark writes; other benchmarks may read the file it leaves.
std::string BenchProjectFile() { return BenchFolder() + "/bench.vlp"; }

void ReportSizeAndMemory(benchmark::State& state, std::size_t bytes) {
    state.counters["file_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void SaveProject(benchmark::State& state) {
    velmora::AGP& proj = BenchProject();
    std::filesystem::create_directories(BenchFolder());
    const std::string path = BenchProjectFile();
    for (auto _ : state) {
        if (!velmora::Save(proj, path)) state.SkipWithError(velmora::Engine().ProjErr.c_str());
    }
    ReportSizeAndMemory(state, std::filesystem::file_size(path));
}

// The same project file as a DOM, parsed once; only its serialisation is timed.
void SerialiseDocument(benchmark::State& state) {
    velmora::XmlDocument doc;
    if (!doc.LoadString(velmora::WriteProjectDocument(BenchProject(), {}))) state.SkipWithError("parse failed");
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = doc.ToString(false);
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    ReportSizeAndMemory(state, bytes);
}

// The file's text from the model, without the sequence check, backup and write.
void WriteDocumentText(benchmark::State& state) {
    velmora::AGP& proj = BenchProject();
    for (auto _ : state) {
        std::string text = velmora::WriteProjectDocument(proj, {});
        benchmark::DoNotOptimize(text);
    }
}

// The saved file the load benchmarks read; written from the bench project only when missing, so
// that a run of the load benchmarks alone measures a process that never built the model.
const std::string& LoadBenchFile() {
    static const std::string path = [] {
        IsolateSettings();
        std::filesystem::create_directories(BenchFolder());
        const std::string file = BenchFolder() + "/load.vlp";
        if (!std::filesystem::exists(file)) velmora::Save(BenchProject(), file);
        return file;
    }();
    return path;
}

// Seconds pugixml alone takes to read and parse a file.
double PugixmlParseSeconds(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    pugi::xml_document doc;
    doc.load_file(path.c_str(), pugi::parse_default | pugi::parse_declaration);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Only Load is timed: freeing the previous run's project is not part of it.
//
// With a fresh heap (argument 1) every run starts from memory handed back to the system, as a new
// process does, and pugixml parses the file alone under the same condition right before, untimed:
// the ratio of the two comes from the same minutes, so that a shared machine's drifting speed
// cancels out. Without (argument 0) the runs reuse the pages a project loaded before freed;
// compare that figure with PugixmlLoadFile's, which reuses its own.
void LoadProject(benchmark::State& state) {
    const bool freshHeap = state.range(0) != 0;
    const std::string& path = LoadBenchFile();
    velmora::SetStatusSink(std::make_shared<velmora::NullStatusSink>());
    std::unique_ptr<velmora::AGP> proj;
    if (!freshHeap) {
        // The first run would find no pages to reuse.
        proj = std::make_unique<velmora::AGP>();
        velmora::Load(*proj, path, false);
    }
    double loadSeconds = 0;
    double parseSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        proj.reset();
        velmora::Extensions().Clear();
        velmora::MenuList().Clear();
        velmora::CustomScripts().Clear();
        velmora::Language().ClearTranslations();
        proj = std::make_unique<velmora::AGP>();
        if (freshHeap) {
            malloc_trim(0);
            parseSeconds += PugixmlParseSeconds(path);
            malloc_trim(0);
        }
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (!velmora::Load(*proj, path, false)) state.SkipWithError(velmora::Engine().ProjErr.c_str());
        loadSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    ReportSizeAndMemory(state, std::filesystem::file_size(path));
    if (freshHeap) state.counters["times_pugixml"] = loadSeconds / parseSeconds;
}

// pugixml by itself reading and parsing the same file: the floor any reader stands on. As for
// LoadProject, freeing the previous document is not timed; argument 1 starts every run from a
// fresh heap, argument 0 reuses the pages of a document parsed before.
void PugixmlLoadFile(benchmark::State& state) {
    const bool freshHeap = state.range(0) != 0;
    const std::string& path = LoadBenchFile();
    std::unique_ptr<pugi::xml_document> doc;
    if (!freshHeap) {
        doc = std::make_unique<pugi::xml_document>();
        doc->load_file(path.c_str(), pugi::parse_default | pugi::parse_declaration);
    }
    for (auto _ : state) {
        state.PauseTiming();
        doc = std::make_unique<pugi::xml_document>();
        if (freshHeap) malloc_trim(0);
        state.ResumeTiming();
        if (!doc->load_file(path.c_str(), pugi::parse_default | pugi::parse_declaration)) state.SkipWithError("parse failed");
    }
    ReportSizeAndMemory(state, std::filesystem::file_size(path));
}

// The XML layer's parse of the same text (pugixml plus the well-formedness checks it adds),
// without the model.
void ParseDocument(benchmark::State& state) {
    const std::string text = velmora::ReadTextFile(LoadBenchFile());
    for (auto _ : state) {
        velmora::XmlDocument doc;
        if (!doc.LoadString(text)) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(doc);
    }
    ReportSizeAndMemory(state, text.size());
}

// The XML layer reading the same file, as Load does.
void ParseFile(benchmark::State& state) {
    const std::string& path = LoadBenchFile();
    for (auto _ : state) {
        velmora::XmlDocument doc;
        if (!doc.Load(path)) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(doc);
    }
    ReportSizeAndMemory(state, std::filesystem::file_size(path));
}

}  // namespace

BENCHMARK(LoadProject)->ArgName("fresh_heap")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PugixmlLoadFile)->ArgName("fresh_heap")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ParseFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ParseDocument)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(SaveProject)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(SerialiseDocument)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(WriteDocumentText)->Unit(benchmark::kMillisecond)->Iterations(3);
