// Loading from the PostgreSQL and MariaDB test servers (by server arguments, by connection
// string and over ODBC) and from Access files: keys, types, defaults and auto-increment by the
// rules of each route, Chinook alike in every dialect, and the schema reader's records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <tuple>

#include "model/core/data_types.h"
#include "model/entities/databases.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "schema/foreign_keys.h"
#include "schema/load_steps.h"
#include "schema/schema_load.h"
#include "schema/schema_reader.h"
#include "schema_test_support.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "unit/db/db_servers.h"

namespace velmora {
namespace {

using test::FieldOf;
using test::TableOf;

ServerDbArgs Server(const std::string& type, const std::string& database) {
    return {database, type, "127.0.0.1", type == "mysql" ? "3306" : "5432", "velmora", "velmora", "", "", "", ""};
}

LoadDbArgs Args(const std::string& type, const std::string& connStr, const std::string& path = "") {
    LoadDbArgs args;
    args.sDbType = type;
    args.sConnStr = connStr;
    args.sPhyPath = path;
    return args;
}

std::string PgOdbc(const std::string& database) {
    return "Driver=PostgreSQL Unicode;Server=127.0.0.1;Port=5432;Database=" + database + ";Uid=velmora;Pwd=velmora";
}

class ServerLoadTest : public testing::Test {
protected:
    void SetUp() override {
        SetStatusSink(std::make_shared<NullStatusSink>());
        MenuList().Clear();
    }
    void TearDown() override { SetStatusSink(nullptr); }
};

using DbServerPgLoad = ServerLoadTest;
using DbServerMySqlLoad = ServerLoadTest;
using DbServerChinookLoad = ServerLoadTest;
using AccessLoad = ServerLoadTest;

// One database loaded by every route: SQLite from `sqliteSql`, the two servers by their
// arguments, and PostgreSQL over ODBC.
struct Dialects {
    AGP sqlite, pg, mysql, odbc;
};

void LoadEveryDialect(Dialects& d, const test::TempDir& dir, const std::string& sqliteSql,
                      const std::string& database) {
    test::MakeSqliteDatabase(dir / "file.db", test::SourcePath(sqliteSql));
    ASSERT_TRUE(LoadDB(d.sqlite, Args("SQLITE", "", dir / "file.db"))) << d.sqlite.ProjErr();
    ASSERT_TRUE(LoadDBMySQL(d.pg, Server("postgresql", database))) << d.pg.ProjErr();
    ASSERT_TRUE(LoadDBMySQL(d.mysql, Server("mysql", database))) << d.mysql.ProjErr();
    ASSERT_TRUE(LoadDB(d.odbc, Args("ODBC", PgOdbc(database)))) << d.odbc.ProjErr() << " / " << d.odbc.ProjErrDb();
}

TEST_F(DbServerPgLoad, ServerRouteKeysDefaultsTypesAndCustomViews) {
    REQUIRE_SERVER(test::PgOptions("velmora_sample"));
    AGP project;
    ASSERT_TRUE(LoadDBMySQL(project, Server("postgresql", "velmora_sample"))) << project.ProjErr();
    auto database = project.DB();
    EXPECT_EQ(database->DBQuoteS(), "\"");
    EXPECT_EQ(TableOf(project, "order_items")->TblKey(), "line_no\r\norder_id");
    EXPECT_EQ(TableOf(project, "orders")->TblSchema(), "");  // "public" counts as none

    EXPECT_EQ(FieldOf(project, "customers", "city")->FldDefault().ToText(), "L'Aquila");
    auto serial = FieldOf(project, "customers", "customer_id");
    EXPECT_TRUE(serial->FldAutoIncrement());
    EXPECT_EQ(serial->FldDefault().ToText(), "");
    EXPECT_NE(serial->FldDbDefault().ToText().find("nextval("), std::string::npos);
    EXPECT_TRUE(FieldOf(project, "customers", "email")->FldUniqueIdx());
    EXPECT_EQ(FieldOf(project, "customers", "is_active")->FldHtmlTag(), "CHECKBOX");
    // Types the generator does not handle.
    for (auto [table, field] : {std::pair{"warehouses", "location"}, {"stock", "valid_during"}}) {
        auto unsupported = FieldOf(project, table, field);
        ASSERT_TRUE(unsupported) << field;
        EXPECT_FALSE(unsupported->FldSupport()) << field;
    }

    // A custom view's columns take the types the server gives its results.
    ASSERT_EQ(LoadzvCustomView(*database, "totals",
                               "SELECT customer_id, sum(total) AS spent, max(ordered_at) AS latest FROM orders "
                               "GROUP BY customer_id"),
              0)
        << project.ProjErr();
    EXPECT_EQ(FieldOf(project, "totals", "spent")->FldType(), kAdNumeric);
    EXPECT_EQ(FieldOf(project, "totals", "latest")->FldTypeName(), "timestamptz");
    EXPECT_EQ(LoadzvCustomView(*database, "bad", "SELECT * FROM no_such_table"), 0);
    EXPECT_NE(TableOf(project, "bad")->TblCustomError().find("does not exist"), std::string::npos);
}

TEST_F(DbServerPgLoad, ConnectionStringRouteUsesProviderRules) {
    REQUIRE_SERVER(test::PgOptions("velmora_sample"));
    AGP project;
    LoadDbArgs args = Args("postgresql", "Server=127.0.0.1;Port=5432;Database=velmora_sample;Uid=velmora;Pwd=velmora");
    ASSERT_TRUE(LoadDB(project, args)) << project.ProjErr();
    EXPECT_EQ(TableOf(project, "orders")->TblSchema(), "public");
    auto active = FieldOf(project, "customers", "is_active");
    EXPECT_EQ(active->FldType(), kAdBoolean);
    EXPECT_EQ(active->FldTagValues(), "\"0\",\"No\"\r\n\"1\",\"Yes\"");
    auto email = FieldOf(project, "customers", "email");
    EXPECT_EQ(email->NativeDataType(), kAdVarChar);
    EXPECT_TRUE(email->FldAttribute() & 0x4);
    EXPECT_FALSE(FieldOf(project, "warehouses", "location")->FldGenerate());
    EXPECT_EQ(TableOf(project, "stock")->TblKey(), "product_id\r\nwarehouse_id");
    EXPECT_EQ(CustomViewConnStr(project), args.sConnStr);
}

TEST_F(DbServerPgLoad, DynamicLoadAndLaterTables) {
    REQUIRE_SERVER(test::PgOptions("chinook"));
    AGP project;
    project.SetDynamicLoadDB(true);
    ASSERT_TRUE(LoadDBMySQL(project, Server("postgresql", "chinook"))) << project.ProjErr();
    auto album = TableOf(project, "album");
    ASSERT_TRUE(album);
    EXPECT_FALSE(album->TblLoaded());
    EXPECT_EQ(album->Fields()->Count(), 0);

    ASSERT_TRUE(LoadTableMySQL(project, "album")) << project.ProjErr();
    album = TableOf(project, "album");
    EXPECT_TRUE(album->TblLoaded());
    EXPECT_EQ(album->Fields()->Count(), 3);
    EXPECT_EQ(album->TblKey(), "album_id");
    EXPECT_EQ(project.DB()->Tables()->Count(), 11);

    EXPECT_FALSE(LoadTableMySQL(project, "album"));
    EXPECT_EQ(project.ProjErr(), ProductMessage("Table album already loaded!"));
    EXPECT_FALSE(LoadTableMySQL(project, "no_such_table"));
    EXPECT_FALSE(project.ProjErr().empty());
}

TEST_F(DbServerPgLoad, ConnectOnlyLinkModeAndDatabaseNames) {
    REQUIRE_SERVER(test::PgOptions("chinook"));
    AGPDatabase database;
    EXPECT_EQ(LoadzvDB(database, Server("postgresql", "chinook"), "@", "@"), 0) << Engine().ProjErr;
    EXPECT_EQ(database.Tables()->Count(), 0);
    EXPECT_FALSE(database.DBDBMSVer().empty());

    EXPECT_EQ(LoadzvDB(database, Server("postgresql", "chinook"), "artist", "singers"), 0) << Engine().ProjErr;
    auto link = database.Tables()->Find(Variant(std::string("singers")));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->TblType(), "LINKTABLE");
    EXPECT_EQ(link->LinkTableType(), "TABLE");
    EXPECT_EQ(link->LinkTableName(), "artist");
    EXPECT_EQ(link->TblKey(), "artist_id");

