#include <gtest/gtest.h>

#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/entities/database.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/script_engine.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "template/file_cache.h"
#include "template/script_host.h"
#include "template/translate.h"
#include "test_support.h"

namespace velmora {
namespace {

using test::ReadFile;
using test::ResetSettingsStores;
using test::TempDir;
using test::WriteFile;

const std::string kPackage = std::string(VELMORA_SOURCE_DIR) + "/tests/data/template_package";

void SetGeneral(std::string_view name, std::string_view value) {
    SetRegValue("HKCU", SettingsSection("General"), name, kRegText, Variant(std::string(value)));
}

std::shared_ptr<AGP> ShopProject(const std::string& destination) {
    auto project = std::make_shared<AGP>();
    project->AddProj("Shop");
    project->SetDestination(destination);
    auto db = project->AddMainDatabase("shop.db");
    db->Tables()->Add("orders");
    auto orders = db->Tables()->Item(Variant("orders"));
    orders->SetTblType("TABLE");
    orders->Fields()->Add("orders", "id");
    orders->Fields()->Add("orders", "customer");
    return project;
}

class ScriptHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettingsStores();
        Engine().ProjErr.clear();
        project = ShopProject(dest.path().string());
    }
    void TearDown() override { Engine().ProjErr.clear(); }
    std::unique_ptr<AGScript> Host() {
        auto host = std::make_unique<AGScript>();
        host->Initialize(project);
        return host;
    }

    TempDir dest;
    std::shared_ptr<AGP> project;
};

TEST(ScriptErrorReportTest, LayoutWithPosition) {
    ScriptError error;
    error.number = kScriptSyntaxError;
    error.source = "JavaScript compilation error";
    error.description = "missing ; before statement";
    error.text = "var x = y z;";
    error.line = 12;
    error.column = 5;
    EXPECT_EQ(ScriptErrorReport(error, "syscode/f.js"),
              "Velmora (f.js): JavaScript compilation error (800A03EA), line 12, column 5\r\n"
              "Description: missing ; before statement\r\nText: var x = y z;");
}

TEST_F(ScriptHostTest, DefaultLibraryRunsParseScript) {
    EXPECT_EQ(ParseScript(project, "A<!--##=PROJ.ProjName##-->|<!--##=TABLE ? TABLE.TblName : 'none'##-->B"),
              "AShop|noneB");
    EXPECT_EQ(Engine().ProjErr, "");
    project->DB()->Tables()->Item(Variant("orders"));
    EXPECT_EQ(ParseScript(project, "<!--## zv_LoadCurrent(); ##--><!--##=TABLE.TblName##-->"), "orders");
}

// Within a generation the auxiliary host lives on between calls; outside one, each call has its own.
TEST_F(ScriptHostTest, ParseScriptKeepsItsHostWhileAGenerationKeepsIt) {
    const std::string define = "<!--## zvKept = 1; ##-->", probe = "<!--##=typeof zvKept##-->";
    ParseScript(project, define);
    EXPECT_EQ(ParseScript(project, probe), "undefined");
    KeepAuxiliaryHost(true);
    ParseScript(project, define);
    EXPECT_EQ(ParseScript(project, probe), "number");
    KeepAuxiliaryHost(false);
    EXPECT_EQ(ParseScript(project, probe), "undefined");
}

TEST_F(ScriptHostTest, ParseScriptFailuresGoToTheErrorFile) {
    std::string nested = "x<!--##= 1 <!--##= 2 ##-->";
    EXPECT_EQ(ParseScript(project, nested), nested);
    std::string report = ReadFile(dest / "parseerror.txt");
    EXPECT_EQ(report.rfind("Parse script error: ***Nested Blocks found at line 1 column 12", 0), 0u) << report;

    Engine().ProjErr.clear();
    EXPECT_EQ(ParseScript(project, "<!--##=nosuch.thing##-->"), "");
    report = ReadFile(dest / "parseerror.txt");
    EXPECT_EQ(report.rfind("Parse script run error: Velmora (zvExParse): JavaScript runtime error", 0), 0u) << report;
    EXPECT_NE(report.find("function zvExParse() {"), std::string::npos);
}

TEST_F(ScriptHostTest, DefaultIncludeFileRunsTheNamedControlsFunction) {
    AGPControl header;
    header.CtrlID = "header";
    header.CtrlTagExt = ".inc";
    ASSERT_TRUE(project->Controls()->AddControl(header));
    auto host = Host();
    ASSERT_EQ(host->BuildNewCode("zvExheader_inc", "function zvExheader_inc(p) { return '<head ' + p + '>'; }", 2, 0),
              "<head undefined>");
    const std::string page =
        "function zvExPage() { return SYSTEMFUNCTIONS.IncludeFile('header', 'x') + '|' + "
        "SYSTEMFUNCTIONS.IncludeFile('none', ''); }";
    EXPECT_EQ(host->BuildNewCode("zvExPage", page, 2, 0), "<head x>|");
}

