#include "support/convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace velmora {
namespace {

// Conversions by type name: the result must carry the named type, not only an equal value.
TEST(ConvertTo, TextAndValuesToEachType) {
    using I = std::int16_t;
    using L = std::int32_t;
    const std::tuple<Variant, const char*, Variant> cases[] = {
        {"12", "Integer", Variant(I{12})},         {" 70000 ", "LONG", Variant(L{70000})},
        {"0.1", "single", Variant(0.1f)},           {"-1.5e3", "double", Variant(-1500.0)},
        {"&HFF", "integer", Variant(I{255})},       {"&HFFFF", "integer", Variant(I{-1})},
        {"&H10000", "long", Variant(L{65536})},     {"&O17", "long", Variant(L{15})},
        {"True", "boolean", Variant(true)},         {" false ", "Boolean", Variant(false)},
        {"2", "boolean", Variant(true)},            {"0", "boolean", Variant(false)},
        {"True", "integer", Variant(I{-1})},        {Variant(true), "long", Variant(L{-1})},
        {Variant(3.7), "integer", Variant(I{4})},   {Variant(), "integer", Variant(I{0})},
        {Variant(), "long", Variant(L{0})},         {Variant(), "double", Variant(0.0)},
        {Variant(), "boolean", Variant(false)},     {Variant(), "string", Variant("")},
        {Variant(), "other", Variant()},            {" 'quoted' ", "String", Variant("quoted")},
        {Variant(I{5}), "string", Variant("5")},    {Variant(true), "string", Variant("True")},
        {"'kept'", "date", Variant("'kept'")},      {"12", " integer", Variant("12")},  // the name is not trimmed
    };
    for (const auto& [value, type, expected] : cases)
        EXPECT_EQ(ConvertTo(value, type), expected) << value.ToText() << " as " << type;
}

TEST(ConvertTo, WhatDoesNotConvertIsEmpty) {
    for (const char* text : {"x", "", "1 2", "12abc", "--1", "1e", ".", "inf", "nan", "0x1F", "1e400", "&H", "&HZZ",
                             "&H-1", "&H0x1F", "&H 1F", "&O8", "&H1FFFFFFFF"}) {
        EXPECT_TRUE(ConvertTo(text, "long").IsEmpty()) << text;
        EXPECT_TRUE(ConvertTo(text, "double").IsEmpty()) << text;
    }
    EXPECT_TRUE(ConvertTo("yes", "boolean").IsEmpty());
    EXPECT_TRUE(ConvertTo(Variant::Null(), "integer").IsEmpty());
    EXPECT_TRUE(ConvertTo(Variant::Null(), "string").IsEmpty());
    EXPECT_TRUE(ConvertTo(Variant(Variant::Array{}), "boolean").IsEmpty());
}

TEST(ConvertTo, RoundsHalfToEvenAndRejectsOverflow) {
    const std::pair<const char*, int> cases[] = {{"0.5", 0},   {"1.5", 2},   {"2.5", 2},   {"3.5", 4},
                                                 {"-2.5", -2}, {"-3.5", -4}, {"2.51", 3}, {"-0.4", 0}};
    for (auto [text, expected] : cases) {
        EXPECT_EQ(ConvertTo(text, "integer"), Variant(static_cast<std::int16_t>(expected))) << text;
        EXPECT_EQ(ConvertTo(text, "long"), Variant(static_cast<std::int32_t>(expected))) << text;
    }
    EXPECT_EQ(ConvertTo("32767.49", "integer"), Variant(std::int16_t{32767}));
    EXPECT_EQ(ConvertTo("-32768.5", "integer"), Variant(std::int16_t{-32768}));
    EXPECT_TRUE(ConvertTo("32767.5", "integer").IsEmpty());
    EXPECT_TRUE(ConvertTo("-32769", "integer").IsEmpty());
    EXPECT_EQ(ConvertTo("2147483647", "long"), Variant(std::int32_t{2147483647}));
    EXPECT_TRUE(ConvertTo("2147483648", "long").IsEmpty());
    EXPECT_TRUE(ConvertTo(Variant(std::int32_t{40000}), "integer").IsEmpty());
    EXPECT_TRUE(ConvertTo("1e39", "single").IsEmpty());
    EXPECT_EQ(ConvertTo("3e38", "single"), Variant(3e38f));
}

TEST(ParseNumber, PlainIntegersAndEverythingElseAgree) {
    EXPECT_EQ(ParseNumber(" 42 "), 42.0);
    EXPECT_EQ(ParseNumber("007"), 7.0);
    EXPECT_TRUE(std::signbit(*ParseNumber("-0")));
    EXPECT_EQ(ParseNumber("-123456789012345"), -123456789012345.0);
    EXPECT_EQ(ParseNumber("12345678901234567890"), 12345678901234567890.0);
    EXPECT_EQ(ParseNumber("1e3"), 1000.0);
    for (const char* bad : {"-", "--1", "1-", "12a", "inf", "0x10", ""}) EXPECT_FALSE(ParseNumber(bad)) << bad;
}

TEST(ConvertTextToNumberOrBool, AgreesWithTheVariantConversionThatLeavesStringsAsTheyAre) {
    EXPECT_EQ(ConvertToNumberOrBool(" 'kept' ", "string"), Variant(" 'kept' "));
    // Project files are read through the text path; it must give what the Variant path gives.
    for (const char* type : {"Boolean", "integer", "LONG", "single", "Double", "String", "Variant", "Custom", ""}) {
        for (const char* text : {"", "0", "1", "-1", " 12 ", "2.5", "-3.5", "70000", "1e400", "&HFFFF", "True",
                                 " FALSE", "x", "1e-400", "3.4e39", "it's \"quoted\""}) {
            Variant expected = ConvertToNumberOrBool(Variant(text), type);
            Variant actual = ConvertTextToNumberOrBool(text, type);
            EXPECT_EQ(actual.Type(), expected.Type()) << type << " " << text;
            EXPECT_EQ(actual.ToText(), expected.ToText()) << type << " " << text;
        }
    }
}

TEST(StripQuotes, RemovesMatchingPairsRepeatedly) {
    const std::pair<const char*, const char*> cases[] = {
        {"'abc'", "abc"}, {"'\"abc\"'", "abc"}, {" ' \" abc \" ' ", "abc"}, {"\"\"", ""},
        {"'", "'"},       {"'abc\"", "'abc\""}, {"'a' + 'b'", "a' + 'b"},   {"  plain\t", "plain"}};
    for (auto [text, expected] : cases) EXPECT_EQ(StripQuotes(text), expected) << text;
}

}  // namespace
}  // namespace velmora
