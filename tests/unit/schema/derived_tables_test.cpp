// Custom views, custom fields, link tables, reports and settings copies on the SQLite sample
// shop, with a second SQLite file as the linked database.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "model/entities/databases.h"
#include "model/project/language.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "schema/derived_tables.h"
#include "schema/schema_load.h"
#include "schema_test_support.h"
#include "support/engine_state.h"

namespace velmora {
namespace {

using test::FieldOf;
using test::TableOf;

constexpr const char* kJoinView =
    "SELECT o.order_id, c.last_name AS buyer, p.name, i.quantity * i.unit_price AS amount "
    "FROM orders o JOIN customers c ON c.customer_id = o.customer_id "
    "JOIN order_items i ON i.order_id = o.order_id JOIN products p ON p.product_id = i.product_id";

class DerivedTablesTest : public testing::Test {
protected:
    void SetUp() override {
        MenuList().Clear();
        Language().ClearTranslations();
        test::MakeSqliteDatabase(dir_ / "sample.db", test::SourcePath("examples/sql/sample_sqlite.sql"));
        std::ofstream(dir_ / "other.sql") << "CREATE TABLE shelf (code VARCHAR(10) PRIMARY KEY, room TEXT);";
        test::MakeSqliteDatabase(dir_ / "other.db", dir_ / "other.sql");
        project_.SetRecPerPage(37);
        ASSERT_TRUE(LoadMain()) << project_.ProjErr();
    }

    bool LoadMain() {
        LoadDbArgs args;
        args.sDbName = "sample";
        args.sDbType = "SQLITE";
        args.sPhyPath = dir_ / "sample.db";
        return LoadDB(project_, args);
    }

    std::string LinkOther() {
        LinkDbArgs args;
        args.sDbType = "SQLITE";
        args.sPhyPath = dir_ / "other.db";
        return LoadLinkDB(project_, args);
    }

    // Runs SQL on one of the test's database files.
    void Execute(const std::string& file, const std::string& sql) {
        std::ofstream(dir_ / "change.sql") << sql;
        test::MakeSqliteDatabase(dir_ / file, dir_ / "change.sql");
    }

