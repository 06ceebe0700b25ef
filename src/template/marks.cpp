#include "template/marks.h"

namespace velmora {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

std::string_view TrimSpaces(std::string_view text) {
    std::size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    std::size_t e = text.find_last_not_of(' ');
    return text.substr(b, e - b + 1);
}

std::size_t FindMarkNoCase(std::string_view text, std::string_view mark, std::size_t from) {
    // The leading run without letters is searched exactly; only the rest needs folding.
    std::size_t exact = 0;
    while (exact < mark.size() && !IsAsciiLetter(mark[exact])) ++exact;
    std::string_view head = mark.substr(0, exact);
    for (std::size_t at = text.find(head, from); at != std::string_view::npos; at = text.find(head, at + 1)) {
        if (text.size() - at < mark.size()) return std::string_view::npos;
        bool same = true;
        for (std::size_t k = exact; k < mark.size() && same; ++k)
            same = LowerAscii(text[at + k]) == LowerAscii(mark[k]);
        if (same) return at;
    }
    return std::string_view::npos;
}

}  // namespace velmora
