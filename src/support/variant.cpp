#include "support/variant.h"

#include <cmath>
#include <cstdio>

#include <fmt/format.h>

namespace velmora {
namespace {

constexpr const char* kTypeNames[] = {"Empty", "Null",   "Boolean", "Integer", "Long",  "Single",
                                      "Double", "Date", "String",  "Object",  "Array"};

// Formats like the engine's number-to-text rule: up to `digits` significant digits, trailing
// zeros dropped, exponent form ("1E+20", "1E-05") only for very large or small magnitudes.
std::string FormatFloat(double v, int digits) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, v);
    return buf;
}

std::string FormatDate(double serial) {
    // Civil date from days since 1899-12-30 (proleptic Gregorian).
    double whole = std::floor(serial);
    auto days = static_cast<long long>(whole) - 25569;  // relative to 1970-01-01
    long long z = days + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    long long d = doy - (153 * mp + 2) / 5 + 1;
    long long m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
    auto seconds = static_cast<long long>(std::llround((serial - whole) * 86400.0));
    std::string date = fmt::format("{}/{}/{}", m, d, y);
    if (seconds == 0) return date;
    long long h = seconds / 3600, min = seconds / 60 % 60, s = seconds % 60;
    std::string time = fmt::format("{}:{:02}:{:02} {}", h % 12 == 0 ? 12 : h % 12, min, s,
                                   h < 12 ? "AM" : "PM");
    if (whole == 0) return time;
    return date + " " + time;
}

}  // namespace

const char* VarTypeName(VarType type) { return kTypeNames[static_cast<int>(type)]; }

bool Variant::IsNumber() const {
    switch (Type()) {
        case VarType::Integer:
        case VarType::Long:
        case VarType::Single:
        case VarType::Double:
            return true;
        default:
            return false;
    }
}

std::optional<double> Variant::NumericValue() const {
    switch (Type()) {
        case VarType::Boolean: return AsBool() ? -1.0 : 0.0;
        case VarType::Integer: return AsInteger();
        case VarType::Long: return AsLong();
        case VarType::Single: return AsSingle();
        case VarType::Double: return AsDouble();
        case VarType::Date: return AsDate().serial;
        default: return std::nullopt;
    }
}

std::string Variant::ToText() const {
    switch (Type()) {
        case VarType::Empty:
        case VarType::Null:
        case VarType::Object:
        case VarType::Array: return {};
        case VarType::Boolean: return AsBool() ? "True" : "False";
        case VarType::Integer: return std::to_string(AsInteger());
        case VarType::Long: return std::to_string(AsLong());
        case VarType::Single: return FormatFloat(AsSingle(), 7);
        case VarType::Double: return FormatFloat(AsDouble(), 15);
        case VarType::Date: return FormatDate(AsDate().serial);
        case VarType::String: return AsString();
    }
    return {};
}

}  // namespace velmora
