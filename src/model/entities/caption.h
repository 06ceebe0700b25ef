// Captions made from database names ("order_details" -> "Order Details").
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The name trimmed, "-" and "_" turned into blanks, then word by word: a word that begins with
// one of "<([{" or a digit is kept as it is (markup, bracketed notes, numbers); any other word
// gets its first letter in upper case and keeps the rest, so acronyms and camel case survive.
// Words are joined with single blanks.
std::string CaptionFromName(std::string_view name);

}  // namespace velmora
