#include "template/script_bindings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/project/custom_scripts.h"
#include "model/entities/database.h"
#include "model/extensions/ext_objects.h"
#include "model/entities/field.h"
#include "model/project/language.h"
#include "model/project/menus.h"
#include "model/core/super_collection.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/script_engine.h"
#include "test_support.h"

namespace velmora {
namespace {

const ScriptMember* FindMember(const AutomationObject& object, std::string_view name) {
    const ScriptClass* scriptClass = ModelScriptClass(object);
    if (!scriptClass) return nullptr;
    for (const ScriptMember& member : scriptClass->members)
        if (member.name == name) return &member;
    return nullptr;
}

Variant Get(AutomationObject& object, std::string_view name) {
    const ScriptMember* member = FindMember(object, name);
    if (!member || member->kind != ScriptMember::Kind::Property) {
        ADD_FAILURE() << "no property " << name;
        return {};
    }
    return member->get(object);
}

void Set(AutomationObject& object, std::string_view name, const Variant& value) {
    const ScriptMember* member = FindMember(object, name);
    ASSERT_TRUE(member && member->set) << "no setter " << name;
    member->set(object, value);
}

Variant Call(AutomationObject& object, std::string_view name, std::vector<Variant> args = {}) {
    const ScriptMember* member = FindMember(object, name);
    if (!member || member->kind != ScriptMember::Kind::Method) {
        ADD_FAILURE() << "no method " << name;
        return {};
    }
    return member->call(object, args);
}

class ScriptBindingsTest : public testing::Test {
protected:
    void SetUp() override {
        test::ResetSettingsStores();
        project = std::make_shared<AGP>();
        db = project->AddMainDatabase("shop.db");
        for (const char* name : {"orders", "customers", "items"}) db->Tables()->Add(name);
    }

