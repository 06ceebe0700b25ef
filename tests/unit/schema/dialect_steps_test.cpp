// SQL Server and Oracle through the connection-string route, replayed from catalogue rows
// recorded on such servers: no SQL Server or Oracle runs where these tests do.
#include <gtest/gtest.h>

#include "model/core/data_types.h"
#include "schema/db_quotes.h"
#include "schema/load_steps.h"
#include "schema_test_support.h"
#include "support/engine_state.h"
#include "support/status.h"

namespace velmora {
namespace {

// A catalogue that answers from recorded rows and keeps the statements it was asked to run.
class RecordedCatalogue : public db::Catalogue {
public:
    RecordedCatalogue(std::string dbmsName, std::vector<db::TableInfo> tables) : tables_(std::move(tables)) {
        info_ = {std::move(dbmsName), "15.00.2000", "msodbcsql17", "17.10"};
    }
    const db::ServerInfo& Info() const override { return info_; }
    std::vector<db::TableInfo> ListTables() override {
        std::vector<db::TableInfo> listed = tables_;
        for (auto& table : listed) table.columns.clear();
        return listed;
    }
    void ReadColumns(std::span<db::TableInfo> tables) override {
        for (auto& table : tables) {
            for (const auto& recorded : tables_) {
                if (recorded.name == table.name && recorded.schema == table.schema) table.columns = recorded.columns;
            }
        }
    }
    std::vector<db::QueryRow> Query(const std::string& sql) override {
        queries.push_back(sql);
        for (const auto& [fragment, rows] : answers) {
            if (sql.find(fragment) != std::string::npos) return rows;
        }
        if (failEverything) throw db::CatalogueError(db::CatalogueError::Reason::Query, "permission denied");
        return {};
    }

    // Rows for the first statement containing the fragment.
    std::vector<std::pair<std::string, std::vector<db::QueryRow>>> answers;
    std::vector<std::string> queries;
    bool failEverything = false;

private:
    db::ServerInfo info_;
    std::vector<db::TableInfo> tables_;
};

db::ColumnInfo Column(std::string name, std::int16_t type, bool nullable = true, bool key = false) {
    db::ColumnInfo column;
    column.name = std::move(name);
    column.adoType = type;
    column.nullable = nullable;
    column.primaryKey = key;
    return column;
}

db::TableInfo Table(std::string schema, std::string name, std::vector<db::ColumnInfo> columns) {
    return {std::move(schema), std::move(name), "TABLE", std::move(columns), "", 0};
}

class DialectStepsTest : public testing::Test {
protected:
    void SetUp() override { SetStatusSink(std::make_shared<NullStatusSink>()); }
    void TearDown() override { SetStatusSink(nullptr); }

    std::shared_ptr<AGPField> Field(const std::string& table, const std::string& field) {
        auto found = database_.Tables()->Find(Variant(table));
        return found ? found->Fields()->Find(Variant(field)) : nullptr;
    }

