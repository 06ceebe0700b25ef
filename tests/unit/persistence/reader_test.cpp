#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "model/project/agp.h"
#include "model/entities/chart.h"
#include "model/entities/charts.h"
#include "model/project/custom_scripts.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/extensions/extensions.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/project/language.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "model/entities/trend.h"
#include "persistence/project_reader.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "test_support.h"

namespace velmora {
namespace {

using test::TempDir;
using test::WriteFile;

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        Extensions().Clear();
        MenuList().Clear();
        CustomScripts().Clear();
        Language().ClearTranslations();
        SetStatusSink(std::make_shared<NullStatusSink>());
    }
    void TearDown() override { SetStatusSink(nullptr); }

    // Loads `body` as the content of a Project element (or, with `whole`, as the whole file).
    bool LoadText(const std::string& body, bool whole = false, const std::string& name = "p.vlp", bool sync = false) {
        std::string text = whole ? body
                                 : "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Project Version=\"" +
                                       EngineVersion() + "\" ProjName=\"shop\">" + body + "</Project>";
        WriteFile(dir / name, text);
        return Load(proj, dir / name, sync);
    }
    // Loads a project file of tests/data/reader.
    bool LoadData(const std::string& name, bool sync = false) {
        return LoadText(test::ReadData("reader/" + name), true, name, sync);
    }

    std::shared_ptr<AGPTable> Table(const std::string& name) { return proj.DB()->Tables()->Find(Variant(name)); }

    TempDir dir;
    AGP proj;
};

TEST_F(ReaderTest, ElementNameCaseRules) {
    EXPECT_FALSE(LoadText("<?xml version=\"1.0\"?><project><Database DBName=\"d\"/></project>", true));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Invalid Project File!");

    ASSERT_TRUE(LoadData("element_name_case.vlp")) << proj.ProjErr();
    ASSERT_TRUE(Table("t"));
    EXPECT_TRUE(Table("t")->Fields()->FieldExist(Variant("f")));
    EXPECT_EQ(CustomScripts().Count(), 0);
    auto relation = proj.MasterDetails()->Item("t", "u");
    ASSERT_TRUE(relation);
    ASSERT_EQ(relation->FieldCount(), 1);
    EXPECT_EQ(relation->DetailField(1), "h");
}

TEST_F(ReaderTest, DatabaseAndLinkNamesAndDuplicates) {
    ASSERT_TRUE(LoadData("duplicate_names.vlp")) << proj.ProjErr();
    EXPECT_EQ(proj.CurrentDatabaseName(), "zv_db");
    EXPECT_EQ(proj.DB()->DBName(), "zv_db");
    EXPECT_EQ(proj.DB()->Tables()->Count(), 2);
    EXPECT_EQ(Table("a")->TblCaption(), "First");
    EXPECT_FALSE(Table("a")->Fields()->FieldExist(Variant("y")));
    EXPECT_EQ(Table("b")->Fields()->Count(), 1);
    EXPECT_EQ(Table("b")->Fields()->Find(Variant("k"))->FldCaption(), "one");
    auto links = proj.LINKDBS();
    ASSERT_EQ(links->Count(), 2);
    EXPECT_NE(links->Item(Variant("LINKDB1"))->DBType(), "ORACLE");
    ASSERT_TRUE(links->DBExist(Variant("LINKDB2")));
    EXPECT_EQ(links->Item(Variant("LINKDB2"))->DBType(), "MYSQL");
}

TEST_F(ReaderTest, AttributeSpecialCasesAndUnknownAttributes) {
    ASSERT_TRUE(LoadData("unknown_attributes.vlp")) << proj.ProjErr();
    EXPECT_EQ(proj.Ext(), "php");
    EXPECT_EQ(proj.DefaultPage(), "index.php");
    auto custom = proj.Properties()->Find("MyThing");
    ASSERT_TRUE(custom);
    EXPECT_EQ(custom->DataType(), "String");
    EXPECT_EQ(custom->Value().ToText(), "quoted");
    EXPECT_TRUE(custom->FileSave());
    auto table = Table("t");
    EXPECT_EQ(table->TblCaption(), "Orders");
    EXPECT_EQ(table->Properties()->Find("Odd")->Value().ToText(), "q");
    EXPECT_EQ(proj.DB()->Properties()->Find("Custom")->Value().ToText(), "x");
    auto field = table->Fields()->Find(Variant("f"));
    EXPECT_EQ(field->FldTagValues(), "a\r\nb\r\nc");
    EXPECT_EQ(field->FldSeq(), 1);  // not a saved entry: the file order numbers the fields
    EXPECT_EQ(table->Fields()->Find(Variant("g"))->FldSeq(), 2);
}