    test::TempDir dir_;
    AGP project_;
};

TEST_F(DerivedTablesTest, CustomViewOverAJoinKeepsSourcesAndCopiesTheirSettings) {
    FieldOf(project_, "customers", "last_name")->SetFldCaption("Surname");
    ASSERT_TRUE(LoadCustomView(project_, "sales", kJoinView, true)) << project_.ProjErr();
    auto view = TableOf(project_, "sales");
    EXPECT_EQ(view->TblCustomError(), "");
    auto buyer = FieldOf(project_, "sales", "buyer");
    EXPECT_EQ(buyer->FldSourceTable(), "customers");
    EXPECT_EQ(buyer->FldSourceField(), "last_name");
    EXPECT_EQ(buyer->FldCaption(), "Surname");
    EXPECT_EQ(FieldOf(project_, "sales", "amount")->FldSourceTable(), "");
    // The project's settings reach tables made after the load.
    EXPECT_EQ(view->TblRecPerPage(), 37);

    // A statement the database refuses leaves the view, marked, and not generated.
    ASSERT_TRUE(LoadCustomView(project_, "broken", "SELECT nope FROM orders", false));
    EXPECT_NE(TableOf(project_, "broken")->TblCustomError().find("nope"), std::string::npos);
    EXPECT_FALSE(TableOf(project_, "broken")->TblGen());
}

TEST_F(DerivedTablesTest, CustomFieldsAreProbedChangedAndUnloaded) {
    ASSERT_TRUE(LoadCustomField(project_, "order_items", "total", "quantity * unit_price")) << project_.ProjErr();
    auto total = FieldOf(project_, "order_items", "total");
    EXPECT_TRUE(total->FldIsCustom());
    EXPECT_FALSE(total->FldAdd());
    EXPECT_FALSE(total->FldEdit());
    EXPECT_FALSE(TableOf(project_, "TEMP")) << "the probe view is removed again";

    total->SetFldCaption("Line total");
    ASSERT_TRUE(ChangeCustomField(project_, "order_items", "total", "quantity * unit_price * 2"));
    EXPECT_EQ(total->FldCaption(), "Line total");
    EXPECT_EQ(total->FldSQL(), "quantity * unit_price * 2");

    ASSERT_TRUE(UnloadCustomField(project_, "order_items", "total"));
    EXPECT_FALSE(FieldOf(project_, "order_items", "total"));
}

TEST_F(DerivedTablesTest, LinkTablesLiveInTheMainListAndGoWithTheirDatabase) {
    std::string id = LinkOther();
    ASSERT_EQ(id, "LINKDB1") << project_.ProjErr();
    ASSERT_TRUE(LoadLinkTable(project_, id, "shelf", "shelves")) << project_.ProjErr();
    // Its rows are listed and added through the generated pages in tests/integration/derived_tables.sh.
    auto shelves = TableOf(project_, "shelves");
    EXPECT_EQ(shelves->LinkTableType(), "TABLE");
    EXPECT_EQ(project_.LINKDBS()->Find(Variant(id))->Tables()->Count(), 0);
    EXPECT_EQ(project_.DB()->DBQuoteS(), "`") << "the main database's quotes are back";

    ASSERT_TRUE(LoadCustomField(project_, "shelves", "room_upper", "upper(room)")) << project_.ProjErr();
    ASSERT_TRUE(UnLoadTable(project_, "shelves"));
    EXPECT_FALSE(shelves->TblLoaded());
    ASSERT_TRUE(LoadTable(project_, "shelves")) << project_.ProjErr();
    EXPECT_EQ(TableOf(project_, "shelves")->LinkDBID(), id);

    ASSERT_TRUE(UnloadLinkDB(project_, id));
    EXPECT_FALSE(TableOf(project_, "shelves"));
    EXPECT_EQ(project_.LINKDBS()->Count(), 0);
}

TEST_F(DerivedTablesTest, CustomViewBecomesTheDatabaseViewMadeFromIt) {
    ASSERT_TRUE(LoadCustomView(project_, "recent", "SELECT order_id, status FROM orders", false));
    TableOf(project_, "recent")->SetTblCaption("Recent orders");
    Execute("sample.db", "CREATE VIEW v_recent AS SELECT order_id, status FROM orders;"
                         "CREATE VIEW v_other AS SELECT order_id FROM orders;");
    EXPECT_FALSE(ChangeCustomViewToView(project_, "recent", "v_other"));
    EXPECT_EQ(project_.ProjErr(), "Velmora: fields mismatched!");
    EXPECT_FALSE(ChangeCustomViewToView(project_, "recent", "v_missing"));
    EXPECT_EQ(project_.ProjErr(), "Velmora: load view failed!");

    ASSERT_TRUE(ChangeCustomViewToView(project_, "recent", "v_recent")) << project_.ProjErr();
    EXPECT_FALSE(TableOf(project_, "recent"));
    auto view = TableOf(project_, "v_recent");
    EXPECT_EQ(view->TblType(), "VIEW");
    EXPECT_EQ(view->TblCaption(), "Recent orders");
    EXPECT_EQ(FieldOf(project_, "v_recent", "status")->FldSize(), 20);
}

TEST_F(DerivedTablesTest, SyncLinkDBReadsItsTablesAgainKeepingSettings) {
    std::string id = LinkOther();
    ASSERT_TRUE(LoadLinkTable(project_, id, "shelf", "shelves"));
    FieldOf(project_, "shelves", "room")->SetFldCaption("Where");
    Execute("other.db", "ALTER TABLE shelf ADD COLUMN floor INTEGER;");
    LinkDbArgs args;
    args.sDbType = "SQLITE";
    args.sPhyPath = dir_ / "other.db";
    ASSERT_TRUE(SyncLinkDB(project_, id, args)) << project_.ProjErr();
    EXPECT_TRUE(FieldOf(project_, "shelves", "floor"));
    EXPECT_EQ(FieldOf(project_, "shelves", "room")->FldCaption(), "Where");
    EXPECT_FALSE(TableOf(project_, "TEMP"));

    args.sPhyPath = dir_ / "missing.db";
    EXPECT_FALSE(SyncLinkDB(project_, id, args));
    EXPECT_EQ(project_.ProjErr(), "Synchronize link database 'other' failed");
}

TEST_F(DerivedTablesTest, ReportsAndSettingsCopies) {
    FieldOf(project_, "products", "price")->SetFldCaption("Unit price");
    Language().SetTablePhrase("en", "products", "TblCaption", "Goods");
    // The report's type, source and fields are checked through velmora add-report (derived_tables.sh).
    ASSERT_TRUE(LoadReport(project_, "price_report", "products"));
    EXPECT_EQ(FieldOf(project_, "price_report", "price")->FldCaption(), "Unit price");

    auto products = TableOf(project_, "products");
    products->SetTblCaption("Goods");
    ASSERT_TRUE(LoadCustomView(project_, "goods", "SELECT product_id, price FROM products", false));
    ASSERT_TRUE(CopyTableSettings(project_, "products", "goods"));
    auto goods = TableOf(project_, "goods");
    EXPECT_EQ(goods->TblCaption(), "Goods");
    EXPECT_EQ(goods->TblType(), "CUSTOMVIEW");
    EXPECT_EQ(goods->TblName(), "goods");
    EXPECT_EQ(FieldOf(project_, "goods", "price")->FldCaption(), "Unit price");
    EXPECT_FALSE(FieldOf(project_, "goods", "price")->FldReq()) << "what the schema says is not copied";
    EXPECT_EQ(Language().GetTablePhrase("en", "goods", "TblCaption"), "Goods");
}

// Refusals with the message the user sees, in the order the checks run (the command line's own,
// with a view's or custom field's failed statement, a missing link table and a report's taken name,
// are in tests/integration/derived_tables.sh).
TEST_F(DerivedTablesTest, BadInputGetsItsMessageAndUnLoadDBLeavesRoomForANewLoad) {
    std::string id = LinkOther();
    LinkDbArgs noPath;
    noPath.sDbType = "ACCESS";
    LinkDbArgs noName;
    noName.sDbType = "postgresql";
    noName.sHost = "localhost";
    struct Case {
        const char* what;
        std::function<bool()> run;
        std::string message;
    };
    const Case cases[] = {
        {"not a custom view", [&] { return ChangeCustomViewToView(project_, "orders", "v"); },
         "Velmora: source table is not a custom view!"},
        {"field: no table name", [&] { return UnloadCustomField(project_, "", "x"); }, "table name is empty!"},
        {"field: no field name", [&] { return UnloadCustomField(project_, "orders", ""); }, "field name is empty!"},
        {"field: unknown table", [&] { return UnloadCustomField(project_, "nope", "x"); }, "table 'nope' not exists!"},
        {"field: unknown field", [&] { return UnloadCustomField(project_, "orders", "x"); }, "field 'x' not exists!"},
        {"field: taken", [&] { return LoadCustomField(project_, "orders", "status", "1"); },
         "field 'status' already exists!"},
        {"link: no table", [&] { return LoadLinkTable(project_, id, "", "x"); }, "table name is empty!"},
        {"link: no project name", [&] { return LoadLinkTable(project_, id, "shelf", ""); },
         "project table name is empty!"},
        {"link: unknown database", [&] { return LoadLinkTable(project_, "LINKDB9", "shelf", "s"); },
         "link database 'LINKDB9' not found!"},
        {"link: name taken", [&] { return LoadLinkTable(project_, id, "shelf", "orders"); },
         "table 'orders' already exists!"},
        {"unload unknown link database", [&] { return UnloadLinkDB(project_, "LINKDB9"); },
         "Link Database with id 'LINKDB9' not found"},
        {"sync unknown link database", [&] { return SyncLinkDB(project_, "LINKDB9", {}); },
         "Link Database with id 'LINKDB9' not found"},
        {"link database without path", [&] { return !LoadLinkDB(project_, noPath).empty(); }, "invalid database path!"},
        {"link database without name", [&] { return !LoadLinkDB(project_, noName).empty(); },
         "Invalid DBName specified!"},
        {"unload unknown table", [&] { return UnLoadTable(project_, "nope"); }, "Velmora: Table nope not found!"},
        {"copy to itself", [&] { return CopyTableSettings(project_, "orders", "orders"); },
         "Velmora: Source and target table are the same!"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(c.run()) << c.what;
        EXPECT_EQ(project_.ProjErr(), c.message) << c.what;
    }
    EXPECT_EQ(project_.LINKDBS()->Count(), 1) << "refused link databases leave no entry";

    // Without a database nothing is derived; its relations went with it, and a new load is taken.
    project_.AddMasterDetail("customers", "orders");
    UnLoadDB(project_);
    EXPECT_FALSE(LoadReport(project_, "r", "orders"));
    EXPECT_EQ(project_.ProjErr(), "Velmora: Database not loaded!");
    EXPECT_FALSE(LoadCustomView(project_, "v", "SELECT 1", false));
    EXPECT_EQ(project_.ProjErr(), "Velmora: Database not loaded!");
    EXPECT_EQ(project_.MasterDetails()->Count(), 0);
    ASSERT_TRUE(LoadMain()) << project_.ProjErr();
    EXPECT_TRUE(TableOf(project_, "orders"));
}

}  // namespace
}  // namespace velmora