TEST_F(ScriptHostTest, BuildNewCodeCompilesOncePerIdUnlessAskedAgain) {
    auto host = Host();
    ASSERT_TRUE(host->IsInitialized());
    const std::string code = "var compiled = (typeof compiled == 'number' ? compiled : 0) + 1;\r\n"
                             "function zvExA() { return compiled; }";
    EXPECT_EQ(host->BuildNewCode("zvExA", code, 2, 0), "1");
    EXPECT_EQ(host->BuildNewCode("zvExA", code, 2, 0), "1");
    EXPECT_EQ(host->BuildNewCode("zvExA", code, 0, 0), "2");
    EXPECT_TRUE(host->ModuleExist("ZVEXA"));
    EXPECT_FALSE(host->ModuleExist("zvExB"));
}

TEST_F(ScriptHostTest, FunctionClausesRunInTheMainEngineWhileTheHostLives) {
    {
        auto host = Host();
        ASSERT_TRUE(
            host->MainEngine()->AddCode("function IsShop() { return PROJ.ProjName == 'Shop'; }\r\nvar TABLE = null;\r\n"
                                        "function zv_LoadCurrent() { TABLE = DB.Tables.Item(DB.Tables.curName); }\r\n"
                                        "function CurrentName() { return TABLE ? TABLE.TblName : ''; }"));
        EXPECT_TRUE(project->EvaluateCondition("function/IsShop/boolean/eq/true"));
        EXPECT_FALSE(project->EvaluateCondition("function/IsShop/boolean/eq/false"));
        EXPECT_FALSE(project->EvaluateCondition("function/NoSuchFunction/boolean/eq/true"));
        Engine().ProjErr.clear();
        // The clause sees the table the caller made current.
        project->DB()->Tables()->Item(Variant("orders"));
        EXPECT_TRUE(project->EvaluateCondition("function/CurrentName/string/eq/orders"));
    }
    EXPECT_FALSE(project->EvaluateCondition("function/IsShop/boolean/eq/true"));
}

TEST_F(ScriptHostTest, FailuresNameTheFunctionAndTheHostStaysUsable) {
    auto host = Host();
    EXPECT_EQ(host->BuildNewCode("zvExLoop", "function zvExLoop() { while (true) {} }", 2, 200), "");
    EXPECT_EQ(Engine().ProjErr.rfind("Velmora (zvExLoop): ", 0), 0u) << Engine().ProjErr;
    Engine().ProjErr.clear();
    EXPECT_EQ(host->BuildNewCode("zvExBad", "function zvExBad() {\r\n  return 1 +;\r\n}", 2, 0), "");
    EXPECT_EQ(Engine().ProjErr.rfind("Velmora (zvExBad): JavaScript compilation error (800A03EA), line 2", 0), 0u)
        << Engine().ProjErr;
    EXPECT_NE(Engine().ProjErr.find("Text:   return 1 +;"), std::string::npos);
    Engine().ProjErr.clear();
    EXPECT_EQ(host->BuildNewCode("zvExOk", "function zvExOk() { return 'ok'; }", 2, 200), "ok");
    EXPECT_EQ(Engine().ProjErr, "");
}

class TemplatePackageTest : public ScriptHostTest {
protected:
    void SetUp() override {
        ScriptHostTest::SetUp();
        SetGeneral("SYSCODE", kPackage + "/syscode/syscode.xml");
        SetGeneral("SYSCODEPREFIX", kPackage + "/syscode/prefix.txt");
        SetGeneral("SYSCODESUFFIX", kPackage + "/syscode/suffix.txt");
        SetGeneral("VALIDATECODE", kPackage + "/syscode/validate.xml");
        FileCache().Clear();
        FileCache().AddFile(kPackage + "/scripts/table/list.tpl", "list.tpl");
        FileCache().AddFile(kPackage + "/scripts/table/common.tpl", "common.tpl");
    }
    // The package's list control, translated for the orders table to dest/list.js.
    std::shared_ptr<AGPControl> TranslateList() {
        EXPECT_TRUE(project->Controls()->LoadControls(kPackage + "/control.xml", project.get())) << Engine().ProjErr;
        auto control = project->Controls()->Item(Variant("list"));
        project->DB()->Tables()->Item(Variant("orders"));
        TemplateFolders folders{kPackage + "/scripts/table", "", dest.path().string()};
        EXPECT_TRUE(Translator().TranslateControl(*project, *control, dest / "list.js", folders)) << Engine().ProjErr;
        return control;
    }
    std::string RunList(AGScript& host, const AGPControl& control) {
        return host.BuildNewCode(ControlFunctionName(control), ReadFile(dest / "list.js"), 2, 0);
    }
};

