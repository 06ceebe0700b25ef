// The ODBC route against the local PostgreSQL and MariaDB servers, through psqlODBC and MariaDB
// Connector/ODBC reached by a driver string (a DSN is loaded in load_servers_test.cpp).
#include <gtest/gtest.h>
#include <sql.h>

#include <algorithm>
#include <cctype>

#include "db_servers.h"
#include "platform/db/catalogue.h"
#include "support/text.h"

namespace velmora::db {
namespace {

using Reason = CatalogueError::Reason;
using test::ColumnNamed;
using test::OpenFailure;
using test::TableNamed;

enum class Server { PostgreSql, MariaDb };

std::string ServerName(Server server) { return server == Server::PostgreSql ? "PostgreSql" : "MariaDb"; }
void PrintTo(Server server, std::ostream* out) { *out << ServerName(server); }

std::string DriverString(Server server, const std::string& database, const std::string& password = "velmora") {
    return std::string(server == Server::PostgreSql ? "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432"
                                                    : "Driver={MariaDB Unicode};Server=127.0.0.1;Port=3306") +
           ";Database=" + database + ";Uid=velmora;Pwd=" + password;
}

ConnectOptions Options(const std::string& connectionString) {
    ConnectOptions options;
    options.route = ConnectOptions::Route::Odbc;
    options.connectionString = connectionString;
    return options;
}

// The MySQL script names Chinook's tables and columns in Pascal case, the PostgreSQL one in
// snake case: "InvoiceLine" there is "invoice_line" here.
std::string Name(Server server, const std::string& pascal) {
    if (server != Server::PostgreSql) return pascal;
    std::string snake;
    for (char c : pascal) {
        if (std::isupper(static_cast<unsigned char>(c)) && !snake.empty()) snake += '_';
        snake += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return snake;
}

class DbServerOdbcChinook : public testing::TestWithParam<Server> {
protected:
    void SetUp() override {
        REQUIRE_SERVER(Options(DriverString(GetParam(), "chinook")));
        catalogue_ = OpenCatalogue(Options(DriverString(GetParam(), "chinook")));
        tables_ = catalogue_->ListTables();
        catalogue_->ReadColumns(tables_);
    }

    const TableInfo& Table(const std::string& name) const { return TableNamed(tables_, Name(GetParam(), name)); }
    const ColumnInfo& Column(const TableInfo& table, const std::string& name) const {
        return ColumnNamed(table, Name(GetParam(), name));
    }

    std::unique_ptr<Catalogue> catalogue_;
    std::vector<TableInfo> tables_;
};

TEST_P(DbServerOdbcChinook, ListsTheTablesOfTheConnectedDatabaseOnly) {
    std::vector<std::string> names;
    for (const TableInfo& table : tables_) {
        EXPECT_EQ(table.type, "TABLE") << table.name;
        EXPECT_EQ(table.schema, GetParam() == Server::PostgreSql ? "public" : "") << table.name;
        EXPECT_TRUE(table.error.empty()) << table.name << ": " << table.error;
        names.push_back(table.name);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected;
    for (const char* name : {"Album", "Artist", "Customer", "Employee", "Genre", "Invoice", "InvoiceLine", "MediaType",
                             "Playlist", "PlaylistTrack", "Track"}) {
        expected.push_back(Name(GetParam(), name));
    }
    EXPECT_EQ(names, expected);

    const ServerInfo& info = catalogue_->Info();
    EXPECT_TRUE(ContainsNoCase(info.dbmsName, GetParam() == Server::PostgreSql ? "PostgreSQL" : "MariaDB"))
        << info.dbmsName;
}

// Types, keys, Required flags and text sizes of every Chinook column over psqlODBC are compared with
// the other routes in load_servers_test.cpp.
TEST_P(DbServerOdbcChinook, KeysTypesAndNullability) {
    const TableInfo& album = Table("Album");
    ASSERT_EQ(album.columns.size(), 3u);
    const ColumnInfo& albumId = Column(album, "AlbumId");
    EXPECT_FALSE(albumId.unique);
    EXPECT_FALSE(albumId.autoIncrement);
    EXPECT_EQ(albumId.nativeType, SQL_INTEGER);
    const ColumnInfo& title = Column(album, "Title");
    EXPECT_TRUE(ContainsNoCase(title.typeName, "varchar")) << title.typeName;
    // A Unicode driver may report either character flavour; the ADO code follows it.
    EXPECT_EQ(title.adoType, title.nativeType == SQL_VARCHAR ? 200 : 202) << title.nativeType;
    EXPECT_FALSE(title.defaultValue);

    const ColumnInfo& price = Column(Table("InvoiceLine"), "UnitPrice");
    // MySQL keeps NUMERIC as DECIMAL.
    EXPECT_EQ(price.adoType, GetParam() == Server::PostgreSql ? 131 : 14);
    EXPECT_EQ(price.precision, 10);
    EXPECT_FALSE(Column(Table("Track"), "Name").nullable);
    EXPECT_EQ(Table("Track").columns.front().name, Name(GetParam(), "TrackId"));

    std::vector<std::string> key;
    for (const ColumnInfo& column : Table("PlaylistTrack").columns) {
        if (column.primaryKey) key.push_back(column.name);
        EXPECT_FALSE(column.unique) << column.name;
    }
    EXPECT_EQ(key, (std::vector<std::string>{Name(GetParam(), "PlaylistId"), Name(GetParam(), "TrackId")}));

    std::vector<TableInfo> again(2);
    again[0] = Table("Genre");
    again[1].schema = again[0].schema;
    again[1].name = "no_such_table";
    catalogue_->ReadColumns(again);
    EXPECT_EQ(again[0].columns.size(), 2u);
    EXPECT_FALSE(again[1].error.empty());
}

// The sample shop: numbering, unsigned and unique columns, and names beyond ASCII.
class DbServerOdbcSample : public testing::TestWithParam<Server> {};

TEST_P(DbServerOdbcSample, NumberedUniqueAndNonAsciiColumns) {
    REQUIRE_SERVER(Options(DriverString(GetParam(), "velmora_sample")));
    auto catalogue = OpenCatalogue(Options(DriverString(GetParam(), "velmora_sample")));
    auto tables = catalogue->ListTables();
    catalogue->ReadColumns(tables);

    const TableInfo& customers = TableNamed(tables, "customers");
    const ColumnInfo& id = ColumnNamed(customers, "customer_id");
    EXPECT_TRUE(id.autoIncrement);  // serial in PostgreSQL, AUTO_INCREMENT in MariaDB
    EXPECT_FALSE(id.nullable);
    EXPECT_TRUE(ColumnNamed(TableNamed(tables, "employees"), "employee_id").autoIncrement);  // an identity
    EXPECT_TRUE(ColumnNamed(customers, "email").unique);
    // Unique only together with first_name and birth_date.
    EXPECT_FALSE(ColumnNamed(customers, "last_name").unique);
    EXPECT_FALSE(ColumnNamed(customers, "first_name").defaultValue);
    EXPECT_NE(ColumnNamed(customers, "city").defaultValue.value_or("").find("Aquila"), std::string::npos);

    EXPECT_EQ(TableNamed(tables, "order_summary").type, "VIEW");
    const TableInfo& reviews = TableNamed(tables, "K\xC3\xA4ufer Bewertungen");
    EXPECT_TRUE(ColumnNamed(reviews, "Bewertung Nr").primaryKey);
    EXPECT_EQ(ColumnNamed(reviews, "Kommentar \"kurz\"").size, 200);

    const ColumnInfo& supplier = ColumnNamed(TableNamed(tables, "products"), "supplier_id");
    EXPECT_EQ(supplier.adoType, GetParam() == Server::MariaDb ? 19 : 3);  // int unsigned in MariaDB
}

TEST_P(DbServerOdbcSample, WrongPasswordIsALoginFailureAndAMissingDatabaseSaysSo) {
    REQUIRE_SERVER(Options(DriverString(GetParam(), "chinook")));
    auto error = OpenFailure(Options(DriverString(GetParam(), "chinook", "not-the-password")));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->reason(), Reason::Login) << error->what();
    if (GetParam() != Server::PostgreSql) return;
    error = OpenFailure(Options(DriverString(GetParam(), "velmora_no_such_database")));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->reason(), Reason::NoDatabase) << error->what();
}

INSTANTIATE_TEST_SUITE_P(Servers, DbServerOdbcChinook, testing::Values(Server::PostgreSql, Server::MariaDb),
                         [](const testing::TestParamInfo<Server>& info) { return ServerName(info.param); });
INSTANTIATE_TEST_SUITE_P(Servers, DbServerOdbcSample, testing::Values(Server::PostgreSql, Server::MariaDb),
                         [](const testing::TestParamInfo<Server>& info) { return ServerName(info.param); });

TEST(OdbcCatalogue, UnknownDsnOrDriverIsAConnectFailure) {
    for (auto [connectionString, message] :
         {std::pair{"dsn=velmora_nowhere;uid=velmora;pwd=velmora", "Data source name not found"},
          {"Driver={Velmora No Such Driver};Server=127.0.0.1", ""},
          {"", ""}}) {
        auto error = OpenFailure(Options(connectionString));
        ASSERT_TRUE(error) << connectionString;
        EXPECT_EQ(error->reason(), Reason::Connect) << connectionString;
        EXPECT_NE(std::string(error->what()).find(message), std::string::npos) << error->what();
    }
}

}  // namespace
}  // namespace velmora::db
