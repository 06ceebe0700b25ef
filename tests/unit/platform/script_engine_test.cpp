#include "platform/script_engine.h"

#include <gtest/gtest.h>
#include <jsapi.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/script_context.h"

namespace velmora {
namespace {

// A toy object model: items with a name, a read-only id and methods; a bag of items.
struct Item : AutomationObject {
    explicit Item(std::string n, int* destroyed = nullptr) : name(std::move(n)), destroyed_(destroyed) {}
    ~Item() override {
        if (destroyed_) ++*destroyed_;
    }
    std::string name;
    std::int32_t id = 7;
    int* destroyed_;
};

struct Bag : AutomationObject {
    std::vector<std::shared_ptr<Item>> items;
};

Item& AsItem(AutomationObject& o) { return static_cast<Item&>(o); }
Bag& AsBag(AutomationObject& o) { return static_cast<Bag&>(o); }

ScriptMember Property(std::string name, std::function<Variant(AutomationObject&)> get,
                      std::function<void(AutomationObject&, const Variant&)> set = {}) {
    return {std::move(name), ScriptMember::Kind::Property, std::move(get), std::move(set), {}};
}

ScriptMember Method(std::string name, std::function<Variant(AutomationObject&, ScriptArgs)> call) {
    return {std::move(name), ScriptMember::Kind::Method, {}, {}, std::move(call)};
}

const ScriptClass kItemClass{
    "Item",
    {
        Property(
            "Name", [](AutomationObject& o) { return Variant(AsItem(o).name); },
            [](AutomationObject& o, const Variant& v) { AsItem(o).name = v.ToText(); }),
        Property("Id", [](AutomationObject& o) { return Variant(AsItem(o).id); }),
        Method("Refuse", [](AutomationObject&, ScriptArgs) -> Variant { throw ScriptThrow("item refused"); }),
        Method("Break",
               [](AutomationObject&, ScriptArgs) -> Variant { throw std::out_of_range("index out of range"); }),
    },
    {}};

const ScriptClass kBagClass{
    "Bag",
    {
        Property("Count",
                 [](AutomationObject& o) { return Variant(static_cast<std::int32_t>(AsBag(o).items.size())); }),
        Method("Item",
               [](AutomationObject& o, ScriptArgs args) {
                   return Variant(AsBag(o).items.at(static_cast<std::size_t>(args[0].AsLong() - 1)));
               }),
    },
    [](AutomationObject& o) {
        std::vector<Variant> out;
        for (auto& item : AsBag(o).items) out.emplace_back(item);
        return out;
    }};

// What an error is and where it happened, to compare in one piece.
auto Where(const ScriptError& e) { return std::tuple(e.number, e.source, e.fileName, e.line, e.column, e.text); }

const ScriptClass* Resolve(const AutomationObject& o) {
    if (dynamic_cast<const Item*>(&o)) return &kItemClass;
    if (dynamic_cast<const Bag*>(&o)) return &kBagClass;
    return nullptr;
}

class ScriptEngineTest : public testing::Test {
   protected:
    ScriptEngineTest() {
        bag->items = {std::make_shared<Item>("Orders"), std::make_shared<Item>("Customers")};
        engine.AddObject("bag", Variant(bag));
    }

    Variant Eval(std::string_view code) {
        Variant result;
        EXPECT_TRUE(engine.Eval(code, result)) << code << ": " << engine.LastError().description;
        return result;
    }

    // Runs a one-argument function of the added code.
    Variant Call(std::string_view function, const Variant& argument) {
        Variant result;
        EXPECT_TRUE(engine.Run(function, std::span(&argument, 1), result)) << engine.LastError().description;
        return result;
    }

    ScriptError ErrorOf(std::string_view code) {
        Variant ignored;
        EXPECT_FALSE(engine.Eval(code, ignored)) << code;
        return engine.LastError();
    }