    std::shared_ptr<AGP> project;
    std::shared_ptr<AGPDatabase> db;
};

TEST_F(ScriptBindingsTest, EveryRegisteredPropertyIsAnAccessorWritableUnlessReadOnly) {
    AGPField field;
    AGPCustomScript script;
    AGPExtension extension("ext");
    const std::pair<const AutomationObject*, PropertyTable> tables[] = {
        {project.get(), ProjectProperties()}, {db.get(), DatabaseProperties()},
        {db->Tables()->Item(Variant(1)).get(), TableProperties()}, {&field, FieldProperties()},
        {&script, CustomScriptProperties()}, {&extension, ExtensionProperties()},
    };
    for (const auto& [object, rows] : tables) {
        for (const PropertyDef& row : rows) {
            const ScriptMember* member = FindMember(*object, row.accessor);
            ASSERT_TRUE(member) << row.accessor;
            EXPECT_EQ(member->kind, ScriptMember::Kind::Property) << row.accessor;
            EXPECT_EQ(static_cast<bool>(member->set), !row.readOnly) << row.accessor;
        }
        std::set<std::string> seen;
        for (const ScriptMember& member : ModelScriptClass(*object)->members)
            EXPECT_TRUE(seen.insert(member.name).second) << "twice: " << member.name;
    }
}

TEST_F(ScriptBindingsTest, TypedPropertiesConvertAssignedValuesThroughTheAccessors) {
    auto table = db->Tables()->Item(Variant("orders"));
    Set(*table, "TblRecPerPage", Variant("5"));
    EXPECT_EQ(table->TblRecPerPage(), 5);
    EXPECT_EQ(Get(*table, "TblRecPerPage"), Variant(std::int16_t{5}));
    Set(*table, "TblRecPerPage", Variant("many"));
    EXPECT_EQ(table->TblRecPerPage(), 0);
    Set(*table, "TblGen", Variant("True"));
    EXPECT_TRUE(table->TblGen());
    Set(*table, "TblCaption", Variant(std::int32_t{42}));
    EXPECT_EQ(Get(*table, "TblCaption"), Variant("42"));

    // The custom setter runs: the project variable follows the name.
    Set(*project, "ProjName", Variant("my shop"));
    EXPECT_EQ(project->ProjVar(), "my_shop");
    EXPECT_EQ(Get(*project, "ProjVar"), Variant("my_shop"));
}

TEST_F(ScriptBindingsTest, MethodsConvertTheirArgumentsAndResults) {
    auto tables = db->Tables();
    EXPECT_EQ(Get(*Call(*tables, "Item", {Variant(2)}).AsObject(), "TblName"), Variant("customers"));
    EXPECT_EQ(Get(*tables, "curName"), Variant("customers"));
    EXPECT_EQ(Get(*Call(*tables, "Seq", {Variant("3")}).AsObject(), "TblName"), Variant("items"));
    EXPECT_TRUE(Call(*tables, "Item", {Variant("missing")}).IsEmpty());
    EXPECT_EQ(Call(*tables, "Add", {Variant("orders")}), Variant(false));

    // Optional arguments of the bag's Add keep their defaults.
    auto bag = std::make_shared<AGProperties>();
    EXPECT_EQ(Call(*bag, "Add", {Variant("Plain")}), Variant(true));
    EXPECT_EQ(Call(*bag, "Add", {Variant("Number"), Variant("Integer"), Variant(true), Variant(4)}), Variant(true));
    EXPECT_EQ(bag->Find("Plain")->DataType(), "String");
    EXPECT_TRUE(bag->Find("Plain")->FileSave());
    EXPECT_TRUE(bag->Find("Number")->RegSave());
    EXPECT_EQ(bag->Find("Number")->RegFormat(), 4);
    EXPECT_TRUE(bag->Find("Number")->Sync());

    MenuList().Clear();
    Call(*SharedMenuList(), "AddMenu", {Variant(5), Variant("Orders"), Variant(0), Variant(false), Variant("orders")});
    ASSERT_TRUE(MenuList().GetItemByID(5));
    EXPECT_EQ(MenuList().GetItemByID(5)->MenuSource(), "orders");
    MenuList().Clear();
}

TEST_F(ScriptBindingsTest, WrongArgumentsRaiseScriptErrors) {
    auto tables = db->Tables();
    EXPECT_THROW(Call(*tables, "Count", {Variant(1)}), ScriptThrow);

    auto sessions = std::make_shared<AGPControl>()->Sessions();
    EXPECT_THROW(Call(*sessions, "AddSession", {Variant(tables), Variant(""), Variant("")}), ScriptThrow);
    AGPSession session;
    session.SessValue = "header";
    EXPECT_EQ(Call(*sessions, "AddSession", {Variant(std::make_shared<AGPSession>(session))}), Variant(true));
    EXPECT_EQ(sessions->Item(1)->SessValue, "header");

    // The keyed collection's own errors reach scripts with their texts.
    auto collection = std::make_shared<CSuperCollection>();
    Call(*collection, "Add", {Variant(1), Variant("a")});
    try {
        Call(*collection, "Add", {Variant(2), Variant("a")});
        ADD_FAILURE() << "duplicate key accepted";
    } catch (const ScriptThrow& e) {
        EXPECT_STREQ(e.what(), "This key is already associated with an element of this collection");
    }
    EXPECT_EQ(Get(*collection, "Count"), Variant(std::int32_t{1}));
}

TEST_F(ScriptBindingsTest, PlainMembersAndPhraseRecordsAreReachable) {
    auto items = std::make_shared<AGControlItems>();
    items->Add("list", "orderslist.php", false, "");
    auto item = Call(*items, "Item", {Variant("list")}).AsObject();
    Set(*item, "ItemGen", Variant("1"));
    EXPECT_TRUE(items->Item(Variant("list"))->ItemGen);

    Language().ClearTranslations();
    Language().SetTablePhrase("en", "orders", "TblCaption", "Orders");
    auto language = SharedLanguage();
    EXPECT_EQ(Get(*language, "TableCount"), Variant(std::int32_t{1}));
    auto record = Call(*language, "TableItem", {Variant(1)});
    ASSERT_TRUE(record.IsObject());
    EXPECT_EQ(Get(*record.AsObject(), "TableName"), Variant("orders"));
    EXPECT_FALSE(FindMember(*record.AsObject(), "TableName")->set);
    EXPECT_TRUE(Call(*language, "TableItem", {Variant(2)}).IsEmpty());
    Language().ClearTranslations();
}

class ScriptBindingsEngineTest : public ScriptBindingsTest {
protected:
    void SetUp() override {
        ScriptBindingsTest::SetUp();
        ASSERT_TRUE(engine.Valid());
        engine.AddObject("PROJ", Variant(project));
        engine.AddObject("DB", Variant(db));
    }

