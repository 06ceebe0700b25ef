#include "platform/xml.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "test_support.h"

namespace velmora {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> Names(const std::vector<XmlNode>& nodes) {
    std::vector<std::string> names;
    for (const auto& n : nodes) names.push_back(n.NodeName());
    return names;
}

TEST(XmlLoad, ErrorsGiveLineColumnReasonAndSourceLine) {
    TempDir dir;
    // Files are parsed in place; a failure is reported from a fresh read of the text, as for text.
    auto fail = [&dir](std::string_view text) {
        XmlDocument fromText, fromFile;
        EXPECT_FALSE(fromText.LoadString(text)) << text;
        EXPECT_FALSE(fromText.Error().reason.empty()) << text;
        EXPECT_GE(fromText.Error().line, 1) << text;
        EXPECT_FALSE(fromText.DocumentElement());
        WriteFile(dir / "bad.xml", text);
        EXPECT_FALSE(fromFile.Load(dir / "bad.xml")) << text;
        EXPECT_EQ(fromFile.Error().line, fromText.Error().line) << text;
        EXPECT_EQ(fromFile.Error().column, fromText.Error().column) << text;
        EXPECT_EQ(fromFile.Error().reason, fromText.Error().reason) << text;
        EXPECT_EQ(fromFile.Error().sourceText, fromText.Error().sourceText) << text;
        EXPECT_FALSE(fromFile.DocumentElement());
        return fromText.Error();
    };
    const std::tuple<std::string_view, int, int> positioned[] = {
        {"<Project>\r\n  <Table>\r\n  </Tabel>\r\n</Project>", 3, 5},  // the name inside </Tabel>
        {"<a>\n<b x=\"äöü\" y></b></a>", 2, 14},  // columns count characters: 17 if they counted bytes
        {"<a/><b/>", 1, 6}};
    for (auto [text, line, column] : positioned) {
        XmlParseError error = fail(text);
        EXPECT_EQ(error.line, line) << text;
        EXPECT_EQ(error.column, column) << text;
    }
    EXPECT_EQ(fail(std::get<0>(positioned[0])).sourceText, "  </Tabel>");

    using namespace std::string_view_literals;
    for (std::string_view bad : {""sv, "   "sv, "<!-- only -->"sv, "<a>"sv, "<a></b>"sv, "\x00\xff<\x01>garbage"sv,
                                 "<a b='1' b='2'/>"sv, "junk<a/>"sv, "<a/>tail"sv, "<![CDATA[x]]><a/>"sv,
                                 " <?xml version='1.0'?><a/>"sv, "<!--c--><?xml version='1.0'?><a/>"sv})
        fail(bad);
}

TEST(XmlLoad, FilesAndEncodings) {
    TempDir dir;
    XmlDocument doc;
    EXPECT_FALSE(doc.Load(dir / "missing.xml"));
    EXPECT_EQ(doc.Error().reason, "file not found");
    EXPECT_FALSE(doc.Load(dir.path().string()));

    WriteFile(dir / "ansi.xml", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><a t=\"caf\xE9 \x80\"/>");
    ASSERT_TRUE(doc.Load(dir / "ansi.xml")) << doc.Error().reason;
    EXPECT_EQ(doc.DocumentElement().GetAttribute("t"), "café €");
    EXPECT_EQ(doc.ToString(), "<?xml version=\"1.0\" encoding=\"utf-8\"?><a t=\"café €\"/>");

    WriteFile(dir / "bom.xml", "\xEF\xBB\xBF<a>\xC3\xA9</a>");
    ASSERT_TRUE(doc.Load(dir / "bom.xml"));
    EXPECT_EQ(doc.DocumentElement().Text(), "é");

    std::string utf16("\xFF\xFE", 2);
    for (char c : std::string("<a>x</a>")) utf16 += std::string{c, '\0'};
    ASSERT_TRUE(doc.LoadString(utf16));
    EXPECT_EQ(doc.DocumentElement().Text(), "x");

    EXPECT_FALSE(doc.LoadString("<?xml version=\"1.0\" encoding=\"no-such-charset\"?><a/>"));
    EXPECT_NE(doc.Error().reason.find("no-such-charset"), std::string::npos);
}

TEST(XmlLoad, DuplicateAttributesInFilesAmongManyAndAmongCleanSiblings) {
    TempDir dir;
    std::string manyAttributes = "<a";
    for (int i = 0; i < 300; ++i) manyAttributes += " n" + std::to_string(i) + "='v'";
    XmlDocument doc;
    WriteFile(dir / "dup.xml", "<r>\n" + manyAttributes + " n299='again'/></r>");
    EXPECT_FALSE(doc.Load(dir / "dup.xml"));
    EXPECT_EQ(doc.Error().reason, "Duplicate attribute.");
    EXPECT_EQ(doc.Error().line, 2);

    // Siblings repeating a clean element's names are taken as clean; one that differs is not.
    std::string sibling = "<e a='1' b='2' c='3'/>";
    for (const std::string& last : {std::string("<e a='1' b='2' a='3'/>"), std::string("<e a='1' b='2' c='3' c='4'/>"),
                                    std::string("<e a='1' b='2'/><e a='1' a='2'/>")}) {
        WriteFile(dir / "siblings.xml", "<r>" + sibling + sibling + "\n" + last + "</r>");
        EXPECT_FALSE(doc.Load(dir / "siblings.xml")) << last;
        EXPECT_EQ(doc.Error().reason, "Duplicate attribute.") << last;
        EXPECT_EQ(doc.Error().line, 2) << last;
    }
    WriteFile(dir / "siblings.xml", "<r>" + sibling + sibling + "<e b='2' a='1' c='3'/></r>");
    EXPECT_TRUE(doc.Load(dir / "siblings.xml")) << doc.Error().reason;

    WriteFile(dir / "many.xml", manyAttributes + " N0='case differs'/>");
    ASSERT_TRUE(doc.Load(dir / "many.xml")) << doc.Error().reason;
    EXPECT_EQ(doc.DocumentElement().Attributes().size(), 301u);
    EXPECT_EQ(doc.DocumentElement().GetAttribute("N0"), "case differs");
}

TEST(XmlLoad, DeepNestingNeitherCrashesNorRecurses) {
    constexpr int depth = 200000;
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<n>";
    text += "deep";
    for (int i = 0; i < depth; ++i) text += "</n>";
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadString(text));
    EXPECT_EQ(doc.DocumentElement().Text(), "deep");
    EXPECT_EQ(doc.ToString(), text);
    EXPECT_EQ(doc.DocumentNode().SelectNodes("//n").size(), static_cast<std::size_t>(depth));

