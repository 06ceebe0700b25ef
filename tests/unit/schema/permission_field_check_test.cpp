// The permission table's name field before generation: what is asked and when, the messages a
// refusal or a failed change stops with, the ALTER statement of each dialect, and the whole check
// against the PostgreSQL and MariaDB test servers (directly and through a link database).
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/prompter.h"
#include "schema/permission_field_check.h"
#include "schema/text_column.h"
#include "unit/db/db_servers.h"

namespace velmora {
namespace {

// A column whose size, and how a change of it goes, the test decides.
class FakeColumn : public TextColumn {
public:
    bool enforced = true;
    std::optional<std::int32_t> size = 50;
    std::string readError = "connection refused";
    bool widens = true;
    std::string widenError = "permission denied for table privs";

    int reads = 0;
    std::vector<std::int32_t> widenedTo;

    bool SizeEnforced() const override { return enforced; }
    std::optional<std::int32_t> DeclaredSize(std::string& error) override {
        ++reads;
        if (!size) error = readError;
        return size;
    }
    bool Widen(std::int32_t newSize, std::string& error) override {
        widenedTo.push_back(newSize);
        if (!widens) error = widenError;
        return widens;
    }
};

class PermissionFieldCheck : public ::testing::Test {
protected:
    void SetUp() override {
        prompter = std::make_shared<PolicyPrompter>();
        SetPrompter(prompter);
    }
    void TearDown() override { SetPrompter(nullptr); }

    void Answer(const std::string& answer) { prompter->Set(kPermissionFieldSizeQuestion, answer); }

