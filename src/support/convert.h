// Conversion of setting values by type name. Nothing here throws: a value that cannot be
// converted gives an empty Variant.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "support/variant.h"

namespace velmora {

// typeName is compared without regard to case: "boolean", "integer" (16-bit), "long" (32-bit),
// "single", "double" convert; "string" gives text with surrounding quotes removed; any other
// name returns the value unchanged.
Variant ConvertTo(const Variant& value, std::string_view typeName);

// As ConvertTo, without the "string" case: text is returned unchanged for that type name.
Variant ConvertToNumberOrBool(Variant value, std::string_view typeName);

// ConvertToNumberOrBool of a text, without building the text Variant first.
Variant ConvertTextToNumberOrBool(std::string_view text, std::string_view typeName);

// Trims, then while the text is at least two characters long and is enclosed in a matching pair
// of double quotes or apostrophes, removes the pair and trims again.
std::string StripQuotes(std::string_view text);

// The single conversions behind ConvertTo; nullopt where the value does not convert.
std::optional<bool> ToBoolean(const Variant& value);
std::optional<std::int16_t> ToInteger(const Variant& value);
std::optional<std::int32_t> ToLong(const Variant& value);
std::optional<double> ToDouble(const Variant& value);

// Parses a numeric text: blanks around it, a sign, digits with an optional fraction and exponent,
// or &H / &O prefixed hexadecimal and octal. nullopt for anything else.
std::optional<double> ParseNumber(std::string_view text);

}  // namespace velmora