    text.resize(text.size() - 4);
    EXPECT_FALSE(doc.LoadString(text));
}

TEST(XmlNode, NavigationInDocumentOrder) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(test::DataPath("xml/navigation.xml"))) << doc.Error().reason;
    EXPECT_EQ(Names(doc.DocumentNode().Children()), (std::vector<std::string>{"xml", "#comment", "x:Project"}));
    EXPECT_EQ(doc.DocumentNode().FirstChild().NodeValue(), "version=\"1.0\"");

    XmlNode root = doc.DocumentElement();
    EXPECT_EQ(root.NodeName(), "x:Project");
    EXPECT_EQ(root.BaseName(), "Project");
    EXPECT_EQ(root.Parent(), doc.DocumentNode());
    EXPECT_EQ(Names(root.Children()), (std::vector<std::string>{"Table", "#text", "#cdata-section", "pi", "TABLE"}));
    EXPECT_EQ(Names(root.ChildElements()), (std::vector<std::string>{"Table", "TABLE"}));
    EXPECT_EQ(root.Text(), "one\n  text<raw> & ");
    XmlNode cdata = root.Children()[2];
    EXPECT_TRUE(cdata.IsCData());
    EXPECT_EQ(cdata.NodeValue(), "<raw> & ");

    ASSERT_EQ(root.Attributes().size(), 4u);
    EXPECT_EQ(root.Attributes()[1].name, "Name");
    EXPECT_EQ(root.GetAttribute("name"), "lower");
    EXPECT_EQ(root.GetAttribute("NAME"), "");
    EXPECT_EQ(root.GetAttributeNoCase("NAME"), "P");  // the first in document order
    EXPECT_EQ(root.GetAttributeNoCase("id"), "7");
    EXPECT_TRUE(root.HasAttributeNoCase("iD"));
    EXPECT_FALSE(root.HasAttribute("iD"));

    EXPECT_EQ(root.ChildNoCase("table").Text(), "one");
    EXPECT_EQ(root.ChildrenNoCase("table").size(), 2u);
    EXPECT_FALSE(root.ChildNoCase("field"));

    XmlNode none;
    EXPECT_EQ(none.Type(), XmlNodeType::Null);
    EXPECT_EQ(none.NodeName(), "");
    EXPECT_TRUE(none.Children().empty());
    EXPECT_FALSE(none.AppendElement("a"));
    EXPECT_FALSE(none.SetAttribute("a", "b"));
}

TEST(XmlNode, XPathSelection) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadString("<db><table name='a'><field name='f1'/><field name='f2'/></table>"
                               "<table name='b'><field name='g'/></table></db>"));
    XmlNode db = doc.DocumentElement();
    EXPECT_EQ(db.SelectNodes("//field").size(), 3u);
    EXPECT_EQ(db.SelectSingleNode("table").SelectSingleNode("../table[2]/field").GetAttribute("name"), "g");

    // Attribute results are left out; what is not a node set or does not parse gives nothing.
    EXPECT_TRUE(db.SelectNodes("//@name").empty());
    EXPECT_FALSE(db.SelectSingleNode("//@name"));
    for (const char* bad : {"count(//field)", "table[", "///", "", "fn:foo()"}) {
        EXPECT_TRUE(db.SelectNodes(bad).empty()) << bad;
        EXPECT_FALSE(db.SelectSingleNode(bad)) << bad;
    }
}