TEST_F(TemplatePackageTest, ControlTranslatesAndRunsToTheExpectedPage) {
    project->SetSecType("None");
    auto control = TranslateList();
    ASSERT_TRUE(control);
    EXPECT_EQ(control->CtrlOFile, "Shop_list");
    auto host = Host();
    ASSERT_EQ(Engine().ProjErr, "");
    EXPECT_TRUE(host->Validate());
    EXPECT_EQ(RunList(*host, *control), test::ReadData("expected/template_package_list.txt"));
    EXPECT_EQ(Engine().ProjErr, "");

    // Output modifiers registered by a script apply to every later call.
    ASSERT_TRUE(host->MainEngine()->AddCode(
        "SYSTEMFUNCTIONS.FieldList.replace(/li>/g, 'LI>'); SYSTEMFUNCTIONS.FieldList.concat('!');"));
    std::string page = RunList(*host, *control);
    EXPECT_NE(page.find("\t<LI>id</LI>\r\n\t<LI>customer</LI>!\n</ul>"), std::string::npos) << page;
    Variant text;
    ASSERT_TRUE(host->MainEngine()->Eval("String(SYSTEMFUNCTIONS.FieldList)", text));
    EXPECT_EQ(text.ToText(), "function() {\n [native code]\n}");

    std::string library = ReadFile(dest / "syscode.txt");
    EXPECT_NE(library.find("\r\n// FieldList\r\nFieldList: function(tbl) {\r\nvar zvOut = \"\";\r\n"
                           "// FieldList(tbl) starts\r\n"),
              std::string::npos)
        << library;
}

TEST_F(TemplatePackageTest, SessionConditionsPickSessions) {
    project->SetSecType("Static");
    project->DB()->Tables()->Item(Variant("orders"))->SetTblType("VIEW");
    auto control = TranslateList();
    std::string page = RunList(*Host(), *control);
    EXPECT_NE(page.find("<?php require \"login.php\"; ?>"), std::string::npos) << page;
    EXPECT_NE(page.find("<p>a view</p>"), std::string::npos) << page;
}

TEST_F(TemplatePackageTest, ValidationFailureNamesTheProcedure) {
    project->SetProjName("Invalid");
    SetGeneral("VALIDATETRACE", "TRUE");
    auto host = Host();
    ASSERT_EQ(host->ValidationProcedures(), (std::vector<std::string>{"CheckTables", "CheckName"}));
    EXPECT_FALSE(host->Validate());
    EXPECT_EQ(Engine().ProjErr, "Velmora: Validation module (CheckName) failed");
    EXPECT_EQ(ReadFile(dest / "validate.trace"), "checked Invalid");
}

TEST_F(TemplatePackageTest, MissingSuffixLeavesTheLibraryOut) {
    SetGeneral("SYSCODESUFFIX", "");
    auto host = Host();
    EXPECT_EQ(ReadFile(dest / "syscode.txt"), "'missing syscodeprefix or syscodesuffix");
    EXPECT_FALSE(host->ModuleExist("zv_LoadCurrent"));
}

TEST_F(TemplatePackageTest, BrokenSystemFunctionFileIsNamed) {
    TempDir package;
    WriteFile(package / "syscode.xml",
              "<syscode><file value=\"ok.js\" function=\"false\" multiline=\"true\" indent=\"false\"/>"
              "<file value=\"bad.txt\" function=\"true\" id=\"Bad\" parm=\"\" multiline=\"true\" indent=\"false\"/>"
              "</syscode>");
    WriteFile(package / "ok.js", "<!--## function Fine() { return 1; } ##-->");
    WriteFile(package / "bad.txt", "<!--## var = ; ##-->");
    SetGeneral("SYSCODE", package / "syscode.xml");
    auto host = Host();
    EXPECT_EQ(Engine().ProjErr.rfind("Velmora (bad.txt): JavaScript compilation error", 0), 0u) << Engine().ProjErr;
    EXPECT_NE(ReadFile(dest / "bad.txt").find("Bad: function() {"), std::string::npos);
}

}  // namespace
}  // namespace velmora
