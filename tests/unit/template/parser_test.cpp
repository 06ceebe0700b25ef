#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/prompter.h"
#include "support/engine_state.h"
#include "template/parser.h"

namespace velmora {
namespace {

struct Seen {
    std::int32_t type;
    std::string value;
    std::string name;
    std::int32_t start;
    std::string indent;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& b) {
    return out << "{" << b.type << ", \"" << b.value << "\", \"" << b.name << "\", " << b.start << ", \"" << b.indent
               << "\"}";
}

std::vector<Seen> Blocks(AGParser& parser) {
    std::vector<Seen> seen;
    for (std::int32_t id = 1; id <= parser.Count(); ++id) {
        parser.SetBlockID(id);
        EXPECT_EQ(parser.BlockValue(), parser.Source().substr(parser.BlockStart() - 1, parser.BlockLength()));
        seen.push_back({parser.BlockType(), std::string(parser.BlockValue()), std::string(parser.BlockName()),
                        parser.BlockStart(), std::string(parser.BlockIndent())});
    }
    return seen;
}

class ParserTest : public testing::Test {
protected:
    void SetUp() override {
        Engine().ProjErr.clear();
        prompter_ = std::make_shared<NonInteractivePrompter>();
        SetPrompter(prompter_);
    }
    void TearDown() override {
        SetPrompter(nullptr);
        Engine().ProjErr.clear();
    }

    std::vector<Seen> Parse(std::string_view text) {
        parser_.Parse(text);
        return Blocks(parser_);
    }

