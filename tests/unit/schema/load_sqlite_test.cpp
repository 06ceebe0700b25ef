// Loading SQLite files into the project: the sample shop schema, the argument and connection
// failures, and what a failed load leaves behind (nothing).
#include <gtest/gtest.h>

#include <filesystem>

#include "model/core/data_types.h"
#include "model/entities/databases.h"
#include "model/project/menus.h"
#include "schema/load_steps.h"
#include "schema/schema_load.h"
#include "schema/schema_reader.h"
#include "schema_test_support.h"
#include "model/extensions/ext_objects.h"
#include "support/engine_state.h"
#include "support/settings_store.h"

namespace velmora {
namespace {

using test::FieldOf;
using test::TableOf;

class SqliteLoadTest : public testing::Test {
protected:
    void SetUp() override {
        MenuList().Clear();
        test::MakeSqliteDatabase(dir_ / "sample.db", test::SourcePath("examples/sql/sample_sqlite.sql"));
    }

    bool Load(const std::string& file) {
        LoadDbArgs args;
        args.sDbName = "sample";
        args.sDbType = "SQLITE";
        args.sPhyPath = file;
        return LoadDB(project_, args);
    }

    test::TempDir dir_;
    AGP project_;
};

// The database's name, the key of order_items, customer_id's numbering, email's size, type, Required and
// unique flags and city's default are checked through velmora inspect (tests/integration/cli_schema.sh),
// as is a second load refused.
TEST_F(SqliteLoadTest, SampleSchemaKeysTypesDefaultsAndViews) {
    ASSERT_TRUE(Load(dir_ / "sample.db")) << project_.ProjErr();
    EXPECT_EQ(project_.DB()->DBQuoteS(), "`");

    EXPECT_FALSE(FieldOf(project_, "order_items", "order_id")->FldAutoIncrement());

    EXPECT_TRUE(FieldOf(project_, "customers", "email")->FldRequired());
    // Unique only as a group of three.
    EXPECT_FALSE(FieldOf(project_, "customers", "last_name")->FldUniqueIdx());
    EXPECT_FALSE(FieldOf(project_, "customers", "first_name")->FldReq());

    EXPECT_EQ(FieldOf(project_, "customers", "city")->FldDbDefault().ToText(), "'L''Aquila'");
    EXPECT_EQ(FieldOf(project_, "customers", "created_at")->FldDefault().ToText(), "CURRENT_TIMESTAMP");
    EXPECT_EQ(FieldOf(project_, "customers", "credit_limit")->FldSize(), 10);

    const struct {
        const char *table, *field;
        int type;
        const char *htmlTag, *quote;
    } expected[] = {
        {"customers", "customer_id", kAdInteger, "", ""},  // numbered, never entered
        {"customers", "email", kAdVarChar, "TEXT", "'"},
        {"customers", "created_at", kAdDBTimeStamp, "TEXT", "'"},
        {"customers", "birth_date", kAdDBDate, "TEXT", "'"},
        {"employees", "shift_start", kAdDBTime, "TEXT", "'"},
        {"customers", "is_active", kAdBoolean, "CHECKBOX", ""},
        {"customers", "credit_limit", kAdNumeric, "TEXT", ""},
        {"products", "photo", kAdLongVarBinary, "FILE", "'"},
        {"products", "description", kAdLongVarChar, "TEXTAREA", "'"},
    };
    for (const auto& e : expected) {
        auto field = FieldOf(project_, e.table, e.field);
        EXPECT_EQ(field->FldType(), e.type) << e.field;
        EXPECT_EQ(field->FldHtmlTag(), e.htmlTag) << e.field;
        EXPECT_EQ(field->FldQuoteS(), e.quote) << e.field;
    }

    // Names needing quotes, and a view.
    auto reviews = TableOf(project_, "Käufer Bewertungen");
    ASSERT_TRUE(reviews);
    EXPECT_EQ(reviews->TblKey(), "Bewertung Nr");
    EXPECT_TRUE(FieldOf(project_, "Käufer Bewertungen", "Kommentar \"kurz\""));
    EXPECT_TRUE(FieldOf(project_, "Käufer Bewertungen", "Datum [UTC]"));

    auto summary = TableOf(project_, "order_summary");
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->TblType(), "VIEW");
    EXPECT_EQ(summary->TblKey(), "");
    EXPECT_FALSE(summary->TblAdd());
    EXPECT_EQ(summary->Fields()->Count(), 5);
}

TEST_F(SqliteLoadTest, SuccessfulLoadBringsTheMenuInStepAndAddsRegisteredExtensions) {
    MenuValues stale;
    stale.MenuText = "Gone";
    stale.MenuSource = "dropped_table";
    MenuList().AddMenu(stale);
    std::string section = ExtensionsSection() + "\\Audit";
    SetRegValue("HKCU", section, "Name", kRegText, Variant(std::string("Audit")));
    SetRegValue("HKCU", section, "Template", kRegText, Variant(std::string("audit.zip")));
    SetRegValue("HKCU", section, "XmlFile", kRegText, Variant(std::string()));
    ASSERT_TRUE(Load(dir_ / "sample.db")) << project_.ProjErr();
    EXPECT_FALSE(MenuList().MenuHasTable("dropped_table"));
    EXPECT_TRUE(MenuList().MenuHasTable("orders"));
    EXPECT_TRUE(MenuList().MenuHasTable("order_summary"));
    EXPECT_EQ(MenuList().Count(), 11);
    EXPECT_TRUE(project_.Extensions()->Exist(Variant(std::string("Audit"))));
    EXPECT_EQ(project_.ProjErr(), "");
    CurrentUserStore().DeleteKey(section);
}

TEST_F(SqliteLoadTest, CustomViewsFromStatements) {
    ASSERT_TRUE(Load(dir_ / "sample.db"));
    auto database = project_.DB();
    std::string connStr = CustomViewConnStr(project_);
    ASSERT_EQ(LoadADOCustomView(*database, connStr, "big_orders",
                                "SELECT o.order_id, c.email, o.total * 2 AS doubled FROM orders o "
                                "JOIN customers c ON c.customer_id = o.customer_id"),
              0)
        << project_.ProjErr();
    ASSERT_TRUE(TableOf(project_, "big_orders"));
    // Sources by the statement and a refused statement are checked in derived_tables_test.cpp.
    auto email = FieldOf(project_, "big_orders", "email");
    auto doubled = FieldOf(project_, "big_orders", "doubled");
    EXPECT_EQ(email->FldType(), kAdVarChar);
    EXPECT_EQ(email->FldSize(), 120);
    EXPECT_EQ(email->FldSourceName(), "customers.email");
    EXPECT_EQ(doubled->FldType(), kAdVarChar);
    EXPECT_EQ(doubled->FldSourceName(), "o.total * 2");

    EXPECT_EQ(LoadADOCustomView(*database, "Data Source=" + (dir_ / "missing.db"), "x", "SELECT 1"), 3);
    EXPECT_FALSE(TableOf(project_, "x"));

    // The schema reader reads the same statement into a record, touching no project.
    AGPSchema schema;
    ASSERT_TRUE(schema.LoadADOCustomView(connStr, "emails", "SELECT email FROM customers")) << Engine().ProjErr;
    ASSERT_EQ(schema.tblcnt(), 1);
    EXPECT_EQ(schema.Tbl(1)->TblName, "emails");
    EXPECT_EQ(schema.Tbl(1)->TblFields.fld.at(0).FldSize, 120);
    EXPECT_FALSE(TableOf(project_, "emails"));
    AGPSchema missing;
    EXPECT_FALSE(missing.LoadADOCustomView("Data Source=" + (dir_ / "missing.db"), "x", "SELECT 1"));
    EXPECT_LT(missing.tblcnt(), 1);
}

TEST_F(SqliteLoadTest, DynamicLoadRegistersTablesAndLoadTableReadsThemLater) {
    project_.SetDynamicLoadDB(true);
    ASSERT_TRUE(Load(dir_ / "sample.db")) << project_.ProjErr();
    auto orders = TableOf(project_, "orders");
    ASSERT_TRUE(orders);
    EXPECT_FALSE(orders->TblLoaded());
    EXPECT_EQ(orders->Fields()->Count(), 0);
    const int tables = project_.DB()->Tables()->Count();

    ASSERT_TRUE(LoadTable(project_, "orders")) << project_.ProjErr();
    orders = TableOf(project_, "orders");
    EXPECT_TRUE(orders->TblLoaded());
    EXPECT_EQ(orders->TblKey(), "order_id");
    EXPECT_TRUE(FieldOf(project_, "orders", "order_id")->FldAutoIncrement());
    EXPECT_EQ(project_.DB()->Tables()->Count(), tables);
    EXPECT_TRUE(MenuList().MenuHasTable("orders"));

    EXPECT_FALSE(LoadTable(project_, "orders"));
    EXPECT_EQ(project_.ProjErr(), ProductMessage("Table orders already loaded!"));
    EXPECT_FALSE(LoadTable(project_, "no_such_table"));
    EXPECT_EQ(project_.ProjErr(), ProductMessage("Table no_such_table not found!"));
    AGP empty;
    EXPECT_FALSE(LoadTable(empty, "orders"));
    EXPECT_EQ(empty.ProjErr(), ProductMessage("Database not loaded!"));
}

// A missing file is not created (tests/integration/cli_schema.sh), and a locked one is reported, not
// waited for.
TEST_F(SqliteLoadTest, BadOrLockedFilesLeaveNoDatabase) {
    std::string text = dir_ / "notes.txt";
    test::WriteFile(text, "This is not a database, just some text that is long enough to fill a header.");
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ / "sample.db").c_str(), &raw), SQLITE_OK);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> writer(raw, sqlite3_close);
    ASSERT_EQ(sqlite3_exec(writer.get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    for (auto [file, reason] :
         {std::pair{dir_ / "missing.db", "missing.db"}, {text, "not a database"}, {dir_ / "sample.db", "locked"}}) {
        EXPECT_FALSE(Load(file));
        EXPECT_NE(project_.ProjErrDb().find(reason), std::string::npos) << project_.ProjErrDb();
        EXPECT_FALSE(project_.DB());
        EXPECT_EQ(project_.DBCnt(), 0);
    }
    EXPECT_EQ(test::ReadFile(text).substr(0, 4), "This");

    // Nothing is left over that would refuse the next load.
    sqlite3_exec(writer.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    EXPECT_TRUE(Load(dir_ / "sample.db")) << project_.ProjErr();
}

TEST_F(SqliteLoadTest, ArgumentChecksAndAConnectionString) {
    LoadDbArgs args;
    args.sDbType = "SQLITE";
    EXPECT_FALSE(LoadDB(project_, args));
    EXPECT_EQ(project_.ProjErr(), "invalid connection string specified!");
    args.sDbType = "ACCESS";
    EXPECT_FALSE(LoadDB(project_, args));
    EXPECT_EQ(project_.ProjErr(), "invalid database path!");
    args.sDbType = "ODBC";
    args.sDbName = "no_such_dsn_here";
    EXPECT_FALSE(LoadDB(project_, args));
    EXPECT_FALSE(project_.ProjErr().empty());
    EXPECT_EQ(project_.DBCnt(), 0);

    // Oracle has no client library here: a clear message instead of a connection attempt.
    args = LoadDbArgs{};
    args.sDbType = "oracle";
    args.sConnStr = "Data Source=orahost:1521/XE;User Id=shop;";
    EXPECT_FALSE(LoadDB(project_, args));
    EXPECT_NE(project_.ProjErr().find("use an ODBC connection"), std::string::npos) << project_.ProjErr();
    EXPECT_EQ(project_.DBCnt(), 0);

    ServerDbArgs server;
    server.sDbType = "postgresql";
    EXPECT_FALSE(LoadDBMySQL(project_, server));
    EXPECT_EQ(project_.ProjErr(), "Invalid DBName specified!");

    // A connection string names the file; the database takes a default name.
    args = LoadDbArgs{};
    args.sDbType = "SQLITE";
    args.sConnStr = "Data Source=" + (dir_ / "sample.db") + ";";
    ASSERT_TRUE(LoadDB(project_, args)) << project_.ProjErr();
    EXPECT_EQ(project_.DB()->DBName(), "DB");
    EXPECT_EQ(project_.DB()->DBVar(), "DB");
    EXPECT_EQ(project_.DB()->DBPhyPath(), dir_ / "sample.db");
}

TEST_F(SqliteLoadTest, DuplicateColumnNamesStopGenerationAndUnreadableTablesKeepDefaults) {
    // Databases rename colliding view columns themselves; custom SQL can still yield them.
    db::TableInfo info;
    info.name = "ab";
    info.type = "VIEW";
    for (const char* name : {"id", "Name", "NAME"}) {
        db::ColumnInfo column;
        column.name = name;
        column.adoType = kAdVarChar;
        info.columns.push_back(column);
    }
    AGPTable table;
    table.SetTblName("ab");
    LoadTableColumns(table, info, LoadRoute::Ado, kDbSqlite);
    EXPECT_FALSE(table.TblGen());
    EXPECT_EQ(table.TblError(), ProductMessage("Duplicate Column Name - NAME found! ASP scripts may not be generated "
                                               "correctly! Please rename duplicated field names to ensure correct "
                                               "generation!"));
    EXPECT_EQ(table.Fields()->Count(), 2);
    EXPECT_TRUE(table.TblLoaded());

    // A table the catalogue could not read keeps its defaults only.
    db::TableInfo gone;
    gone.name = "gone";
    gone.type = "TABLE";
    gone.error = "table not found: gone";
    AGPTable unread;
    unread.SetTblName("gone");
    LoadTableColumns(unread, gone, LoadRoute::Bridge, kDbPostgreSql);
    EXPECT_FALSE(unread.TblGen());
    EXPECT_FALSE(unread.TblLoaded());
    EXPECT_EQ(unread.TblError(), "table not found: gone");
    EXPECT_EQ(unread.TblCaption(), "Gone");
}

}  // namespace
}  // namespace velmora
