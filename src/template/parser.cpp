#include "template/parser.h"

#include <algorithm>
#include <limits>

#include "platform/prompter.h"
#include "support/engine_state.h"
#include "template/file_cache.h"
#include "template/marks.h"

namespace velmora {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kFunctionWord = "function ";
// Lines shown before (and including) the offending one in a syntax error report.
constexpr std::size_t kReportLines = 11;

bool IsUtf8Lead(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

std::size_t CharacterCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), IsUtf8Lead));
}

// "***<what> at line L column C! Generation failed!", then the source lines up to the "<" at
// `at`. Lines end at CR LF only, as in the templates' own line counting.
std::string SyntaxErrorReport(std::string_view what, std::string_view source, std::size_t at) {
    std::string_view upto = source.substr(0, at + 1);
    std::vector<std::size_t> lineStarts{0};
    for (std::size_t p = upto.find(kCrLf); p != std::string_view::npos; p = upto.find(kCrLf, p + 2))
        lineStarts.push_back(p + 2);
    std::size_t line = lineStarts.size();
    std::size_t column = CharacterCount(upto.substr(lineStarts.back()));

    std::string report = "***" + std::string(what) + " at line " + std::to_string(line) + " column " +
                         std::to_string(column) + "! Generation failed!\r\nError lines:";
    std::size_t first = line > kReportLines ? line - kReportLines : 0;
    for (std::size_t i = first; i < line; ++i) {
        std::size_t end = i + 1 < line ? lineStarts[i + 1] - 2 : upto.size();
        report += kCrLf;
        report += upto.substr(lineStarts[i], end - lineStarts[i]);
    }
    return report;
}

// Last "function " (letters in any case) that ends at or before the end of `text`.
std::size_t FindFunctionWordBackwards(std::string_view text) {
    if (text.size() < kFunctionWord.size()) return std::string_view::npos;
    for (std::size_t i = text.size() - kFunctionWord.size() + 1; i-- > 0;) {
        if (text[i + kFunctionWord.size() - 1] != ' ') continue;
        bool same = true;
        for (std::size_t k = 0; k + 1 < kFunctionWord.size() && same; ++k)
            same = (text[i + k] | 0x20) == kFunctionWord[k];
        if (same) return i;
    }
    return std::string_view::npos;
}

}  // namespace

std::string_view ScriptFunctionName(std::string_view code) {
    constexpr std::size_t kWordLength = 8;  // "Function" without its space
    std::string_view rest = code;
    while (true) {
        std::size_t at = FindFunctionWordBackwards(rest);
        if (at == std::string_view::npos) return {};
        std::size_t crlf = rest.rfind(kCrLf, at);
        std::size_t lineStart = crlf == std::string_view::npos ? 0 : crlf + 2;
        std::string_view before = TrimSpaces(rest.substr(lineStart, at - lineStart));
        if (before.empty()) {
            std::size_t paren = rest.find('(', at);
            if (paren == std::string_view::npos) return {};
            return TrimSpaces(rest.substr(at + kWordLength, paren - at - kWordLength));
        }
        // A commented-out declaration, or "function" as the tail of another word.
        if (before.front() == '\'' || rest[at - 1] != ' ') {
            rest = rest.substr(0, at);
            continue;
        }
        return {};
    }
}

void AGParser::SetBlockID(std::int32_t id) {
    if (id >= 1 && id <= Count()) blockId_ = id;
}

void AGParser::AddContent(std::size_t start, std::size_t length) {
    Block block;
    block.type = agc_Block_Content;
    block.start = static_cast<std::uint32_t>(start);
    block.length = static_cast<std::uint32_t>(length);
    blocks_.push_back(block);
}

