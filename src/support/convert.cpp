#include "support/convert.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "support/text.h"

namespace velmora {
namespace {

// Rounds half to even, as the engine's integer conversions do (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double v) { return std::nearbyint(v); }

template <class Int>
std::optional<Int> ToIntegral(std::optional<double> number) {
    if (!number || std::isnan(*number)) return std::nullopt;
    double rounded = RoundHalfEven(*number);
    if (rounded < std::numeric_limits<Int>::min() || rounded > std::numeric_limits<Int>::max())
        return std::nullopt;
    return static_cast<Int>(rounded);
}

std::optional<bool> ToBooleanFrom(std::optional<double> number) {
    if (!number || std::isnan(*number)) return std::nullopt;
    return *number != 0.0;
}

// Type names compare in ASCII only, as they always have.
bool IsType(std::string_view type, std::string_view lowerName) {
    if (type.size() != lowerName.size()) return false;
    for (std::size_t i = 0; i < type.size(); ++i) {
        const char c = type[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c) != lowerName[i]) return false;
    }
    return true;
}

enum class NumericType { None, Boolean, Integer, Long, Single, Double };

// Runs for every setting read from a file: the length and the first letter pick the one name to
// compare.
NumericType NumericTypeOf(std::string_view type) {
    // The first letter is known to match; the rest is mostly spelled as in `name`.
    auto match = [&](std::string_view name, NumericType numeric) {
        return type.substr(1) == name.substr(1) || IsType(type, name) ? numeric : NumericType::None;
    };
    const char first = type.empty() ? '\0' : static_cast<char>(type[0] | 0x20);
    switch (type.size()) {
        case 4: return match("long", NumericType::Long);
        case 6:
            if (first == 's') return match("single", NumericType::Single);
            return first == 'd' ? match("double", NumericType::Double) : NumericType::None;
        case 7:
            if (first == 'b') return match("boolean", NumericType::Boolean);
            return first == 'i' ? match("integer", NumericType::Integer) : NumericType::None;
        default: return NumericType::None;
    }
}

// Every numeric conversion goes through the value's number; an empty Variant when it has none
// or the number does not fit the type.
Variant NumberAs(std::optional<double> number, NumericType type) {
    switch (type) {
        case NumericType::Boolean:
            if (auto b = ToBooleanFrom(number)) return Variant(*b);
            break;
        case NumericType::Integer:
            if (auto i = ToIntegral<std::int16_t>(number)) return Variant(*i);
            break;
        case NumericType::Long:
            if (auto l = ToIntegral<std::int32_t>(number)) return Variant(*l);
            break;
        case NumericType::Single:
            if (number && (std::fabs(*number) <= std::numeric_limits<float>::max() || !std::isfinite(*number)))
                return Variant(static_cast<float>(*number));
            break;
        case NumericType::Double:
            if (number) return Variant(*number);
            break;
        case NumericType::None: break;
    }
    return {};
}

// `type` is matched without regard to case.
Variant ConvertNumeric(const Variant& value, std::string_view type) {
    NumericType numeric = NumericTypeOf(type);
    return numeric == NumericType::None ? value : NumberAs(ToDouble(value), numeric);
}

std::optional<double> TextToDouble(std::string_view text) {
    // Most numbers in project files are a single digit, or nothing at all.
    if (text.empty()) return std::nullopt;
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '9') return text[0] - '0';
    std::string_view trimmed = TrimView(text);
    // Digits, the usual text, cannot spell a truth value: spare them the comparisons.
    const auto first = static_cast<unsigned char>(trimmed.empty() ? '0' : trimmed[0]);
    if (first >= 0x80 || (first | 0x20) == 't' || (first | 0x20) == 'f') {
        if (EqualsNoCase(trimmed, "true")) return -1.0;
        if (EqualsNoCase(trimmed, "false")) return 0.0;
    }
    return ParseNumber(trimmed);
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
    std::string_view s = TrimView(text);
    if (s.empty()) return std::nullopt;
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        std::string digits(s.substr(2));
        // strtoull alone would also take blanks, a sign and a "0x" prefix.
        for (char c : digits) {
            bool valid = base == 16 ? std::isxdigit(static_cast<unsigned char>(c)) : (c >= '0' && c <= '7');
            if (!valid) return std::nullopt;
        }
        errno = 0;
        char* end = nullptr;
        unsigned long long v = std::strtoull(digits.c_str(), &end, base);
        if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull || digits[0] == '-' || digits[0] == '+')
            return std::nullopt;
        // Hexadecimal literals that fit 16 bits are 16-bit values, others 32-bit (&HFFFF is -1).
        if (v <= 0xFFFF) return static_cast<double>(static_cast<std::int16_t>(v));
        return static_cast<double>(static_cast<std::int32_t>(v));
    }
    // Plain integers, most numbers in project files, need no strtod.
    std::size_t digitsFrom = s[0] == '-' ? 1 : 0;
    if (s.size() > digitsFrom && s.size() - digitsFrom <= 15 &&
        std::all_of(s.begin() + static_cast<std::ptrdiff_t>(digitsFrom), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        std::int64_t magnitude = 0;
        for (char c : s.substr(digitsFrom)) magnitude = magnitude * 10 + (c - '0');
        double value = static_cast<double>(magnitude);
        return digitsFrom ? -value : value;
    }
    std::string copy(s);
    for (char c : copy) {
        // strtod would also take "inf", "nan" and hexadecimal floats, which are not numbers here.
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
              c == 'e' || c == 'E'))
            return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || *end != '\0') return std::nullopt;
    // Too small a magnitude is zero; too large a magnitude does not convert.
    if (errno == ERANGE && std::fabs(v) >= 1.0) return std::nullopt;
    return v;
}

std::optional<double> ToDouble(const Variant& value) {
    switch (value.Type()) {
        case VarType::Empty: return 0.0;
        case VarType::String: return TextToDouble(value.AsString());
        default: return value.NumericValue();
    }
}

std::optional<bool> ToBoolean(const Variant& value) {
    if (value.Type() == VarType::Boolean) return value.AsBool();
    return ToBooleanFrom(ToDouble(value));
}

std::optional<std::int16_t> ToInteger(const Variant& value) {
    if (value.Type() == VarType::Integer) return value.AsInteger();
    return ToIntegral<std::int16_t>(ToDouble(value));
}

std::optional<std::int32_t> ToLong(const Variant& value) {
    if (value.Type() == VarType::Long) return value.AsLong();
    return ToIntegral<std::int32_t>(ToDouble(value));
}

Variant ConvertTo(const Variant& value, std::string_view typeName) {
    if (IsType(typeName, "string")) {
        switch (value.Type()) {
            case VarType::Null:
            case VarType::Object:
            case VarType::Array: return {};
            default: return Variant(StripQuotes(value.ToText()));
        }
    }
    return ConvertNumeric(value, typeName);
}

Variant ConvertToNumberOrBool(Variant value, std::string_view typeName) {
    if (IsType(typeName, "string")) return value;
    return ConvertNumeric(value, typeName);
}

Variant ConvertTextToNumberOrBool(std::string_view text, std::string_view typeName) {
    NumericType numeric = NumericTypeOf(typeName);
    return numeric == NumericType::None ? Variant(text) : NumberAs(TextToDouble(text), numeric);
}

std::string StripQuotes(std::string_view text) {
    std::string_view s = TrimView(text);
    while (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        s = TrimView(s.substr(1, s.size() - 2));
    return std::string(s);
}

}  // namespace velmora
