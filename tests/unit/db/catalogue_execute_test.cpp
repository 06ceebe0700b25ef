// Changing a database through a catalogue: only a catalogue opened writable runs statements,
// a failing statement reports the database's own message, and a SQLite file stays untouched
// (and is never created) unless the catalogue is writable.
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>

#include "db_servers.h"
#include "test_support.h"

namespace velmora::test {
namespace {

using db::CatalogueError;
using db::ConnectOptions;
using Reason = CatalogueError::Reason;

struct Refusal {
    Reason reason = Reason::Connect;
    std::string message;
};

// Runs `sql` and returns why it was refused; fails the test when it runs.
Refusal RefusalOf(db::Catalogue& catalogue, const std::string& sql) {
    try {
        catalogue.Execute(sql);
    } catch (const CatalogueError& e) {
        EXPECT_FALSE(std::string(e.what()).empty());
        return {e.reason(), e.what()};
    }
    ADD_FAILURE() << "ran: " << sql;
    return {};
}

// ---- Files ----------------------------------------------------------------------------------

TEST(FileExecute, OnlyAWritableSqliteCatalogueChangesTheFileAndNeitherCreatesOne) {
    TempDir dir;
    ConnectOptions options;
    options.path = dir / "app.db";
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(options.path.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE kept (id INTEGER)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);

    auto before = std::filesystem::last_write_time(options.path);
    EXPECT_EQ(RefusalOf(*db::OpenCatalogue(options), "CREATE TABLE added (id INTEGER)").reason, Reason::Unsupported);
    EXPECT_EQ(std::filesystem::last_write_time(options.path), before);

    options.writable = true;
    auto catalogue = db::OpenCatalogue(options);
    catalogue->Execute("CREATE TABLE added (name VARCHAR(20))");
    EXPECT_EQ(db::OpenCatalogue(options)->ListTables().size(), 2u);
    Refusal failed = RefusalOf(*catalogue, "ALTER TABLE missing ADD COLUMN x INTEGER");
    EXPECT_EQ(failed.reason, Reason::Query);
    EXPECT_NE(failed.message.find("missing"), std::string::npos) << failed.message;

    options.path = dir / "absent.db";
    EXPECT_THROW(db::OpenCatalogue(options), CatalogueError);
    EXPECT_FALSE(std::filesystem::exists(options.path));
}

TEST(FileExecute, AnAccessFileStaysReadOnlyEvenWhenAskedWritable) {
    ConnectOptions options;
    options.route = ConnectOptions::Route::Access;
    options.path = std::string(VELMORA_SOURCE_DIR) + "/tests/fixtures/access/nwind.mdb";
    options.writable = true;
    EXPECT_EQ(RefusalOf(*db::OpenCatalogue(options), "DROP TABLE Customers").reason, Reason::Unsupported);
}

// ---- The servers ----------------------------------------------------------------------------

// The same statements on both servers: one CREATE, one ALTER, one DROP, each checked through a
// second catalogue, so that they are seen committed.
TEST(DbServerExecute, ChangesCommitAndFailuresCarryTheServersMessage) {
    for (auto [readOnly, quote] :
         {std::pair{PgOptions("velmora_scratch"), "\""}, {MySqlOptions("velmora_scratch"), "`"}}) {
        REQUIRE_SERVER(readOnly);
        SCOPED_TRACE(quote);
        std::string table = ScratchName("execute_probe");
        std::string quoted = quote + table + quote;
        ConnectOptions writable = readOnly;
        writable.writable = true;
        auto catalogue = db::OpenCatalogue(writable);
        AtExit drop{[&] { db::OpenCatalogue(writable)->Execute("DROP TABLE IF EXISTS " + quoted); }};

        catalogue->Execute("CREATE TABLE " + quoted + " (name VARCHAR(50))");
        EXPECT_EQ(ColumnSize(readOnly, table, "name"), 50);
        EXPECT_EQ(RefusalOf(*db::OpenCatalogue(readOnly), "DROP TABLE " + quoted).reason, Reason::Unsupported);
        EXPECT_EQ(ColumnSize(readOnly, table, "name"), 50);

        Refusal failed = RefusalOf(*catalogue, "ALTER TABLE " + quoted + " DROP COLUMN no_such_column");
        EXPECT_EQ(failed.reason, Reason::Query);
        EXPECT_NE(failed.message.find("no_such_column"), std::string::npos) << failed.message;
        // The connection is still usable after a failed statement.
        catalogue->Execute("DROP TABLE " + quoted);
        auto listed = db::OpenCatalogue(readOnly)->ListTables();
        EXPECT_TRUE(
            std::none_of(listed.begin(), listed.end(), [&](const db::TableInfo& t) { return t.name == table; }));
    }
}

}  // namespace
}  // namespace velmora::test