TEST_F(ReaderTest, VersionComparisonAndExtensionChecks) {
    std::string newer = std::to_string(kVersionMajor + 1) + ".0.0";
    EXPECT_FALSE(LoadText("<?xml version=\"1.0\"?><Project Version=\"" + newer + "\"/>", true));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Project file version (" + newer + ") newer than software (" +
                                  std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
                                  ")! Please check!");

    EXPECT_FALSE(LoadText("<?xml version=\"1.0\"?><Project/>", true, "old.Prj"));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Unable to convert project file from 'Prj' to 'vlp'.");

    EXPECT_TRUE(LoadText("<?xml version=\"1.0\"?><Project Version=\"1.0.0\"><Database DBName=\"d\"/></Project>", true))
        << proj.ProjErr();

    const std::tuple<const char*, const char*, int> cases[] = {
        {"13.0.0", "12.0", 2}, {"12.1.0", "12.0", 1},    {"12.0.9", "12.0", 0}, {"11.9", "12.0", -1},
        {"12", "12.3", 0},     {"12.0.1", "12.0.2", -1}, {"x.y", "12.0", -1},   {"", "", 0}};
    for (auto [a, b, expected] : cases) EXPECT_EQ(CompareVersion(a, b), expected) << a << " " << b;
}

TEST_F(ReaderTest, ParseAndSystemFailures) {
    std::string text = "<?xml version=\"1.0\"?>\n<Project Version=\"1.0\">\n<Database DBName=\"some long database name\""
                       " DBType=\"MYSQL\" DBHost=\"localhost\" DBPort=\"3306\" <Table";
    EXPECT_FALSE(LoadText(text, true));
    const std::string prefix = "Velmora: Load project file failed! Parse error: line 3, character ";
    ASSERT_EQ(proj.ProjErr().rfind(prefix, 0), 0u) << proj.ProjErr();
    auto excerpt = proj.ProjErr().substr(proj.ProjErr().find("\r\n") + 2);
    auto middle = excerpt.find(" ... ");
    ASSERT_NE(middle, std::string::npos);
    EXPECT_LE(middle, 40u);
    EXPECT_LE(excerpt.size() - middle - 5, 40u);
    EXPECT_FALSE(proj.DB());

    EXPECT_FALSE(Load(proj, dir / "missing.vlp", false));
    EXPECT_EQ(proj.ProjErr().rfind("Velmora: Load Project File failed! ", 0), 0u) << proj.ProjErr();
}

TEST_F(ReaderTest, NoDatabaseKeepsProjectSettings) {
    EXPECT_FALSE(LoadText(R"(<Table TblName="t"/><MasterDetail MasterTable="a" DetailTable="b"/>)"));
    EXPECT_EQ(proj.ProjName(), "shop");
    EXPECT_EQ(proj.ProjVar(), "shop");
    EXPECT_TRUE(proj.MasterDetails()->MasterDetailExist("a", "b"));
}

TEST_F(ReaderTest, FieldFixUpsAndTableKeys) {
    ASSERT_TRUE(LoadData("field_fix_ups.vlp")) << proj.ProjErr();
    auto table = Table("order details");
    EXPECT_EQ(table->TblVar(), "order_details");
    EXPECT_EQ(table->TblSecurity(), "list,view");
    EXPECT_EQ(table->TblKey(), "a\r\nid");
    EXPECT_TRUE(table->TblLoaded());
    EXPECT_FALSE(Table("empty")->TblLoaded());
    auto fields = table->Fields();
    EXPECT_EQ(fields->Find(Variant("id"))->FldVar(), "x_id");
    EXPECT_EQ(fields->Find(Variant("id"))->FldQuoteS(), "");
    EXPECT_EQ(fields->Find(Variant("a"))->FldQuoteE(), "'");
    EXPECT_TRUE(fields->Find(Variant("id"))->FldExport());
    EXPECT_FALSE(fields->Find(Variant("b"))->FldExport());
    EXPECT_FALSE(fields->Find(Variant("a"))->FldExport());
    EXPECT_EQ(fields->Find(Variant("q"))->FldViewTemplate(),
              R"({"id":"PHPBarcode","name":"Barcode","barcode":1,"encode":"QRCODE","encode_field":null})");
    EXPECT_EQ(Engine().databaseKind, 3);
}

TEST_F(ReaderTest, DatabaseSettingsBecomeEngineWideAndTheMenuFollowsTheTables) {
    ASSERT_TRUE(LoadData("engine_settings_and_menu.vlp")) << proj.ProjErr();
    EXPECT_EQ(Engine().dbmsName, "PostgreSQL");
    EXPECT_EQ(Engine().databaseKind, 5);
    EXPECT_EQ(Engine().quoteStart, "\"");
    EXPECT_EQ(Engine().secDefault, "list,view");
    EXPECT_EQ(Engine().sqlQuote, proj.SQLQuote());
    // A menu item of a table that is gone goes; a generated table without one gets one.
    EXPECT_FALSE(MenuList().GetItemByID(1));
    ASSERT_TRUE(MenuList().GetItemByID(2));
    EXPECT_TRUE(MenuList().MenuHasTable("orders"));
    EXPECT_FALSE(MenuList().MenuHasTable("skipped"));

    AGP other;
    WriteFile(dir / "access.vlp", R"(<Project><Database DBName="d" DBDBMSName="ACCESS"/></Project>)");
    ASSERT_TRUE(Load(other, dir / "access.vlp", false)) << other.ProjErr();
    EXPECT_EQ(QuoteDbName("x]y"), "[x]]y]");
    EXPECT_EQ(Engine().secDefault, "");
}

