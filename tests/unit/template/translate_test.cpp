#include <gtest/gtest.h>

#include <string>

#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "template/file_cache.h"
#include "template/translate.h"
#include "test_support.h"

namespace velmora {
namespace {

// The function around declarations and body; `locale` adds the calls a control function makes.
std::string Wrapped(const std::string& head, bool locale, const std::string& decl, const std::string& body) {
    return head +
           " try {\r\n"
           "var zvAr = new Array();\r\n"
           "var zvSB = new StringBuilder();\r\n" +
           (locale ? "zv_SetLocale();\r\nzv_LoadCurrent();\r\n" : "") + decl + "\r\n" + body +
           "\r\n"
           "return zvSB.ToString();\r\n"
           " } catch(e) {\r\n"
           "  throw e;\r\n"
           " }\r\n"
           "}\r\n";
}

const std::string kABDecl = "zvAr[1] = \"A\";\r\nzvAr[2] = \"B\";\r\n";
const std::string kABBody = "zvSB.Append(zvAr[1]);\r\nzvSB.Append(x);\r\nzvSB.Append(zvAr[2]);\r\n";

TEST(ToScriptLiteral, EscapesBackslashesAndQuotesAndJoinsLines) {
    EXPECT_EQ(ToScriptLiteral("ab\r\nc\"d", ""), "\"ab\"+\"\\r\\n\"+\"c\\\"d\"");
    EXPECT_EQ(ToScriptLiteral("\r\n", ""), "\"\"+\"\\r\\n\"+\"\"");
    EXPECT_EQ(ToScriptLiteral("a\\\"b", ""), "\"a\\\\\\\"b\"");
    EXPECT_EQ(ToScriptLiteral("x\ny\rz\t\r", ""), "\"x\\ny\\rz\t\\r\"");
    EXPECT_EQ(ToScriptLiteral("", ""), "");
    EXPECT_EQ(ToScriptLiteral("a\r\n\r\nb", "zv_IndentWrk"),
              "\"a\"+\"\\r\\n\"+zv_IndentWrk+\"\"+\"\\r\\n\"+zv_IndentWrk+\"b\"");
}

class TranslatorTest : public testing::Test {
protected:
    void SetUp() override {
        Engine().ProjErr.clear();
        FileCache().Clear();
    }
    void TearDown() override {
        Engine().ProjErr.clear();
        FileCache().Clear();
    }
    Translator translator_;
};

TEST_F(TranslatorTest, StatementsPerBlockKind) {
    EXPECT_TRUE(translator_.TranslateTemplate("A<!--##=x##-->B"));
    EXPECT_EQ(translator_.Declarations(), kABDecl);
    EXPECT_EQ(translator_.Body(), kABBody);

    translator_.Reset();
    EXPECT_TRUE(translator_.TranslateTemplate(
        "<!--## if (a) { ##--><!--##\r\n b();##-->\t<!--##~ F() ##--><!--##@ Add ##--><!--##$ id ##-->"));
    EXPECT_EQ(translator_.Declarations(), "zvAr[1] = \"\t\";\r\n");
    EXPECT_EQ(translator_.Body(),
              " if (a) { \r\n"
              "\r\n b();\r\n"
              "zvSB.Append(zvAr[1]);\r\n"
              "zv_IndentWrk = \"\t\";\r\n"
              "zvSB.Append(\"\\r\\n\"+zv_IndentWrk);\r\n"
              "zvSB.Append(F());\r\n"
              "zvSB.Append(\"<?php echo $Language->Phrase(\\\"Add\\\") ?>\");\r\n"
              "zvSB.Append(\"<?php echo $Language->Phrase(\\\"\" + id + \"\\\") ?>\");\r\n");
}

TEST_F(TranslatorTest, CounterRunsOnUntilResetAndErrorsAppendNothing) {
    translator_.TranslateTemplate("A<!--##=x##-->B");
    translator_.TranslateTemplate("C");
    EXPECT_EQ(translator_.ContentCount(), 3);
    EXPECT_EQ(translator_.Declarations(), kABDecl + "zvAr[3] = \"C\";\r\n");

    EXPECT_FALSE(translator_.TranslateTemplate("D<!--##=y"));
    EXPECT_EQ(translator_.ContentCount(), 3);
    EXPECT_FALSE(Engine().ProjErr.empty());

    translator_.Reset();
    EXPECT_EQ(translator_.ContentCount(), 0);
    EXPECT_EQ(translator_.Declarations(), "");
    EXPECT_EQ(translator_.Body(), "");
}

TEST_F(TranslatorTest, WrapsTheFunction) {
    translator_.TranslateTemplate("A<!--##=x##-->B");
    EXPECT_EQ(translator_.ControlFunction("zvExlist_php", false),
              Wrapped("function zvExlist_php() {\r\n", true, kABDecl, kABBody));
    EXPECT_EQ(translator_.ControlFunction("zvExlist_php", true),
              Wrapped("function zvExlist_php() {\r\nvar zvStartTime = new Date();\r\n", true, kABDecl, kABBody));
    EXPECT_EQ(translator_.ParseScriptFunction(), Wrapped("function zvExParse() {\r\n", false, kABDecl, kABBody));
    translator_.Reset();
    EXPECT_EQ(translator_.ParseScriptFunction(), Wrapped("function zvExParse() {\r\n", false, "", ""));

    AGPControl control;
    control.CtrlID = "list.x";
    control.CtrlTagExt = ".php";
    EXPECT_EQ(ControlFunctionName(control), "zvExlist_x_php");
}

TEST_F(TranslatorTest, ResolvesAndMergesTemplateFiles) {
    test::TempDir dir;
    TemplateFolders folders{dir / "scripts", dir / "ext", dir / "cache"};
    test::WriteFile(dir / "scripts/list.php", "L");
    test::WriteFile(dir / "scripts/sub/a.php", "A");
    test::WriteFile(dir / "scripts/b.php", "B");
    test::WriteFile(dir / "ext/Menu/m.php", "M");
    test::WriteFile(dir / "cache/keep", "");

    EXPECT_EQ(ResolveTemplateFile("list.php", "", folders), dir / "scripts/list.php");
    EXPECT_EQ(ResolveTemplateFile("LIST.Php", "", folders), dir / "scripts/list.php");
    EXPECT_EQ(ResolveTemplateFile("sub\\a.php", "", folders), dir / "scripts/sub/a.php");
    EXPECT_EQ(ResolveTemplateFile("m.php", "Menu", folders), dir / "ext/Menu/m.php");

    std::string merged = ResolveTemplateFile("sub\\a.php,missing.php,b.php", "", folders);
    EXPECT_EQ(merged, dir / "cache/~tmp.tpl");
    EXPECT_EQ(test::ReadFile(merged), "AB");
}

class TranslateControlTest : public TranslatorTest {
protected:
    void SetUp() override {
        TranslatorTest::SetUp();
        folders_ = {dir_ / "scripts", dir_ / "ext", dir_ / "cache"};
        test::WriteFile(dir_ / "cache/keep", "");
        control_.CtrlID = "list";
        control_.CtrlTagExt = ".php";
        control_.CtrlIFiles = "list.php";
    }
    void TearDown() override {
        SetRegValue("HKCU", SettingsSection("General"), "ShowSessionTime", kRegNumber, Variant(std::int32_t{0}));
        TranslatorTest::TearDown();
    }
    void AddSession(const std::string& type, const std::string& value, const std::string& cond,
                    const std::string& parm = {}) {
        AGPSession session;
        session.SessType = type;
        session.SessValue = value;
        session.SessCond = cond;
        session.SessParm = parm;
        control_.Sessions()->AddSession(session, "", "");
        // AddSession does not copy the parameter.
        control_.Sessions()->Item(control_.Sessions()->Count())->SessParm = parm;
    }
    std::string Module() const { return test::ReadFile(dir_ / "cache/list.js"); }

