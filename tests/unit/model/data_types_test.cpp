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
    struct Row {
        std::int16_t type, precision;
        std::string_view name;
    };
    for (Row row :
         {Row{135, 23, "DATETIME"}, Row{135, 16, "SMALLDATETIME"}, Row{135, 27, "DATETIME2"}, Row{135, 0, "TIMESTAMP"},
          Row{7, 23, "DATE"}, Row{133, 0, "DATE"}, Row{145, 0, "TIME"}, Row{17, 0, "UNSIGNEDTINYINT"},
          Row{203, 0, "LONGVARWCHAR"}, Row{146, 0, "DATETIMEOFFSET"}, Row{999, 0, ""}, Row{128, 0, ""}, Row{-1, 0, ""}})
        EXPECT_EQ(AdoTypeName(row.type, row.precision), row.name) << row.type << "/" << row.precision;
}

TEST_F(DataTypesTest, SetFldTypeInfoQuotesByTypeAndDatabaseKind) {
    auto typed = [](std::int16_t type) {
        auto field = std::make_shared<AGPField>();
        field->SetFldTypeInfo(type, 0);
        return field;
    };
    const struct {
        std::int16_t kind, type;
        const char* quote;
    } kQuotes[] = {{kDbAccess, kAdVarWChar, "'"},    {kDbAccess, kAdDate, "#"},       {kDbAccess, kAdDBTimeStamp, "#"},
                   {kDbAccess, kAdTime2, "'"},       {kDbMySql, kAdDBTimeStamp, "'"}, {kDbMySql, kAdVarNumeric, ""},
                   {kDbMySql, kAdLongVarBinary, "'"}};
    for (auto [kind, type, quote] : kQuotes) {
        Engine().databaseKind = kind;
        auto field = typed(type);
        EXPECT_EQ(field->FldQuoteS() + "|" + field->FldQuoteE(), std::string(quote) + "|" + quote)
            << kind << "/" << type;
        EXPECT_TRUE(field->FldSupport()) << type;
    }
    EXPECT_EQ(typed(kAdDBTimeStamp)->FldTypeName(), "TIMESTAMP");

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
    const struct {
        std::int32_t type;
        FldCategory category;
    } kCategories[] = {{20, kCatInteger},       {21, kCatInteger},   {6, kCatOtherNumeric}, {8, kCatOtherNumeric},
                       {999, kCatOtherNumeric}, {146, kCatDateTime}, {141, kCatString},     {11, kCatBoolean},
                       {72, kCatGuid},          {128, kCatBinary}};
    for (auto [type, category] : kCategories) EXPECT_EQ(FldTypeCategory(type), category) << type;

    AGP proj;
    EXPECT_EQ(proj.FldSrchOprs(11), "USER SELECT\r\n=\r\n<>");
    EXPECT_EQ(FldSrchOprs(3), "USER SELECT\r\n=\r\n<>\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN");
    EXPECT_EQ(FldSrchOprs(202), "USER SELECT\r\n=\r\n<>\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN\r\nLIKE\r\nNOT LIKE\r\nSTARTS WITH");
}

TEST_F(DataTypesTest, PostgreSqlNativeTypes) {
    for (const char* name : {"int4", "TimestampTZ", "bpchar"}) EXPECT_TRUE(IsPgNativeType(name)) << name;
    for (const char* name : {"json", "int", ""}) EXPECT_FALSE(IsPgNativeType(name)) << name;
}

}  // namespace
}  // namespace velmora
