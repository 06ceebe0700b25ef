// The PostgreSQL and MySQL routes against the local test servers: the sample shop schema, and the
// failures a user meets (wrong password, no such database, no server, a table dropped while the
// catalogue is read).
#include <algorithm>
#include <climits>
#include <regex>
#include <span>
#include <tuple>

#include "db_servers.h"

namespace velmora::test {
namespace {

using db::CatalogueError;
using db::ColumnInfo;
using db::ConnectOptions;
using db::TableInfo;
using Reason = CatalogueError::Reason;

std::vector<TableInfo> ReadAll(const ConnectOptions& options) {
    auto catalogue = db::OpenCatalogue(options);
    auto tables = catalogue->ListTables();
    catalogue->ReadColumns(tables);
    return tables;
}

std::vector<std::string> Names(const std::vector<TableInfo>& tables) {
    std::vector<std::string> names;
    for (const auto& table : tables) names.push_back(table.name);
    return names;
}

const std::regex kDottedVersion(R"(\d+(\.\d+)+)");

// ---- The sample schema, alike on both servers ----------------------------------------------

class DbServerSample : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_SERVER(PgOptions("velmora_sample"));
        REQUIRE_SERVER(MySqlOptions("velmora_sample"));
    }
    static std::vector<ConnectOptions> Servers() { return {PgOptions("velmora_sample"), MySqlOptions("velmora_sample")}; }
};

TEST_F(DbServerSample, TablesViewsKeysAndUniqueness) {
    for (const auto& options : Servers()) {
        auto tables = ReadAll(options);
        EXPECT_EQ(Names(tables), (std::vector<std::string>{"K\xC3\xA4ufer Bewertungen", "categories", "customers",
                                                           "employees", "order_items", "order_summary", "orders",
                                                           "products", "stock", "suppliers", "warehouses"}));
        for (const auto& table : tables) EXPECT_TRUE(table.error.empty()) << table.name << ": " << table.error;
        auto column = [&](const char* table, const char* name) { return ColumnNamed(TableNamed(tables, table), name); };

        // Unique by index, table constraint and column constraint; not the key alone, nor the members
        // of multi-column unique indexes.
        for (auto [table, name, unique] :
             {std::tuple{"customers", "email", true}, {"categories", "name", true}, {"suppliers", "company", true},
              {"products", "sku", true}, {"customers", "customer_id", false}, {"customers", "last_name", false},
              {"customers", "first_name", false}, {"products", "supplier_id", false},
              {"products", "supplier_code", false}})
            EXPECT_EQ(column(table, name).unique, unique) << table << "." << name;

        EXPECT_TRUE(column("customers", "customer_id").autoIncrement);
        EXPECT_FALSE(column("order_items", "order_id").autoIncrement);
        EXPECT_FALSE(column("orders", "customer_id").autoIncrement);
        EXPECT_FALSE(column("customers", "last_name").nullable);
        EXPECT_TRUE(column("customers", "first_name").nullable);

        // Names outside ASCII and with quotes come back as they are.
        const TableInfo& reviews = TableNamed(tables, "K\xC3\xA4ufer Bewertungen");
        ASSERT_EQ(reviews.columns.size(), 5u);
        EXPECT_EQ(reviews.columns[0].name, "Bewertung Nr");
        EXPECT_TRUE(reviews.columns[0].autoIncrement);
        EXPECT_TRUE(reviews.columns[0].primaryKey);
        EXPECT_EQ(reviews.columns[3].name, "Kommentar \"kurz\"");
        EXPECT_EQ(reviews.columns[4].name, "Datum [UTC]");
    }
}

