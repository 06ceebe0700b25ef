#include "platform/script_values.h"

#include <js/Array.h>
#include <js/Conversions.h>
#include <js/Date.h>
#include <js/String.h>
#include <jsfriendapi.h>
#include <mozilla/Span.h>
#include <mozilla/Tuple.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/script_wrappers.h"

namespace velmora::jsengine {
namespace {

// Arrays nest at most this deep on the way out; deeper levels (or cycles) arrive as empty.
constexpr int kMaxArrayDepth = 32;

constexpr std::int64_t kMsPerDay = 86'400'000;
// Serial day number of 1 January 1970.
constexpr std::int64_t kUnixEpochSerial = 25'569;

bool IsAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

struct CivilDate {
    std::int64_t year;
    int month;  // 1-12
    int day;
};

// Days since 1970-01-01 to a proleptic Gregorian date.
CivilDate CivilFromDays(std::int64_t days) {
    days += 719'468;
    const std::int64_t era = FloorDiv(days, 146'097);
    const std::int64_t dayOfEra = days - era * 146'097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// Serial dates are local wall-clock times: the serial's calendar day and time of day become a
// Date showing the same local day and time, and back. Before the serial's day 0 the fraction
// still counts forward from midnight (-1.25 is 29 December 1899, 06:00).
bool DateToScript(JSContext* cx, DateValue date, JS::MutableHandleValue out) {
    const double serial = date.serial;
    if (!std::isfinite(serial) || std::abs(serial) > 1e8) {
        JSObject* invalid = JS::NewDateObject(cx, JS::TimeClip(std::nan("")));
        if (!invalid) return false;
        out.setObject(*invalid);
        return true;
    }
    auto day = static_cast<std::int64_t>(serial >= 0 ? std::floor(serial) : std::ceil(serial));
    auto ms = static_cast<std::int64_t>(
        std::llround(std::abs(serial - static_cast<double>(day)) * kMsPerDay));
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        ++day;
    }
    const CivilDate civil = CivilFromDays(day - kUnixEpochSerial);
    const int hour = static_cast<int>(ms / 3'600'000);
    const int minute = static_cast<int>(ms / 60'000 % 60);
    const int second = static_cast<int>(ms / 1000 % 60);
    JS::RootedObject object(cx, JS::NewDateObject(cx, static_cast<int>(civil.year), civil.month - 1,
                                                  civil.day, hour, minute, second));
    if (!object) return false;
    if (const std::int64_t millis = ms % 1000; millis != 0) {
        double time = 0;
        if (!js::DateGetMsecSinceEpoch(cx, object, &time)) return false;
        object = JS::NewDateObject(cx, JS::TimeClip(time + static_cast<double>(millis)));
        if (!object) return false;
    }
    out.setObject(*object);
    return true;
}

Variant DateFromScript(JSContext* cx, JS::HandleObject object) {
    double time = 0;
    if (!js::DateGetMsecSinceEpoch(cx, object, &time) || std::isnan(time)) {
        JS_ClearPendingException(cx);
        return Variant::Null();
    }
    JS::RootedValue offset(cx);
    double offsetMinutes = 0;
    if (JS_CallFunctionName(cx, object, "getTimezoneOffset", JS::HandleValueArray::empty(),
                            &offset) &&
        offset.isNumber())
        offsetMinutes = offset.toNumber();
    else
        JS_ClearPendingException(cx);
    const auto local = static_cast<std::int64_t>(std::llround(time - offsetMinutes * 60'000));
    const std::int64_t day = FloorDiv(local, kMsPerDay) + kUnixEpochSerial;
    const double fraction = static_cast<double>(local - (day - kUnixEpochSerial) * kMsPerDay) /
                            static_cast<double>(kMsPerDay);
    const auto whole = static_cast<double>(day);
    return Variant(DateValue{day >= 0 ? whole + fraction : whole - fraction});
}

bool ArrayToScript(JSContext* cx, const Variant::Array& items, JS::MutableHandleValue out) {
    JS::RootedValueVector values(cx);
    if (!values.reserve(items.size())) return false;
    JS::RootedValue item(cx);
    for (const Variant& v : items) {
        if (!ToScript(cx, v, &item)) return false;
        values.infallibleAppend(item);
    }
    JSObject* array = JS::NewArrayObject(cx, values);
    if (!array) return false;
    out.setObject(*array);
    return true;
}

Variant NumberFromScript(double d) {
    if (d >= std::numeric_limits<std::int32_t>::min() &&
        d <= std::numeric_limits<std::int32_t>::max() && d == std::trunc(d) &&
        !(d == 0 && std::signbit(d)))
        return Variant(static_cast<std::int32_t>(d));
    return Variant(d);
}

Variant FromScriptAt(JSContext* cx, JS::HandleValue value, int depth);

Variant ArrayFromScript(JSContext* cx, JS::HandleObject array, int depth) {
    std::uint32_t length = 0;
    if (depth >= kMaxArrayDepth || !JS::GetArrayLength(cx, array, &length)) {
        JS_ClearPendingException(cx);
        return {};
    }
    Variant::Array items;
    items.reserve(length);
    JS::RootedValue item(cx);
    for (std::uint32_t i = 0; i < length; ++i) {
        if (!JS_GetElement(cx, array, i, &item)) {
            JS_ClearPendingException(cx);
            item.setUndefined();
        }
        items.push_back(FromScriptAt(cx, item, depth + 1));
    }
    return Variant(std::move(items));
}

// Any other object arrives as its text, as an automation host would see it.
Variant TextFromScript(JSContext* cx, JS::HandleValue value) {
    JS::RootedString text(cx, JS::ToString(cx, value));
    if (!text) {
        JS_ClearPendingException(cx);
        return {};
    }
    return Variant(ToUtf8(cx, text));
}

Variant ObjectFromScript(JSContext* cx, JS::HandleValue value, int depth) {
    JS::RootedObject object(cx, &value.toObject());
    if (IsWrapper(object)) {
        const ObjectRef* native = WrappedObject(object);
        return native ? Variant(*native) : Variant::Null();
    }
    if (JS::IsCallable(object)) return {};
    bool is = false;
    if (JS::IsArrayObject(cx, object, &is) && is) return ArrayFromScript(cx, object, depth);
    if (JS::ObjectIsDate(cx, object, &is) && is) return DateFromScript(cx, object);
    JS_ClearPendingException(cx);
    return TextFromScript(cx, value);
}

Variant FromScriptAt(JSContext* cx, JS::HandleValue value, int depth) {
    if (value.isInt32()) return Variant(value.toInt32());
    if (value.isDouble()) return NumberFromScript(value.toDouble());
    if (value.isString()) {
        JS::RootedString text(cx, value.toString());
        return Variant(ToUtf8(cx, text));
    }
    if (value.isBoolean()) return Variant(value.toBoolean());
    if (value.isNull()) return Variant::Null();
    if (value.isObject()) return ObjectFromScript(cx, value, depth);
    if (value.isBigInt()) return TextFromScript(cx, value);
    return {};
}

}  // namespace

JSString* NewString(JSContext* cx, std::string_view text) {
    if (IsAscii(text)) return JS_NewStringCopyN(cx, text.data(), text.size());
    if (JSString* s = JS_NewStringCopyUTF8N(cx, JS::UTF8Chars(text.data(), text.size()))) return s;
    JS_ClearPendingException(cx);
    return JS_NewStringCopyN(cx, text.data(), text.size());
}

std::string ToUtf8(JSContext* cx, JS::HandleString text) {
    const std::size_t length = JS_GetStringLength(text);
    std::string out(length * (JS::StringHasLatin1Chars(text) ? 2 : 3), '\0');
    auto written =
        JS_EncodeStringToUTF8BufferPartial(cx, text, mozilla::Span(out.data(), out.size()));
    if (!written) return {};
    out.resize(mozilla::Get<1>(*written));
    return out;
}

bool ToId(JSContext* cx, std::string_view name, JS::MutableHandleId id) {
    JS::RootedString text(cx, NewString(cx, name));
    return text && JS_StringToId(cx, text, id);
}

bool ToScript(JSContext* cx, const Variant& value, JS::MutableHandleValue out) {
    switch (value.Type()) {
        case VarType::Empty:
            out.setUndefined();
            return true;
        case VarType::Null:
            out.setNull();
            return true;
        case VarType::Boolean:
            out.setBoolean(value.AsBool());
            return true;
        case VarType::Integer:
            out.setInt32(value.AsInteger());
            return true;
        case VarType::Long:
            out.setInt32(value.AsLong());
            return true;
        case VarType::Single:
            out.setNumber(static_cast<double>(value.AsSingle()));
            return true;
        case VarType::Double:
            out.setNumber(value.AsDouble());
            return true;
        case VarType::Date:
            return DateToScript(cx, value.AsDate(), out);
        case VarType::String: {
            JSString* text = NewString(cx, value.AsString());
            if (!text) return false;
            out.setString(text);
            return true;
        }
        case VarType::Object:
            return WrapObject(cx, value.AsObject(), out);
        case VarType::Array:
            return ArrayToScript(cx, value.AsArray(), out);
    }
    out.setUndefined();
    return true;
}

Variant FromScript(JSContext* cx, JS::HandleValue value) { return FromScriptAt(cx, value, 0); }

std::vector<Variant> FromScriptArgs(JSContext* cx, const JS::CallArgs& args) {
    std::vector<Variant> values;
    values.reserve(args.length());
    for (unsigned i = 0; i < args.length(); ++i) values.push_back(FromScript(cx, args[i]));
    return values;
}

}  // namespace velmora::jsengine