    AGP project;
    ServerDbArgs server = Server("postgresql", "");
    std::string names = LoadDatabaseNames(project, server);
    EXPECT_NE(names.find("chinook\r\n"), std::string::npos) << names;
    server.sPwd = "wrong";
    EXPECT_EQ(LoadDatabaseNames(project, server), "");
    EXPECT_FALSE(project.ProjErr().empty());
}

// A wrong password is refused through velmora new (tests/integration/cli_schema.sh).
TEST_F(DbServerPgLoad, FailuresLeaveNoDatabase) {
    REQUIRE_SERVER(test::PgOptions("chinook"));
    AGP project;
    ServerDbArgs closedPort = Server("postgresql", "chinook");
    closedPort.sPort = "1";
    for (auto [args, reason] :
         {std::pair{Server("postgresql", "no_such_database"), "does not exist"}, {closedPort, ""}}) {
        EXPECT_FALSE(LoadDBMySQL(project, args));
        EXPECT_FALSE(project.ProjErr().empty());
        EXPECT_NE(project.ProjErrDb().find(reason), std::string::npos) << project.ProjErrDb();
        EXPECT_FALSE(project.DB());
    }
    EXPECT_TRUE(LoadDBMySQL(project, Server("postgresql", "chinook"))) << project.ProjErr();
}

TEST_F(DbServerMySqlLoad, EnumsSetsQuotesAndCustomViews) {
    REQUIRE_SERVER(test::MySqlOptions("velmora_sample"));
    AGP project;
    ASSERT_TRUE(LoadDBMySQL(project, Server("mysql", "velmora_sample"))) << project.ProjErr();
    EXPECT_EQ(project.DB()->DBQuoteS(), "`");
    auto status = FieldOf(project, "orders", "status");
    EXPECT_EQ(status->FldType(), kAdVarWChar);
    EXPECT_EQ(status->FldTagValues().rfind("\"new\",\"new\"\r\n", 0), 0u) << status->FldTagValues();
    EXPECT_EQ(status->FldHtmlTag(), "RADIO");
    EXPECT_EQ(status->FldDefault().ToText(), "new");
    EXPECT_EQ(FieldOf(project, "products", "labels")->FldHtmlTag(), "CHECKBOX");

    auto database = project.DB();
    ASSERT_EQ(LoadzvCustomView(*database, "open_orders",
                               "SELECT o.order_id, o.status, c.email FROM orders o "
                               "JOIN customers c ON c.customer_id = o.customer_id WHERE o.status <> 'cancelled'"),
              0)
        << project.ProjErr();
    auto view = TableOf(project, "open_orders");
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->TblGen());
    EXPECT_EQ(FieldOf(project, "open_orders", "email")->FldType(), kAdVarChar);
    EXPECT_EQ(FieldOf(project, "open_orders", "email")->FldSize(), 120);
    EXPECT_EQ(FieldOf(project, "open_orders", "order_id")->FldType(), kAdInteger);

