#include <gtest/gtest.h>

#include "model/entities/caption.h"
#include "model/core/data_types.h"
#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/tables.h"
#include "support/engine_state.h"
#include "test_support.h"

namespace velmora {
namespace {

class TableDefaultsTest : public testing::Test {
protected:
    void SetUp() override {
        test::ResetSettingsStores();
        database = std::make_shared<AGPDatabase>();
        database->SetSecDefault("list, Add,view,EDIT,,search,List,delete,copy");
    }
    std::shared_ptr<AGPTable> Table(std::string_view name, std::string_view type) {
        database->Tables()->Add(name);
        auto table = database->Tables()->Item(Variant(std::string(name)));
        table->SetTblType(std::string(type));
        table->SetTblSQL("SELECT 1");
        table->LoadTableDefault();
        return table;
    }
    std::shared_ptr<AGPDatabase> database;
};

TEST_F(TableDefaultsTest, PagesSearchAndSecurityFollowTheType) {
    const std::string security = "list, Add,view,EDIT,,search,List,delete,copy";
    const struct {
        const char* type;
        bool pages, updatable;  // pages: view, add, edit, delete and copy
        const char *sql, *srchType;
        std::string security;
    } kCases[] = {
        {"TABLE", true, true, "SELECT 1", "BASIC", security},
        {"VIEW", false, true, "", "BASIC", security},
        {"REPORT", false, false, "", "NONE", "list,view,search"},
    };
    for (const auto& c : kCases) {
        auto t = Table(std::string("t_") + c.type, c.type);
        for (bool page : {t->TblView(), t->TblAdd(), t->TblEdit(), t->TblDelete(), t->TblCopy()})
            EXPECT_EQ(page, c.pages) << c.type;
        EXPECT_EQ(t->TblUpdatable(), c.updatable) << c.type;
        EXPECT_EQ(t->TblSQL(), c.sql) << c.type;
        EXPECT_EQ(t->TblSrchType(), c.srchType) << c.type;
        EXPECT_EQ(t->TblSecurity(), c.security) << c.type;
    }
    auto named = Table("order_details", "TABLE");
    EXPECT_EQ(named->TblCaption(), "Order Details");
    EXPECT_EQ(named->TblVar(), "order_details");

    database->Tables()->Add("linked");
    auto link = database->Tables()->Item("linked");
    link->SetTblType("LINKTABLE");
    link->SetLinkTableType("TABLE");
    link->LoadTableDefault();
    EXPECT_TRUE(link->TblAdd());

    EXPECT_EQ(ReportSecurityList(""), "");
    EXPECT_EQ(ReportSecurityList(" , ADD "), "");
    // A table outside any database has no security default.
    AGPTable loose;
    loose.SetTblName("x");
    loose.SetTblType("REPORT");
    loose.LoadTableDefault();
    EXPECT_EQ(loose.TblSecurity(), "");
}

TEST(CaptionTest, WordRule) {
    EXPECT_EQ(CaptionFromName("  order__details-line  "), "Order Details Line");
    EXPECT_EQ(CaptionFromName("customerID"), "CustomerID");
    EXPECT_EQ(CaptionFromName("VAT_ID"), "VAT ID");
    EXPECT_EQ(CaptionFromName("2nd_address"), "2nd Address");
    EXPECT_EQ(CaptionFromName("price (net)"), "Price (net)");
    EXPECT_EQ(CaptionFromName("<b>total</b> [eur] {x}"), "<b>total</b> [eur] {x}");
    EXPECT_EQ(CaptionFromName("straße_öl"), "Straße öl");
    EXPECT_EQ(CaptionFromName(" -_ "), "");
}

TEST(SortKeyListTest, SortsTrimmedNamesAndJoinsThemWithCrLf) {
    EXPECT_EQ(SortKeyList(std::vector<std::string>{" b", "a ", "", "C"}), "C\r\na\r\nb");
    EXPECT_EQ(SortKeyList("order_id\r\n line\nitem\r\n"), "item\r\nline\r\norder_id");
    EXPECT_EQ(SortKeyList(""), "");
}

// ---- fields ----

class FieldDefaultsTest : public testing::Test {
protected:
    void SetUp() override {
        test::ResetSettingsStores();
        Engine().databaseKind = kDbSqlite;
        Engine().defaultDateFormat = 5;
    }
    void TearDown() override {
        Engine().databaseKind = 0;
        Engine().defaultDateFormat = 0;
    }
    // A field as a schema loader leaves it before the defaults.
    std::shared_ptr<AGPField> Field(std::string_view name, std::int16_t type, std::int32_t size = 0) {
        auto field = std::make_shared<AGPField>();
        field->SetFldName(std::string(name));
        field->SetFldTypeInfo(type, 0);
        field->SetFldSize(size);
        return field;
    }
    std::shared_ptr<AGPField> Loaded(std::string_view name, std::int16_t type, std::int32_t size = 0) {
        auto field = Field(name, type, size);
        field->LoadFldDefault();
        return field;
    }
};

TEST_F(FieldDefaultsTest, EditControlValidationSearchAndFormatByType) {
    const struct {
        const char* name;
        std::int16_t type;
        std::int32_t size;
        const char *htmlTag, *validate, *srchOpr, *fmtType, *align;
        std::int32_t tagSize;
        bool listed;  // on the list and in the export
    } kCases[] = {
        {"unit_price", kAdCurrency, 0, "TEXT", "FLOAT", "=", "Currency", "right", 0, true},
        {"a", kAdInteger, 0, "TEXT", "INTEGER", "=", "None", "right", 0, true},
        {"notes", kAdLongVarWChar, 0, "TEXTAREA", "", "LIKE", "None", "", 0, false},
        {"photo", kAdLongVarBinary, 0, "FILE", "", "", "None", "", 0, false},
        {"active", kAdBoolean, 0, "CHECKBOX", "", "", "None", "", 0, true},
        {"name", kAdVarWChar, 80, "TEXT", "", "LIKE", "None", "", 30, true},
        {"uid", kAdGUID, 0, "TEXT", "GUID", "", "None", "", 38, true},
        {"born", kAdDBTimeStamp, 0, "TEXT", "DATE", "=", "Date/Time", "", 30, true},
        {"t", kAdDBTime, 0, "TEXT", "TIME", "=", "None", "", 0, true},
    };
    for (const auto& c : kCases) {
        auto f = Loaded(c.name, c.type, c.size);
        EXPECT_EQ(f->FldHtmlTag(), c.htmlTag) << c.name;
        EXPECT_EQ(f->FldValidate(), c.validate) << c.name;
        EXPECT_EQ(f->FldSrchOpr(), c.srchOpr) << c.name;
        EXPECT_EQ(f->FldFmtType(), c.fmtType) << c.name;
        EXPECT_EQ(f->FldAlign(), c.align) << c.name;
        EXPECT_EQ(f->FldTagSize(), c.tagSize) << c.name;
        EXPECT_EQ(f->FldList(), c.listed) << c.name;
        EXPECT_EQ(f->FldExport(), c.listed) << c.name;
        EXPECT_TRUE(f->FldView() && f->FldEdit()) << c.name;
    }
    auto memo = Loaded("notes", kAdLongVarWChar);
    EXPECT_EQ(memo->FldTagCols(), 35);
    EXPECT_EQ(memo->FldTagRows(), 4);
    EXPECT_EQ(Loaded("active", kAdBoolean)->FldTagValues(), "\"1\",\"Yes\"\r\n\"0\",\"No\"");
    EXPECT_EQ(Loaded("name", kAdVarWChar, 80)->FldTagMaxLength(), 80);
    EXPECT_EQ(Loaded("born", kAdDBTimeStamp)->FldDtFormat(), 5);
    Engine().defaultDateFormat = 7;
    EXPECT_EQ(Loaded("d", kAdDate)->FldValidate(), "EURODATE");
    Engine().defaultDateFormat = 2;
    auto plain = Loaded("d", kAdDate);
    EXPECT_EQ(plain->FldValidate(), "");
    EXPECT_EQ(plain->FldFmtType(), "None");
}

TEST_F(FieldDefaultsTest, CommonValuesPageFlagsAndCounters) {
    auto f = Field("unit_price", kAdCurrency);
    f->SetFldReq(true);
    f->SetFldGroupBy(3);
    f->LoadFldDefault();
    EXPECT_EQ(f->FldVar(), "x_unit_price");
    EXPECT_EQ(f->FldCaption(), "Unit Price");
    EXPECT_TRUE(f->FldRequired());
    EXPECT_EQ(f->FldGroupBy(), 0);
    EXPECT_TRUE(f->FldAdd() && f->FldAddOpt() && f->FldMultiUpdate());

    // A caption already set is kept.
    auto named = Field("a", kAdInteger);
    named->SetFldCaption("Given");
    named->LoadFldDefault();
    EXPECT_EQ(named->FldCaption(), "Given");

    auto counter = Field("id", kAdInteger);
    counter->SetFldAutoIncrement(true);
    counter->LoadFldDefault();
    EXPECT_EQ(counter->FldHtmlTag(), "");
    EXPECT_FALSE(counter->FldAdd() || counter->FldAddOpt() || counter->FldMultiUpdate());
    EXPECT_TRUE(counter->FldEdit());
}

TEST_F(FieldDefaultsTest, UnsupportedFieldsAreSwitchedOff) {
    auto f = Field("geom", 999);
    f->SetFldGenerate(true);
    f->SetFldSearch(true);
    f->LoadFldDefault();
    EXPECT_FALSE(f->FldSupport());
    EXPECT_FALSE(f->FldGenerate() || f->FldList() || f->FldView() || f->FldAdd() || f->FldEdit() ||
                 f->FldSearch() || f->FldExport() || f->FldAddOpt() || f->FldMultiUpdate());
    EXPECT_EQ(f->FldAlign(), "");
}

TEST_F(FieldDefaultsTest, SqlServerWritesOnlyUpdatableColumns) {
    Engine().databaseKind = kDbSqlServer;
    auto computed = Loaded("total", kAdInteger);
    EXPECT_FALSE(computed->FldAdd() || computed->FldEdit() || computed->FldMultiUpdate());
    EXPECT_TRUE(computed->FldView());
    for (std::int32_t bits : {4, 8, 0x64}) {
        auto f = Field("qty", kAdInteger);
        f->SetFldAttribute(bits);
        f->LoadFldDefault();
        EXPECT_TRUE(f->FldAdd() && f->FldEdit()) << bits;
    }
}

TEST_F(FieldDefaultsTest, MySqlEnumAndSetColumns) {
    auto enumField = [&](std::string values) {
        auto f = Field("e", kAdChar);
        f->SetNativeDataType(247);
        f->SetFldTagValues(std::move(values));
        f->LoadFldDefault();
        return f->FldHtmlTag();
    };
    EXPECT_EQ(enumField("\"Y\",\"Y\"\r\n\"N\",\"N\""), "CHECKBOX");
    EXPECT_EQ(enumField("\"N\",\"N\"\r\n\"Y\",\"Y\"\r\n"), "CHECKBOX");
    EXPECT_EQ(enumField("\"Y\",\"Y\"\r\n\"N\",\"N\"\r\n\"X\",\"X\""), "RADIO");
    EXPECT_EQ(enumField("\"Y\",\"Y\"\r\n\"Y\",\"Y\""), "RADIO");
    EXPECT_EQ(enumField(""), "RADIO");

    auto set = Field("s", kAdChar);
    set->SetNativeDataType(248);
    set->LoadFldDefault();
    EXPECT_EQ(set->FldHtmlTag(), "CHECKBOX");
}

}  // namespace
}  // namespace velmora
