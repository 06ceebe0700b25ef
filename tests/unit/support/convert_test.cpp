#include "support/convert.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velmora {
namespace {

TEST(ConvertTo, TextToEachType) {
    Variant twelve = ConvertTo("12", "Integer");
    ASSERT_EQ(twelve.Type(), VarType::Integer);
    EXPECT_EQ(twelve.AsInteger(), 12);
    EXPECT_EQ(ConvertTo(" 70000 ", "LONG"), Variant(std::int32_t{70000}));
    EXPECT_EQ(ConvertTo("0.1", "single"), Variant(0.1f));
    EXPECT_EQ(ConvertTo("-1.5e3", "double"), Variant(-1500.0));
    EXPECT_EQ(ConvertTo("&HFF", "integer"), Variant(std::int16_t{255}));
    EXPECT_EQ(ConvertTo("&HFFFF", "integer"), Variant(std::int16_t{-1}));
    EXPECT_EQ(ConvertTo("&H10000", "long"), Variant(std::int32_t{65536}));
    EXPECT_EQ(ConvertTo("&O17", "long"), Variant(std::int32_t{15}));

    EXPECT_EQ(ConvertTo("True", "boolean"), Variant(true));
    EXPECT_EQ(ConvertTo(" false ", "Boolean"), Variant(false));
    EXPECT_EQ(ConvertTo("2", "boolean"), Variant(true));
    EXPECT_EQ(ConvertTo("0", "boolean"), Variant(false));
    EXPECT_EQ(ConvertTo("True", "integer"), Variant(std::int16_t{-1}));
    EXPECT_EQ(ConvertTo(Variant(true), "long"), Variant(std::int32_t{-1}));
    EXPECT_EQ(ConvertTo(Variant(3.7), "integer"), Variant(std::int16_t{4}));
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

TEST(ConvertTo, EmptyIsZeroFalseOrEmptyText) {
    EXPECT_EQ(ConvertTo(Variant(), "integer"), Variant(std::int16_t{0}));
    EXPECT_EQ(ConvertTo(Variant(), "long"), Variant(std::int32_t{0}));
    EXPECT_EQ(ConvertTo(Variant(), "double"), Variant(0.0));
    EXPECT_EQ(ConvertTo(Variant(), "boolean"), Variant(false));
    EXPECT_EQ(ConvertTo(Variant(), "string"), Variant(""));
    EXPECT_TRUE(ConvertTo(Variant(), "other").IsEmpty());
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

TEST(ConvertTo, StringAndUnknownTypeNames) {
    EXPECT_EQ(ConvertTo(" 'quoted' ", "String"), Variant("quoted"));
    EXPECT_EQ(ConvertTo(Variant(std::int16_t{5}), "string"), Variant("5"));
    EXPECT_EQ(ConvertTo(Variant(true), "string"), Variant("True"));
    EXPECT_EQ(ConvertTo("'kept'", "date"), Variant("'kept'"));
    EXPECT_EQ(ConvertTo("12", " integer"), Variant("12"));  // the name is not trimmed

    EXPECT_EQ(ConvertToNumberOrBool(" 'kept' ", "string"), Variant(" 'kept' "));
    EXPECT_EQ(ConvertToNumberOrBool("12", "integer"), Variant(std::int16_t{12}));
    EXPECT_TRUE(ConvertToNumberOrBool("x", "boolean").IsEmpty());
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

TEST(ConvertTextToNumberOrBool, AgreesWithTheVariantConversion) {
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
    EXPECT_EQ(StripQuotes("'abc'"), "abc");
    EXPECT_EQ(StripQuotes("'\"abc\"'"), "abc");
    EXPECT_EQ(StripQuotes(" ' \" abc \" ' "), "abc");
    EXPECT_EQ(StripQuotes("\"\""), "");
    EXPECT_EQ(StripQuotes("'"), "'");
    EXPECT_EQ(StripQuotes("'abc\""), "'abc\"");
    EXPECT_EQ(StripQuotes("'a' + 'b'"), "a' + 'b");
    EXPECT_EQ(StripQuotes("  plain\t"), "plain");
}

}  // namespace
}  // namespace velmora
