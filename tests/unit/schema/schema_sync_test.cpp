// Checking and synchronising a project against a changed SQLite schema: what changes, what the
// user's settings keep, the key question, derived tables, the log lines.
#include <gtest/gtest.h>

#include <fstream>

#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "platform/prompter.h"
#include "schema/derived_tables.h"
#include "schema/schema_load.h"
#include "schema/schema_sync.h"
#include "schema_test_support.h"
#include "support/engine_state.h"

namespace velmora {
namespace {

using test::FieldOf;
using test::TableOf;

class SchemaSyncTest : public testing::Test {
protected:
    void SetUp() override {
        MenuList().Clear();
        test::MakeSqliteDatabase(dir_ / "shop.db", test::DataPath("schemas/sync_library.sql"));
        LoadDbArgs args;
        args.sDbName = "shop";
        args.sDbType = "SQLITE";
        args.sPhyPath = dir_ / "shop.db";
        ASSERT_TRUE(LoadDB(project_, args)) << project_.ProjErr();
        SetSyncRenames({});
        SetPrompter(prompter_);
    }
    void TearDown() override { SetPrompter(nullptr); }

    void Execute(const std::string& sql) {
        std::ofstream(dir_ / "change.sql") << sql;
        test::MakeSqliteDatabase(dir_ / "shop.db", dir_ / "change.sql");
    }

