// Small text helpers shared by every subsystem. Strings are UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

std::string_view TrimView(std::string_view s);
std::string Trim(std::string_view s);
std::string ToLowerAscii(std::string_view s);
std::string ToUpperAscii(std::string_view s);

// Whether every byte of s is below 0x80.
bool IsAscii(std::string_view s);

// Simple Unicode case folding of ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters:
// the comparison "without regard to case". Invalid UTF-8 bytes are kept as they are.
std::string FoldCase(std::string_view s);
// FoldCase into a caller's buffer, so that repeated lookups need no allocation.
void FoldCaseInto(std::string_view s, std::string& out);
bool EqualsNoCase(std::string_view a, std::string_view b);
// <0, 0, >0 like strcmp, over the folded texts.
int CompareNoCase(std::string_view a, std::string_view b);

// Decodes the UTF-8 sequence at s[i] and advances i past it. A byte that does not start a valid
// sequence is returned as itself (0x80..0xFF) and skipped.
char32_t NextCodePoint(std::string_view s, std::size_t& i);

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);
std::vector<std::string> Split(std::string_view s, char separator);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);
// Whether `part` occurs in `s`, ASCII letters compared without regard to case.
bool ContainsNoCase(std::string_view s, std::string_view part);
bool EndsWithNoCase(std::string_view s, std::string_view suffix);

}  // namespace velmora
