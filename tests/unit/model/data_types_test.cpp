#include <gtest/gtest.h>

#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "model/entities/field.h"
#include "support/engine_state.h"
#include "test_support.h"

namespace velmora {
namespace {

class DataTypesTest : public testing::Test {
protected:
    void SetUp() override { test::ResetSettingsStores(); }
    void TearDown() override { Engine().databaseKind = 0; }
};

TEST_F(DataTypesTest, TypeNames) {
    EXPECT_EQ(AdoTypeName(135, 23), "DATETIME");
    EXPECT_EQ(AdoTypeName(135, 16), "SMALLDATETIME");
    EXPECT_EQ(AdoTypeName(135, 27), "DATETIME2");
    EXPECT_EQ(AdoTypeName(135, 0), "TIMESTAMP");
    EXPECT_EQ(AdoTypeName(7, 23), "DATE");
    EXPECT_EQ(AdoTypeName(133, 0), "DATE");
    EXPECT_EQ(AdoTypeName(145, 0), "TIME");
    EXPECT_EQ(AdoTypeName(17, 0), "UNSIGNEDTINYINT");
    EXPECT_EQ(AdoTypeName(203, 0), "LONGVARWCHAR");
    EXPECT_EQ(AdoTypeName(146, 0), "DATETIMEOFFSET");
    EXPECT_EQ(AdoTypeName(999, 0), "");
    EXPECT_EQ(AdoTypeName(128, 0), "");
    EXPECT_EQ(AdoTypeName(-1, 0), "");
}

TEST_F(DataTypesTest, SetFldTypeInfoQuotesByTypeAndDatabaseKind) {
    auto typed = [](std::int16_t type) {
        auto field = std::make_shared<AGPField>();
        field->SetFldTypeInfo(type, 0);
        return field;
    };
    Engine().databaseKind = kDbAccess;
    EXPECT_EQ(typed(kAdVarWChar)->FldQuoteS(), "'");
    EXPECT_EQ(typed(kAdDate)->FldQuoteS(), "#");
    EXPECT_EQ(typed(kAdDBTimeStamp)->FldQuoteE(), "#");
    EXPECT_EQ(typed(kAdTime2)->FldQuoteE(), "'");

    Engine().databaseKind = kDbMySql;
    auto date = typed(kAdDBTimeStamp);
    EXPECT_EQ(date->FldQuoteS(), "'");
    EXPECT_EQ(date->FldTypeName(), "TIMESTAMP");
    EXPECT_TRUE(date->FldSupport());
    auto number = typed(kAdVarNumeric);
    EXPECT_EQ(number->FldQuoteS(), "");
    EXPECT_TRUE(number->FldSupport());
    EXPECT_EQ(typed(kAdLongVarBinary)->FldQuoteE(), "'");

    // An unknown code is not supported and leaves the quotes; a name read earlier is kept.
    auto odd = std::make_shared<AGPField>();
    odd->SetFldQuoteS("`");
    odd->SetFldTypeName("GEOMETRY");
    odd->SetFldTypeInfo(999, 0);
    EXPECT_EQ(odd->FldType(), 999);
    EXPECT_FALSE(odd->FldSupport());
    EXPECT_EQ(odd->FldQuoteS(), "`");
    EXPECT_EQ(odd->FldTypeName(), "GEOMETRY");
    EXPECT_FALSE(typed(kAdBinary)->FldSupport());
}

TEST_F(DataTypesTest, DaoTypes) {
    struct Row {
        std::int16_t dao, ado;
        bool supported;
        std::string_view quote;
    };
    for (Row row : {Row{1, 11, true, ""}, Row{2, 17, true, ""}, Row{8, 135, true, "#"}, Row{10, 202, true, "'"},
                    Row{11, 205, true, ""}, Row{12, 203, true, "'"}, Row{20, 131, true, ""}, Row{23, 135, true, "#"},
                    Row{9, 128, false, "?"}, Row{17, -1, false, "?"}, Row{99, -1, false, "?"}}) {
        AGPField field;
        field.SetFldQuoteS("?");
        field.MapDaoType(row.dao);
        EXPECT_EQ(field.FldType(), row.ado) << row.dao;
        EXPECT_EQ(field.FldSupport(), row.supported) << row.dao;
        EXPECT_EQ(field.FldQuoteS(), row.quote) << row.dao;
    }
}

TEST_F(DataTypesTest, CategoriesAndSearchOperators) {
    EXPECT_EQ(FldTypeCategory(20), kCatInteger);
    EXPECT_EQ(FldTypeCategory(21), kCatInteger);
    EXPECT_EQ(FldTypeCategory(6), kCatOtherNumeric);
    EXPECT_EQ(FldTypeCategory(8), kCatOtherNumeric);
    EXPECT_EQ(FldTypeCategory(999), kCatOtherNumeric);
    EXPECT_EQ(FldTypeCategory(146), kCatDateTime);
    EXPECT_EQ(FldTypeCategory(141), kCatString);
    EXPECT_EQ(FldTypeCategory(11), kCatBoolean);
    EXPECT_EQ(FldTypeCategory(72), kCatGuid);
    EXPECT_EQ(FldTypeCategory(128), kCatBinary);

    AGP proj;
    EXPECT_EQ(proj.FldSrchOprs(11), "USER SELECT\r\n=\r\n<>");
    EXPECT_EQ(FldSrchOprs(3), "USER SELECT\r\n=\r\n<>\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN");
    EXPECT_EQ(FldSrchOprs(202), "USER SELECT\r\n=\r\n<>\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN\r\nLIKE\r\nNOT LIKE\r\nSTARTS WITH");
}

TEST_F(DataTypesTest, PostgreSqlNativeTypes) {
    EXPECT_TRUE(IsPgNativeType("int4"));
    EXPECT_TRUE(IsPgNativeType("TimestampTZ"));
    EXPECT_TRUE(IsPgNativeType("bpchar"));
    EXPECT_FALSE(IsPgNativeType("json"));
    EXPECT_FALSE(IsPgNativeType("int"));
    EXPECT_FALSE(IsPgNativeType(""));
}

}  // namespace
}  // namespace velmora