// The server's own databases are not offered; PostgreSQL's templates are none of the user's.
TEST_F(DbServerSample, ServerInfoAndDatabases) {
    auto check = [](ConnectOptions options, const char* dbmsName, const std::regex& dbmsVersion,
                    const char* providerName, const std::vector<std::string>& listed,
                    const std::vector<std::string>& hidden) {
        SCOPED_TRACE(dbmsName);
        auto catalogue = db::OpenCatalogue(options);
        const auto& info = catalogue->Info();
        EXPECT_EQ(info.dbmsName, dbmsName);
        EXPECT_TRUE(std::regex_match(info.dbmsVersion, dbmsVersion)) << info.dbmsVersion;
        EXPECT_EQ(info.providerName, providerName);
        EXPECT_TRUE(std::regex_search(info.providerVersion, kDottedVersion)) << info.providerVersion;

        options.database = "";
        auto databases = db::ListDatabases(options);
        EXPECT_TRUE(std::is_sorted(databases.begin(), databases.end()));
        for (const auto& name : listed) EXPECT_TRUE(std::ranges::count(databases, name)) << name;
        for (const auto& name : hidden) EXPECT_FALSE(std::ranges::count(databases, name)) << name;
    };
    check(PgOptions("velmora_sample"), "PostgreSQL", kDottedVersion, "libpq",
          {"chinook", "velmora_sample", "velmora_scratch", "postgres"}, {"template0", "template1"});
    check(MySqlOptions("velmora_sample"), "MySQL", std::regex(".*MariaDB.*"), "libmariadb",
          {"chinook", "velmora_sample", "velmora_scratch"},
          {"information_schema", "performance_schema", "mysql", "sys"});
}

// ---- The sample schema on PostgreSQL -------------------------------------------------------

// One column as a server's catalogue must report it; nativeType is PostgreSQL's type oid or
// MySQL's field type.
struct ExpectedColumn {
    const char* table;
    const char* column;
    const char* typeName;
    std::int16_t adoType;
    std::int32_t size;
    std::int16_t nativeType;
};

template <db::ConnectOptions (*Options)(const std::string&)>
class SampleTables : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_SERVER(Options("velmora_sample"));
        tables_ = ReadAll(Options("velmora_sample"));
    }
    const ColumnInfo& Column(const std::string& table, const std::string& column) {
        return ColumnNamed(TableNamed(tables_, table), column);
    }
    void ExpectColumns(std::span<const ExpectedColumn> expected) {
        for (const auto& e : expected) {
            SCOPED_TRACE(std::string(e.table) + "." + e.column);
            const ColumnInfo& column = Column(e.table, e.column);
            EXPECT_EQ(column.typeName, e.typeName);
            EXPECT_EQ(column.adoType, e.adoType);
            EXPECT_EQ(column.size, e.size);
            EXPECT_EQ(column.nativeType, e.nativeType);
        }
        EXPECT_EQ(Column("employees", "salary").precision, 12);
    }
    std::vector<TableInfo> tables_;
};

using DbServerPostgres = SampleTables<PgOptions>;

TEST_F(DbServerPostgres, TypesSizesDefaultsAndGeneratedKeys) {
    const ExpectedColumn expected[] = {
        {"customers", "customer_id", "int4", 3, 4, 23},      {"customers", "email", "varchar", 200, 120, 1043},
        {"customers", "is_active", "bool", 11, 1, 16},       {"customers", "birth_date", "date", 133, 4, 1082},
        {"customers", "created_at", "timestamp", 135, 8, 1114}, {"customers", "external_id", "uuid", 72, 16, 2950},
        {"customers", "credit_limit", "numeric", 131, 10, 1700}, {"suppliers", "phone", "bpchar", 129, 20, 1042},
        {"products", "stock_level", "int2", 2, 2, 21},       {"products", "weight_kg", "float4", 4, 4, 700},
        {"products", "description", "text", 201, 0, 25},     {"products", "photo", "bytea", 205, 0, 17},
        {"employees", "employee_id", "int8", 20, 8, 20},     {"employees", "shift_start", "time", 134, 8, 1083},
        {"employees", "salary", "numeric", 131, 12, 1700},   {"orders", "ordered_at", "timestamptz", 135, 8, 1184},
        {"orders", "freight", "float8", 5, 8, 701},          {"warehouses", "location", "point", -1, 16, 600},
        {"stock", "valid_during", "int4range", -1, 0, 3904},
    };
    ExpectColumns(expected);
    EXPECT_TRUE(Column("order_summary", "last_name").nullable);  // views know no constraints
    EXPECT_EQ(Column("customers", "city").defaultValue, "'L''Aquila'::character varying");
    EXPECT_EQ(Column("customers", "email").defaultValue, std::nullopt);
    EXPECT_EQ(Column("orders", "order_id").defaultValue, "nextval('orders_order_id_seq'::regclass)");
    // Identity columns, ALWAYS and BY DEFAULT, are numbered without a default.
    EXPECT_TRUE(Column("categories", "category_id").autoIncrement);
    EXPECT_EQ(Column("categories", "category_id").defaultValue, std::nullopt);
    EXPECT_TRUE(Column("employees", "employee_id").autoIncrement);
}

