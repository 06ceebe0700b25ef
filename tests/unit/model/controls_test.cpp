#include <gtest/gtest.h>

#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "support/engine_state.h"
#include "test_support.h"

namespace velmora {
namespace {

constexpr std::string_view kHeader =
    R"(<?xml version="1.0"?><VelmoraTemplate date="2024-05-01" version="12.0.0" desc="Demo" author="Me">)";

class ControlsTest : public testing::Test {
protected:
    void SetUp() override {
        test::ResetSettingsStores();
        Engine().ProjErr.clear();
        SetControlFileError(0);
    }
    // Writes a control file and loads it into `controls`.
    bool Load(std::string_view content, const AGP* project = nullptr) {
        test::WriteFile(dir / "control.xml", content);
        return controls.LoadControls(dir / "control.xml", project);
    }
    // The same for the controls of a valid root element.
    std::string Wrap(std::string_view body) { return std::string(kHeader) + std::string(body) + "</VelmoraTemplate>"; }
    bool LoadBody(std::string_view body, const AGP* project = nullptr) { return Load(Wrap(body), project); }

    test::TempDir dir;
    AGPControls controls;
};

TEST_F(ControlsTest, LoadsRootAttributesAndControlsWithDefaultsAndNormalisation) {
    AGP proj;
    proj.SetProjName("demo");
    proj.AddMainDatabase("sales.db")->SetDBVar("salesdb");
    ASSERT_TRUE(Load(test::ReadData("controls/normalised_attributes.xml"), &proj)) << Engine().ProjErr;
    EXPECT_EQ(controls.ProdDate() + controls.ProdVersion() + controls.ProdDesc() + controls.ProdAuthor(),
              "2024-05-0112.0.0DemoMe");
    // Ids are not checked for duplicates when loading.
    ASSERT_EQ(controls.Count(), 3);

    auto list = controls.Item(Variant(std::int32_t{1}));
    EXPECT_EQ(list->CtrlIFolder, "scripts\\list\\");
    EXPECT_EQ(list->CtrlOFile, "demolist");
    EXPECT_EQ(list->CtrlOFolder, "salesdb/demo");
    EXPECT_TRUE(list->CtrlSpace);

    auto view = controls.Item(Variant("view"));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->CtrlIFolder, "x\\");
    EXPECT_FALSE(view->CtrlSpace);
    EXPECT_TRUE(view->CtrlOverwrite);
    EXPECT_EQ(view->CtrlCond, "proj/SecType/ne/None");