    ASSERT_EQ(LoadzvCustomView(*database, "twice", "SELECT email, email FROM customers"), 0);
    EXPECT_EQ(TableOf(project, "twice")->TblCustomError(),
              "Columns with same field name: email. Please create Alias for the fields.");
    EXPECT_FALSE(TableOf(project, "twice")->TblGen());
}

TEST_F(DbServerPgLoad, CustomViewOverOdbc) {
    REQUIRE_SERVER(test::PgOptions("chinook"));
    AGP project;
    ASSERT_TRUE(LoadDB(project, Args("ODBC", PgOdbc("chinook")))) << project.ProjErr();
    ASSERT_EQ(LoadADOCustomView(*project.DB(), CustomViewConnStr(project), "titles",
                                "SELECT a.title, r.name FROM album a JOIN artist r ON r.artist_id = a.artist_id"),
              0)
        << project.ProjErr();
    auto title = FieldOf(project, "titles", "title");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->FldSize(), 160);
    EXPECT_EQ(FldTypeCategory(title->FldType()), kCatString);
}

TEST_F(DbServerMySqlLoad, OdbcDataSourceByName) {
    REQUIRE_SERVER(test::MySqlOptions("velmora_sample"));
    test::TempDir dir;
    test::WriteFile(dir / "odbc.ini", "[velmora_shop]\nDriver = MariaDB Unicode\nServer = 127.0.0.1\nPort = 3306\n"
                                      "Database = velmora_sample\n");
    const char* previous = std::getenv("ODBCINI");
    std::string saved = previous ? previous : "";
    setenv("ODBCINI", (dir / "odbc.ini").c_str(), 1);
    AGP project;
    LoadDbArgs args;
    args.sDbName = "velmora_shop";
    args.sDbType = "ODBC";
    args.sUID = "velmora";
    args.sPwd = "velmora";
    bool loaded = LoadDB(project, args);
    if (previous) setenv("ODBCINI", saved.c_str(), 1); else unsetenv("ODBCINI");
    ASSERT_TRUE(loaded) << project.ProjErr() << " / " << project.ProjErrDb();
    EXPECT_EQ(project.DB()->DBName(), "velmora_shop");
    EXPECT_EQ(project.DB()->DBConnstr(), "dsn=velmora_shop;uid=velmora;pwd=velmora");
    EXPECT_EQ(CustomViewConnStr(project), "dsn=velmora_shop;uid=velmora;pwd=velmora");
    EXPECT_EQ(TableOf(project, "order_items")->TblKey(), "line_no\r\norder_id");
    EXPECT_TRUE(FieldOf(project, "customers", "customer_id")->FldAutoIncrement());
    EXPECT_TRUE(FieldOf(project, "customers", "email")->FldReq());
}

