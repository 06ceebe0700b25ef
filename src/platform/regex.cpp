#define PCRE2_CODE_UNIT_WIDTH 8
#include "platform/regex.h"

#include <pcre2.h>

#include <algorithm>

namespace velmora {
namespace {

// JavaScript-like syntax: \uhhhh and \u{h...}, [] and [^], unset back references match nothing,
// unknown escapes stand for the letter, $ only at the very end unless multiline, and CR as well
// as LF ends a line.
constexpr std::uint32_t kCompileOptions = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX |
                                          PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF |
                                          PCRE2_DOLLAR_ENDONLY;
constexpr std::uint32_t kExtraOptions = PCRE2_EXTRA_ALT_BSUX | PCRE2_EXTRA_BAD_ESCAPE_IS_LITERAL;

struct CompileContextFree {
    void operator()(pcre2_compile_context* c) const { pcre2_compile_context_free(c); }
};
struct MatchDataFree {
    void operator()(pcre2_match_data* m) const { pcre2_match_data_free(m); }
};

std::string ErrorText(int code) {
    PCRE2_UCHAR buffer[256];
    int n = pcre2_get_error_message(code, buffer, sizeof buffer);
    return n < 0 ? "regular expression error " + std::to_string(code) : std::string(reinterpret_cast<char*>(buffer));
}

// Offset of the next character after `pos`; an invalid byte counts as one character.
std::size_t NextChar(std::string_view text, std::size_t pos) {
    std::size_t next = pos + 1;
    for (int k = 0; k < 3 && next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80; ++k) ++next;
    return next;
}

std::string_view Group(std::string_view text, const PCRE2_SIZE* ov, int pairs, int group) {
    if (group >= pairs || ov[2 * group] == PCRE2_UNSET || ov[2 * group] > ov[2 * group + 1]) return {};
    return text.substr(ov[2 * group], ov[2 * group + 1] - ov[2 * group]);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void AppendExpansion(std::string& out, std::string_view replacement, std::string_view text, const PCRE2_SIZE* ov,
                     int pairs, int groupCount) {
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        char c = replacement[i];
        if (c != '$' || i + 1 >= replacement.size()) {
            out += c;
            continue;
        }
        char next = replacement[i + 1];
        std::size_t matchStart = std::min<std::size_t>(ov[0], text.size());
        std::size_t matchEnd = std::clamp<std::size_t>(ov[1], matchStart, text.size());
        if (next == '$') {
            out += '$';
            ++i;
        } else if (next == '&') {
            out += text.substr(matchStart, matchEnd - matchStart);
            ++i;
        } else if (next == '`') {
            out += text.substr(0, matchStart);
            ++i;
        } else if (next == '\'') {
            out += text.substr(matchEnd);
            ++i;
        } else if (IsDigit(next)) {
            // Two digits when they name an existing group, else one (so "$10" is group 1 and a
            // "0" when there are fewer than ten groups).
            int one = next - '0';
            bool hasTwo = i + 2 < replacement.size() && IsDigit(replacement[i + 2]);
            int two = hasTwo ? one * 10 + (replacement[i + 2] - '0') : 0;
            if (hasTwo && two >= 1 && two <= groupCount) {
                out += Group(text, ov, pairs, two);
                i += 2;
            } else if (one >= 1 && one <= groupCount) {
                out += Group(text, ov, pairs, one);
                ++i;
            } else {
                out += '$';
            }
        } else {
            out += '$';
        }
    }
}

}  // namespace

void RegExp::SetPattern(std::string pattern) {
    pattern_ = std::move(pattern);
    Invalidate();
}

void RegExp::SetIgnoreCase(bool on) {
    if (on != ignoreCase_) Invalidate();
    ignoreCase_ = on;
}

void RegExp::SetMultiline(bool on) {
    if (on != multiline_) Invalidate();
    multiline_ = on;
}

void RegExp::Invalidate() {
    code_.reset();
    compiled_ = false;
    error_.clear();
}

bool RegExp::Compile() {
    if (compiled_) return code_ != nullptr;
    compiled_ = true;
    error_.clear();
    std::unique_ptr<pcre2_compile_context, CompileContextFree> context(pcre2_compile_context_create(nullptr));
    if (!context) {
        error_ = "out of memory";
        return false;
    }
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_ANYCRLF);
    pcre2_set_compile_extra_options(context.get(), kExtraOptions);
    std::uint32_t options = kCompileOptions;
    if (ignoreCase_) options |= PCRE2_CASELESS;
    if (multiline_) options |= PCRE2_MULTILINE;
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern_.data()), pattern_.size(), options,
                                     &errorCode, &errorOffset, context.get());
    if (!code) {
        error_ = ErrorText(errorCode) + " at offset " + std::to_string(errorOffset);
        return false;
    }
    // JIT is only a speed-up; matching falls back to the interpreter where it is unavailable.
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    code_.reset(code, pcre2_code_free);
    return true;
}

