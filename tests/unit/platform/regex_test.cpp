#include "platform/regex.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

std::vector<std::string> Values(const std::vector<RegExpMatch>& matches) {
    std::vector<std::string> values;
    for (const auto& m : matches) values.push_back(m.Value);
    return values;
}

TEST(RegExp, ExecuteGivesPositionsAndSubMatches) {
    RegExp re(R"((\w+)@(\w+)(\.org)?)");
    auto first = re.Execute("mail: ann@example or bob@site.org");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].Value, "ann@example");
    EXPECT_EQ(first[0].FirstIndex, 6u);
    EXPECT_EQ(first[0].Length, 11u);
    EXPECT_EQ(first[0].SubMatches, (std::vector<std::string>{"ann", "example", ""}));

    re.SetGlobal(true);
    auto all = re.Execute("mail: ann@example or bob@site.org");
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].FirstIndex, 21u);
    EXPECT_EQ(all[1].SubMatches, (std::vector<std::string>{"bob", "site", ".org"}));
    EXPECT_TRUE(re.Execute("nothing here").empty());
}

TEST(RegExp, FlagsChangeTheCompiledPattern) {
    RegExp re("^field$");
    EXPECT_FALSE(re.Test("FIELD"));
    re.SetIgnoreCase(true);
    EXPECT_TRUE(re.Test("FIELD"));
    EXPECT_FALSE(re.Test("a\r\nfield\r\nb"));
    // $ does not match before a final line break unless multiline, as in JavaScript.
    EXPECT_FALSE(re.Test("field\n"));
    re.SetMultiline(true);
    EXPECT_TRUE(re.Test("a\r\nfield\r\nb"));
    EXPECT_TRUE(re.Test("a\rField\rb"));

    RegExp unicode("é+");
    unicode.SetIgnoreCase(true);
    EXPECT_EQ(unicode.Execute("caféÉé!")[0].Value, "éÉé");
    EXPECT_EQ(unicode.Execute("caféÉé!")[0].FirstIndex, 3u);
}

TEST(RegExp, JavaScriptSyntax) {
    EXPECT_TRUE(RegExp(R"(\u0041\x42)").Test("AB"));
    EXPECT_TRUE(RegExp(R"(\u{1F600})").Test("smile 😀"));
    EXPECT_TRUE(RegExp(R"(a[^]b)").Test("a\nb"));
    EXPECT_FALSE(RegExp(R"(a.b)").Test("a\nb"));
    EXPECT_FALSE(RegExp(R"(a.b)").Test("a\rb"));
    EXPECT_TRUE(RegExp(R"(\-\q\/)").Test("-q/"));
    EXPECT_TRUE(RegExp(R"((a)?\1b)").Test("b"));  // an unset group matches nothing
    EXPECT_EQ(RegExp(R"(\d+)").Execute("x٣4")[0].Value, "4");  // \d is ASCII only
}

TEST(RegExp, ReplaceExpandsReferences) {
    RegExp re(R"((\w+)\s(\w+))");
    EXPECT_EQ(re.Replace("John Smith, Jane Doe", "$2 $1"), "Smith John, Jane Doe");
    re.SetGlobal(true);
    EXPECT_EQ(re.Replace("John Smith, Jane Doe", "$2 $1"), "Smith John, Doe Jane");
    EXPECT_EQ(re.Replace("a b", "[$&|$$|$3|$0|$|$x]"), "[a b|$|$3|$0|$|$x]");
    EXPECT_EQ(re.Replace("a b", "$`<$'"), "<");
    EXPECT_EQ(RegExp("b").Replace("abc", "[$`|$']"), "a[a|c]c");

    // $10 is group 10 when there is one, otherwise group 1 followed by "0".
    RegExp two("(a)(b)");
    EXPECT_EQ(two.Replace("ab", "$10$02"), "a0b");
    RegExp eleven("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)");
    EXPECT_EQ(eleven.Replace("abcdefghijk", "$11$10$1"), "kja");

    RegExp optional("x(y)?");
    optional.SetGlobal(true);
    EXPECT_EQ(optional.Replace("xy x", "<$1>"), "<y> <>");
}

TEST(RegExp, EmptyMatchesAdvance) {
    RegExp re("x*");
    re.SetGlobal(true);
    EXPECT_EQ(re.Replace("abc", "-"), "-a-b-c-");
    EXPECT_EQ(re.Replace("", "-"), "-");
    EXPECT_EQ(Values(re.Execute("axxb")), (std::vector<std::string>{"", "xx", "", ""}));
    // Advancing past an empty match steps over a whole UTF-8 character.
    EXPECT_EQ(re.Replace("é€", "-"), "-é-€-");

    RegExp lazy("a*?");
    lazy.SetGlobal(true);
    EXPECT_EQ(lazy.Execute("aa").size(), 3u);

    RegExp lines("^");
    lines.SetGlobal(true);
    lines.SetMultiline(true);
    EXPECT_EQ(lines.Replace("a\nb\r\nc", "> "), "> a\n> b\r\n> c");
}

TEST(RegExp, BadPatternsAndBadText) {
    RegExp re("(unclosed");
    EXPECT_FALSE(re.Test("unclosed"));
    EXPECT_TRUE(re.Execute("(unclosed").empty());
    EXPECT_EQ(re.Replace("keep me", "x"), "keep me");
    EXPECT_NE(re.Error().find("at offset 9"), std::string::npos) << re.Error();

    re.SetPattern("ok");
    EXPECT_TRUE(re.Test("is ok"));
    EXPECT_EQ(re.Error(), "");

    // Invalid UTF-8 in the text never matches but does not stop the search.
    RegExp any(".");
    any.SetGlobal(true);
    EXPECT_EQ(Values(any.Execute(std::string("a\xff" "b\xc3", 4))), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(any.Replace(std::string("a\xff" "b", 3), "."), std::string(".\xff.", 3));

    // A copy shares the compiled pattern but keeps its own flags.
    RegExp copy = any;
    copy.SetIgnoreCase(true);
    EXPECT_TRUE(copy.Test("A"));
    EXPECT_FALSE(any.IgnoreCase());
}

}  // namespace
}  // namespace velmora