void AGParser::AddScriptBlock(std::size_t opener, std::size_t close) {
    Block block;
    block.type = agc_Block_Script;
    std::size_t start = opener + kBlockOpen.size();
    block.start = static_cast<std::uint32_t>(start);
    // "<!--##-->" and "<!--###-->" share characters between opener and closer: an empty block.
    block.length = static_cast<std::uint32_t>(close > start ? close - start : 0);
    std::string_view code = std::string_view(source_).substr(block.start, block.length);
    std::string_view name = ScriptFunctionName(code);
    block.nameStart = static_cast<std::uint32_t>(name.empty() ? start : name.data() - source_.data());
    block.nameLength = static_cast<std::uint32_t>(name.size());
    blocks_.push_back(block);
}

bool AGParser::AddMarkerBlock(std::size_t opener, std::size_t close) {
    static constexpr std::int32_t kKinds[] = {agc_Block_Function, agc_Block_FunctionIndent, agc_Block_Language,
                                              agc_Block_LanguageDynamic};
    std::size_t start = opener + kBlockOpen.size() + 1;
    Block block;
    block.type = kKinds[kBlockMarkers.find(source_[opener + kBlockOpen.size()])];
    block.start = static_cast<std::uint32_t>(start);
    block.length = static_cast<std::uint32_t>(close - start);
    std::string_view name = TrimSpaces(std::string_view(source_).substr(start, close - start));
    block.nameStart = static_cast<std::uint32_t>(name.empty() ? start : name.data() - source_.data());
    block.nameLength = static_cast<std::uint32_t>(name.size());

    const Block& previous = blocks_.back();
    if (block.type == agc_Block_FunctionIndent && previous.type == agc_Block_Content) {
        std::string_view content = std::string_view(source_).substr(previous.start, previous.length);
        if (content.size() > kMaxIndentScan && CharacterCount(content) > kMaxIndentScan) {
            Engine().ProjErr = SyntaxErrorReport(
                "Content of more than " + std::to_string(kMaxIndentScan) + " characters before the indented block",
                source_, opener);
            return false;
        }
        std::size_t keep = content.find_last_not_of(" \t");
        std::size_t indent = keep == std::string_view::npos ? 0 : keep + 1;
        block.indentStart = previous.start + static_cast<std::uint32_t>(indent);
        block.indentLength = previous.length - static_cast<std::uint32_t>(indent);
    }
    blocks_.push_back(block);
    return true;
}

void AGParser::Parse(std::string_view sSrc) {
    source_.assign(sSrc);
    blocks_.assign(1, Block{});
    blockId_ = 0;
    if (source_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        Engine().ProjErr = "***Template text of " + std::to_string(source_.size()) +
                           " bytes is too large to parse! Generation failed!";
        return;
    }
    std::string_view src = source_;
    std::size_t pos = 0;
    std::size_t opener = src.find(kBlockOpen);
    while (opener != std::string_view::npos) {
        if (opener > pos) AddContent(pos, opener - pos);
        std::size_t close = src.find(kBlockClose, opener);
        if (close == std::string_view::npos) {
            Engine().ProjErr = SyntaxErrorReport("Incomplete Block", src, opener);
            return;
        }
        std::size_t next = src.find(kBlockOpen, opener + kBlockOpen.size());
        if (next < close) {
            // A message box with only OK: asked as a question so that a run can record it.
            Question question;
            question.id = "nested-block";
            question.message = "Nested Block: " + source_;
            Ask(question);
            Engine().ProjErr = SyntaxErrorReport("Nested Blocks found", src, next);
            return;
        }
        std::size_t markerAt = opener + kBlockOpen.size();
        // A marker block's closer cannot overlap its opener: it starts behind the marker.
        if (kBlockMarkers.find(src[markerAt]) != std::string_view::npos) {
            if (!AddMarkerBlock(opener, close)) return;
        } else {
            AddScriptBlock(opener, close);
        }
        pos = close + kBlockClose.size();
        opener = next;
    }
    if (pos < src.size()) AddContent(pos, src.size() - pos);
}

std::vector<std::string> AGParser::GetSession(std::string_view sFileID, std::string_view sSessID,
                                              AGPStatus* status) const {
    return ExpandSession(FileCache(), sFileID, sSessID, status);
}

}  // namespace velmora
