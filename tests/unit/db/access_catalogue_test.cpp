#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "db_servers.h"
#include "platform/db/catalogue.h"
#include "test_support.h"

namespace velmora::db {
namespace {

using Reason = CatalogueError::Reason;
using test::ColumnNamed;
using test::OpenFailure;
using test::TableNamed;

std::string Fixture(const std::string& name) {
    return std::string(VELMORA_SOURCE_DIR) + "/tests/fixtures/access/" + name;
}

ConnectOptions Options(const std::string& path) {
    ConnectOptions options;
    options.route = ConnectOptions::Route::Access;
    options.path = path;
    return options;
}

struct AccessFile {
    std::unique_ptr<Catalogue> catalogue;
    std::vector<TableInfo> tables;
};

AccessFile ReadAll(const std::string& path) {
    AccessFile file{OpenCatalogue(Options(path)), {}};
    file.tables = file.catalogue->ListTables();
    file.catalogue->ReadColumns(file.tables);
    return file;
}

std::vector<std::string> Names(const std::vector<TableInfo>& tables, const std::string& type) {
    std::vector<std::string> names;
    for (const TableInfo& table : tables)
        if (table.type == type) names.push_back(table.name);
    return names;
}

// The order-processing sample in the Jet 3 format, read once for all its tests.
const AccessFile& Nwind() {
    static const AccessFile nwind = ReadAll(Fixture("nwind.mdb"));
    return nwind;
}
const TableInfo& NwindTable(const std::string& name) { return TableNamed(Nwind().tables, name); }

TEST(AccessNwind, ListsUserTablesByNameWithoutSystemObjects) {
    EXPECT_EQ(Names(Nwind().tables, "TABLE"),
              (std::vector<std::string>{"Categories", "Customers", "Employees", "Order Details", "Orders", "Products",
                                        "Shippers", "Suppliers", "Ums\xC3\xA4tze"}));
    for (const TableInfo& table : Nwind().tables) {
        EXPECT_TRUE(table.error.empty()) << table.name << ": " << table.error;
        EXPECT_FALSE(table.columns.empty()) << table.name;
        EXPECT_TRUE(table.schema.empty());
    }
    const ServerInfo& info = Nwind().catalogue->Info();
    EXPECT_EQ(info.dbmsName, "ACCESS");
    EXPECT_EQ(info.dbmsVersion, "3.0");
    EXPECT_EQ(info.providerName, "libmdb");
}

TEST(AccessNwind, ListsOnlyVisibleSelectQueriesWhoseColumnsAreTraceable) {
    // Left out: computed outputs (Invoices, Order Subtotals), parameters (Employee Sales by
    // Country), a union, a crosstab, and hidden queries (Alphabetical List of Products).
    EXPECT_EQ(Names(Nwind().tables, "VIEW"),
              (std::vector<std::string>{"Current Product List", "Products Above Average Price", "Quarterly Orders",
                                        "Ten Most Expensive Products"}));
}

// The types, keys, captions, Required flags and defaults that the Access load maps into fields are
// checked on the loaded fields (load_servers_test.cpp).
TEST(AccessNwind, KeysAndUniqueIndexes) {
    const TableInfo& details = NwindTable("Order Details");
    for (const ColumnInfo& column : details.columns) EXPECT_FALSE(column.unique) << column.name;
    // Part of the key although its Required property is "no".
    EXPECT_FALSE(ColumnNamed(details, "OrderID").nullable);
    EXPECT_FALSE(ColumnNamed(NwindTable("Categories"), "CategoryID").unique);
}

TEST(AccessNwind, DaoTypesSizesAttributesAndFieldProperties) {
    const TableInfo& employees = NwindTable("Employees");
    EXPECT_TRUE(ColumnNamed(employees, "EmployeeID").autoIncrement);
    EXPECT_EQ(ColumnNamed(employees, "Photo").nativeType, 11);
    EXPECT_EQ(ColumnNamed(employees, "Photo").attributes, 2);
    const ColumnInfo& lastName = ColumnNamed(employees, "LastName");
    EXPECT_EQ(lastName.size, 20);
    EXPECT_EQ(lastName.attributes, 2);
    EXPECT_EQ(employees.columns.front().name, "EmployeeID");
    EXPECT_EQ(employees.columns.back().name, "ReportsTo");

    const TableInfo& products = NwindTable("Products");
    EXPECT_EQ(ColumnNamed(products, "UnitsInStock").nativeType, 3);
    EXPECT_EQ(ColumnNamed(products, "UnitsInStock").size, 2);
    EXPECT_EQ(ColumnNamed(products, "Discontinued").nativeType, 1);
    EXPECT_EQ(ColumnNamed(products, "Discontinued").defaultValue, "=No");
    EXPECT_FALSE(ColumnNamed(products, "ProductName").zeroLength);
    EXPECT_EQ(ColumnNamed(products, "QuantityPerUnit").defaultValue, std::nullopt);
    EXPECT_TRUE(ColumnNamed(products, "QuantityPerUnit").nullable);
    EXPECT_EQ(ColumnNamed(NwindTable("Order Details"), "Discount").nativeType, 6);
    EXPECT_EQ(ColumnNamed(NwindTable("Customers"), "CustomerID").size, 5);
    EXPECT_EQ(ColumnNamed(NwindTable("Customers"), "Address").caption, "");
}

// How outputs are traced to their sources is checked in access_query_columns_test.cpp; here the
// caption a saved query gives its own output, and a join read from the file.
TEST(AccessNwind, QueryCaptionsAndJoinsFromTheFile) {
    const ColumnInfo& alias = ColumnNamed(NwindTable("Ten Most Expensive Products"), "TenMostExpensiveProducts");
    EXPECT_EQ(alias.nativeType, 10);
    EXPECT_EQ(alias.caption, "Ten Most Expensive Products");
    // Customers is the optional side of a right join.
    EXPECT_TRUE(ColumnNamed(NwindTable("Quarterly Orders"), "CompanyName").nullable);
}

TEST(AccessNwind, UnknownTablesGetAnErrorWithoutSpoilingTheRest) {
    std::vector<TableInfo> tables(3);
    tables[0].name = "Shippers";
    tables[1].name = "Dropped Meanwhile";
    tables[2].name = "SHIPPERS";  // Access names ignore case
    Nwind().catalogue->ReadColumns(tables);
    EXPECT_EQ(tables[0].columns.size(), 3u);
    EXPECT_FALSE(tables[1].error.empty());
    EXPECT_TRUE(tables[1].columns.empty());
    EXPECT_EQ(tables[2].columns.size(), 3u);
}

TEST(AccessCatalogue, AccdbAndJet4Files) {
    AccessFile accdb = ReadAll(Fixture("ASampleDatabase.accdb"));
    EXPECT_EQ(accdb.catalogue->Info().dbmsVersion, "12.0");
    EXPECT_EQ(Names(accdb.tables, "TABLE"), (std::vector<std::string>{"Asset Items"}));
    EXPECT_EQ(Names(accdb.tables, "VIEW"), (std::vector<std::string>{"qryComputerHardwareInOwnerOrder"}));
    const TableInfo& assets = TableNamed(accdb.tables, "Asset Items");
    EXPECT_TRUE(ColumnNamed(assets, "Asset No").primaryKey);
    EXPECT_EQ(ColumnNamed(assets, "Asset No").size, 5);  // stored as 10 bytes of UTF-16
    EXPECT_EQ(ColumnNamed(assets, "Comments").nativeType, 12);

    // Beside DateTest the file holds a system-flagged data table and the navigation pane's tables.
    AccessFile jet4 = ReadAll(Fixture("DateTestDatabase.mdb"));
    EXPECT_EQ(jet4.catalogue->Info().dbmsVersion, "4.0");
    ASSERT_EQ(Names(jet4.tables, "TABLE"), (std::vector<std::string>{"DateTest"}));
    EXPECT_EQ(ColumnNamed(jet4.tables[0], "ShortTextCol").size, 255);
    EXPECT_TRUE(ColumnNamed(jet4.tables[0], "ShortTextCol").zeroLength);
    EXPECT_EQ(ColumnNamed(jet4.tables[0], "IDCol").defaultValue, "0");
}

TEST(AccessCatalogue, ReadingNeverChangesTheFile) {
    test::TempDir dir;
    std::string path = dir / "copy.mdb";
    std::filesystem::copy_file(Fixture("nwind.mdb"), path);
    std::string before = test::ReadFile(path);
    auto time = std::filesystem::last_write_time(path);
    ReadAll(path);
    EXPECT_TRUE(test::ReadFile(path) == before);
    EXPECT_EQ(std::filesystem::last_write_time(path), time);
}

TEST(AccessCatalogue, FilesThatAreNoAccessDatabase) {
    test::TempDir dir;
    auto missing = OpenFailure(Options(dir / "missing.mdb"));
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->reason(), Reason::Connect);
    EXPECT_EQ(std::string(missing->what()), "file not found: " + dir / "missing.mdb");

    test::WriteFile(dir / "notes.txt", "just some text, nothing like a database\n");
    test::WriteFile(dir / "empty.mdb", "");
    // A real header with the pages behind it cut off.
    test::WriteFile(dir / "cut.mdb", test::ReadFile(Fixture("nwind.mdb")).substr(0, 3000));
    for (const std::string& path : {dir / "notes.txt", dir / "empty.mdb", dir / "cut.mdb", dir.path().string()}) {
        auto error = OpenFailure(Options(path));
        ASSERT_TRUE(error) << path;
        EXPECT_EQ(error->reason(), Reason::NotADatabase) << path;
    }

    std::string locked = dir / "locked.mdb";
    std::filesystem::copy_file(Fixture("nwind.mdb"), locked);
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    if (access(locked.c_str(), R_OK) == 0) return;  // permissions do not bind this user
    auto unreadable = OpenFailure(Options(locked));
    ASSERT_TRUE(unreadable);
    EXPECT_EQ(unreadable->reason(), Reason::Connect);
    EXPECT_NE(std::string(unreadable->what()).find("Permission denied"), std::string::npos) << unreadable->what();
}

}  // namespace
}  // namespace velmora::db