// ---- Objects created for the test in the scratch database ----------------------------------

template <db::ConnectOptions (*Options)(const std::string&)>
class Scratch : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_SERVER(Options("velmora_scratch")); }
};

using DbServerPostgresScratch = Scratch<PgOptions>;

// A table dropped between listing and reading gets an error of its own while the others are read as
// they are now; a MariaDB view over a changed table cannot be read (PostgreSQL refuses such a change).
TEST(DbServerScratch, DroppedTableAndBrokenViewGetErrors) {
    const struct {
        ConnectOptions options;
        const char* notFound;  // the error before the table's name
        const char* change;
        bool viewBreaks;
    } servers[] = {
        {PgOptions("velmora_scratch"), "table not found: public.", " ADD COLUMN other int", false},
        {MySqlOptions("velmora_scratch"), "table not found: ", " DROP COLUMN id, ADD COLUMN other int", true}};
    for (const auto& server : servers) {
        REQUIRE_SERVER(server.options);
        SCOPED_TRACE(server.notFound);
        Session session(server.options);
        std::string vanishingName = ScratchName("vanishing");
        std::string stayingName = ScratchName("staying");
        std::string viewName = ScratchName("broken_view");
        session.Run("CREATE TABLE " + vanishingName + " (id int PRIMARY KEY)");
        session.Run("CREATE TABLE " + stayingName + " (id int PRIMARY KEY, note text)");
        session.Run("CREATE VIEW " + viewName + " AS SELECT id FROM " + stayingName);
        AtExit cleanup{[&] {
            session.Run("DROP VIEW IF EXISTS " + viewName);
            session.Run("DROP TABLE IF EXISTS " + vanishingName + ", " + stayingName);
        }};
        auto catalogue = db::OpenCatalogue(server.options);
        auto tables = catalogue->ListTables();
        EXPECT_EQ(TableNamed(tables, viewName).type, "VIEW");
        EXPECT_EQ(TableNamed(tables, vanishingName).type, "TABLE");
        session.Run("DROP TABLE " + vanishingName);
        session.Run("ALTER TABLE " + stayingName + server.change);

        catalogue->ReadColumns(tables);
        EXPECT_EQ(TableNamed(tables, vanishingName).error, server.notFound + vanishingName);
        EXPECT_TRUE(TableNamed(tables, vanishingName).columns.empty());
        EXPECT_EQ(TableNamed(tables, viewName).error.empty(), !server.viewBreaks);
        EXPECT_EQ(TableNamed(tables, viewName).columns.empty(), server.viewBreaks);
        const TableInfo& staying = TableNamed(tables, stayingName);
        EXPECT_TRUE(staying.error.empty());
        ASSERT_FALSE(staying.columns.empty());
        EXPECT_EQ(staying.columns.back().name, "other");
    }
}

