#include <gtest/gtest.h>

#include "model/project/agp.h"
#include "model/entities/charts.h"
#include "model/entities/databases.h"
#include "model/entities/fields.h"
#include "model/project/language.h"
#include "model/project/menus.h"
#include "model/entities/tables.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "test_support.h"

namespace velmora {
namespace {

class EntitiesTest : public testing::Test {
protected:
    void SetUp() override { test::ResetSettingsStores(); }
};

TEST_F(EntitiesTest, NewEntitiesReadTheUsersDefaultsFromTheirOwnSections) {
    SetRegValue("HKCU", SettingsSection("Table"), "TblRecPerPage", kRegNumber, Variant(std::int32_t{25}));
    SetRegValue("HKCU", SettingsSection("Table"), "TblExportPDF", kRegText, Variant("True"));
    SetRegValue("HKCU", SettingsSection("Field"), "FldAlign", kRegText, Variant("center"));
    SetRegValue("HKCU", SettingsSection("Chart"), "ChartWidth", kRegNumber, Variant(std::int32_t{600}));
    SetRegValue("HKCU", SettingsSection("Trendline"), "TrendStartValue", kRegNumber, Variant(std::int32_t{7}));
    SetRegValue("HKCU", SettingsSection("Database"), "MaxUploadSize", kRegNumber, Variant(std::int32_t{4096}));
    // Values of another section, or of entries that are not kept there, are not read.
    SetRegValue("HKCU", SettingsSection("Field"), "TblRecPerPage", kRegNumber, Variant(std::int32_t{99}));
    SetRegValue("HKCU", SettingsSection("Table"), "TblCaption", kRegText, Variant("ignored"));

    EXPECT_EQ(AGPTable().TblRecPerPage(), 25);
    EXPECT_TRUE(AGPTable().TblExportPDF());
    EXPECT_EQ(AGPTable().TblCaption(), "");
    EXPECT_EQ(AGPField().FldAlign(), "center");
    EXPECT_EQ(AGPChart().ChartWidth(), 600);
    EXPECT_EQ(AGPTrend().TrendStartValue(), 7.0);
    EXPECT_EQ(AGPDatabase().MaxUploadSize(), 4096);
    AGPField field;
    EXPECT_EQ(field.GetV("TblRecPerPage"), "");
}

TEST_F(EntitiesTest, VariantEntriesKeepTheirTextUnconverted) {
    AGPField field;
    field.SetV("FldDefault", "007");
    field.SetV("FldMin", "1e3");
    field.SetV("FldSize", "007");
    EXPECT_EQ(field.FldDefault(), Variant("007"));
    EXPECT_EQ(field.GetV("FldMin"), "1e3");
    EXPECT_EQ(field.FldSize(), 7);
}

TEST_F(EntitiesTest, EntitiesOwnTheirCollections) {
    AGPDatabase db;
    ASSERT_TRUE(db.Tables()->Add("orders"));
    auto table = db.Tables()->Item("orders");
    ASSERT_TRUE(table->Charts()->Add("orders", "Sales by month"));
    auto chart = table->Charts()->Item("sales by month");
    ASSERT_TRUE(chart);
    EXPECT_EQ(chart->ChartName(), "Sales by month");
    EXPECT_EQ(chart->ChartVar(), "Sales_by_month");
    auto trends = chart->Trendlines();
    ASSERT_TRUE(trends->Add("low") && trends->Add("high"));
    EXPECT_TRUE(trends->Delete("low"));
    EXPECT_EQ(trends->Seq(1)->TrendName(), "high");
    EXPECT_EQ(trends->curSeq(), 1);
}

// ---- collections ----

class TablesTest : public EntitiesTest {
protected:
    void SetUp() override {
        EntitiesTest::SetUp();
        Language().ClearTranslations();
        MenuList().Clear();
    }
    void AddMenuFor(std::string_view source) {
        MenuValues values;
        values.MenuText = std::string(source);
        values.MenuSource = std::string(source);
        ASSERT_TRUE(MenuList().AddMenu(values));
    }
    AGPTables tables;
};

TEST_F(TablesTest, AddNumbersTablesAndMakesTheNewOneCurrent) {
    EXPECT_EQ(tables.curName(), "");
    EXPECT_EQ(tables.curSeq(), 0);
    ASSERT_TRUE(tables.Add("Orders"));
    ASSERT_TRUE(tables.Add("Customers"));
    EXPECT_EQ(tables.Count(), 2);
    EXPECT_EQ(tables.curName(), "Customers");
    EXPECT_EQ(tables.curSeq(), 2);
    EXPECT_EQ(tables.Item("orders")->TblName(), "Orders");
    EXPECT_EQ(tables.Seq(2)->Key(), "Customers");

    // A failing add changes nothing: the table already there stays as it is, and so does the
    // current table.
    EXPECT_FALSE(tables.Add("ORDERS"));
    EXPECT_FALSE(tables.Add(""));
    EXPECT_EQ(tables.Count(), 2);
    EXPECT_EQ(tables.curName(), "Orders");
    EXPECT_EQ(tables.Item("Orders")->TblSeq(), 1);
}

TEST_F(TablesTest, ItemSetItemAndSetSeqChooseTheCurrentTableSeqDoesNot) {
    for (auto name : {"a", "b", "c"}) tables.Add(name);
    EXPECT_EQ(tables.Item(Variant(std::int32_t{1}))->Key(), "a");
    EXPECT_EQ(tables.curName(), "a");
    EXPECT_TRUE(tables.SetItem("b"));
    EXPECT_EQ(tables.curSeq(), 2);
    EXPECT_EQ(tables.Seq(3)->Key(), "c");
    EXPECT_EQ(tables.curName(), "b");
    EXPECT_TRUE(tables.SetSeq(3));
    EXPECT_EQ(tables.curName(), "c");

    // Unknown keys, positions and numbers, and indexes of no usable type, leave it alone.
    for (const Variant& index : {Variant("zz"), Variant(std::int32_t{9}), Variant(true), Variant()})
        EXPECT_EQ(tables.Item(index), nullptr) << index.ToText();
    EXPECT_FALSE(tables.SetItem("zz"));
    EXPECT_FALSE(tables.SetSeq(0));
    EXPECT_EQ(tables.Seq(4), nullptr);
    EXPECT_FALSE(tables.TableExist("zz"));
    EXPECT_TRUE(tables.TableExist("B"));
    EXPECT_EQ(tables.curName(), "c");
}

TEST_F(TablesTest, DeleteRenumbersTheLaterTablesAndTakesPhrasesAndMenuItems) {
    for (auto name : {"a", "b", "c"}) tables.Add(name);
    Language().SetTablePhrase("en", "b", "TblCaption", "Bee");
    Language().SetFieldPhrase("en", "b", "x", "FldCaption", "Ex");
    Language().SetTablePhrase("en", "c", "TblCaption", "Sea");
    AddMenuFor("b");
    AddMenuFor("c");
    tables.SetItem("c");

    ASSERT_TRUE(tables.Delete("b"));
    EXPECT_EQ(tables.Count(), 2);
    EXPECT_EQ(tables.Item("c")->TblSeq(), 2);
    EXPECT_EQ(tables.Seq(2)->Key(), "c");
    EXPECT_EQ(tables.Seq(3), nullptr);
    EXPECT_EQ(Language().GetTablePhrase("en", "b", "TblCaption"), "");
    EXPECT_EQ(Language().GetFieldPhrase("en", "b", "x", "FldCaption"), "");
    EXPECT_EQ(Language().GetTablePhrase("en", "c", "TblCaption"), "Sea");
    EXPECT_FALSE(MenuList().MenuHasTable("b"));
    EXPECT_TRUE(MenuList().MenuHasTable("c"));

    // Deleting the current table leaves none current; by position works too.
    ASSERT_TRUE(tables.Delete(Variant(std::int32_t{2})));
    EXPECT_EQ(tables.curName(), "");
    EXPECT_EQ(tables.curSeq(), 0);
    EXPECT_FALSE(tables.Delete("c"));
    EXPECT_FALSE(tables.Delete(Variant(std::int32_t{5})));
    EXPECT_EQ(tables.Seq(1)->Key(), "a");
    // A table without menu items or phrases goes without a failure.
    Engine().ProjErr.clear();
    ASSERT_TRUE(tables.Delete("a"));
    EXPECT_EQ(Engine().ProjErr, "");
}

TEST_F(TablesTest, ChangeRekeysAndRenamesVarPhrasesAndMenuItemsButNotTblName) {
    tables.Add("order details");
    tables.Add("other");
    Language().SetTablePhrase("en", "order details", "TblCaption", "Details");
    AddMenuFor("order details");

    ASSERT_TRUE(tables.Change("ORDER DETAILS", "lines"));
    EXPECT_FALSE(tables.TableExist("order details"));
    auto table = tables.Item("lines");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->Key(), "lines");
    EXPECT_EQ(table->TblVar(), "lines");
    EXPECT_EQ(table->TblName(), "order details");
    EXPECT_EQ(table->TblSeq(), 1);
    EXPECT_EQ(Language().GetTablePhrase("en", "lines", "TblCaption"), "Details");
    EXPECT_TRUE(MenuList().MenuHasTable("lines"));
    EXPECT_FALSE(MenuList().MenuHasTable("order details"));