TEST(XmlDocument, BuildsAndSerialisesDeterministically) {
    XmlDocument doc;
    ASSERT_TRUE(doc.AddProcessingInstruction("xml", "version=\"1.0\" encoding=\"utf-8\""));
    XmlNode root = doc.CreateDocumentElement("Project");
    ASSERT_TRUE(root);
    ASSERT_TRUE(doc.AddProcessingInstruction("app", "v=1"));
    EXPECT_TRUE(root.SetAttribute("Name", "a \"b\" & <c>"));
    EXPECT_TRUE(root.SetAttribute("Lines", "one\r\ntwo"));
    XmlNode table = root.AppendElement("Table");
    table.AppendText("x < y");
    root.AppendElement("Script").AppendCData("if (a < b && c) { x = \"]]>\"; }");

    const std::string flat = doc.ToString(false);
    EXPECT_EQ(flat,
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><?app v=1?><Project Name=\"a &quot;b&quot; &amp; &lt;c>\" "
              "Lines=\"one&#13;&#10;two\"><Table>x &lt; y</Table><Script><![CDATA[if (a < b && c) { x = "
              "\"]]]]><![CDATA[>\"; }]]></Script></Project>");
    EXPECT_EQ(doc.ToString(true),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<?app v=1?>\n<Project Name=\"a &quot;b&quot; &amp; &lt;c>\" "
              "Lines=\"one&#13;&#10;two\">\n\t<Table>x &lt; y</Table>\n\t<Script><![CDATA[if (a < b && c) { x = "
              "\"]]]]><![CDATA[>\"; }]]></Script>\n</Project>\n");

    XmlDocument again;
    ASSERT_TRUE(again.LoadString(flat));
    EXPECT_EQ(again.DocumentElement().GetAttribute("Lines"), "one\r\ntwo");
    EXPECT_EQ(again.DocumentElement().ChildNoCase("script").Text(), "if (a < b && c) { x = \"]]>\"; }");
    EXPECT_EQ(again.ToString(true), doc.ToString(true));

    // A second declaration replaces the first; a new document element replaces the old one.
    doc.AddProcessingInstruction("xml", "version=\"1.0\"");
    doc.CreateDocumentElement("Other");
    EXPECT_EQ(doc.ToString(), "<?xml version=\"1.0\"?><?app v=1?><Other/>");

    EXPECT_FALSE(doc.CreateDocumentElement("bad name"));
    EXPECT_FALSE(doc.AddProcessingInstruction("xml", "version"));
    EXPECT_FALSE(doc.AddProcessingInstruction("p", "a ?> b"));
    EXPECT_FALSE(doc.DocumentElement().AppendElement("1st"));
    EXPECT_FALSE(doc.DocumentElement().SetAttribute("", "v"));
}

TEST(XmlDocument, EditingNodes) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadString("<r a='1' b='2'><c>old<d/></c><e/></r>"));
    XmlNode r = doc.DocumentElement();
    EXPECT_TRUE(r.SetAttribute("a", "one"));
    EXPECT_TRUE(r.RemoveAttribute("b"));
    EXPECT_FALSE(r.RemoveAttribute("b"));
    XmlNode c = r.FirstChild();
    EXPECT_TRUE(c.SetText("new"));
    EXPECT_FALSE(r.RemoveChild(c.FirstChild()));  // not a direct child of r
    EXPECT_TRUE(r.RemoveChild(c.NextSibling()));

    XmlDocument other;
    ASSERT_TRUE(other.LoadString("<ext><item k='v'><sub/></item></ext>"));
    XmlNode copy = r.AppendCopy(other.DocumentElement().FirstChild());
    ASSERT_TRUE(copy);
    other.Clear();
    EXPECT_EQ(doc.ToString(), "<r a=\"one\"><c>new</c><item k=\"v\"><sub/></item></r>");

    // Handles survive moving the document.
    XmlDocument moved = std::move(doc);
    EXPECT_EQ(copy.GetAttribute("k"), "v");
    EXPECT_EQ(moved.DocumentElement(), r);
}

TEST(XmlDocument, SaveReplacesTheFileAtomically) {
    TempDir dir;
    const std::string path = dir / "out.xml";
    WriteFile(path, "previous");
    XmlDocument doc;
    doc.CreateDocumentElement("a").AppendText("é");
    ASSERT_TRUE(doc.Save(path, true));
    EXPECT_EQ(ReadFile(path), "<a>é</a>\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    EXPECT_FALSE(doc.Save(dir / "no/such/folder/out.xml"));
    EXPECT_FALSE(doc.Error().reason.empty());
}

}  // namespace
}  // namespace velmora
