#include "platform/db/access_query_columns.h"

#include <gtest/gtest.h>

#include <map>

#include "support/text.h"

namespace velmora::db {
namespace {

ColumnInfo Column(std::string name, std::int16_t daoType, bool nullable = true) {
    ColumnInfo column;
    column.name = std::move(name);
    column.nativeType = daoType;
    column.nullable = nullable;
    return column;
}

// Two tables in the shape of an order database, found without regard to case.
class QueryColumnsTest : public testing::Test {
protected:
    QueryColumnsTest() {
        ColumnInfo id = Column("ProductID", 4, false);
        id.primaryKey = true;
        id.autoIncrement = true;
        ColumnInfo name = Column("ProductName", 10, false);
        name.unique = true;
        name.caption = "Product Name";
        name.size = 40;
        tables_["products"] = {id, name, Column("CategoryID", 4)};
        tables_["order details"] = {Column("OrderID", 4, false), Column("ProductID", 4, false),
                                    Column("UnitPrice", 5, false)};
    }

    std::optional<std::vector<QueryColumn>> Resolve(const std::vector<AccessQueryRow>& rows) {
        return ResolveQueryColumns(rows, [this](std::string_view name) -> const std::vector<ColumnInfo>* {
            auto found = tables_.find(FoldCase(name));
            return found == tables_.end() ? nullptr : &found->second;
        });
    }

    static std::vector<std::string> Names(const std::vector<QueryColumn>& columns) {
        std::vector<std::string> names;
        for (const QueryColumn& column : columns) names.push_back(column.column.name);
        return names;
    }

    std::map<std::string, std::vector<ColumnInfo>> tables_;
};

AccessQueryRow Row(QueryPart part, std::string name1 = {}, std::string name2 = {}, std::string expression = {},
                   int flag = 0) {
    return {static_cast<int>(part), flag, std::move(name1), std::move(name2), std::move(expression)};
}
AccessQueryRow From(std::string table, std::string alias = {}) {
    return Row(QueryPart::Source, std::move(table), std::move(alias));
}
AccessQueryRow Out(std::string expression, std::string alias = {}) {
    return Row(QueryPart::Output, std::move(alias), {}, std::move(expression));
}

TEST_F(QueryColumnsTest, TracesEverySpellingOfAColumnReference) {
    auto columns = Resolve({Row(QueryPart::Type, {}, {}, {}, 1), From("Order Details", "OD"), From("Products"),
                            Out("[OD].[OrderID]"), Out("OD.UnitPrice"), Out("[products].ProductName"),
                            Out("CategoryID"), Out("[UnitPrice]", "Price")});
    ASSERT_TRUE(columns);
    EXPECT_EQ(Names(*columns),
              (std::vector<std::string>{"OrderID", "UnitPrice", "ProductName", "CategoryID", "Price"}));
    EXPECT_EQ((*columns)[2].column.caption, "Product Name");
    EXPECT_EQ((*columns)[2].column.size, 40);
    EXPECT_EQ((*columns)[2].propertyKey, "[products].ProductName");
    EXPECT_EQ((*columns)[4].propertyKey, "Price");
    EXPECT_EQ((*columns)[4].column.nativeType, 5);
}

TEST_F(QueryColumnsTest, UntraceableQueriesStayUnresolved) {
    auto type = [](int flag) { return Row(QueryPart::Type, {}, {}, {}, flag); };
    const std::vector<std::vector<AccessQueryRow>> unresolved = {
        {From("Order Details"), From("Products"), Out("ProductID")},  // a column of both sources
        {From("Products"), Out("Products.Missing")},
        {From("Products"), Out("Other.ProductID")},
        {From("NoSuchTable"), Out("NoSuchTable.X")},
        {From("Products"), Out("db.Products.ProductID")},
        {From("Products"), Out("Nowhere.*")},
        {From("Products"), Out("*.ProductID")},
        // Crosstab (6) and union (9) queries, parameter queries, nested SELECTs as sources.
        {type(6), From("Products"), Out("ProductID")},
        {type(9), From("Products"), Out("ProductID")},
        {Row(QueryPart::Parameter, "Start"), From("Products"), Out("ProductID")},
        {Row(QueryPart::Source, {}, "X", "SELECT * FROM Products"), Out("X.ProductID")},
        {Out("ProductID")},
        {From("Products")},
    };
    for (std::size_t i = 0; i < unresolved.size(); ++i) EXPECT_FALSE(Resolve(unresolved[i])) << "case " << i;
    // Computed outputs.
    for (const char* expression : {"Sum([UnitPrice])", "[UnitPrice]*2", "[UnitPrice]/1.22", "\"text\"",
                                   "[Forms]![Orders]![OrderID]", "OrderID + 1", "[OrderID"}) {
        EXPECT_FALSE(Resolve({From("Order Details"), Out("OrderID"), Out(expression, "X")})) << expression;
    }
}

TEST_F(QueryColumnsTest, StarsExpandInSourceOrderAndKeysStayWithTheTable) {
    auto all = Resolve({Row(QueryPart::Options, {}, {}, {}, 9), From("Products")});
    ASSERT_TRUE(all);
    EXPECT_EQ(Names(*all), (std::vector<std::string>{"ProductID", "ProductName", "CategoryID"}));
    EXPECT_TRUE((*all)[0].propertyKey.empty());
    EXPECT_FALSE((*all)[0].column.primaryKey);
    EXPECT_TRUE((*all)[0].column.autoIncrement);  // numbering and Required come along
    EXPECT_FALSE((*all)[0].column.nullable);
    EXPECT_FALSE((*all)[1].column.unique);

    auto one = Resolve({From("Products", "P"), From("Order Details"), Out("P.*"), Out("[Order Details].UnitPrice")});
    ASSERT_TRUE(one);
    EXPECT_EQ(Names(*one), (std::vector<std::string>{"ProductID", "ProductName", "CategoryID", "UnitPrice"}));
}

TEST_F(QueryColumnsTest, OuterJoinsMakeTheOptionalSideNullable) {
    struct Case {
        int joinFlag;
        bool productNullable;
        bool priceNullable;
    };
    for (Case c : {Case{1, false, false}, Case{2, false, true}, Case{3, true, false}}) {
        AccessQueryRow join = Row(QueryPart::Join, "P", "D", {}, c.joinFlag);
        auto columns = Resolve({From("Products", "P"), From("Order Details", "D"), join, Out("P.ProductName"),
                                Out("D.UnitPrice")});
        ASSERT_TRUE(columns);
        EXPECT_EQ((*columns)[0].column.nullable, c.productNullable) << c.joinFlag;
        EXPECT_EQ((*columns)[1].column.nullable, c.priceNullable) << c.joinFlag;
    }
}

TEST_F(QueryColumnsTest, ClashingNamesAreQualifiedBySource) {
    auto columns = Resolve({From("Products"), From("Order Details", "OD"), Out("Products.ProductID"),
                            Out("OD.ProductID"), Out("OD.OrderID", "productname"), Out("Products.ProductName")});
    ASSERT_TRUE(columns);
    // An alias is kept as written, even where it clashes with another output.
    EXPECT_EQ(Names(*columns), (std::vector<std::string>{"Products.ProductID", "OD.ProductID", "productname",
                                                         "Products.ProductName"}));
}

}  // namespace
}  // namespace velmora::db