    std::shared_ptr<Bag> bag = std::make_shared<Bag>();
    ScriptEngine engine{Resolve};
};

TEST_F(ScriptEngineTest, ValuesRoundTripThroughScriptFunctions) {
    ASSERT_TRUE(engine.Valid());
    ASSERT_TRUE(engine.AddCode("function echo(v) { return v; }"));
    const Variant values[] = {
        Variant(),
        Variant::Null(),
        Variant(true),
        Variant(std::int32_t{-5}),
        Variant(2.5),
        Variant(1e10),
        Variant("Grüße € \xF0\x9F\x98\x80"),
        Variant(DateValue{45292.5}),
        Variant(DateValue{45292.123}),
        Variant(DateValue{-1.25}),
        Variant(Variant::Array{Variant(1), Variant("a"), Variant(Variant::Array{Variant(true)})}),
        Variant(bag->items[0]),
        Variant(std::string("a\0b", 3)),
    };
    for (const Variant& value : values) {
        Variant back = Call("echo", value);
        if (value.Type() == VarType::Date)
            EXPECT_NEAR(back.AsDate().serial, value.AsDate().serial, 1e-8) << value.AsDate().serial;
        else
            EXPECT_EQ(back, value) << value.ToText();
    }
    // Narrower and integral numbers arrive as Long; other objects as their text.
    EXPECT_EQ(Call("echo", Variant(std::int16_t{3})), Variant(std::int32_t{3}));
    EXPECT_EQ(Call("echo", Variant(3.0)), Variant(std::int32_t{3}));
    EXPECT_EQ(Eval("-0"), Variant(-0.0));
    EXPECT_EQ(Eval("({ toString: function () { return 'text'; } })"), Variant("text"));
    EXPECT_TRUE(Eval("(function () {})").IsEmpty());
}

TEST_F(ScriptEngineTest, DatesAreLocalWallClockTimes) {
    EXPECT_EQ(Eval("new Date(2024, 0, 1, 12, 0, 0)"), Variant(DateValue{45292.5}));
    const Variant noon(DateValue{45292.5});
    engine.AddObject("noon", noon);
    EXPECT_EQ(Eval("[noon.getFullYear(), noon.getMonth(), noon.getDate(), noon.getHours()].join()"),
              Variant("2024,0,1,12"));
    EXPECT_TRUE(Eval("new Date(NaN)").IsNull());
}

TEST_F(ScriptEngineTest, NativeMembersKeepIdentityAndRefuseWhatTheClassDoesNotAllow) {
    // One wrapper per object, so script identity follows native identity.
    EXPECT_EQ(Eval("bag.Item(1) === bag.Item(1) && bag.Item(1) !== bag.Item(2)"), Variant(true));
    EXPECT_EQ(Eval("Object.prototype.toString.call(bag)"), Variant("[object Bag]"));
    EXPECT_EQ(Eval("try { bag.Item(1).Id = 3; 'no error' } catch (e) { e instanceof TypeError && "
                   "e.message }"),
              Variant("Id is read-only"));
    EXPECT_EQ(bag->items[0]->id, 7);
    const ScriptError misspelt = ErrorOf("bag.Item(1).Nmae = 'x'");
    EXPECT_NE(misspelt.description.find("Nmae"), std::string::npos) << misspelt.description;
    EXPECT_NE(misspelt.description.find("Item"), std::string::npos) << misspelt.description;
    EXPECT_EQ(Eval("'Nmae' in bag.Item(1)"), Variant(false));
    // Native failures are ordinary, catchable script errors.
    EXPECT_EQ(Eval("try { bag.Item(1).Refuse() } catch (e) { e.message }"), Variant("item refused"));
    EXPECT_EQ(Eval("try { bag.Item(1).Break() } catch (e) { e.message }"), Variant("index out of range"));
    EXPECT_EQ(ErrorOf("bag.Item(1).Refuse()").description, "item refused");
    // A member taken to another object's class is refused rather than misapplied.
    const ScriptError borrowed = ErrorOf(
        "Object.getOwnPropertyDescriptor(Object.getPrototypeOf(bag), "
        "'Count').get.call(bag.Item(1))");
    EXPECT_NE(borrowed.description.find("not a Bag"), std::string::npos) << borrowed.description;
}

TEST_F(ScriptEngineTest, WrappersFollowTheLifetimeOfScriptReferences) {
    int destroyed = 0;
    engine.AddFunction("make",
                       [&destroyed](ScriptArgs) { return Variant(std::make_shared<Item>("temporary", &destroyed)); });
    ASSERT_TRUE(engine.AddCode("var kept = bag.Item(1); for (var i = 0; i < 100; i++) make().Name;"));
    JS_GC(jsengine::AcquireContext());
    EXPECT_EQ(destroyed, 100);
    EXPECT_EQ(Eval("kept === bag.Item(1)"), Variant(true));
    // New objects, possibly at the addresses of collected ones, get wrappers of their own.
    EXPECT_EQ(Eval("make().Name = 'fresh'; make().Name"), Variant("temporary"));

    // Dropping the engine releases the objects it published at once.
    auto held = std::make_shared<Item>("held", &destroyed);
    {
        ScriptEngine other(Resolve);
        other.AddObject("held", Variant(held));
        Variant ignored;
        ASSERT_TRUE(other.Eval("held.Name", ignored));
    }
    EXPECT_EQ(held.use_count(), 1);
}

TEST_F(ScriptEngineTest, ErrorsReportPositionAndLine) {
    EXPECT_FALSE(engine.AddCode("var a = 1;\n  var b = ;\nvar c;", "page.js"));
    EXPECT_EQ(Where(engine.LastError()),
              std::tuple(kScriptSyntaxError, "JavaScript compilation error", "page.js", 2, 11, "  var b = ;"));
    EXPECT_FALSE(engine.LastError().timedOut);

    ASSERT_TRUE(
        engine.AddCode("function f() {\r\n  var x = 1; missing(x);\r\n}\nfunction g() { throw 'plain'; }", "lib.js"));
    Variant result;
    EXPECT_FALSE(engine.Run("f", {}, result));
    EXPECT_EQ(Where(engine.LastError()),
              std::tuple(kScriptRuntimeError, "JavaScript runtime error", "lib.js", 2, 14, "  var x = 1; missing(x);"));
    EXPECT_EQ(engine.LastError().description, "missing is not defined");

    EXPECT_FALSE(engine.Run("g", {}, result));
    EXPECT_EQ(engine.LastError().description, "plain");
    EXPECT_EQ(engine.LastError().line, 4);

    EXPECT_FALSE(engine.Run("nothing", {}, result));
    EXPECT_EQ(engine.LastError().number, kScriptRuntimeError);
    // Runaway recursion is an ordinary error that leaves the engine usable.
    EXPECT_EQ(ErrorOf("function r(n) { return r(n + 1) + 1; } r(0)").number, kScriptRuntimeError);
    EXPECT_EQ(Eval("1 + 1"), Variant(2));
}

TEST_F(ScriptEngineTest, TimeOutStopsRunawayScriptsAndLeavesTheEngineUsable) {
    engine.SetTimeout(100);
    ASSERT_TRUE(
        engine.AddCode("function spin() { try { while (true) {} } catch (e) {} return 1; }\n"
                       "function ok(a) { return a + 1; }"));
    const auto start = std::chrono::steady_clock::now();
    Variant result;
    EXPECT_FALSE(engine.Run("spin", {}, result));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(engine.LastError().timedOut);
    EXPECT_EQ(engine.LastError().number, kScriptTimeoutError);

    EXPECT_FALSE(engine.AddCode("for (;;) {}"));
    EXPECT_TRUE(engine.LastError().timedOut);
    EXPECT_EQ(Eval("ok(41)"), Variant(42));
}

TEST_F(ScriptEngineTest, ProceduresAreListedInDefinitionOrder) {
    ASSERT_TRUE(
        engine.AddCode("var v1 = function () {};\nfunction d1() {}\nvar n = 3;\n"
                       "let hidden = function () {};\nvar v2 = function () {};\nfunction d2() {}"));
    ASSERT_TRUE(engine.AddCode("function later() {}\nfunction d1() {}"));
    engine.AddFunction("hostFunction", [](ScriptArgs) { return Variant(); });
    EXPECT_EQ(engine.Procedures(), (std::vector<std::string>{"v1", "d1", "v2", "d2", "later"}));
    EXPECT_TRUE(engine.HasProcedure("D2", true));
    EXPECT_FALSE(engine.HasProcedure("D2", false));
    EXPECT_FALSE(engine.HasProcedure("n", true));
    EXPECT_FALSE(engine.HasProcedure("Enumerator", true));
}

TEST_F(ScriptEngineTest, CollectionsIterateWithForOfAndEnumerator) {
    EXPECT_EQ(Eval("var names = []; for (var t of bag) names.push(t.Name); names.join()"), Variant("Orders,Customers"));
    EXPECT_EQ(Eval("var e = new Enumerator(bag), out = [];"
                   "for (; !e.atEnd(); e.moveNext()) out.push(e.item().Name);"
                   "e.moveFirst(); out.push(e.item() === bag.Item(1)); e.moveNext(); e.moveNext();"
                   "out.push(e.item()); out.join()"),
              Variant("Orders,Customers,true,"));
    EXPECT_EQ(Eval("var a = new Enumerator([1, 2]); a.moveNext(); a.item()"), Variant(2));
    engine.AddObject("list", Variant(Variant::Array{Variant("x"), Variant("y")}));
    EXPECT_EQ(Eval("var s = ''; for (var e = new Enumerator(list); !e.atEnd(); e.moveNext()) s += "
                   "e.item(); s"),
              Variant("xy"));
    EXPECT_EQ(Eval("new Enumerator().atEnd()"), Variant(true));
    EXPECT_NE(ErrorOf("new Enumerator(bag.Item(1))").description.find("not a collection"), std::string::npos);
    EXPECT_NE(ErrorOf("for (var x of bag.Item(1)) {}").number, 0);
}

TEST_F(ScriptEngineTest, ResetAndSeparateEnginesShareNothing) {
    ASSERT_TRUE(engine.AddCode("var shared = 1; function f() { return 1; }"));
    ScriptEngine other(Resolve);
    Variant result;
    EXPECT_TRUE(other.Eval("typeof shared + typeof bag", result));
    EXPECT_EQ(result, Variant("undefinedundefined"));

    engine.Reset();
    EXPECT_TRUE(engine.Valid());
    EXPECT_TRUE(engine.Procedures().empty());
    EXPECT_EQ(Eval("typeof shared + typeof bag + typeof Enumerator"), Variant("undefinedundefinedfunction"));
}

TEST_F(ScriptEngineTest, HostFunctionsAndConstructors) {
    engine.AddFunction("refuse", [](ScriptArgs) -> Variant { throw ScriptThrow("refused"); });
    engine.AddConstructor("Thing", [](ScriptArgs args) {
        return ObjectRef(std::make_shared<Item>(args.empty() ? "" : args[0].ToText()));
    });
    engine.AddConstructor("Nothing", [](ScriptArgs) { return ObjectRef(); });
    EXPECT_EQ(Eval("new Thing('made').Name"), Variant("made"));
    EXPECT_EQ(Eval("try { refuse() } catch (e) { e.message }"), Variant("refused"));
    EXPECT_NE(ErrorOf("new Nothing()").description.find("Nothing"), std::string::npos);
    // Sloppy-mode functions see arguments.callee.
    ASSERT_TRUE(engine.AddCode("function fact(n) { return n <= 1 ? 1 : n * arguments.callee(n - 1); }"));
    EXPECT_EQ(Eval("fact(5)"), Variant(120));
}

TEST_F(ScriptEngineTest, OddValuesCrossIntact) {
    ASSERT_TRUE(engine.AddCode("function len(v) { return v.length; }"));
    // Malformed UTF-8 keeps its bytes, one character each, instead of vanishing.
    EXPECT_EQ(Call("len", Variant("\xC3\x28 bad")), Variant(6));
    // A self-containing array ends in empties rather than recursing forever.
    EXPECT_EQ(Eval("var a = [1]; a.push(a); a").AsArray().at(0), Variant(1));
    struct Unknown : AutomationObject {};
    engine.AddObject("unknown", Variant(std::make_shared<Unknown>()));
    EXPECT_TRUE(Eval("unknown").IsNull());
}

TEST_F(ScriptEngineTest, NativesMayCallBackIntoTheEngine) {
    engine.AddFunction("callInner", [this](ScriptArgs args) {
        Variant result;
        engine.Run(args[0].AsString(), {}, result);
        return result;
    });
    ASSERT_TRUE(
        engine.AddCode("function inner() { return bag.Item(2).Name; }\n"
                       "function spin() { for (;;) {} }\n"
                       "function outer() { callInner('spin'); for (;;) {} }"));
    EXPECT_EQ(Eval("callInner('inner')"), Variant("Customers"));
    // A time-out inside the nested call still stops the outer one.
    engine.SetTimeout(100);
    Variant result;
    EXPECT_FALSE(engine.Run("outer", {}, result));
    EXPECT_TRUE(engine.LastError().timedOut);
    EXPECT_EQ(Eval("callInner('inner')"), Variant("Customers"));

    // An inner call's own, shorter limit stops only the inner call.
    ScriptEngine inner(Resolve);
    ASSERT_TRUE(inner.AddCode("function spin() { for (;;) {} }"));
    inner.SetTimeout(100);
    engine.SetTimeout(0);
    engine.AddFunction("spinInner", [&inner](ScriptArgs) {
        Variant ignored;
        return Variant(!inner.Run("spin", {}, ignored) && inner.LastError().timedOut);
    });
    EXPECT_EQ(Eval("var stopped = spinInner(); stopped ? 'inner stopped, outer ran on' : 'no'"),
              Variant("inner stopped, outer ran on"));
}

TEST(ScriptEngineShutdown, WaitsForLiveEngines) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ScriptEngine engine(Resolve);
            ShutDownScriptEngines();
            Variant result;
            const bool stillRuns = engine.Eval("1 + 1", result) && result == Variant(2);
            engine.Reset();
            ShutDownScriptEngines();
            std::exit(stillRuns ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace velmora