    AGParser parser_;
    std::shared_ptr<NonInteractivePrompter> prompter_;
};

TEST_F(ParserTest, CutsContentAndBlocksWithPositions) {
    EXPECT_EQ(Parse("A<!--## x=1; ##-->B"), (std::vector<Seen>{{agc_Block_Content, "A", "", 1, ""},
                                                              {agc_Block_Script, " x=1; ", "", 8, ""},
                                                              {agc_Block_Content, "B", "", 19, ""}}));
    EXPECT_EQ(Parse("<!--##=  Foo(1) ##--><!--## =x##--><!--##@\tid ##--><!--##$ e ##-->"),
              (std::vector<Seen>{{agc_Block_Function, "  Foo(1) ", "Foo(1)", 8, ""},
                                 {agc_Block_Script, " =x", "", 28, ""},
                                 {agc_Block_Language, "\tid ", "\tid", 43, ""},
                                 {agc_Block_LanguageDynamic, " e ", "e", 59, ""}}));
    EXPECT_TRUE(Parse("").empty());
    EXPECT_EQ(Parse("no blocks ##--> here"),
              (std::vector<Seen>{{agc_Block_Content, "no blocks ##--> here", "", 1, ""}}));
    EXPECT_EQ(Parse("<!--##=a##-->x"),
              (std::vector<Seen>{{agc_Block_Function, "a", "a", 8, ""}, {agc_Block_Content, "x", "", 14, ""}}));
    EXPECT_EQ(Parse("x<!--##=a##-->"),
              (std::vector<Seen>{{agc_Block_Content, "x", "", 1, ""}, {agc_Block_Function, "a", "a", 9, ""}}));
    // Opener and closer sharing their "##": an empty script block, not a negative length.
    EXPECT_EQ(Parse("<!--##-->x<!--###-->"), (std::vector<Seen>{{agc_Block_Script, "", "", 7, ""},
                                                               {agc_Block_Content, "x", "", 10, ""},
                                                               {agc_Block_Script, "", "", 17, ""}}));
    EXPECT_TRUE(Engine().ProjErr.empty());
}

TEST_F(ParserTest, IndentIsTheBlankRunEndingThePreviousContent) {
    auto indentOf = [&](std::string_view text) {
        parser_.Parse(text);
        parser_.SetBlockID(parser_.Count());
        EXPECT_EQ(parser_.BlockType(), agc_Block_FunctionIndent) << text;
        return std::string(parser_.BlockIndent());
    };
    EXPECT_EQ(indentOf("x\r\n\t\t<!--##~v##-->"), "\t\t");
    EXPECT_EQ(indentOf("ab <!--##~v##-->"), " ");
    EXPECT_EQ(indentOf(" \t <!--##~v##-->"), " \t ");
    EXPECT_EQ(indentOf("ab<!--##~v##-->"), "");
    EXPECT_EQ(indentOf("  <!--##=a##--><!--##~v##-->"), "");
    parser_.SetBlockID(1);
    EXPECT_EQ(parser_.BlockIndent(), "");
}

TEST_F(ParserTest, BlockIdOutsideTheListIsIgnored) {
    parser_.Parse("a<!--##=b##-->");
    EXPECT_EQ(parser_.BlockID(), 0);
    parser_.SetBlockID(2);
    parser_.SetBlockID(3);
    parser_.SetBlockID(0);
    EXPECT_EQ(parser_.BlockID(), 2);
    EXPECT_EQ(parser_.BlockName(), "b");
    parser_.Parse("c");
    EXPECT_EQ(parser_.BlockID(), 0);
    EXPECT_EQ(parser_.Count(), 1);
}

TEST(ScriptFunctionName, FindsTheLastDeclarationStartingALine) {
    EXPECT_EQ(ScriptFunctionName("function foo(a) {}"), "foo");
    EXPECT_EQ(ScriptFunctionName("x=1;\r\n  Function  Bar (y)"), "Bar");
    EXPECT_EQ(ScriptFunctionName("function a() {}\r\nFUNCTION b() {}"), "b");
    // Other words before it on its line: no name.
    EXPECT_EQ(ScriptFunctionName("function a() {}\r\nvar f = function (x) {}"), "");
    // Commented out, or the tail of another word: passed over.
    EXPECT_EQ(ScriptFunctionName("function good() {}\r\n' function bad()"), "good");
    EXPECT_EQ(ScriptFunctionName("function real() {}\r\nzvfunction x()"), "real");
    EXPECT_EQ(ScriptFunctionName("function noparen"), "");
    EXPECT_EQ(ScriptFunctionName("functions"), "");
    // Lines end at CR LF only, and only spaces indent a declaration.
    EXPECT_EQ(ScriptFunctionName("x\nfunction foo()"), "");
    EXPECT_EQ(ScriptFunctionName("\tfunction foo()"), "");

    AGParser parser;
    parser.Parse("<!--##\r\nfunction zvHeader() {\r\n}\r\n##-->");
    parser.SetBlockID(1);
    EXPECT_EQ(parser.BlockName(), "zvHeader");
}

TEST_F(ParserTest, IncompleteBlockReportsLineColumnAndLines) {
    EXPECT_TRUE(Parse("<!--##=x").empty());
    EXPECT_EQ(Engine().ProjErr, "***Incomplete Block at line 1 column 1! Generation failed!\r\nError lines:\r\n<");

    Engine().ProjErr.clear();
    std::string text;
    for (int i = 0; i < 14; ++i) text.append("L").append(std::to_string(i)).append("\r\n");
    text += "\xC3\xA9 <!--##=x\r\nmore";
    EXPECT_EQ(Parse(text).size(), 1u);
    EXPECT_EQ(Engine().ProjErr,
              "***Incomplete Block at line 15 column 3! Generation failed!\r\nError lines:"
              "\r\nL4\r\nL5\r\nL6\r\nL7\r\nL8\r\nL9\r\nL10\r\nL11\r\nL12\r\nL13\r\n\xC3\xA9 <");
    EXPECT_TRUE(prompter_->Asked().empty());
}

TEST_F(ParserTest, NestedBlockShowsTheSourceAndReportsTheInnerOpener) {
    std::string text = "ab\r\ncd<!--## x <!--##=y##-->";
    EXPECT_EQ(Parse(text), (std::vector<Seen>{{agc_Block_Content, "ab\r\ncd", "", 1, ""}}));
    EXPECT_EQ(Engine().ProjErr,
              "***Nested Blocks found at line 2 column 12! Generation failed!\r\nError lines:\r\nab\r\ncd<!--## x <");
    ASSERT_EQ(prompter_->Asked().size(), 1u);
    EXPECT_EQ(prompter_->Asked()[0].id, "nested-block");
    EXPECT_EQ(prompter_->Asked()[0].message, "Nested Block: " + text);
}

TEST_F(ParserTest, ContentBeforeAnIndentedBlockIsLimited) {
    std::string fits(kMaxIndentScan - 1, 'a');
    fits += ' ';
    EXPECT_EQ(Parse(fits + "<!--##~v##-->").back().indent, " ");
    // Characters, not bytes, count.
    std::string wide;
    for (int i = 0; i < 20000; ++i) wide += "\xC3\xA9";
    EXPECT_EQ(Parse(wide + "<!--##~v##-->").size(), 2u);
    EXPECT_TRUE(Engine().ProjErr.empty());

    EXPECT_EQ(Parse("a" + fits + "<!--##~v##-->").size(), 1u);
    EXPECT_EQ(Engine().ProjErr.rfind("***Content of more than 32767 characters before the indented block at line 1 "
                                     "column 32769! Generation failed!\r\nError lines:\r\n",
                                     0),
              0u);
}

}  // namespace
}  // namespace velmora
