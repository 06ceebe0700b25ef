#include "schema/custom_sql.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

// "output=table.field" per item; "*" items as "*=candidates".
std::vector<std::string> Describe(std::string_view sql, std::string_view quoteStart = "`",
                                  std::string_view quoteEnd = "`", bool doubleQuotedStrings = false) {
    std::vector<std::string> out;
    for (const SelectSource& source : ParseSelectSources(sql, quoteStart, quoteEnd, doubleQuotedStrings)) {
        if (source.star) {
            std::string tables;
            for (const auto& t : source.candidates) tables += (tables.empty() ? "" : ",") + t;
            out.push_back("*=" + tables);
        } else {
            out.push_back(source.outputName + "=" + source.table + "." + source.field);
        }
    }
    return out;
}

using Items = std::vector<std::string>;

TEST(CustomSql, ColumnsAliasesAndJoinedTables) {
    EXPECT_EQ(Describe("SELECT id, name AS customer, o.total t FROM orders o"),
              (Items{"id=orders.id", "customer=orders.name", "t=orders.total"}));
    EXPECT_EQ(Describe("select distinct c.id, o.id as order_id, shop.items.qty from customers c "
                       "inner join orders as o on o.cid = c.id and o.x in (select 1 from y) "
                       "left outer join shop.items on items.oid = o.id where c.id > 3 order by 1"),
              (Items{"id=customers.id", "order_id=orders.id", "qty=items.qty"}));
    // An unqualified column of a join has no known table.
    EXPECT_EQ(Describe("SELECT id FROM a, b"), (Items{"id=."}));
    EXPECT_EQ(Describe("SELECT TOP 10 PERCENT x FROM t"), (Items{"x=t.x"}));
    EXPECT_EQ(Describe("SELECT TOP (5) x FROM t"), (Items{"x=t.x"}));
}

TEST(CustomSql, ExpressionsHaveNoSource) {
    EXPECT_EQ(Describe("SELECT count(*) AS n, a + b AS s, 'lit' AS l, 42 AS k, NULL AS z, "
                       "CASE WHEN a THEN 1 END AS c, upper(name) up, (x) AS px FROM t"),
              (Items{"n=.", "s=.", "l=.", "k=.", "z=.", "c=.", "up=.", "px=."}));
    auto sources = ParseSelectSources("SELECT upper( t.name ) AS up, a  +  b FROM t", "`", "`", false);
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0].expression, "upper(t.name)");
    EXPECT_EQ(sources[1].expression, "a + b");
    EXPECT_EQ(sources[1].outputName, "");
    // Subqueries in the list and in FROM: their columns are no table's.
    EXPECT_EQ(Describe("SELECT (SELECT max(v) FROM w) AS m, s.v FROM (SELECT v FROM w) s"), (Items{"m=.", "v=."}));
}

TEST(CustomSql, QuotedNamesCommentsAndLiteralsPerDialect) {
    EXPECT_EQ(Describe("SELECT [Order ID], [o].[Unit ]]Price] AS [Price €] FROM [Order Details] AS o -- the end", "[",
                       "]"),
              (Items{"Order ID=Order Details.Order ID", "Price €=Order Details.Unit ]Price"}));
    EXPECT_EQ(Describe(R"(SELECT "a""b", "Ü".x /* , hidden FROM nowhere */ FROM public."Ü" WHERE y = 'FROM z')", "\"",
                       "\""),
              (Items{"a\"b=Ü.a\"b", "x=Ü.x"}));
    // MySQL: double quotes are strings, back quotes names.
    EXPECT_EQ(Describe(R"(SELECT "text" AS t, `my col` FROM `tbl`)", "`", "`", true), (Items{"t=.", "my col=tbl.my col"}));
}

TEST(CustomSql, StarsAndStatementsWithoutSelect) {
    EXPECT_EQ(Describe("SELECT * FROM a JOIN b ON a.id = b.id"), (Items{"*=a,b"}));
    EXPECT_EQ(Describe("SELECT b.*, a.id FROM a, b bb, c"), (Items{"*=b", "id=a.id"}));
    EXPECT_EQ(Describe("SELECT bb.* FROM b bb"), (Items{"*=b"}));
    EXPECT_TRUE(Describe("").empty());
    EXPECT_TRUE(Describe("UPDATE t SET a = 1").empty());
    EXPECT_EQ(Describe("SELECT a FROM"), (Items{"a=."}));
    EXPECT_EQ(Describe("SELECT 'unterminated"), (Items{"=."}));
}

}  // namespace
}  // namespace velmora