TEST_F(DbServerPostgresScratch, DomainsMapByTheirBaseTypeAndEmptyTablesAreFound) {
    Session session(PgOptions("velmora_scratch"));
    std::string domain = ScratchName("short_code");
    std::string mood = ScratchName("mood");
    std::vector<TableInfo> tables(2);
    tables[0].schema = tables[1].schema = "public";
    tables[0].name = ScratchName("with_domain");
    tables[1].name = ScratchName("no_columns");
    session.Run("CREATE DOMAIN " + domain + " AS varchar(30)");
    session.Run("CREATE TYPE " + mood + " AS ENUM ('ok', 'so \"so\"')");
    session.Run("CREATE EXTENSION IF NOT EXISTS citext");
    session.Run("CREATE TABLE " + tables[0].name + " (code " + domain +
                " UNIQUE, tags int4[], g int GENERATED ALWAYS AS (1) STORED, m " + mood +
                ", doc tsvector, n name, c citext)");
    session.Run("CREATE TABLE " + tables[1].name + " ()");
    AtExit cleanup{[&] {
        session.Run("DROP TABLE IF EXISTS " + tables[0].name + ", " + tables[1].name);
        session.Run("DROP DOMAIN IF EXISTS " + domain);
        session.Run("DROP TYPE IF EXISTS " + mood);
    }};
    db::OpenCatalogue(PgOptions("velmora_scratch"))->ReadColumns(tables);

    ASSERT_EQ(tables[0].columns.size(), 7u);
    const ColumnInfo& code = tables[0].columns[0];
    EXPECT_EQ(code.typeName, "varchar");  // a domain goes by its base type
    EXPECT_EQ(code.adoType, 200);
    EXPECT_EQ(code.size, 30);
    EXPECT_TRUE(code.unique);
    EXPECT_EQ(tables[0].columns[1].typeName, "_int4");
    EXPECT_EQ(tables[0].columns[1].adoType, 201);  // edited in its text form
    // A generated column's expression is no default, and the column is never written.
    EXPECT_EQ(tables[0].columns[2].defaultValue, std::nullopt);
    EXPECT_TRUE(tables[0].columns[2].computed);
    // An enumeration is a value list of its labels; a full-text vector is shown, never written.
    const ColumnInfo& m = tables[0].columns[3];
    EXPECT_TRUE(m.isEnum);
    EXPECT_EQ(m.adoType, 202);
    EXPECT_EQ(m.size, 7);
    EXPECT_EQ(m.tagValues, "\"ok\",\"ok\"\r\n\"so \"\"so\"\"\",\"so \"\"so\"\"\"");
    EXPECT_TRUE(tables[0].columns[4].computed);
    // The identifier type and the extension's case-blind text are text like any other.
    EXPECT_EQ(std::tuple(tables[0].columns[5].adoType, tables[0].columns[5].size), std::tuple(200, 63));
    EXPECT_EQ(tables[0].columns[6].adoType, 201);
    EXPECT_TRUE(tables[1].error.empty());
    EXPECT_TRUE(tables[1].columns.empty());
}

// ---- The sample schema on MariaDB ----------------------------------------------------------

using DbServerMySql = SampleTables<MySqlOptions>;

TEST_F(DbServerMySql, TypesSizesDefaultsAndValueLists) {
    const ExpectedColumn expected[] = {
        {"customers", "customer_id", "int", 3, 10, 3},          {"customers", "email", "varchar", 200, 120, 253},
        {"customers", "is_active", "tinyint", 11, 3, 1},        {"customers", "birth_date", "date", 133, 0, 10},
        {"customers", "created_at", "timestamp", 135, 0, 7},    {"customers", "newsletter", "bit", 11, 1, 16},
        {"customers", "credit_limit", "decimal", 131, 10, 246}, {"suppliers", "supplier_id", "int", 19, 10, 3},
        {"suppliers", "phone", "char", 129, 20, 254},           {"products", "stock_level", "smallint", 2, 5, 2},
        {"products", "weight_kg", "float", 4, 12, 4},           {"products", "description", "longtext", 201, INT_MAX, 252},
        {"products", "photo", "longblob", 205, INT_MAX, 252},   {"employees", "employee_id", "bigint", 20, 19, 8},
        {"employees", "shift_start", "time", 134, 0, 11},       {"employees", "notes", "mediumtext", 201, 16777215, 252},
        {"orders", "ordered_at", "datetime", 135, 0, 12},       {"orders", "freight", "double", 5, 22, 5},
        {"stock", "reorder_level", "tinyint", 17, 3, 1},        {"warehouses", "location", "point", -1, 0, 255},
        {"warehouses", "opened_on", "year", 2, 0, 13},          {"warehouses", "code", "binary", 128, 4, 254},
        {"warehouses", "checksum", "varbinary", 204, 32, 253}, {"orders", "status", "enum", 202, 9, 247},
        {"products", "labels", "set", 202, 29, 248},
    };
    ExpectColumns(expected);
    // Defaults come bare: no quotes, nothing doubled (quoted literals in WrittenColumnsLiteralsAndForeignKeys).
    EXPECT_EQ(Column("customers", "city").defaultValue, "L'Aquila");
    EXPECT_EQ(Column("customers", "created_at").defaultValue, "current_timestamp()");
    EXPECT_EQ(Column("customers", "email").defaultValue, std::nullopt);  // not null, no default
    EXPECT_EQ(Column("products", "labels").tagValues,
              "\"new\",\"new\"\r\n\"sale\",\"sale\"\r\n\"organic\",\"organic\"\r\n\"kids' choice\",\"kids' choice\"");
}

