#include <cstddef>
#include <string>
#include <vector>

#include "persistence/parse_error_text.h"
#include "support/text.h"

namespace velmora {

namespace {

constexpr std::size_t kExcerptSide = 40;

// Byte offsets of the code points of `text`, with the text's size at the end.
std::vector<std::size_t> CodePointStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size();) {
        starts.push_back(i);
        NextCodePoint(text, i);
    }
    starts.push_back(text.size());
    return starts;
}

}  // namespace

std::string ParseErrorText(const XmlParseError& error) {
    std::string text = "Parse error: line " + std::to_string(error.line) + ", character " +
                       std::to_string(error.column) + "\r\n";
    const std::string& source = error.sourceText;
    std::vector<std::size_t> starts = CodePointStarts(source);
    const std::size_t count = starts.size() - 1;
    std::size_t position = error.column > 0 ? static_cast<std::size_t>(error.column - 1) : 0;
    if (position > count) position = count;

    std::size_t from = position > kExcerptSide ? position - kExcerptSide : 0;
    std::string left = source.substr(starts[from], starts[position] - starts[from]);
    if (from > 0)
        if (auto blank = left.find(' '); blank != std::string::npos) left.erase(0, blank + 1);

    std::size_t to = position + kExcerptSide < count ? position + kExcerptSide : count;
    std::string right = source.substr(starts[position], starts[to] - starts[position]);
    if (to < count)
        if (auto blank = right.rfind(' '); blank != std::string::npos && blank > 0) right.erase(blank);

    return text + left + " ... " + right;
}

}  // namespace velmora
