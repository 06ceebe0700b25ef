// Identifier quoting by database kind, the quote a server connection gets, connection-string
// values and PostgreSQL default texts.
#include <gtest/gtest.h>

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "schema/db_quotes.h"
#include "schema/load_steps.h"
#include "support/engine_state.h"

namespace velmora {
namespace {

TEST(DbQuotes, KindsAndQuotePairs) {
    EXPECT_EQ(DbKindOf("MS Jet"), kDbAccess);
    EXPECT_EQ(DbKindOf("ms jet"), kDbOther);  // the Access names are exact
    EXPECT_EQ(DbKindOf("Microsoft SQL Server"), kDbSqlServer);
    EXPECT_EQ(DbKindOf("mysql"), kDbMySql);
    EXPECT_EQ(DbKindOf("Oracle"), kDbOracle);
    EXPECT_EQ(DbKindOf("PostgreSQL"), kDbPostgreSql);
    EXPECT_EQ(DbKindOf("SQLite"), kDbSqlite);
    EXPECT_EQ(DbKindOf("MariaDB"), kDbOther);

    SetDbQuotes("ACCESS");
    EXPECT_EQ(QuoteDbName("Order]Details"), "[Order]]Details]");
    SetDbQuotes("PostgreSQL");
    EXPECT_EQ(QuoteDbName("say \"hi\""), "\"say \"\"hi\"\"\"");
    SetDbQuotes("SQLite");
    EXPECT_EQ(QuoteDbName("a`b"), "`a``b`");
    SetDbQuotes("Firebird");
    EXPECT_EQ(QuoteDbName("plain"), "plain");
}

TEST(DbQuotes, ServerQuoteFollowsSettingAndDatabase) {
    EngineState& state = Engine();
    state.sqlQuote = "";
    EXPECT_EQ(ResolveSqlQuote("", ""), "`");  // MySQL and DIRECT by default
    EXPECT_EQ(ResolveSqlQuote("postgresql", "DIRECT"), "\"");
    EXPECT_EQ(ResolveSqlQuote("mysql", "JDBC"), "NA");
    state.sqlQuote = "BackQuote";
    EXPECT_EQ(ResolveSqlQuote("PostgreSQL", ""), "\"");
    EXPECT_EQ(ResolveSqlQuote("other", ""), "`");
    state.sqlQuote = "double quote";
    EXPECT_EQ(ResolveSqlQuote("mysql", ""), "\"");
    state.sqlQuote = "none";
    EXPECT_EQ(ResolveSqlQuote("postgresql", ""), "");
    state.sqlQuote = "";
    EXPECT_EQ(ResolveSqlQuote("other", ""), "");
}

TEST(DbQuotes, ConnectionStringValues) {
    std::string connStr = "Driver={PostgreSQL Unicode}; SERVER = db.local ;Port=5433;Uid=me;Pwd=a=b;";
    EXPECT_EQ(ConnectionStringValue(connStr, {"server", "host"}), "db.local");
    EXPECT_EQ(ConnectionStringValue(connStr, {"port"}), "5433");
    EXPECT_EQ(ConnectionStringValue(connStr, {"pwd"}), "a=b");
    EXPECT_EQ(ConnectionStringValue(connStr, {"database"}), "");
}

TEST(DbQuotes, PostgreSqlDefaults) {
    EXPECT_EQ(PgDefaultValue("'it''s'::character varying"), "it's");
    EXPECT_EQ(PgDefaultValue("NULL::character varying"), "");
    EXPECT_EQ(PgDefaultValue("nextval('orders_id_seq'::regclass)"), "nextval('orders_id_seq'::regclass)");
    EXPECT_EQ(PgDefaultValue("42"), "42");
    EXPECT_EQ(PgDefaultValue("now()"), "now()");
    EXPECT_EQ(LiteralDefaultValue(" 'x' "), "x");
    EXPECT_EQ(LiteralDefaultValue("NULL"), "");
    EXPECT_EQ(LiteralDefaultValue("CURRENT_TIMESTAMP"), "CURRENT_TIMESTAMP");
}

}  // namespace
}  // namespace velmora