    Variant Eval(std::string_view code) {
        Variant result;
        EXPECT_TRUE(engine.Eval(code, result)) << code << ": " << engine.LastError().description;
        return result;
    }

    ScriptEngine engine{ModelScriptClass};
};

TEST_F(ScriptBindingsEngineTest, ScriptsWalkAndChangeTheModel) {
    EXPECT_EQ(Eval("var a = []; for (var t of DB.Tables) a.push(t.TblName); a.join()"),
              Variant("orders,customers,items"));
    EXPECT_EQ(Eval("var e = new Enumerator(DB.Tables.Item(1).Properties); e.item().Name"), Variant("TblSeq"));
    EXPECT_EQ(Eval("DB.Tables.Count() + DB.Tables.NewEnum_tbl().length"), Variant(6));
    Eval("DB.Tables.Item('customers').TblCaption = 'Clients'; PROJ.SetV('CharSet', 'utf-8')");
    EXPECT_EQ(db->Tables()->Item(Variant("customers"))->TblCaption(), "Clients");
    EXPECT_EQ(Eval("PROJ.GetV('CharSet') + '/' + PROJ.CharSet"), Variant("utf-8/utf-8"));
    EXPECT_EQ(Eval("PROJ.DB.Tables.Item(3).Fields.Count()"), Variant(0));
}

TEST_F(ScriptBindingsEngineTest, MembersAreFoundInAnyLetterCase) {
    Eval("var t = DB.Tables.Item('orders'); t.tblcaption = 'Open'; t.TBLCAPTION += ' orders'");
    EXPECT_EQ(db->Tables()->Item(Variant("orders"))->TblCaption(), "Open orders");
    EXPECT_EQ(Eval("[t.TblCaption, t.tblCaption, PROJ.db.tables.count(), typeof t.TblCaptoin].join()"),
              Variant("Open orders,Open orders,3,undefined"));
    Variant ignored;
    EXPECT_FALSE(engine.Eval("PROJ.ProjVar = 'x'", ignored));
    EXPECT_EQ(Eval("try { DB.Tables.Seq('x'); 'no' } catch (e) { e.message }"), Variant("Seq: Type mismatch"));
}

// The root object's operations (tests/data/root_object_operations.txt) in its dispatch order; members
// a host never had (GenSummary, ...) may follow, nothing may be missing or out of order.
TEST(RootObjectMembers, OperationsInSlotOrder) {
    std::istringstream file(test::ReadData("root_object_operations.txt"));
    const std::vector<std::string> operations{std::istream_iterator<std::string>(file), {}};
    ASSERT_EQ(operations.size(), 70u);
    std::vector<std::string> listed;
    for (const ScriptMember& member : ModelScriptClass(AGP())->members)
        if (member.kind == ScriptMember::Kind::Method && std::ranges::count(operations, member.name) > 0)
            listed.push_back(member.name);
    EXPECT_EQ(listed, operations);
}

}  // namespace
}  // namespace velmora