// Names, keys, sizes and the end of the records are checked from a script on SQLite
// (tests/integration/derived_tables.sh).
TEST_F(DbServerMySqlLoad, SchemaReaderRecords) {
    REQUIRE_SERVER(test::MySqlOptions("chinook"));
    AGPSchema schema;
    ASSERT_TRUE(schema.LoadDBMySQL(Server("mysql", "chinook"))) << Engine().ProjErr;
    EXPECT_EQ(schema.tblcnt(), 11);
    EXPECT_EQ(schema.DB().DBName, "chinook");
    const AGSchemaTable* album = schema.Tbl(1);
    ASSERT_TRUE(album);
    EXPECT_EQ(album->TblSeq, 1);
    EXPECT_EQ(album->TblFldCnt, 3);
    EXPECT_EQ(album->TblFields.fld[1].FldSeq, 2);
    EXPECT_FALSE(schema.LoadDBMySQL(Server("mysql", "chinook")));
    EXPECT_EQ(Engine().ProjErr, "database already loaded!");

    AGPSchema one;
    ASSERT_TRUE(one.LoadDBMySQL(Server("mysql", "chinook"), "Track"));
    EXPECT_EQ(one.tblcnt(), 1);

    // A custom view's statement as the only record, with its fields' sources.
    AGPSchema view;
    ASSERT_TRUE(view.LoadzvCustomView(Server("mysql", "chinook"), "long_tracks",
                                      "SELECT t.Name, t.Milliseconds / 1000 AS seconds FROM Track t"))
        << Engine().ProjErr;
    ASSERT_EQ(view.tblcnt(), 1);
    EXPECT_EQ(view.Tbl(1)->TblType, "CUSTOMVIEW");
    ASSERT_EQ(view.Tbl(1)->TblFldCnt, 2);
    EXPECT_EQ(view.Tbl(1)->TblFields.fld[0].FldName, "Name");
    EXPECT_EQ(view.Tbl(1)->TblFields.fld[1].FldName, "seconds");
}