    test::TempDir dir_;
    TemplateFolders folders_;
    AGP agp_;
    AGPControl control_;
};

TEST_F(TranslateControlTest, WholeTemplateWithoutSessions) {
    test::WriteFile(dir_ / "scripts/list.php", "A<!--##=x##-->B");
    EXPECT_TRUE(translator_.TranslateControl(agp_, control_, dir_ / "cache/list.js", folders_));
    EXPECT_EQ(Module(), Wrapped("function zvExlist_php() {\r\n", true, kABDecl, kABBody));
}

TEST_F(TranslateControlTest, SessionsWhoseConditionHolds) {
    test::WriteFile(dir_ / "scripts/list.php", "<!--##session top##-->T<!--##/session##-->");
    FileCache().AddFile(dir_ / "scripts/list.php", "list.php");
    AddSession("key", "top", "");
    AddSession("key", "top", "proj/ProjName/eq/zzz");
    AddSession("include", "header", "proj/ProjName/ne/zzz", "x");
    SetRegValue("HKCU", SettingsSection("General"), "ShowSessionTime", kRegNumber, Variant(std::int32_t{1}));

    EXPECT_TRUE(translator_.TranslateControl(agp_, control_, dir_ / "cache/list.js", folders_));
    EXPECT_EQ(Module(), test::ReadData("expected/list_sessions_module.txt"));
    EXPECT_TRUE(Engine().ProjErr.empty());
}

TEST_F(TranslateControlTest, FailuresLeaveTheirReportAndWhatWasBuilt) {
    control_.CtrlIFiles = "gone.php";
    EXPECT_FALSE(translator_.TranslateControl(agp_, control_, dir_ / "cache/list.js", folders_));
    EXPECT_EQ(Engine().ProjErr, "Error in merging gone.php. Generation aborted.");

    Engine().ProjErr.clear();
    control_.CtrlIFiles = "list.php";
    test::WriteFile(dir_ / "scripts/list.php", "x<!--##=y");
    EXPECT_FALSE(translator_.TranslateControl(agp_, control_, dir_ / "cache/list.js", folders_));
    std::string report = "***Incomplete Block at line 1 column 2! Generation failed!\r\nError lines:\r\nx<";
    EXPECT_EQ(Engine().ProjErr, report + ": " + dir_ / "scripts/list.php");
    EXPECT_EQ(Module(), "x<!--##=y" + report + "\r\n");

    Engine().ProjErr.clear();
    FileCache().AddText("<!--##session a##-->A<!--##/session##--><!--##session b##-->B<!--##=<!--##/session##-->",
                        "list.php");
    AddSession("key", "a", "");
    AddSession("key", "b", "");
    AddSession("key", "a", "");
    EXPECT_FALSE(translator_.TranslateControl(agp_, control_, dir_ / "cache/list.js", folders_));
    // The failing session adds nothing; the one after it is not reached.
    EXPECT_EQ(Module(), "zvSB.Append(zvAr[1]);\r\n");
    EXPECT_EQ(Engine().ProjErr.rfind("***Incomplete Block at line 1 column 2!", 0), 0u);
}

}  // namespace
}  // namespace velmora
