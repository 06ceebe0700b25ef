#include "support/text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace velmora {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Decodes one UTF-8 sequence at s[i]; returns the code point and advances i. An invalid byte is
// returned as itself with the high bit marker 0x80000000 so that it round-trips unchanged.
char32_t DecodeAt(std::string_view s, std::size_t& i) {
    auto b0 = static_cast<unsigned char>(s[i]);
    auto cont = [&](std::size_t k) {
        return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    };
    if (b0 < 0x80) { ++i; return b0; }
    if ((b0 & 0xE0) == 0xC0 && cont(1)) {
        char32_t cp = ((b0 & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F);
        i += 2;
        return cp;
    }
    if ((b0 & 0xF0) == 0xE0 && cont(1) && cont(2)) {
        char32_t cp = ((b0 & 0x0F) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3F) << 6) |
                      (static_cast<unsigned char>(s[i + 2]) & 0x3F);
        i += 3;
        return cp;
    }
    if ((b0 & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
        char32_t cp = ((b0 & 0x07) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3F) << 12) |
                      ((static_cast<unsigned char>(s[i + 2]) & 0x3F) << 6) |
                      (static_cast<unsigned char>(s[i + 3]) & 0x3F);
        i += 4;
        return cp;
    }
    ++i;
    return 0x80000000u | b0;
}

void Encode(char32_t cp, std::string& out) {
    if (cp & 0x80000000u) { out += static_cast<char>(cp & 0xFF); return; }
    if (cp < 0x80) { out += static_cast<char>(cp); return; }
    if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (cp & 0x3F));
}

char32_t FoldCodePoint(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0x80 || (c & 0x80000000u)) return c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;  // Latin-1 capitals
    if (c >= 0x100 && c <= 0x17F) {                            // Latin Extended-A pairs
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        bool oddLower = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddLower) return (c % 2 == 1) ? c + 1 : c;
        if (c == 0x178) return 0xFF;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek capitals
    if (c == 0x3C2) return 0x3C3;                                // final sigma
    if (c >= 0x410 && c <= 0x42F) return c + 32;                 // Cyrillic capitals
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

}  // namespace

char32_t NextCodePoint(std::string_view s, std::size_t& i) { return DecodeAt(s, i) & 0x7FFFFFFFu; }

std::string_view TrimView(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

std::string ToLowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

std::string ToUpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

void FoldCaseInto(std::string_view s, std::string& out) {
    out.clear();
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {  // fast path for ASCII
            out += (b >= 'A' && b <= 'Z') ? static_cast<char>(b + 32) : static_cast<char>(b);
            ++i;
            continue;
        }
        Encode(FoldCodePoint(DecodeAt(s, i)), out);
    }
}

std::string FoldCase(std::string_view s) {
    std::string out;
    FoldCaseInto(s, out);
    return out;
}

int CompareNoCase(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        char32_t ca = FoldCodePoint(DecodeAt(a, i));
        char32_t cb = FoldCodePoint(DecodeAt(b, j));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool IsAscii(std::string_view s) {
    // Eight bytes at a time: names and setting texts are checked by the hundred thousand.
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if (word & kHighBits) return false;
    }
    for (; i < s.size(); ++i)
        if (static_cast<unsigned char>(s[i]) & 0x80) return false;
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    // ASCII prefixes compare byte by byte; folding applies from the first other character on.
    std::size_t common = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i < common; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if ((ca | cb) & 0x80) return CompareNoCase(a.substr(i), b.substr(i)) == 0;
        if (ca != cb && ((ca | 0x20) != (cb | 0x20) || (ca | 0x20) < 'a' || (ca | 0x20) > 'z')) return false;
    }
    return a.size() == b.size();
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(s);
    std::string out;
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = s.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(s.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(s.substr(pos));
    return out;
}

std::vector<std::string> Split(std::string_view s, char separator) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = s.find(separator, pos);
        parts.emplace_back(s.substr(pos, hit == std::string_view::npos ? hit : hit - pos));
        if (hit == std::string_view::npos) break;
        pos = hit + 1;
    }
    return parts;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && EqualsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

bool ContainsNoCase(std::string_view s, std::string_view part) {
    return ToLowerAscii(s).find(ToLowerAscii(part)) != std::string::npos;
}

}  // namespace velmora
