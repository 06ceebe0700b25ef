// Fuzz target: conversion of arbitrary text by every type name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/convert.h"
#include "fuzz_support.h"

using velmora::fuzz::Check;

namespace {

using velmora::Variant;

constexpr std::string_view kTypeNames[] = {"boolean", "Integer", "LONG", "single", "double", "string", "date", ""};

void ConvertEach(const Variant& value) {
    for (std::string_view type : kTypeNames) {
        Variant converted = velmora::ConvertTo(value, type);
        Variant numeric = velmora::ConvertToNumberOrBool(value, type);
        if (type != "string") Check(converted == numeric);
        // A converted value is already of its type: converting it again changes nothing.
        if (!converted.IsEmpty()) Check(velmora::ConvertTo(converted, type) == converted);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string stripped = velmora::StripQuotes(text);
    Check(stripped.size() <= text.size());
    Check(velmora::StripQuotes(stripped) == stripped);
    Check(velmora::ConvertTo(text, "String") == Variant(stripped));

    ConvertEach(Variant(text));
    if (auto number = velmora::ParseNumber(text)) {
        ConvertEach(Variant(*number));
        ConvertEach(Variant(static_cast<float>(*number)));
    }
    return 0;
}