    auto other = controls.Item(Variant(3.0));
    EXPECT_EQ(other->CtrlIFolder, "\\");
    EXPECT_FALSE(other->CtrlSpace);
    EXPECT_FALSE(other->CtrlOverwrite);
}

TEST_F(ControlsTest, PlaceholdersBecomeEmptyWithoutAProjectAndPathsMayUseBackslashes) {
    test::WriteFile(dir / "tpl/control.xml", Wrap(R"(<control id="a" ofile="x{PROJ.ProjVar}y{db.dbvar}z"/>)"));
    ASSERT_TRUE(controls.LoadControls(dir.path().string() + "\\tpl\\control.xml"));
    EXPECT_EQ(controls.Item(Variant("a"))->CtrlOFile, "xyz");
}

TEST_F(ControlsTest, LoadFailuresSetTheErrorCodeOrProjErr) {
    ASSERT_TRUE(LoadBody(R"(<control id="keep"/>)"));
    EXPECT_FALSE(controls.LoadControls(dir / "missing.xml"));
    EXPECT_EQ(ControlFileError(), 1);
    EXPECT_FALSE(Load("<VelmoraTemplate"));
    EXPECT_EQ(ControlFileError(), 1);
    // A file that does not load leaves the list as it was.
    EXPECT_EQ(controls.Count(), 1);

    // Success does not reset the code.
    EXPECT_TRUE(Load(R"(<velmoraX date="" version="" desc="" author=""><control/></velmoraX>)"));
    EXPECT_EQ(ControlFileError(), 1);

    EXPECT_FALSE(Load(R"(<OtherTemplate date="" version="" desc="" author=""><control/></OtherTemplate>)"));
    EXPECT_EQ(ControlFileError(), 2);
    EXPECT_EQ(controls.Count(), 0);
    SetControlFileError(0);
    EXPECT_FALSE(Load(R"(<Velmor date="" version="" desc="" author=""/>)"));
    EXPECT_EQ(ControlFileError(), 2);

    SetControlFileError(0);
    Engine().ProjErr.clear();
    EXPECT_FALSE(Load(R"(<VelmoraTemplate date="" version="" author=""><control/></VelmoraTemplate>)"));
    EXPECT_NE(Engine().ProjErr.find("'desc'"), std::string::npos) << Engine().ProjErr;
    EXPECT_EQ(ControlFileError(), 0);

    Engine().ProjErr.clear();
    EXPECT_FALSE(LoadBody(R"(<control id="a"/><control id="b" overwrite="yes"/>)"));
    EXPECT_NE(Engine().ProjErr.find("'b'"), std::string::npos) << Engine().ProjErr;
    EXPECT_NE(Engine().ProjErr.find("overwrite"), std::string::npos);
    EXPECT_FALSE(LoadBody(R"(<control space=""/>)"));
    EXPECT_EQ(ControlFileError(), 0);
}

TEST_F(ControlsTest, ItemSelectsByPositionOrIdAndMakesItCurrent) {
    ASSERT_TRUE(LoadBody(R"(<control id="2" type="a"/><control id="list" type="b"/>)"));
    EXPECT_EQ(controls.Current(), nullptr);
    // A text is always an id, even when it reads as a number.
    EXPECT_EQ(controls.Item(Variant("2"))->CtrlType, "a");
    EXPECT_EQ(controls.Item(Variant(std::int16_t{2}))->CtrlType, "b");
    EXPECT_EQ(controls.curIndex(), 2);
    EXPECT_EQ(controls.Item(Variant("List")), nullptr);
    EXPECT_EQ(controls.Item(Variant(std::int32_t{3})), nullptr);
    EXPECT_EQ(controls.Item(Variant(true)), nullptr);
    EXPECT_EQ(controls.curIndex(), 2);
    EXPECT_EQ(controls.Current()->CtrlID, "list");
}

TEST_F(ControlsTest, AddControlCopiesTheMergedAttributesAndStampsSessions) {
    ASSERT_TRUE(LoadBody(R"(<control id="list" type="table"/><control id="list" type="other"/>
        <control id="grid" type="table" ifolder="g" space="0" extension="Ext1" remark="r">
            <session type="include" value="header" parm="p" extension="Other"/></control>)"));
    auto grid = controls.Item(Variant("grid"));
    grid->CtrlGen = grid->CtrlSkipHeaderFooter = true;
    AGPControls merged;
    for (std::int32_t i = 1; i <= 3; ++i) EXPECT_EQ(merged.AddControl(*controls.Item(Variant(i))), i != 2) << i;

    auto added = merged.Item(Variant("grid"));
    ASSERT_NE(added, grid);
    EXPECT_EQ(added->CtrlIFolder, "g\\");
    EXPECT_FALSE(added->CtrlSpace);
    EXPECT_EQ(added->CtrlExt, "Ext1");
    EXPECT_FALSE(added->CtrlGen || added->CtrlSkipHeaderFooter);
    EXPECT_EQ(added->CtrlRemark, "");
    ASSERT_EQ(added->Sessions()->Count(), 1);
    EXPECT_EQ(added->Sessions()->Item(1)->SessExt, "Ext1");
    EXPECT_EQ(added->Sessions()->Item(1)->SessParm, "");

    // Deleting needs id and type to match; the first match goes.
    AGPControl probe;
    probe.CtrlID = "grid";
    probe.CtrlType = "other";
    EXPECT_FALSE(controls.DeleteControl(probe));
    probe.CtrlID = "list";
    EXPECT_TRUE(controls.DeleteControl(probe));
    EXPECT_EQ(controls.Count(), 2);
    EXPECT_EQ(controls.Item(Variant("list"))->CtrlType, "table");
    EXPECT_FALSE(controls.ControlExist("Grid"));
}

TEST_F(ControlsTest, SessionsLoadInsertChangeAndDelete) {
    ASSERT_TRUE(Load(test::ReadData("controls/sessions.xml")));
    EXPECT_TRUE(controls.Item(Variant("report"))->CtrlHasHeaderFooter());
    EXPECT_FALSE(controls.Item(Variant("menu"))->CtrlHasHeaderFooter());
    auto sessions = controls.Item(Variant("list"))->Sessions();
    ASSERT_EQ(sessions->Count(), 3);
    auto header = sessions->Item(1);
    EXPECT_EQ(header->SessParm, "p");
    EXPECT_EQ(header->SessIFile, "h.php");
    EXPECT_EQ(sessions->Item(4), nullptr);

    AGPSession added;
    added.SessValue = "extra";
    EXPECT_TRUE(sessions->AddSession(added, "footer", "after"));
    EXPECT_EQ(sessions->Item(3)->SessValue, "extra");
    added.SessValue = "first";
    sessions->AddSession(added, "header", "After");  // only "after" inserts behind
    EXPECT_EQ(sessions->Item(1)->SessValue, "first");
    added.SessValue = "last";
    sessions->AddSession(added, "nowhere", "after");
    EXPECT_EQ(sessions->Item(sessions->Count())->SessValue, "last");
    EXPECT_EQ(sessions->Count(), 6);

    AGPSession change;
    change.SessCond = "new";
    change.SessExt = "Ext";
    EXPECT_TRUE(sessions->ChangeSession("header", change));
    EXPECT_EQ(header->SessIFile, "h.php");  // empty values leave it
    EXPECT_EQ(header->SessCond, "new");
    EXPECT_EQ(header->SessExt, "Ext");
    EXPECT_EQ(header->SessAction, "");  // always taken
    EXPECT_FALSE(sessions->ChangeSession("Header", change));

    EXPECT_TRUE(sessions->DeleteSession("menu"));
    EXPECT_FALSE(sessions->DeleteSession("menu"));
    EXPECT_FALSE(sessions->SessionExist("menu"));
    EXPECT_EQ(sessions->Count(), 5);
}

TEST(ControlItemsTest, KeyedByCaseSensitiveItemId) {
    AGControlItems items;
    EXPECT_FALSE(items.Add("", "x.php", true, ""));
    ASSERT_TRUE(items.Add("list", "orderslist.php", true, "r"));
    EXPECT_FALSE(items.Add("list", "other.php", false, ""));
    ASSERT_TRUE(items.Add("List", "upper.php", false, ""));
    EXPECT_EQ(items.Count(), 2);

    auto item = items.Item(Variant("list"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->ItemFn, "orderslist.php");
    EXPECT_FALSE(item->ItemSkipHeaderFooter);
    EXPECT_EQ(items.Item(Variant(std::int32_t{2}))->ItemFn, "upper.php");
    EXPECT_EQ(items.Item(Variant("LIST")), nullptr);
    EXPECT_EQ(items.Item(Variant(std::int32_t{3})), nullptr);
    EXPECT_FALSE(items.ItemExist(Variant(true)));

    EXPECT_TRUE(items.Delete(Variant(std::int32_t{1})));
    EXPECT_FALSE(items.Delete(Variant("list")));
    EXPECT_FALSE(items.ItemExist(Variant("list")));
    ASSERT_EQ(items.Items().size(), 1u);
    EXPECT_EQ(items.Items()[0]->ItemId, "List");
}

class ProjectConditionTest : public ControlsTest {
protected:
    void SetUp() override {
        ControlsTest::SetUp();
        auto db = proj.AddMainDatabase("sales.db");
        db->SetDBVar("sales");
        db->Tables()->Add("Orders");
        db->Tables()->Add("Customers");
        orders = db->Tables()->Find(Variant("Orders"));
        orders->SetTblGen(true);
        orders->Fields()->Add("Orders", "Qty");
        orders->Fields()->Find(Variant("Qty"))->SetFldAlias(true);
        db->Tables()->Item(Variant("Orders"));
    }
    AGP proj;
    std::shared_ptr<AGPTable> orders;
};

TEST_F(ProjectConditionTest, ReadsTheCurrentObjects) {
    EXPECT_TRUE(proj.EvaluateCondition(""));
    EXPECT_TRUE(proj.EvaluateCondition("db/DBVar/eq/sales"));
    EXPECT_TRUE(proj.EvaluateCondition("table/TblName/eq/Customers|Orders"));
    EXPECT_TRUE(proj.EvaluateCondition("table/TblGen/eq/1, table/TblGen/eq/true"));
    EXPECT_TRUE(proj.EvaluateCondition("field/FldName/eq/Qty,field/FldAlias/ne/0"));
    EXPECT_TRUE(proj.EvaluateCondition("table/NoSuchProperty/eq/"));

    proj.DB()->Tables()->Item(Variant("Customers"));
    EXPECT_FALSE(proj.EvaluateCondition("table/TblName/eq/Orders"));
    // Customers has no current field.
    Engine().ProjErr.clear();
    EXPECT_FALSE(proj.EvaluateCondition("field/FldName/ne/x"));
    EXPECT_FALSE(Engine().ProjErr.empty());
}

TEST_F(ProjectConditionTest, ControlClausesReadTheCurrentControl) {
    EXPECT_FALSE(proj.EvaluateCondition("ctrl/ctrlid/eq/list"));  // none current yet
    test::WriteFile(dir / "control.xml", Wrap(R"(<control id="list" type="table" space="false"/><control id="add"/>)"));
    auto& loaded = *proj.Controls();
    ASSERT_TRUE(loaded.LoadControls(dir / "control.xml", &proj));
    loaded.Item(Variant("list"));
    EXPECT_TRUE(proj.EvaluateCondition("ctrl/CtrlID/eq/ add | list "));
    EXPECT_TRUE(proj.EvaluateCondition("ctrl/ctrltype/in/TAB"));
    EXPECT_TRUE(proj.EvaluateCondition("ctrl/ctrlspace/eq/0"));
    loaded.Item(Variant(std::int32_t{2}));
    EXPECT_FALSE(proj.EvaluateCondition("ctrl/ctrlid/eq/list"));
}

TEST_F(ProjectConditionTest, FunctionClausesGoThroughTheInstalledRunner) {
    Engine().ProjErr.clear();
    EXPECT_FALSE(proj.EvaluateCondition("function/HasUploads/boolean/eq/true"));
    EXPECT_FALSE(Engine().ProjErr.empty());

    proj.SetScriptFunctionRunner([&](std::string_view name) {
        if (name == "Broken") return FunctionOutcome{FunctionOutcome::Kind::Error, {}, "script failed"};
        return FunctionOutcome{FunctionOutcome::Kind::Value, Variant(true), {}};
    });
    EXPECT_TRUE(proj.EvaluateCondition("FUNCTION/ HasUploads /boolean/eq/true"));
    auto result = proj.EvaluateConditionDetailed("function/Broken/boolean/eq/true");
    EXPECT_FALSE(result.holds);
    EXPECT_EQ(result.status, CondStatus::FunctionError);
    EXPECT_NE(Engine().ProjErr.find("script failed"), std::string::npos);
}

}  // namespace
}  // namespace velmora
