// Template translation: cutting a list-page sized template (about 200 KB, 2,000 blocks) into
// blocks, and translating it into the control function's text.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/script_engine.h"
#include "support/engine_state.h"
#include "template/parser.h"
#include "template/translate.h"

namespace {

using velmora::AGParser;
using velmora::Translator;

// PHP and HTML with quotes, backslashes and CR LF line ends, generator script, output blocks,
// indented output and phrases, in the proportions of a generated list page.
std::string MakeTemplate(int rows) {
    std::string text;
    for (int i = 0; i < rows; ++i) {
        std::string n = std::to_string(i);
        text += "<tr data-row=\"" + n + "\">\r\n\t\t<td class=\"ew-table-header\" style=\"white-space: nowrap;\">";
        text += "<!--##=FIELD.FldCaption##--></td>\r\n\t\t";
        text += "<!--##~ RenderField(FIELD, " + n + ") ##-->\r\n";
        text += "<!--##\r\n\tif (TABLE.TblList && FIELD.FldList)\r\n\t\tsFld = FIELD.FldVar;\r\n##-->\r\n";
        text += "\t\t<td data-name=\"" + n + "\" class=\"ew-pager\"><div class=\"input-group\">";
        text += "<input type=\"text\" name=\"pageno\" class=\"form-control\" value=\"<?php echo $Pager->CurrentPage ?>\">";
        text += "</div></td>\r\n\t\t<td><span class=\"ew-summary\">rows <?php echo $Pager->FromIndex ?> - ";
        text += "<?php echo $Pager->ToIndex ?> of <?php echo $Pager->RecordCount ?></span></td>\r\n";
        text += "\t<td><a href=\"<?php echo $" + n + "->ListUrl ?>\" title=\"C:\\\\path\\\\to\">";
        text += i % 2 == 0 ? "<!--##@ ViewLink ##-->" : "<!--##$ sFld ##-->";
        text += "</a></td>\r\n</tr>\r\n";
    }
    return text;
}

const std::string& Template() {
    static const std::string text = MakeTemplate(280);
    return text;
}

void BM_Parse(benchmark::State& state) {
    const std::string& text = Template();
    AGParser parser;
    for (auto _ : state) {
        parser.Parse(text);
        benchmark::DoNotOptimize(parser.Count());
    }
    state.counters["blocks"] = parser.Count();
    state.counters["KB"] = static_cast<double>(text.size()) / 1024;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_ParseAndTranslate(benchmark::State& state) {
    const std::string& text = Template();
    Translator translator;
    std::size_t functionSize = 0;
    for (auto _ : state) {
        translator.Reset();
        translator.TranslateTemplate(text);
        std::string function = translator.ControlFunction("zvExlist_php", false);
        functionSize = function.size();
        benchmark::DoNotOptimize(function.data());
    }
    if (!velmora::Engine().ProjErr.empty()) state.SkipWithError(velmora::Engine().ProjErr.c_str());
    state.counters["function_KB"] = static_cast<double>(functionSize) / 1024;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// Compiling the translated function in a fresh engine: the cost paid once per control and run.
void BM_CompileFunction(benchmark::State& state) {
    Translator translator;
    translator.Reset();
    translator.TranslateTemplate(Template());
    const std::string function = translator.ControlFunction("zvExlist_php", false);
    for (auto _ : state) {
        state.PauseTiming();
        auto engine = std::make_unique<velmora::ScriptEngine>(
            [](const velmora::AutomationObject&) -> const velmora::ScriptClass* { return nullptr; });
        state.ResumeTiming();
        if (!engine->AddCode(function, "zvExlist_php")) state.SkipWithError(engine->LastError().description.c_str());
        state.PauseTiming();
        engine.reset();
        state.ResumeTiming();
    }
    state.counters["function_KB"] = static_cast<double>(function.size()) / 1024;
}

}  // namespace

BENCHMARK(BM_CompileFunction)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseAndTranslate)->Unit(benchmark::kMicrosecond);