using DbServerMySqlScratch = Scratch<MySqlOptions>;

// Columns the server writes, quoted literals of value lists and defaults, and a two-column foreign key.
TEST_F(DbServerMySqlScratch, WrittenColumnsLiteralsAndForeignKeys) {
    Session session(MySqlOptions("velmora_scratch"));
    std::vector<TableInfo> tables(2);
    tables[0].name = ScratchName("fk_master");
    tables[1].name = ScratchName("fk_detail");
    session.Run("CREATE TABLE " + tables[0].name +
                " (a int, b int, e enum('a''b','c\\\\d','x\"y','p,q') DEFAULT 'a''b', "
                "s varchar(20) DEFAULT 'it''s \\\\ ok', n varchar(5) DEFAULT 'NULL', m varchar(5) DEFAULT NULL, "
                "PRIMARY KEY (a, b))");
    session.Run("CREATE TABLE " + tables[1].name + " (x int, y int, len int AS (x + 1) VIRTUAL, "
                "stamp timestamp NOT NULL DEFAULT CURRENT_TIMESTAMP ON UPDATE CURRENT_TIMESTAMP, "
                "CONSTRAINT two FOREIGN KEY (x, y) REFERENCES " + tables[0].name + " (a, b))");
    AtExit cleanup{[&] { session.Run("DROP TABLE IF EXISTS " + tables[1].name + ", " + tables[0].name); }};
    auto catalogue = db::OpenCatalogue(MySqlOptions("velmora_scratch"));
    catalogue->ReadColumns(tables);
    ASSERT_EQ(tables[0].columns.size(), 6u);
    const ColumnInfo& e = tables[0].columns[2];
    EXPECT_EQ(e.tagValues, "\"a'b\",\"a'b\"\r\n\"c\\d\",\"c\\d\"\r\n\"x\"y\",\"x\"y\"\r\n\"p,q\",\"p,q\"");
    EXPECT_EQ(e.defaultValue, "a'b");
    EXPECT_EQ(tables[0].columns[3].defaultValue, "it's \\ ok");
    EXPECT_EQ(tables[0].columns[4].defaultValue, "NULL");  // the text, not the absence
    EXPECT_EQ(tables[0].columns[5].defaultValue, std::nullopt);
    ASSERT_EQ(tables[1].columns.size(), 4u);
    EXPECT_TRUE(tables[1].columns[2].computed);
    EXPECT_FALSE(tables[1].columns[3].computed);
    EXPECT_TRUE(tables[1].columns[3].updatedByDatabase);
    auto keys = catalogue->ReadForeignKeys();
    auto key = std::find_if(keys.begin(), keys.end(), [&](const auto& k) { return k.table == tables[1].name; });
    ASSERT_NE(key, keys.end());
    EXPECT_EQ(key->name, "two");
    EXPECT_EQ(key->refTable, tables[0].name);
    EXPECT_EQ(key->columns, (std::vector<std::pair<std::string, std::string>>{{"x", "a"}, {"y", "b"}}));
}

// ---- Failures on both routes ---------------------------------------------------------------

TEST(DbServerErrors, WrongLoginDatabaseOrPortSayWhich) {
    for (const auto& server : {PgOptions("velmora_sample"), MySqlOptions("velmora_sample")}) {
        REQUIRE_SERVER(server);
        // A wrong password is refused through the load's message in tests/integration/cli_schema.sh.
        auto options = server;
        options.user = "nobody_here";
        EXPECT_EQ(OpenFailure(options).value().reason(), Reason::Login);
        EXPECT_THROW(db::ListDatabases(options), CatalogueError);
        options = server;
        options.database = "velmora_missing";
        EXPECT_EQ(OpenFailure(options).value().reason(), Reason::NoDatabase);
        options = server;
        options.port = 1;  // nothing listens there
        EXPECT_EQ(OpenFailure(options).value().reason(), Reason::Connect);
        EXPECT_THROW(db::ListDatabases(options), CatalogueError);
    }
}

}  // namespace
}  // namespace velmora::test