    test::TempDir dir_;
    AGP project_;
    std::shared_ptr<PolicyPrompter> prompter_ = std::make_shared<PolicyPrompter>();
};

// The captions kept across a rename, the dropped field and the clean check afterwards are checked
// through velmora sync (tests/integration/sync.sh).
TEST_F(SchemaSyncTest, ChangesArriveAndUserSettingsStay) {
    auto title = FieldOf(project_, "book", "title");
    title->SetFldHtmlTag("TEXTAREA");
    auto author = FieldOf(project_, "book", "author_id");
    author->SetFldTagLnkTbl("author");
    author->SetFldTagLnkFld("id");
    author->SetFldTagLnkDisplay("name");
    FieldOf(project_, "book", "cover")->SetFileNameFld("cover_name");
    project_.AddMasterDetail("author", "book");
    project_.AddMasterDetailRelation("author", "book", "id", "author_id");
    ASSERT_TRUE(LoadCustomField(project_, "book", "double_qty", "qty * 2"));
    EXPECT_EQ(CheckDB(project_), 0);

    Execute("ALTER TABLE book RENAME COLUMN qty TO quantity; ALTER TABLE author RENAME COLUMN name TO full_name;"
            "ALTER TABLE book RENAME COLUMN cover_name TO cover_file; ALTER TABLE book DROP COLUMN legacy;"
            "ALTER TABLE book ADD COLUMN isbn VARCHAR(20); DROP TABLE gone; CREATE TABLE shelf (code TEXT PRIMARY KEY);"
            "DROP VIEW titles; CREATE VIEW titles AS SELECT id, title, quantity FROM book;");
    EXPECT_EQ(CheckDB(project_), 5) << "author, book, titles changed; gone dropped; shelf new";
    SyncRenames renames;
    renames.fields["book"] = {{"qty", "quantity"}, {"cover_name", "cover_file"}};
    renames.fields["author"] = {{"name", "full_name"}};
    SetSyncRenames(renames);
    ASSERT_TRUE(SynchronizeDB(project_, false)) << project_.ProjErr();

    EXPECT_EQ(title->FldHtmlTag(), "TEXTAREA");
    EXPECT_TRUE(FieldOf(project_, "book", "isbn"));
    EXPECT_TRUE(FieldOf(project_, "book", "isbn")->FldSync());
    EXPECT_TRUE(FieldOf(project_, "book", "double_qty")) << "custom fields are never deleted";
    EXPECT_FALSE(TableOf(project_, "gone"));
    EXPECT_TRUE(TableOf(project_, "shelf"));
    EXPECT_TRUE(FieldOf(project_, "titles", "quantity"));
    EXPECT_EQ(author->FldTagLnkDisplay(), "full_name");
    EXPECT_EQ(FieldOf(project_, "book", "cover")->FileNameFld(), "cover_file");
    EXPECT_EQ(project_.MasterDetails()->Count(), 1);

    // A run with nothing to do clears SyncLog.
    ASSERT_TRUE(SynchronizeDB(project_, false));
    EXPECT_EQ(project_.SyncLog(), "");
}

TEST_F(SchemaSyncTest, FieldChangesKeepOrResetTypeSettingsByCategory) {
    auto title = FieldOf(project_, "book", "title");
    title->SetFldCaption("Headline");
    auto qty = FieldOf(project_, "book", "qty");
    qty->SetFldHtmlTag("RADIO");
    Execute("CREATE TABLE book2 AS SELECT * FROM book; DROP TABLE book;"
            "CREATE TABLE book (id INTEGER PRIMARY KEY, author_id INTEGER, title VARCHAR(250) NOT NULL,"
            " subtitle VARCHAR(20), qty DATE, cover VARCHAR(80), cover_name VARCHAR(80), legacy TEXT);"
            "DROP TABLE book2;");
    ASSERT_TRUE(SyncTable(project_, "book")) << project_.ProjErr();
    EXPECT_EQ(title->FldSize(), 250);
    EXPECT_EQ(title->FldSyncMessage(), "Changed size from 100 to 250");
    EXPECT_NE(qty->FldHtmlTag(), "RADIO") << "an integer that became a date gets a date's edit control";
    EXPECT_NE(qty->FldSyncMessage().find("Changed type from"), std::string::npos);
    EXPECT_EQ(FieldOf(project_, "book", "subtitle")->FldSeq(), 4) << "a new field takes its place in the schema";
    EXPECT_EQ(qty->FldSeq(), 5);
    EXPECT_TRUE(TableOf(project_, "gone")) << "a table run leaves the other tables alone";
}

TEST_F(SchemaSyncTest, ChangedKeyIsKeptOrTaken) {
    Execute("DROP TABLE author; CREATE TABLE author (id INTEGER, name VARCHAR(60) NOT NULL, PRIMARY KEY (name, id));");
    for (std::string answer : {"keep", "update"}) {
        prompter_->Set("primary-key", answer);
        ASSERT_TRUE(SyncTable(project_, "author"));
        EXPECT_EQ(TableOf(project_, "author")->TblKey(), answer == "keep" ? "id" : "id\r\nname") << answer;
    }
    EXPECT_EQ(prompter_->Asked().size(), 2u);
}

TEST_F(SchemaSyncTest, DerivedTablesAndFailures) {
    ASSERT_TRUE(LoadCustomView(project_, "cheap", "SELECT id, title FROM book WHERE qty < 5", false));
    ASSERT_TRUE(LoadReport(project_, "per_author", "book"));
    Execute("ALTER TABLE book RENAME COLUMN title TO name;");
    ASSERT_TRUE(SynchronizeDB(project_, false));
    EXPECT_NE(TableOf(project_, "cheap")->TblCustomError().find("title"), std::string::npos);
    EXPECT_TRUE(FieldOf(project_, "cheap", "title")) << "a view whose SQL fails is left as it was";
    EXPECT_TRUE(FieldOf(project_, "per_author", "name")) << "a report follows its source";
    EXPECT_FALSE(FieldOf(project_, "per_author", "title"));

    ASSERT_TRUE(LoadReport(project_, "writers", "author"));
    Execute("DROP TABLE author;");
    ASSERT_TRUE(SynchronizeDB(project_, false));
    EXPECT_EQ(TableOf(project_, "writers")->TblSyncMessage(), "Velmora: Source Table not found");
    EXPECT_TRUE(FieldOf(project_, "writers", "name")) << "a report whose source vanished is left as it was";

    EXPECT_EQ(CheckTable(project_, "nope"), -1);
    EXPECT_EQ(project_.ProjErr(), "Table not exist");
    std::filesystem::remove(dir_ / "shop.db");
    EXPECT_EQ(CheckDB(project_), -1);
    EXPECT_EQ(project_.ProjErrDb(), "shop");
}

// What a project read with Sync does when its database changed: keep asks nothing more, update
// synchronises.
TEST_F(SchemaSyncTest, ReaderCheckKeepsOrUpdates) {
    Execute("ALTER TABLE book ADD COLUMN isbn VARCHAR(20);");
    for (std::string answer : {"keep", "update"}) {
        prompter_->Set("sync-keep-or-update", answer);
        ReaderSchemaCheck(project_);
        EXPECT_EQ(project_.ProjErr(), "");
        EXPECT_EQ(FieldOf(project_, "book", "isbn") != nullptr, answer == "update") << answer;
    }
    const auto& asked = prompter_->Asked();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].message, "Database has been modified since last change. Do you want to keep old definition or "
                                "update to new definition?");
}

TEST(SyncLogLines, BlocksPerTableAndPaddedWords) {
    std::vector<SyncChange> changes{{"A", "Field", "book", "TABLE", "Added field", "", "", "isbn"},
                                    {"C", "Field", "book", "TABLE", "Changed size from 1 to 2", "", "", "title"},
                                    {"D", "", "gone", "VIEW", "Delete table", "", "", ""},
                                    {"X", "", "gone", "VIEW", "", "", "", ""}};
    std::vector<std::string> expected{"# Software: Velmora", "# Version: " + EngineVersion(),
                                      "# Date: 2026-01-02 03:04:05", "", "#", "# book", "#",
                                      "ADDED   : (Field) book->isbn",
                                      "CHANGED : (Field) book->title - Changed size from 1 to 2", "", "#", "# gone",
                                      "#", "DELETED : (VIEW) gone", "******* : (VIEW) gone"};
    EXPECT_EQ(SyncLogLines(changes, "2026-01-02 03:04:05"), expected);
}

}  // namespace
}  // namespace velmora
