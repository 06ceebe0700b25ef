#include <gtest/gtest.h>

#include <map>
#include <set>

#include "model/project/agp.h"
#include "model/controls/condition.h"
#include "support/engine_state.h"
#include "test_support.h"

namespace velmora {
namespace {

// Values of the current objects; an object missing from `current` is not current.
class FakeSource : public ConditionSource {
public:
    void Set(CondObject object, std::string name, Variant value, std::string type = {}) {
        values[{object, std::move(name)}] = CondOperand{std::move(value), std::move(type)};
    }
    std::optional<CondOperand> Attribute(CondObject object, std::string_view name) override {
        if (!current.count(object)) return std::nullopt;
        auto it = values.find({object, std::string(name)});
        return it == values.end() ? CondOperand{Variant(""), ""} : it->second;
    }
    FunctionOutcome RunFunction(std::string_view name) override {
        calls.emplace_back(name);
        return function ? *function : ConditionSource::RunFunction(name);
    }

    std::map<std::pair<CondObject, std::string>, CondOperand> values;
    std::set<CondObject> current = {CondObject::Ctrl, CondObject::Proj, CondObject::Db, CondObject::Table,
                                    CondObject::Field};
    std::optional<FunctionOutcome> function;
    std::vector<std::string> calls;
};

class ConditionTest : public testing::Test {
protected:
    void SetUp() override {
        src.Set(CondObject::Table, "TblType", Variant("TABLE"), "String");
        src.Set(CondObject::Table, "TblRecPerPage", Variant(std::int16_t{20}), "Integer");
        src.Set(CondObject::Table, "TblCaption", Variant("Order Details"), "String");
        src.Set(CondObject::Field, "FldList", Variant(true), "Boolean");
        src.Set(CondObject::Field, "FldEdit", Variant("False"), "Boolean");  // text still to be typed
        src.Set(CondObject::Proj, "SecType", Variant("None"), "String");
        src.Set(CondObject::Ctrl, "ctrlid", Variant("list"));
        src.Set(CondObject::Ctrl, "ctrlspace", Variant(true));
    }
    bool Holds(std::string_view cond) { return EvaluateCondition(cond, src); }
    FakeSource src;
};

// Clauses are anded, "|" separates the alternatives of one clause. Values compare in the declared
// type: 20 > 9 as numbers although "20" < "9" as texts, a value that does not convert is 0, Booleans
// compare as "1" and "0" (so "gt/0" holds, where True as -1 would not). eq is case-sensitive, in and
// ni ignore case, texts compare byte-wise and String alternatives lose surrounding quotes. Control
// alternatives are trimmed. Clauses of other than four parts and unknown (or empty) operators are
// skipped; odd bytes and separators in values are data.
TEST_F(ConditionTest, ClausesOperatorsAndTypes) {
    for (std::string_view cond :
         {"table/TblType/in/TABLE|VIEW", "table/TblType/eq/VIEW|TABLE",
          " table/TblType/eq/TABLE , proj/SecType/eq/None ", "table/TblRecPerPage/gt/9", "table/TblRecPerPage/ge/20",
          "table/TblRecPerPage/le/20", "table/TblRecPerPage/ne/21", "table/TblCaption/in/DETAIL",
          "table/TblCaption/ni/Customer", "table/TblType/eq/'TABLE'", "table/TblType/gt/SYSTEM",
          "field/FldList/eq/True", "field/FldList/eq/1", "field/FldList/eq/-1", "field/FldList/gt/0",
          "field/FldEdit/eq/false", "ctrl/CtrlID/eq/ list |grid", "table/TblMissing/eq/|x"})
        EXPECT_TRUE(Holds(cond)) << cond;
    for (std::string_view skipped :
         {"", "table/TblType/eq", "table/TblType/eq/TABLE/extra", "table/TblType/like/nothing", ",,, ,", "////", "///"})
        EXPECT_TRUE(Holds(skipped)) << skipped;
    for (std::string_view cond : {"table/TblType/eq/VIEW|REPORT", "table/TblType/eq/TABLE,proj/SecType/ne/None",
                                  "table/TblType/eq/VIEW|TABLE,proj/SecType/eq/Static|Static2",
                                  "table/TblRecPerPage/lt/20", "table/TblRecPerPage/eq/abc", "table/TblType/eq/table",
                                  "table/TblCaption/ni/detail", "table/TblType/lt/SYSTEM", "field/FldList/eq/0",
                                  "field/FldList/eq/maybe", "ctrl/ctrlid/eq/List", "table/TblType/eq/\xff\xfe|"})
        EXPECT_FALSE(Holds(cond)) << cond;
}

TEST_F(ConditionTest, UnknownAndNotCurrentObjectsDoNotHold) {
    // Unknown control properties compare as empty without asking the source.
    src.Set(CondObject::Ctrl, "ctrlnosuch", Variant("x"));
    EXPECT_TRUE(Holds("ctrl/ctrlnosuch/eq/"));
    EXPECT_FALSE(Holds("ctrl/ctrlnosuch/eq/x"));
    auto unknown = EvaluateConditionDetailed("view/TblType/eq/TABLE", src);
    EXPECT_FALSE(unknown.holds);
    EXPECT_EQ(unknown.status, CondStatus::Malformed);
    src.current.erase(CondObject::Ctrl);
    auto result = EvaluateConditionDetailed("ctrl/ctrlid/eq/list", src);
    EXPECT_FALSE(result.holds);
    EXPECT_EQ(result.status, CondStatus::Malformed);
    src.current.erase(CondObject::Field);
    EXPECT_FALSE(Holds("table/TblType/eq/TABLE,field/FldList/eq/1"));
    // A Null value matches nothing, not even "ne".
    src.Set(CondObject::Table, "TblNull", Variant::Null());
    EXPECT_FALSE(Holds("table/TblNull/ne/x"));
    EXPECT_FALSE(Holds("table/TblNull/ni/x"));
}

TEST_F(ConditionTest, FunctionClausesNeedAScriptHost) {
    auto result = EvaluateConditionDetailed("Function/ HasUploads /boolean/eq/true", src);
    EXPECT_FALSE(result.holds);
    EXPECT_EQ(result.status, CondStatus::UnsupportedFunction);
    EXPECT_NE(result.message.find("'HasUploads'"), std::string::npos);
    ASSERT_EQ(src.calls.size(), 1u);
    EXPECT_EQ(src.calls[0], "HasUploads");

    src.function = FunctionOutcome{FunctionOutcome::Kind::Value, Variant(std::int32_t{12}), {}};
    EXPECT_TRUE(Holds("function/Count/integer/gt/9"));
    EXPECT_FALSE(Holds("function/Count/boolean/eq/true"));  // True is -1
    src.function = FunctionOutcome{FunctionOutcome::Kind::Error, {}, "ReferenceError: x is not defined"};
    result = EvaluateConditionDetailed("table/TblType/eq/TABLE,function/Count/integer/gt/9", src);
    EXPECT_FALSE(result.holds);
    EXPECT_EQ(result.status, CondStatus::FunctionError);
    EXPECT_EQ(result.message, "ReferenceError: x is not defined");
    // Evaluation stops at the first clause that fails.
    src.calls.clear();
    EXPECT_FALSE(Holds("table/TblType/eq/VIEW,function/Count/integer/gt/9"));
    EXPECT_TRUE(src.calls.empty());
}

TEST(ProjectConditionSourceTest, ReadsTheProjectBagThenGetV) {
    test::ResetSettingsStores();
    AGP proj;
    proj.SetSecType("Static");
    proj.SetRecPerPage(20);
    ProjectConditionSource src(&proj, nullptr);
    for (std::string_view cond :
         {"proj/SecType/ne/None", "proj/AutoSync/eq/1", "proj/RecPerPage/gt/9", "proj/NoSuchSetting/eq/"})
        EXPECT_TRUE(EvaluateCondition(cond, src)) << cond;
    // Nothing but the project is current.
    EXPECT_FALSE(EvaluateCondition("table/TblType/eq/TABLE", src));

    ProjectConditionSource noProject(nullptr, [](CondObject, std::string_view) {
        return std::optional<CondOperand>(CondOperand{Variant("TABLE"), "String"});
    });
    EXPECT_FALSE(EvaluateCondition("proj/SecType/eq/None", noProject));
    EXPECT_TRUE(EvaluateCondition("table/TblType/eq/TABLE", noProject));
}

}  // namespace
}  // namespace velmora
