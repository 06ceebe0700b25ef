#include <gtest/gtest.h>

#include "generation/page_text.h"
#include "test_support.h"

namespace velmora {
namespace {

constexpr std::string_view kMeta = "<meta name=\"generator\" content=\"V\" />";

std::string Full(std::string_view page, std::string_view ext = "php", std::string_view docType = "XHTML") {
    return PostProcessPage(page, true, ext, docType, kMeta);
}

TEST(PageTextTest, ShortFormDropsLeadingBlankLinesFullFormAllKeepingLineEndings) {
    EXPECT_EQ(PostProcessPage("\r\n \t\r\n\n    <?php\r\n\r\n  echo 1; />", false, "php", "", kMeta),
              "    <?php\r\n\r\n  echo 1; />");
    EXPECT_EQ(PostProcessPage("x", false, "", "", kMeta), "x");
    EXPECT_EQ(PostProcessPage("", false, "", "", kMeta), "");
    EXPECT_EQ(Full("\r\n<?php\r\n\r\n  \t\r\n$a = 1;\r\n\r\n$b = 2;"), "<?php\r\n$a = 1;\r\n$b = 2;");
    EXPECT_EQ(Full("a  \n\n\tb\n\n"), "a  \n\tb\n");
}

TEST(PageTextTest, CommentMarkersFollowTheCodeLanguage) {
    std::string page = "x = 1\r\n' note\r\ny = 2\r\n// not VB\r\nPublic Sub Go()\r\nEnd Sub\r\n";
    EXPECT_EQ(Full(page, "VB"), "x = 1\r\n\r\n' note\r\ny = 2\r\n// not VB\r\n\r\nPublic Sub Go()\r\nEnd Sub\r\n");
    EXPECT_EQ(Full(page, "js"), "x = 1\r\n' note\r\ny = 2\r\n\r\n// not VB\r\nPublic Sub Go()\r\nEnd Sub\r\n");
}

// Whole pages in tests/data/template_text: comment blocks and declarations get a blank line before
// them; here-documents pass unchanged.
TEST(PageTextTest, FullFormOfWholePages) {
    for (std::string name : {"page_declarations", "page_heredocs"}) {
        std::string page = test::ReadData("template_text/" + name + ".in.txt");
        ASSERT_FALSE(page.empty()) << name;
        EXPECT_EQ(Full(page), test::ReadData("template_text/" + name + ".out.txt")) << name;
    }
    // An opener that is not at the end of its line is no here-document.
    EXPECT_EQ(Full("$s = '<<<X' . $y;\n\nX\n"), "$s = '<<<X' . $y;\nX\n");
}

TEST(PageTextTest, GeneratorLineGoesBeforeEveryHeadEnd) {
    EXPECT_EQ(Full("<head>\r\n  <title>t</title>\r\n  </HEAD>\r\n"),
              "<head>\r\n  <title>t</title>\r\n  <meta name=\"generator\" content=\"V\" />\r\n  </HEAD>\r\n");
    EXPECT_EQ(Full("<head><title>t</title></head>\n<p>x</p></head>"),
              "<head><title>t</title><meta name=\"generator\" content=\"V\" />\n</head>\n<p>x</p>"
              "<meta name=\"generator\" content=\"V\" />\n</head>");
    EXPECT_EQ(PostProcessPage("<head></head>", false, "php", "", kMeta), "<head></head>");
}

TEST(PageTextTest, PlainHtmlDocTypesLoseTheSelfClosingSlash) {
    std::string page = "<br />\n</head>";
    for (std::string_view plain : {"", "HTML", "NONE"})
        EXPECT_EQ(Full(page, "php", plain), "<br>\n<meta name=\"generator\" content=\"V\">\n</head>") << plain;
    for (std::string_view other : {"XHTML", "html", "HTML5"})
        EXPECT_EQ(Full(page, "php", other), "<br />\n<meta name=\"generator\" content=\"V\" />\n</head>") << other;
}

}  // namespace
}  // namespace velmora