    tables.SetItem("other");
    ASSERT_TRUE(tables.Change("lines", "Lines"));  // a change of case only
    EXPECT_EQ(tables.curName(), "Lines");
    EXPECT_TRUE(tables.Change("x", "x"));
    EXPECT_FALSE(tables.Change("Lines", "other"));
    EXPECT_FALSE(tables.Change("missing", "new"));
    EXPECT_FALSE(tables.Change("", "new"));
    EXPECT_FALSE(tables.Change("Lines", ""));
    EXPECT_EQ(tables.Count(), 2);

    // Adding the old TblName again moves the key back instead of adding a table.
    EXPECT_FALSE(tables.Add("order details"));
    EXPECT_EQ(tables.Count(), 2);
    EXPECT_TRUE(tables.TableExist("order details"));
    EXPECT_EQ(tables.curName(), "order details");
    EXPECT_EQ(tables.Item("order details")->TblVar(), "order_details");
}

TEST_F(TablesTest, ADeletedRenamedTableNoLongerClaimsItsOldName) {
    tables.Add("orders");
    ASSERT_TRUE(tables.Change("orders", "sales"));
    ASSERT_TRUE(tables.Delete(Variant("sales")));
    EXPECT_TRUE(tables.Add("orders"));
    EXPECT_EQ(tables.Count(), 1);
    EXPECT_EQ(tables.Item("orders")->TblSeq(), 1);
}

TEST_F(EntitiesTest, FieldAndDatabaseListsFollowTheSameRules) {
    AGPFields fields;
    for (auto name : {"id", "name", "price"}) ASSERT_TRUE(fields.Add("t", name));
    ASSERT_TRUE(fields.Change("t", "name", "full name"));
    EXPECT_EQ(fields.curName(), "full name");
    EXPECT_EQ(fields.Item("full name")->FldVar(), "x_full_name");
    EXPECT_EQ(fields.Item("full name")->FldName(), "name");
    ASSERT_TRUE(fields.Delete("t", "id"));
    EXPECT_EQ(fields.Seq(2)->FldName(), "price");

    AGPDatabases databases;
    EXPECT_TRUE(databases.Add("/data/a.db"));
    EXPECT_FALSE(databases.Add("/DATA/A.DB"));
    EXPECT_EQ(databases.Item("/data/a.db")->DBName(), "/data/a.db");
    EXPECT_EQ(databases.Seq(1)->DBSeq(), 1);
}

// ---- root object ----

TEST_F(EntitiesTest, RootHasNoDatabaseUntilOneIsAdded) {
    AGP proj;
    EXPECT_EQ(proj.DB(), nullptr);
    EXPECT_EQ(proj.DBCnt(), 0);
    EXPECT_EQ(proj.AddMainDatabase(""), nullptr);

    auto db = proj.AddMainDatabase("/data/shop.db");
    ASSERT_TRUE(db);
    EXPECT_EQ(proj.DB(), db);
    EXPECT_EQ(db->DBID(), "DB");
    EXPECT_EQ(proj.DBCnt(), 1);
    EXPECT_EQ(proj.CurrentDatabaseName(), "/data/shop.db");
    EXPECT_EQ(proj.AddMainDatabase("/data/shop.db"), db);
    EXPECT_EQ(proj.DBCnt(), 1);
}

}  // namespace
}  // namespace velmora
