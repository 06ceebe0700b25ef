// Identifier quoting by database kind, the quote a server connection gets, connection-string
// values and PostgreSQL default texts.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "schema/db_quotes.h"
#include "schema/load_steps.h"
#include "support/engine_state.h"

namespace velmora {
namespace {

TEST(DbQuotes, KindsAndQuotePairs) {
    // The Access names are exact; MariaDB is no kind of its own.
    const std::pair<const char*, DatabaseKind> kinds[] = {
        {"MS Jet", kDbAccess}, {"ms jet", kDbOther},  {"Microsoft SQL Server", kDbSqlServer},
        {"mysql", kDbMySql},   {"Oracle", kDbOracle}, {"PostgreSQL", kDbPostgreSql},
        {"SQLite", kDbSqlite}, {"MariaDB", kDbOther},
    };
    for (auto [name, kind] : kinds) EXPECT_EQ(DbKindOf(name), kind) << name;

    const std::tuple<const char*, const char*, const char*> quotes[] = {
        {"ACCESS", "Order]Details", "[Order]]Details]"},
        {"PostgreSQL", "say \"hi\"", "\"say \"\"hi\"\"\""},
        {"SQLite", "a`b", "`a``b`"},
        {"Firebird", "plain", "plain"},
    };
    for (auto [dbms, name, quoted] : quotes) {
        SetDbQuotes(dbms);
        EXPECT_EQ(QuoteDbName(name), quoted) << dbms;
    }
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