// Chinook's tables and columns by normalised name: PostgreSQL spells them album_id, the others
// AlbumId.
using ColumnFacts = std::map<std::string, std::tuple<int, bool, bool, int>>;

ColumnFacts Facts(AGP& project) {
    ColumnFacts facts;
    auto normal = [](std::string name) {
        std::erase(name, '_');
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        return name;
    };
    for (const auto& table : project.DB()->Tables()->Items()) {
        for (const auto& field : table->Fields()->Items()) {
            int size = FldTypeCategory(field->FldType()) == kCatString ? field->FldSize() : 0;
            facts[normal(table->TblName()) + "." + normal(field->FldName())] =
                std::tuple{field->FldType(), field->FldIsPrimaryKey(), field->FldReq(), size};
        }
    }
    return facts;
}

// Relations as "master.field>detail.field" and lookups as "table.field>target.key:display".
std::set<std::string> RelationFacts(AGP& project) {
    std::set<std::string> facts;
    for (const auto& relation : project.MasterDetails()->Items())
        for (std::int16_t i = 1; i <= relation->FieldCount(); ++i)
            facts.insert(relation->MasterTable() + "." + relation->MasterField(i) + ">" + relation->DetailTable() +
                         "." + relation->DetailField(i));
    for (const auto& table : project.DB()->Tables()->Items())
        for (const auto& field : table->Fields()->Items())
            if (!field->FldTagLnkTbl().empty())
                facts.insert(table->TblName() + "." + field->FldName() + ">" + field->FldTagLnkTbl() + "." +
                             field->FldTagLnkFld() + ":" + field->FldTagLnkDisplay());
    return facts;
}

TEST_F(DbServerPgLoad, ForeignKeysGiveTheSameRelationsOnEveryDialect) {
    REQUIRE_SERVER(test::PgOptions("velmora_sample"));
    REQUIRE_SERVER(test::MySqlOptions("velmora_sample"));
    test::TempDir dir;
    Dialects d;
    ASSERT_NO_FATAL_FAILURE(LoadEveryDialect(d, dir, "examples/sql/sample_sqlite.sql", "velmora_sample"));
    for (AGP* project : {&d.sqlite, &d.pg, &d.mysql, &d.odbc})
        ASSERT_TRUE(LoadForeignKeys(*project)) << project->ProjErr();

    std::set<std::string> expected = RelationFacts(d.sqlite);
    EXPECT_TRUE(expected.contains("orders.order_id>order_items.order_id"));
    EXPECT_TRUE(expected.contains("order_items.product_id>products.product_id:name"));
    EXPECT_TRUE(expected.contains("employees.manager_id>employees.employee_id:full_name"));
    EXPECT_EQ(RelationFacts(d.pg), expected);
    EXPECT_EQ(RelationFacts(d.mysql), expected);
    EXPECT_EQ(RelationFacts(d.odbc), expected);
}

TEST_F(DbServerChinookLoad, SameSchemaFromEveryDialectAndRoute) {
    REQUIRE_SERVER(test::PgOptions("chinook"));
    REQUIRE_SERVER(test::MySqlOptions("chinook"));
    test::TempDir dir;
    Dialects d;
    ASSERT_NO_FATAL_FAILURE(LoadEveryDialect(d, dir, "tests/fixtures/chinook/Chinook_Sqlite.sql", "chinook"));
    EXPECT_EQ(d.odbc.DB()->DBName(), "ODBC");

    // SQLite's NVARCHAR and a Unicode ODBC driver report text in its wide form.
    auto narrowed = [](ColumnFacts facts) {
        for (auto& [name, fact] : facts)
            if (std::get<0>(fact) == kAdVarWChar) std::get<0>(fact) = kAdVarChar;
        return facts;
    };
    ColumnFacts expected = narrowed(Facts(d.sqlite));
    EXPECT_EQ(expected.size(), 64u);
    EXPECT_EQ(Facts(d.pg), expected);
    EXPECT_EQ(Facts(d.mysql), expected);
    EXPECT_EQ(narrowed(Facts(d.odbc)), expected);
}

