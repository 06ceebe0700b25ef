#include "platform/script_enumerator.h"

#include <js/Array.h>
#include <js/Object.h>
#include <js/Realm.h>

#include "platform/script_errors.h"
#include "platform/script_wrappers.h"

namespace velmora::jsengine {
namespace {

constexpr std::uint32_t kItemsSlot = 0;
constexpr std::uint32_t kIndexSlot = 1;

const JSClass kEnumeratorClass = {
    "Enumerator", JSCLASS_HAS_RESERVED_SLOTS(2), nullptr, nullptr, nullptr, nullptr};

// The items to walk: none for no argument, the items of an enumerable native object, or
// Array.from of anything else.
bool ItemsOf(JSContext* cx, JS::HandleValue source, JS::MutableHandleObject items) {
    if (source.isNullOrUndefined()) {
        items.set(JS::NewArrayObject(cx, 0));
        return items != nullptr;
    }
    if (!source.isObject())
        return ThrowTypeError(cx, "Enumerator: the argument is not a collection");
    JS::RootedObject object(cx, &source.toObject());
    if (IsWrapper(object)) return CollectItems(cx, object, items);
    JS::RootedObject arrayClass(cx);
    JS::RootedValue result(cx);
    if (!JS_GetClassObject(cx, JSProto_Array, &arrayClass) ||
        !JS_CallFunctionName(cx, arrayClass, "from", JS::HandleValueArray(source), &result))
        return false;
    items.set(&result.toObject());
    return true;
}

bool Construct(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    JS::RootedObject items(cx);
    if (!ItemsOf(cx, args.get(0), &items)) return false;
    // `Enumerator(x)` without `new` is accepted as well.
    JS::RootedObject callee(cx, &args.callee());
    JS::RootedValue prototype(cx);
    if (!JS_GetProperty(cx, callee, "prototype", &prototype)) return false;
    JS::RootedObject proto(cx, prototype.isObject() ? &prototype.toObject() : nullptr);
    JSObject* self = JS_NewObjectWithGivenProto(cx, &kEnumeratorClass, proto);
    if (!self) return false;
    JS::SetReservedSlot(self, kItemsSlot, JS::ObjectValue(*items));
    JS::SetReservedSlot(self, kIndexSlot, JS::Int32Value(0));
    args.rval().setObject(*self);
    return true;
}

// Lives on the stack only: it roots the enumerator and its items.
struct Position {
    explicit Position(JSContext* cx) : self(cx), items(cx) {}
    JS::RootedObject self;
    JS::RootedObject items;
    std::uint32_t index = 0;
    std::uint32_t length = 0;
};

bool PositionOf(JSContext* cx, const JS::CallArgs& args, Position& position) {
    if (args.thisv().isObject()) {
        JSObject* self = &args.thisv().toObject();
        if (JS::GetClass(self) == &kEnumeratorClass) {
            const JS::Value& items = JS::GetReservedSlot(self, kItemsSlot);
            if (items.isObject()) {
                position.self = self;
                position.items = &items.toObject();
                position.index =
                    static_cast<std::uint32_t>(JS::GetReservedSlot(self, kIndexSlot).toInt32());
                return JS::GetArrayLength(cx, position.items, &position.length);
            }
        }
    }
    return ThrowTypeError(cx, "Enumerator method called on an object that is not an Enumerator");
}

bool AtEnd(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    Position p(cx);
    if (!PositionOf(cx, args, p)) return false;
    args.rval().setBoolean(p.index >= p.length);
    return true;
}

bool MoveNext(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    Position p(cx);
    if (!PositionOf(cx, args, p)) return false;
    if (p.index < p.length)
        JS::SetReservedSlot(p.self, kIndexSlot,
                            JS::Int32Value(static_cast<std::int32_t>(p.index + 1)));
    args.rval().setUndefined();
    return true;
}

bool MoveFirst(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    Position p(cx);
    if (!PositionOf(cx, args, p)) return false;
    JS::SetReservedSlot(p.self, kIndexSlot, JS::Int32Value(0));
    args.rval().setUndefined();
    return true;
}

// The current item; undefined at the end.
bool Item(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    Position p(cx);
    if (!PositionOf(cx, args, p)) return false;
    if (p.index >= p.length) {
        args.rval().setUndefined();
        return true;
    }
    return JS_GetElement(cx, p.items, p.index, args.rval());
}

}  // namespace

bool DefineEnumerator(JSContext* cx, JS::HandleObject global) {
    JS::RootedObject objectPrototype(cx, JS::GetRealmObjectPrototype(cx));
    if (!objectPrototype) return false;
    JS::RootedObject prototype(cx, JS_InitClass(cx, global, objectPrototype, &kEnumeratorClass,
                                                Construct, 1, nullptr, nullptr, nullptr, nullptr));
    return prototype && JS_DefineFunction(cx, prototype, "atEnd", AtEnd, 0, 0) &&
           JS_DefineFunction(cx, prototype, "moveNext", MoveNext, 0, 0) &&
           JS_DefineFunction(cx, prototype, "moveFirst", MoveFirst, 0, 0) &&
           JS_DefineFunction(cx, prototype, "item", Item, 0, 0);
}

}  // namespace velmora::jsengine