    std::shared_ptr<PolicyPrompter> prompter;
    FakeColumn column;
};

constexpr const char* kRefused =
    "Please update the User level permssion table name field size to 255 manually! Generation aborted!";
constexpr const char* kWidenFailed =
    "Unable to change field size automatically. Error description: permission denied for table privs. Please "
    "perform the action manually! Generation aborted!";
constexpr const char* kUnreadable =
    "Unable to read the field size of User level permission table name field [tablename]. Error description: "
    "connection refused. Generation aborted!";

TEST_F(PermissionFieldCheck, SizeAnswerAndChangeDecide) {
    const struct {
        std::optional<std::int32_t> size;  // nullopt: the size cannot be read
        const char* answer;                // "": nobody answers
        bool widens;
        std::string problem;
        std::vector<std::int32_t> widenedTo;
        std::size_t asked;
    } cases[] = {
        {255, "", true, "", {}, 0},
        {kUnlimitedTextSize, "", true, "", {}, 0},
        {254, "", true, kRefused, {}, 1},  // the safe default
        {254, "no", true, kRefused, {}, 1},
        {254, "yes", true, "", {255}, 1},
        {50, "yes", false, kWidenFailed, {255}, 1},
        {std::nullopt, "yes", true, kUnreadable, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size.value_or(-1)) + " " + c.answer);
        prompter = std::make_shared<PolicyPrompter>();
        SetPrompter(prompter);
        if (*c.answer) Answer(c.answer);
        column = FakeColumn{};
        column.size = c.size;
        column.widens = c.widens;
        EXPECT_EQ(CheckPermissionField("tablename", column), c.problem);
        EXPECT_EQ(column.widenedTo, c.widenedTo);
        EXPECT_EQ(prompter->Asked().size(), c.asked);
    }
    // A SQLite column takes any length: it is not even read.
    column = FakeColumn{};
    column.enforced = false;
    EXPECT_EQ(CheckPermissionField("tablename", column), "");
    EXPECT_EQ(column.reads, 0);
}

TEST_F(PermissionFieldCheck, TheQuestionNamesFieldAndSize) {
    column.size = 254;
    CheckPermissionField("tablename", column);
    ASSERT_EQ(prompter->Asked().size(), 1u);
    EXPECT_EQ(prompter->Asked()[0].id, "permission-field-size");
    EXPECT_EQ(prompter->Asked()[0].message,
              "Field size of User level permission table name field [tablename] must be >= 255. Current field size "
              "is 254. Update now?");
    EXPECT_TRUE(prompter->Asked()[0].byDefault);
}

// ---- The project's settings decide whether and where the field is read ----------------------

struct Server {
    std::string type;  // "postgresql" or "mysql"
    db::ConnectOptions options;
};

Server Pg() { return {"postgresql", test::PgOptions("velmora_scratch")}; }
Server MySql() { return {"mysql", test::MySqlOptions("velmora_scratch")}; }

void Connect(AGPDatabase& database, const Server& server) {
    database.SetDBType(server.type);
    database.SetDBHost(server.options.host);
    database.SetDBPort(std::to_string(server.options.port));
    database.SetDBUID(server.options.user);
    database.SetDBPwd(server.options.password);
    database.SetDBName(server.options.database);
}

// The project names the table as its own (`linkTable` false) or as a link table of a link
// database on the server, the main database being a SQLite file that is never opened.
std::shared_ptr<AGP> ProjectFor(const Server& server, const std::string& table, bool linkTable) {
    auto project = std::make_shared<AGP>();
    project->AddProj("Shop");
    auto database = project->AddMainDatabase("shop");
    database->SetUseDynamicUserLevel(true);
    database->SetUserLevelPrivTbl("privs");
    database->SetUserLevelPrivTblNameFld("tablename");
    if (!linkTable) {
        Connect(*database, server);
        database->SetUserLevelPrivTbl(table);
        return project;
    }
    database->SetDBType("SQLITE");
    database->SetDBPhyPath("/nowhere/shop.db");
    database->Tables()->Add("privs");
    auto privs = database->Tables()->Find(Variant("privs"));
    privs->SetTblType("LINKTABLE");
    privs->SetLinkDBID("LINKDB1");
    privs->SetLinkTableName(table);
    project->LINKDBS()->Add("LINKDB1");
    Connect(*project->LINKDBS()->Find(Variant("LINKDB1")), server);
    return project;
}

// Nobody listens at the main database's port: reading the field fails at once, so the message
// tells whether (and through which database) the check ran.
TEST_F(PermissionFieldCheck, TheProjectSaysWhetherAndWhereTheFieldIsRead) {
    Server nowhere = Pg();
    nowhere.options.port = 1;
    auto project = ProjectFor(nowhere, "privs", false);
    EXPECT_NE(CheckPermissionField(*project).find("Unable to read the field size"), std::string::npos);
    project->DB()->SetUserLevelPrivTbl("");
    EXPECT_EQ(CheckPermissionField(*project), "");
    project->DB()->SetUserLevelPrivTbl("privs");
    project->DB()->SetUseDynamicUserLevel(false);
    EXPECT_EQ(CheckPermissionField(*project), "");
    project->DB()->SetUseDynamicUserLevel(true);

    // A link table is read in its link database, whatever the main database is.
    auto linked = ProjectFor(nowhere, "privs", true);
    EXPECT_NE(CheckPermissionField(*linked).find("Unable to read the field size"), std::string::npos);
    linked->LINKDBS()->Find(Variant("LINKDB1"))->SetDBType("SQLITE");
    EXPECT_EQ(CheckPermissionField(*linked), "");
    linked->LINKDBS()->Delete(Variant("LINKDB1"));
    EXPECT_NE(CheckPermissionField(*linked).find("link database 'LINKDB1' not found"), std::string::npos);
}

// ---- The ALTER statement of each dialect ----------------------------------------------------

TEST(WidenColumnStatement, EachDialectWithItsOwnSyntaxAndQuotes) {
    const struct {
        DatabaseKind dialect;
        const char* schema;
        const char* table;
        const char* column;
        const char* statement;
    } cases[] = {
        {kDbPostgreSql, "", "privs", "table name",
         "ALTER TABLE \"privs\" ALTER COLUMN \"table name\" TYPE VARCHAR(255)"},
        {kDbPostgreSql, "app", "privs", "name",
         "ALTER TABLE \"app\".\"privs\" ALTER COLUMN \"name\" TYPE VARCHAR(255)"},
        {kDbMySql, "", "privs", "name", "ALTER TABLE `privs` MODIFY COLUMN `name` VARCHAR(255) NULL"},
        {kDbSqlServer, "dbo", "privs", "name", "ALTER TABLE [dbo].[privs] ALTER COLUMN [name] VARCHAR(255) NULL"},
        {kDbAccess, "", "privs", "name", "ALTER TABLE [privs] ALTER COLUMN [name] Text(255)"},
        {kDbOracle, "", "PRIVS", "NAME", "ALTER TABLE \"PRIVS\" MODIFY (\"NAME\" VARCHAR2(255))"},
        {kDbOther, "", "privs", "name", "ALTER TABLE [privs] ALTER COLUMN [name] VARCHAR(255) NULL"},
        // Quotes inside names are doubled.
        {kDbMySql, "", "a`b", "c", "ALTER TABLE `a``b` MODIFY COLUMN `c` VARCHAR(255) NULL"},
        {kDbSqlServer, "", "a]b", "c", "ALTER TABLE [a]]b] ALTER COLUMN [c] VARCHAR(255) NULL"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WidenColumnStatement(c.dialect, c.schema, c.table, c.column, 255), c.statement) << c.statement;
    }
}

// ---- Against the test servers ---------------------------------------------------------------

class DbServerPermissionField : public PermissionFieldCheck {
protected:
    // A scratch table with a 50-character name field, dropped when the test ends.
    std::string MakePrivsTable(const Server& server) {
        std::string table = test::ScratchName("privs");
        test::Session session(server.options);
        session.Run("DROP TABLE IF EXISTS " + table);
        session.Run("CREATE TABLE " + table + " (userlevelid INTEGER NOT NULL, tablename VARCHAR(50) NOT NULL)");
        cleanups.push_back(std::make_unique<test::AtExit>(
            [options = server.options, table] { test::Session(options).Run("DROP TABLE IF EXISTS " + table); }));
        return table;
    }