TEST_F(AccessLoad, NwindThroughTheDaoRoute) {
    std::string path = test::SourcePath("tests/fixtures/access/nwind.mdb");
    AGP project;
    ASSERT_TRUE(LoadDB(project, Args("ACCESS", "", path))) << project.ProjErr();
    auto database = project.DB();
    EXPECT_EQ(database->DBName(), "nwind.mdb");
    EXPECT_EQ(AccessFileName("C:\\Data\\nwind.mdb"), "nwind.mdb");
    EXPECT_EQ(database->DBQuoteS(), "[");
    EXPECT_EQ(CustomViewConnStr(project), "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";");

    auto id = FieldOf(project, "Employees", "EmployeeID");
    EXPECT_TRUE(id->FldAutoIncrement());
    EXPECT_EQ(id->FldAttribute(), 0x10);
    EXPECT_EQ(FieldOf(project, "Employees", "LastName")->FldTypeName(), "VARWCHAR");
    EXPECT_EQ(FieldOf(project, "Products", "ProductName")->FldCaption(), "Product Name");
    for (auto [table, field, type] : {std::tuple{"Employees", "EmployeeID", kAdInteger},
                                      {"Employees", "BirthDate", kAdDBTimeStamp},
                                      {"Employees", "Notes", kAdLongVarWChar},
                                      {"Employees", "LastName", kAdVarWChar},
                                      {"Products", "UnitPrice", kAdCurrency}})
        EXPECT_EQ(FieldOf(project, table, field)->FldType(), type) << field;
    // Relationships of the file are its foreign keys.
    ASSERT_TRUE(LoadForeignKeys(project)) << project.ProjErr();
    EXPECT_TRUE(RelationFacts(project).contains("Categories.CategoryID>Products.CategoryID"));
    EXPECT_TRUE(RelationFacts(project).contains("Products.CategoryID>Categories.CategoryID:CategoryName"));
    EXPECT_TRUE(FieldOf(project, "Products", "ProductName")->FldReq());
    EXPECT_TRUE(FieldOf(project, "Categories", "CategoryName")->FldUniqueIdx());
    EXPECT_EQ(FieldOf(project, "Products", "UnitPrice")->FldDefault().ToText(), "0");

    // A table read again on demand comes back the same through the file's route.
    project.DB()->Tables()->Delete(Variant("Order Details"));
    ASSERT_TRUE(LoadTable(project, "Order Details")) << project.ProjErr();
    EXPECT_EQ(TableOf(project, "Order Details")->TblKey(), "OrderID\r\nProductID");
    EXPECT_TRUE(TableOf(project, "Order Details")->TblLoaded());
}

TEST_F(AccessLoad, AccdbFileAndBadFiles) {
    AGP project;
    LoadDbArgs args = Args("ACCESS", "", test::SourcePath("tests/fixtures/access/ASampleDatabase.accdb"));
    ASSERT_TRUE(LoadDB(project, args)) << project.ProjErr();
    EXPECT_EQ(CustomViewConnStr(project).rfind("Provider=Microsoft.ACE.OLEDB.12.0;", 0), 0u);

    AGP other;
    args.sPhyPath = test::SourcePath("README.md");
    EXPECT_FALSE(LoadDB(other, args));
    EXPECT_EQ(other.ProjErr().rfind("Open MS Access database failed. Error: ", 0), 0u) << other.ProjErr();
    EXPECT_EQ(other.DBCnt(), 0);
}

}  // namespace
}  // namespace velmora