TEST_F(ReaderTest, SettingsUpgradesAndBackFill) {
    // A shipped package keeps its bare name; a package that is nowhere gives way to the user's default.
    for (auto [given, kept] : {std::pair{"default", "default"}, {"/nowhere/gone.zip", ""}}) {
        ASSERT_TRUE(
            LoadText(std::string("<Project Template=\"") + given + "\"><Database DBName=\"d\"/></Project>", true))
            << proj.ProjErr();
        EXPECT_EQ(proj.Template(), kept);
    }
    ASSERT_TRUE(LoadData("settings_upgrades.vlp", true)) << proj.ProjErr();
    EXPECT_EQ(proj.SmtpServer(), "localhost");
    EXPECT_EQ(proj.SmtpServerPort(), 25);
    EXPECT_EQ(proj.Properties()->Find("ThemeBrandPrimary")->Value().ToText(), "darken(#a0b1c2, 6.5%)");
    EXPECT_FALSE(proj.Properties()->Find("ThemeTableHeaderBackColorFrom"));
    EXPECT_EQ(proj.GetV("ThemeFormGroupMarginBottom").ToText(), "15");
    EXPECT_FALSE(proj.ProjID().empty());
    EXPECT_EQ(proj.DB()->Tables()->Find(Variant("t"))->Fields()->Find(Variant("f"))->FldDbDefault().ToText(), "");
}

TEST_F(ReaderTest, ScriptsChartsMenusAndPhrases) {
    ASSERT_TRUE(LoadData("scripts_charts_menus.vlp")) << proj.ProjErr();
    auto script = CustomScripts().ScriptItem("Server", "Global", "Page_Load", "list", "orders", "");
    ASSERT_TRUE(script);
    EXPECT_EQ(script->ScriptCode(), "a ]]> b");
    auto charts = Table("orders")->Charts();
    ASSERT_EQ(charts->Count(), 1);
    auto chart = charts->Item(Variant("sales"));
    EXPECT_EQ(chart->ChartCaption(), "Sales");
    ASSERT_EQ(chart->Trendlines()->Count(), 2);
    EXPECT_EQ(chart->Trendlines()->Seq(2)->TrendName(), "max");
    ASSERT_EQ(MenuList().Count(), 1);
    EXPECT_EQ(MenuList().GetItemByID(4)->MenuText(), "Orders");
    EXPECT_TRUE(MenuList().GetItemByID(4)->MenuShow());
    EXPECT_EQ(Language().GetTablePhrase("de", "orders", "TblCaption"), "Bestellungen");
    EXPECT_FALSE(Table("hidden"));
}

TEST_F(ReaderTest, HostileInputDoesNotCrash) {
    std::string huge(1 << 20, 'x');
    ASSERT_TRUE(LoadText("<Database DBName=\"d\"><Table TblName=\"t\" TblCaption=\"" + huge + "\" Big=\"" + huge +
                         "\"/></Database>"))
        << proj.ProjErr().substr(0, 200);
    EXPECT_EQ(Table("t")->TblCaption().size(), huge.size());

    std::string nested;
    for (int i = 0; i < 40; ++i) nested += "<Table TblName=\"n" + std::to_string(i) + "\"><Field FldName=\"f\"/>";
    for (int i = 0; i < 40; ++i) nested += "</Table>";
    SetUp();
    AGP other;
    WriteFile(dir / "n.vlp", "<Project><Database DBName=\"d\"><Field FldName=\"orphan\"/><Table TblName=\"t\">" +
                                 nested + "</Table></Database><Field FldName=\"late\"/><Trendline TrendName=\"x\"/>"
                                          "<ExtField FldName=\"x\"/><ExtTable TblName=\"t\"/></Project>");
    ASSERT_TRUE(Load(other, dir / "n.vlp", false)) << other.ProjErr();
    // Elements are read by name wherever they stand: fields attach to the table read last, and
    // the children of a field are not read.
    auto tables = other.DB()->Tables();
    EXPECT_EQ(tables->Count(), 41);
    EXPECT_EQ(tables->Find(Variant("n0"))->Fields()->Count(), 1);
    EXPECT_TRUE(tables->Find(Variant("n39"))->Fields()->FieldExist(Variant("late")));
    EXPECT_FALSE(tables->Find(Variant("n1"))->Fields()->FieldExist(Variant("late")));
}

}  // namespace
}  // namespace velmora