    std::vector<std::unique_ptr<test::AtExit>> cleanups;
};

TEST_F(DbServerPermissionField, FieldIsWidenedOnBothServersAndInALinkDatabase) {
    for (auto [server, linkTable] : {std::pair{Pg(), false}, {MySql(), false}, {MySql(), true}}) {
        REQUIRE_SERVER(server.options);
        SCOPED_TRACE(server.type + (linkTable ? " link table" : ""));
        prompter = std::make_shared<PolicyPrompter>();
        SetPrompter(prompter);
        std::string table = MakePrivsTable(server);
        auto project = ProjectFor(server, table, linkTable);
        Answer("yes");
        EXPECT_EQ(CheckPermissionField(*project), "");
        EXPECT_EQ(test::ColumnSize(server.options, table, "tablename"), 255);
        ASSERT_EQ(prompter->Asked().size(), 1u);
        EXPECT_NE(prompter->Asked()[0].message.find("Current field size is 50."), std::string::npos)
            << prompter->Asked()[0].message;

        // Once wide enough, nothing more is asked.
        EXPECT_EQ(CheckPermissionField(*project), "");
        EXPECT_EQ(prompter->Asked().size(), 1u);
    }
}

TEST_F(DbServerPermissionField, ARefusedChangeNamesTheServersReason) {
    REQUIRE_SERVER(Pg().options);
    Server server = Pg();
    std::string table = MakePrivsTable(server);
    auto project = ProjectFor(server, table, false);

    // PostgreSQL does not change the type of a column a view reads.
    std::string view = test::ScratchName("privs_view");
    test::Session session(server.options);
    session.Run("CREATE VIEW " + view + " AS SELECT tablename FROM " + table);
    test::AtExit dropView{[&] { session.Run("DROP VIEW IF EXISTS " + view); }};
    Answer("yes");
    std::string problem = CheckPermissionField(*project);
    EXPECT_TRUE(problem.starts_with("Unable to change field size automatically. Error description: ")) << problem;
    EXPECT_NE(problem.find(view), std::string::npos) << problem;
    EXPECT_TRUE(problem.ends_with(". Please perform the action manually! Generation aborted!")) << problem;
    EXPECT_EQ(test::ColumnSize(server.options, table, "tablename"), 50);
}

}  // namespace
}  // namespace velmora