    AGPDatabase database_;
};

TEST_F(DialectStepsTest, SqlServerIdentityNullabilityGuidKeysAndFailedSideQueries) {
    // Recorded from a SQL Server 2019 database through its ODBC driver.
    RecordedCatalogue catalogue("Microsoft SQL Server",
                                {Table("dbo", "Orders",
                                       {Column("OrderID", kAdInteger, false, true), Column("Code", kAdGUID, false),
                                        Column("Note", kAdVarWChar)}),
                                 Table("dbo", "Tokens", {Column("TokenID", kAdGUID, false, true)}),
                                 Table("sales", "Orders2", {Column("ID", kAdInteger, false, true)})});
    catalogue.answers = {
        {"o.name='Orders'", {{{"name", "OrderID"}}}},
        {"c.column_name = 'Note'", {{{"is_nullable", " YES "}, {"column_default", std::nullopt}}}},
        {"c.column_name = 'Code'", {{{"is_nullable", "NO"}, {"column_default", "(newid())"}}}},
        {"c.column_name = 'TokenID'", {{{"is_nullable", "NO"}, {"column_default", "(newid())"}}}},
    };
    AdoLoad load{"ODBC", "dsn=shop;uid=sa;pwd=x", "sa", "x", "dbo", "", "", ""};
    ASSERT_EQ(LoadAdoCatalogue(database_, catalogue, load), 0) << Engine().ProjErr;

    EXPECT_EQ(database_.DBQuoteS(), "[");
    EXPECT_EQ(database_.DBSchema(), "dbo");
    // The schema filter keeps dbo only.
    EXPECT_EQ(database_.Tables()->Count(), 2);
    EXPECT_TRUE(Field("Orders", "OrderID")->FldAutoIncrement());
    EXPECT_TRUE(Field("Orders", "OrderID")->FldIsPrimaryKey());
    EXPECT_FALSE(Field("Orders", "Note")->FldReq());
    EXPECT_TRUE(Field("Orders", "Code")->FldReq());
    // Not a key: its newid() default does not matter.
    EXPECT_TRUE(Field("Orders", "Code")->FldAdd());
    EXPECT_FALSE(Field("Tokens", "TokenID")->FldAdd());
    EXPECT_FALSE(Field("Tokens", "TokenID")->FldAutoIncrement());
    // The names go into the side queries quoted as SQL literals.
    ASSERT_FALSE(catalogue.queries.empty());
    EXPECT_NE(catalogue.queries.front().find("WHERE o.name='Orders' AND (c.autoval IS NOT NULL OR c.status & 128 = "
                                             "128)"),
              std::string::npos);

    // Side queries that fail are ignored; quotes in names are doubled in their literals.
    RecordedCatalogue failing("Microsoft SQL Server",
                              {Table("dbo", "O'Brien", {Column("ID", kAdInteger, false, true)})});
    failing.failEverything = true;
    AGPDatabase other;
    ASSERT_EQ(LoadAdoCatalogue(other, failing, load), 0);
    auto obrien = other.Tables()->Find(Variant(std::string("O'Brien")));
    EXPECT_FALSE(obrien->Fields()->Find(Variant("ID"))->FldAutoIncrement());
    EXPECT_EQ(obrien->TblKey(), "ID");
    EXPECT_NE(failing.queries.front().find("o.name='O''Brien'"), std::string::npos);
}

TEST_F(DialectStepsTest, OracleSchemaTriggersAndTypeNames) {
    // Recorded from an Oracle 19c schema through its ODBC driver.
    RecordedCatalogue catalogue("Oracle", {Table("SYSTEM", "HELP", {Column("TOPIC", kAdVarChar, false, true)}),
                                           Table("SHOP", "ORDERS",
                                                 {Column("ORDER_ID", kAdNumeric, false, true),
                                                  Column("PLACED", kAdDBTimeStamp)})});
    catalogue.answers = {
        {"all_triggers", {{{"trigger_body", "BEGIN\n  SELECT shop.orders_seq.NEXTVAL INTO :new.ORDER_ID FROM dual;\nEND;"}}}},
        {"all_tab_cols", {{{"column_name", "ORDER_ID"}, {"data_type", "NUMBER"}},
                          {{"column_name", "PLACED"}, {"data_type", "DATE"}}}},
    };
    AdoLoad load{"ODBC", "dsn=ora", "shop", "x", "SHOP", "", "", ""};
    ASSERT_EQ(LoadAdoCatalogue(database_, catalogue, load), 0) << Engine().ProjErr;
    EXPECT_EQ(database_.DBSchema(), "SHOP");
    EXPECT_EQ(database_.DBQuoteS(), "\"");
    EXPECT_EQ(database_.Tables()->Count(), 1);
    auto id = Field("ORDERS", "ORDER_ID");
    EXPECT_TRUE(id->FldAutoIncrement());
    EXPECT_FALSE(id->FldAdd());
    EXPECT_EQ(id->FldDbDefault().ToText(), "shop.orders_seq");
    EXPECT_EQ(id->FldTypeName(), "NUMBER");
    EXPECT_EQ(Field("ORDERS", "PLACED")->FldTypeName(), "DATE");

    // Without a schema the first table's owner is taken.
    AGPDatabase other;
    load.schema.clear();
    ASSERT_EQ(LoadAdoCatalogue(other, catalogue, load), 0);
    EXPECT_EQ(other.DBSchema(), "SYSTEM");
    EXPECT_TRUE(other.Tables()->TableExist(Variant(std::string("HELP"))));
}

TEST(OracleTriggers, ColumnAndSequenceFromCommonBodies) {
    const struct {
        const char* body;
        const char* column;
        const char* sequence;
    } cases[] = {
        {"BEGIN SELECT s.NEXTVAL INTO :NEW.id FROM dual; END;", "id", "s"},
        {"begin :new.\"Order Id\" := \"Order Seq\".nextval; end;", "Order Id", "Order Seq"},
        {"BEGIN :NEW.updated := SYSDATE; END;", "updated", ""},
        {"BEGIN NULL; END;", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OracleTriggerColumn(c.body), c.column) << c.body;
        EXPECT_EQ(OracleTriggerSequence(c.body), c.sequence) << c.body;
    }
}

}  // namespace
}  // namespace velmora
