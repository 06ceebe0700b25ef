// The marks of the template block syntax and the small text scans shared by the parser and the
// session store.
#pragma once

#include <cstddef>
#include <string_view>

namespace velmora {

inline constexpr std::string_view kBlockOpen = "<!--##";
inline constexpr std::string_view kBlockClose = "##-->";
// The characters that, right behind the opener, make a block a marker block.
inline constexpr std::string_view kBlockMarkers = "=~@$";
inline constexpr std::string_view kSessionOpen = "<!--##session";
inline constexpr std::string_view kSessionClose = "<!--##/session##-->";
inline constexpr std::string_view kIncludeOpen = "<!--##include";

// Removes leading and trailing U+0020 only: tabs, CR and LF belong to block names.
std::string_view TrimSpaces(std::string_view text);

// Position of the first `mark` at or after `from`, its letters compared without regard to ASCII
// case; npos when there is none. The mark must begin with a character that is not a letter.
std::size_t FindMarkNoCase(std::string_view text, std::string_view mark, std::size_t from);

}  // namespace velmora
