// Fuzz target: arbitrary bytes as template text. The parser must cut it into blocks that cover
// the text in order, up to an error reported in ProjErr; translation must succeed exactly when
// the parse does; every content literal must decode back to its text; the text taken as a file
// of sessions must expand (includes included) without crashing or running away.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/prompter.h"
#include "support/engine_state.h"
#include "template/file_cache.h"
#include "template/marks.h"
#include "template/parser.h"
#include "template/translate.h"
#include "fuzz_support.h"

using velmora::fuzz::Check;

namespace {

using namespace velmora;

// The nested-block message box goes nowhere, and is not kept.
class SilentPrompter : public Prompter {
public:
    Answer Ask(const Question& question) override { return {SafeDefault(question), true}; }
    void Notify(MessageKind, std::string_view, std::string_view) override {}
};

// Walks the blocks against the text itself; returns how many content blocks there are.
std::int32_t CheckBlocks(AGParser& parser, std::string_view text) {
    std::size_t covered = 0;
    std::int32_t contents = 0;
    std::int32_t previousType = 0;
    std::string_view previousValue;
    for (std::int32_t id = 1; id <= parser.Count(); ++id) {
        parser.SetBlockID(id);
        Check(parser.BlockID() == id);
        std::size_t start = static_cast<std::size_t>(parser.BlockStart()) - 1;
        std::string_view value = parser.BlockValue();
        Check(value == text.substr(start, static_cast<std::size_t>(parser.BlockLength())));
        std::int32_t type = parser.BlockType();
        if (type == agc_Block_Content) {
            ++contents;
            Check(start == covered && !value.empty() && value.find(kBlockOpen) == std::string_view::npos);
            Check(parser.BlockName().empty());
            covered += value.size();
        } else {
            Check(text.substr(covered, kBlockOpen.size()) == kBlockOpen);
            std::size_t close = text.find(kBlockClose, covered);
            Check(close != std::string_view::npos);
            std::size_t markerAt = covered + kBlockOpen.size();
            std::size_t marker = kBlockMarkers.find(text[markerAt]);
            if (marker == std::string_view::npos) {
                Check(type == agc_Block_Script && start == markerAt);
                Check(value.size() == (close > markerAt ? close - markerAt : 0));
                Check(parser.BlockName() == ScriptFunctionName(value));
            } else {
                Check(type == static_cast<std::int32_t>(marker) + agc_Block_Function && start == markerAt + 1);
                Check(start + value.size() == close);
                Check(parser.BlockName() == TrimSpaces(value));
            }
            std::string_view indent = parser.BlockIndent();
            if (type == agc_Block_FunctionIndent && previousType == agc_Block_Content) {
                Check(previousValue.ends_with(indent) && indent.find_first_not_of(" \t") == std::string_view::npos);
                std::size_t before = previousValue.size() - indent.size();
                Check(before == 0 || (previousValue[before - 1] != ' ' && previousValue[before - 1] != '\t'));
            } else {
                Check(indent.empty());
            }
            covered = close + kBlockClose.size();
        }
        previousType = type;
        previousValue = value;
    }
    if (Engine().ProjErr.empty()) {
        Check(covered == text.size());
    } else {
        Check(Engine().ProjErr.starts_with("***") && covered <= text.size());
    }
    return contents;
}

// Undoes ToScriptLiteral: string literals joined by +"\r\n"+.
std::string DecodeLiteral(std::string_view literal) {
    constexpr std::string_view kJoin = "+\"\\r\\n\"+";
    std::string text;
    std::size_t i = 0;
    while (i < literal.size()) {
        Check(literal[i] == '"');
        for (++i; i < literal.size() && literal[i] != '"'; ++i) {
            if (literal[i] != '\\') {
                Check(literal[i] != '\r' && literal[i] != '\n');
                text += literal[i];
                continue;
            }
            ++i;
            Check(i < literal.size());
            switch (literal[i]) {
            case '\\': case '"': text += literal[i]; break;
            case 'r': text += '\r'; break;
            case 'n': text += '\n'; break;
            default: Check(false);
            }
        }
        Check(i < literal.size());
        ++i;
        if (i == literal.size()) break;
        Check(literal.substr(i, kJoin.size()) == kJoin);
        text += "\r\n";
        i += kJoin.size();
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (SetPrompter(std::make_shared<SilentPrompter>()), true);
    (void)quiet;
    std::string_view text(reinterpret_cast<const char*>(data), size);

    Engine().ProjErr.clear();
    AGParser parser;
    parser.Parse(text);
    std::int32_t contents = CheckBlocks(parser, text);
    bool parsed = Engine().ProjErr.empty();

    Engine().ProjErr.clear();
    Translator translator;
    Check(translator.TranslateTemplate(text) == parsed);
    if (parsed) {
        Check(translator.ContentCount() == contents);
        (void)translator.ControlFunction("zvExfuzz", true);
    } else {
        Check(translator.ContentCount() == 0 && translator.Body().empty());
    }

    Check(DecodeLiteral(ToScriptLiteral(text, {})) == text);

    Engine().ProjErr.clear();
    AGPFileCache& cache = FileCache();
    cache.Clear();
    cache.AddText(text, "f");
    for (std::string_view session : {"", "a", "b"}) {
        Engine().ProjErr.clear();
        std::vector<std::string> pieces = ExpandSession(cache, "f", session);
        Check(!pieces.empty());
        std::string stored = cache.GetSession("f", session);
        if (FindMarkNoCase(stored, kIncludeOpen, 0) == std::string::npos)
            Check(pieces.size() == 1 && pieces[0] == stored);
    }
    (void)ListIncludedFiles(text);
    cache.Clear();
    Engine().ProjErr.clear();
    return 0;
}
