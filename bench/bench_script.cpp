// Script engine: the two costs generated template code pays most, reading a native string
// property and building a page of output through an array joined at the end.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/script_engine.h"

namespace {

using velmora::AutomationObject;
using velmora::ScriptClass;
using velmora::ScriptEngine;
using velmora::ScriptMember;
using velmora::Variant;

struct Table : AutomationObject {
    std::string name = "OrderDetails";
};

const ScriptClass kTableClass{
    "Table",
    {{"TblName",
      ScriptMember::Kind::Property,
      [](AutomationObject& o) { return Variant(static_cast<Table&>(o).name); },
      {},
      {}}},
    {}};

const ScriptClass* Resolve(const AutomationObject&) { return &kTableClass; }

constexpr std::int32_t kReads = 1'000'000;

// Reads per iteration: kReads. The plain-property variant shows the loop's own cost; the
// other-case variant reads the member under a spelling the engine resolves without regard to case.
void ReadLoop(benchmark::State& state, const char* target, const char* member = "TblName") {
    ScriptEngine engine(Resolve);
    engine.AddObject("TABLE", Variant(std::make_shared<Table>()));
    engine.AddCode(
        "var PLAIN = { TblName: 'OrderDetails' };\n"
        "function readAll(n) { var s, t = " +
        std::string(target) + "; for (var i = 0; i < n; i++) s = t." + member + "; return s; }");
    const Variant reads(kReads);
    Variant result;
    for (auto _ : state) {
        if (!engine.Run("readAll", std::span(&reads, 1), result))
            state.SkipWithError("script failed");
        benchmark::DoNotOptimize(result);
    }
    state.counters["ns_per_read"] = benchmark::Counter(
        kReads * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_NativeStringPropertyRead(benchmark::State& state) { ReadLoop(state, "TABLE"); }
void BM_PlainStringPropertyRead(benchmark::State& state) { ReadLoop(state, "PLAIN"); }
void BM_NativeStringPropertyReadOtherCase(benchmark::State& state) { ReadLoop(state, "TABLE", "tblname"); }

// One page per iteration: 180 KB appended in lines of about 60 bytes, joined, and handed back.
void BM_PageThroughArrayJoin(benchmark::State& state) {
    ScriptEngine engine(Resolve);
    engine.AddCode(
        "function StringBuilder() { this.parts = []; }\n"
        "StringBuilder.prototype.append = function (s) { this.parts.push(s); };\n"
        "StringBuilder.prototype.toString = function () { return this.parts.join(''); };\n"
        "function page(n) {\n"
        "  var sb = new StringBuilder();\n"
        "  for (var i = 0; i < n; i++) {\n"
        "    sb.append('<td class=\"cell\" style=\"text-align:left\">');\n"
        "    sb.append('value ' + i);\n"
        "    sb.append('</td>\\r\\n');\n"
        "  }\n"
        "  return sb.toString();\n"
        "}");
    // About 58 bytes a line: 3,125 lines make 180 KB.
    const Variant lines(3125);
    Variant result;
    std::size_t bytes = 0;
    for (auto _ : state) {
        if (!engine.Run("page", std::span(&lines, 1), result)) state.SkipWithError("script failed");
        bytes = result.AsString().size();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.counters["page_bytes"] = static_cast<double>(bytes);
    state.counters["ms_per_1000_pages"] = benchmark::Counter(
        1e-3 / 1000, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_NativeStringPropertyRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainStringPropertyRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NativeStringPropertyReadOtherCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageThroughArrayJoin)->Unit(benchmark::kMicrosecond);