template <class OnMatch>
bool RegExp::ForEachMatch(std::string_view text, bool all, OnMatch&& onMatch) {
    if (!Compile()) return false;
    error_.clear();
    std::unique_ptr<pcre2_match_data, MatchDataFree> data(pcre2_match_data_create_from_pattern(code_.get(), nullptr));
    if (!data) {
        error_ = "out of memory";
        return false;
    }
    auto subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    std::size_t start = 0;
    while (start <= text.size()) {
        int rc = pcre2_match(code_.get(), subject, text.size(), start, 0, data.get(), nullptr);
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (rc < 0) {
            error_ = ErrorText(rc);
            return false;
        }
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.get());
        int pairs = rc == 0 ? static_cast<int>(pcre2_get_ovector_count(data.get())) : rc;
        onMatch(ov, pairs);
        if (!all) break;
        // After an empty match the search goes on one character further, as in JavaScript.
        std::size_t next = ov[1];
        if (ov[0] == ov[1] || next <= start) next = NextChar(text, std::max<std::size_t>(next, start));
        start = next;
    }
    return true;
}

bool RegExp::Test(std::string_view text) {
    bool found = false;
    ForEachMatch(text, false, [&](const PCRE2_SIZE*, int) { found = true; });
    return found;
}

std::vector<RegExpMatch> RegExp::Execute(std::string_view text) {
    std::vector<RegExpMatch> matches;
    try {
        std::uint32_t groupCount = 0;
        bool ok = ForEachMatch(text, global_, [&](const PCRE2_SIZE* ov, int pairs) {
            if (matches.empty()) pcre2_pattern_info(code_.get(), PCRE2_INFO_CAPTURECOUNT, &groupCount);
            RegExpMatch match;
            std::string_view value = Group(text, ov, pairs, 0);
            match.Value = std::string(value);
            match.FirstIndex = ov[0];
            match.Length = value.size();
            for (std::uint32_t g = 1; g <= groupCount; ++g)
                match.SubMatches.emplace_back(Group(text, ov, pairs, static_cast<int>(g)));
            matches.push_back(std::move(match));
        });
        if (!ok) matches.clear();
    } catch (...) {
        matches.clear();
        error_ = "out of memory";
    }
    return matches;
}

std::string RegExp::Replace(std::string_view text, std::string_view replacement) {
    try {
        std::string out;
        std::size_t copied = 0;
        std::uint32_t groupCount = 0;
        bool first = true;
        bool ok = ForEachMatch(text, global_, [&](const PCRE2_SIZE* ov, int pairs) {
            if (first) pcre2_pattern_info(code_.get(), PCRE2_INFO_CAPTURECOUNT, &groupCount);
            first = false;
            std::size_t matchStart = std::max<std::size_t>(ov[0], copied);
            out.append(text.substr(copied, matchStart - copied));
            AppendExpansion(out, replacement, text, ov, pairs, static_cast<int>(groupCount));
            copied = std::max<std::size_t>(ov[1], matchStart);
        });
        if (!ok) return std::string(text);
        out.append(text.substr(std::min(copied, text.size())));
        return out;
    } catch (...) {
        error_ = "out of memory";
        return std::string(text);
    }
}

}  // namespace velmora
