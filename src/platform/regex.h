// Regular expressions with the members of the script-side RegExp object the engine's code was
// written against (Pattern, IgnoreCase, Global, Multiline, Test, Execute, Replace), over PCRE2.
// Patterns follow JavaScript syntax where PCRE2 allows it; text is UTF-8 and may be invalid UTF-8
// (invalid bytes never match). Nothing here throws.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct pcre2_real_code_8;

namespace velmora {

struct RegExpMatch {
    std::string Value;
    std::size_t FirstIndex = 0;  // byte offset of the match in the searched text
    std::size_t Length = 0;      // bytes
    // One entry per capturing group; "" for a group that took no part in the match.
    std::vector<std::string> SubMatches;
};

class RegExp {
public:
    RegExp() = default;
    explicit RegExp(std::string pattern) : pattern_(std::move(pattern)) {}

    const std::string& Pattern() const { return pattern_; }
    void SetPattern(std::string pattern);
    bool IgnoreCase() const { return ignoreCase_; }
    void SetIgnoreCase(bool on);
    // Execute and Replace act on every match instead of the first only.
    bool Global() const { return global_; }
    void SetGlobal(bool on) { global_ = on; }
    // ^ and $ match at line breaks (LF, CR LF or CR) as well as at the ends of the text.
    bool Multiline() const { return multiline_; }
    void SetMultiline(bool on);

    bool Test(std::string_view text);
    std::vector<RegExpMatch> Execute(std::string_view text);
    // Replaces the first match, or all with Global. In `replacement`, $1..$99 stand for groups,
    // $& for the match, $` and $' for the text before and after it, $$ for a dollar sign. With a
    // pattern that does not compile, the text is returned unchanged.
    std::string Replace(std::string_view text, std::string_view replacement);

    // Why the pattern did not compile (PCRE2's message and the offset in the pattern), or why the
    // last search stopped early; "" otherwise.
    const std::string& Error() const { return error_; }

private:
    bool Compile();
    // Calls onMatch(ovector, pairCount) for the first match, or for all with `all`; false when the
    // pattern does not compile or the search fails.
    template <class OnMatch>
    bool ForEachMatch(std::string_view text, bool all, OnMatch&& onMatch);
    void Invalidate();

    std::string pattern_;
    bool ignoreCase_ = false;
    bool global_ = false;
    bool multiline_ = false;

    // Compiled on first use; shared between copies, as PCRE2 code is read-only while matching.
    std::shared_ptr<pcre2_real_code_8> code_;
    bool compiled_ = false;
    std::string error_;
};

}  // namespace velmora
