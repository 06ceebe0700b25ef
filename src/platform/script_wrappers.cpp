#include "platform/script_wrappers.h"

#include <js/Conversions.h>
#include <js/Id.h>
#include <js/Object.h>
#include <js/Symbol.h>
#include <jsfriendapi.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/script_engine.h"
#include "platform/script_errors.h"
#include "platform/script_global.h"
#include "platform/script_values.h"
#include "support/text.h"

namespace velmora::jsengine {
namespace {

constexpr std::uint32_t kDataSlot = 0;
// Reserved slots of member functions: which member of which class they serve.
constexpr std::size_t kMemberSlot = 0;
constexpr std::size_t kClassSlot = 1;

struct WrapperData {
    ObjectRef object;
    const ScriptClass* scriptClass;
};

WrapperData* DataOf(JSObject* wrapper) {
    return JS::GetMaybePtrFromReservedSlot<WrapperData>(wrapper, kDataSlot);
}

std::string IdText(JSContext* cx, JS::HandleId id) {
    if (id.isSymbol()) return "(symbol)";
    JS::RootedValue value(cx);
    JS::RootedString text(cx);
    if (JS_IdToValue(cx, id, &value)) text = JS::ToString(cx, value);
    if (!text) {
        JS_ClearPendingException(cx);
        return "?";
    }
    return ToUtf8(cx, text);
}

// A misspelt member name fails loudly instead of creating a script property.
bool RefuseNewProperty(JSContext* cx, JS::HandleObject wrapper, JS::HandleId id, JS::HandleValue) {
    const WrapperData* data = DataOf(wrapper);
    const std::string className = data ? data->scriptClass->name : "native object";
    std::string message = IdText(cx, id);
    message.insert(0, 1, '\'').append("' is not a property of ").append(className);
    return ThrowTypeError(cx, message);
}

void FinalizeWrapper(JS::GCContext*, JSObject* wrapper) {
    std::unique_ptr<WrapperData> data(DataOf(wrapper));
}

const JSClassOps kWrapperOps = {
    RefuseNewProperty,
    nullptr,  // delProperty
    nullptr,  // enumerate
    nullptr,  // newEnumerate
    nullptr,  // resolve
    nullptr,  // mayResolve
    FinalizeWrapper,
    nullptr,  // call
    nullptr,  // construct
    nullptr,  // trace
};

const JSClass kWrapperClass = {
    "NativeObject", JSCLASS_HAS_RESERVED_SLOTS(1) | JSCLASS_FOREGROUND_FINALIZE,
    &kWrapperOps,   nullptr,
    nullptr,        nullptr};

struct Callee {
    const ScriptMember* member;
    const ScriptClass* scriptClass;
};

Callee CalleeOf(const JS::CallArgs& args) {
    JSObject* callee = &args.callee();
    return {static_cast<const ScriptMember*>(
                js::GetFunctionNativeReserved(callee, kMemberSlot).toPrivate()),
            static_cast<const ScriptClass*>(
                js::GetFunctionNativeReserved(callee, kClassSlot).toPrivate())};
}

// The wrapper data of `this`, which must be a live wrapper of the member's own class.
WrapperData* ThisData(JSContext* cx, const JS::CallArgs& args, const ScriptClass& scriptClass,
                      std::string_view member) {
    if (args.thisv().isObject()) {
        JSObject* self = &args.thisv().toObject();
        if (JS::GetClass(self) == &kWrapperClass) {
            WrapperData* data = DataOf(self);
            if (data && data->scriptClass == &scriptClass) return data;
            if (!data) {
                ThrowError(cx, "The " + scriptClass.name + " object is no longer available");
                return nullptr;
            }
        }
    }
    ThrowTypeError(cx,
                   std::string(member) + " called on an object that is not a " + scriptClass.name);
    return nullptr;
}

bool GetProperty(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    // No structured binding: clang 14 cannot capture bindings in the lambdas below.
    const Callee callee = CalleeOf(args);
    const ScriptMember* member = callee.member;
    WrapperData* data = ThisData(cx, args, *callee.scriptClass, member->name);
    if (!data) return false;
    return GuardNative(cx, [&] { return ToScript(cx, member->get(*data->object), args.rval()); });
}

bool SetProperty(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    const Callee callee = CalleeOf(args);
    const ScriptMember* member = callee.member;
    WrapperData* data = ThisData(cx, args, *callee.scriptClass, member->name);
    if (!data) return false;
    if (!member->set) return ThrowTypeError(cx, member->name + " is read-only");
    const Variant value = FromScript(cx, args.get(0));
    return GuardNative(cx, [&] {
        member->set(*data->object, value);
        args.rval().setUndefined();
        return true;
    });
}

bool CallMethod(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    const Callee callee = CalleeOf(args);
    const ScriptMember* member = callee.member;
    WrapperData* data = ThisData(cx, args, *callee.scriptClass, member->name);
    if (!data) return false;
    const std::vector<Variant> values = FromScriptArgs(cx, args);
    return GuardNative(
        cx, [&] { return ToScript(cx, member->call(*data->object, values), args.rval()); });
}

// [Symbol.iterator] of enumerable classes: an iterator over a snapshot of the items.
bool IterateItems(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    if (!ThisData(cx, args, *CalleeOf(args).scriptClass, "[Symbol.iterator]")) return false;
    JS::RootedObject self(cx, &args.thisv().toObject());
    JS::RootedObject items(cx);
    return CollectItems(cx, self, &items) &&
           JS_CallFunctionName(cx, items, "values", JS::HandleValueArray::empty(), args.rval());
}

JSObject* NewMemberFunction(JSContext* cx, JSNative native, unsigned nargs, const std::string& name,
                            const ScriptMember* member, const ScriptClass& scriptClass) {
    JSFunction* function = js::NewFunctionWithReserved(cx, native, nargs, 0, name.c_str());
    if (!function) return nullptr;
    JSObject* object = JS_GetFunctionObject(function);
    js::SetFunctionNativeReserved(object, kMemberSlot,
                                  JS::PrivateValue(const_cast<ScriptMember*>(member)));
    js::SetFunctionNativeReserved(object, kClassSlot,
                                  JS::PrivateValue(const_cast<ScriptClass*>(&scriptClass)));
    return object;
}

// Defines the member on the prototype under `id`: its own name, or another spelling of it.
bool DefineMember(JSContext* cx, JS::HandleObject prototype, const ScriptClass& scriptClass,
                  const ScriptMember& member, JS::HandleId id) {
    if (member.kind == ScriptMember::Kind::Method) {
        JS::RootedObject method(
            cx, NewMemberFunction(cx, CallMethod, 0, member.name, &member, scriptClass));
        return method && JS_DefinePropertyById(cx, prototype, id, method, JSPROP_ENUMERATE);
    }
    JS::RootedObject getter(
        cx, NewMemberFunction(cx, GetProperty, 0, member.name, &member, scriptClass));
    if (!getter) return false;
    // Read-only members get a setter too, so that assignments raise an error instead of being
    // silently ignored.
    JS::RootedObject setter(
        cx, NewMemberFunction(cx, SetProperty, 1, member.name, &member, scriptClass));
    return setter && JS_DefinePropertyById(cx, prototype, id, getter, setter, JSPROP_ENUMERATE);
}

// The members of a class by their names in lower case, made once per class.
const ScriptMember* MemberInAnyCase(const ScriptClass& scriptClass, const std::string& name) {
    static std::mutex lock;
    static std::unordered_map<const ScriptClass*, std::unordered_map<std::string, const ScriptMember*>> byClass;
    std::lock_guard guard(lock);
    auto [entry, added] = byClass.try_emplace(&scriptClass);
    if (added) {
        for (const ScriptMember& member : scriptClass.members) entry->second.emplace(ToLowerAscii(member.name), &member);
    }
    auto found = entry->second.find(ToLowerAscii(name));
    return found == entry->second.end() ? nullptr : found->second;
}

// Member names are matched without regard to case, as an automation host matches them: a
// spelling the prototype lacks is looked up once and then defined beside the member's own. Names
// the prototype has are found without coming here, so the usual spelling costs nothing extra.
bool ResolveOtherCase(JSContext* cx, JS::HandleObject prototype, JS::HandleId id, bool* resolved) {
    *resolved = false;
    if (!id.isString()) return true;
    const auto* scriptClass = JS::GetMaybePtrFromReservedSlot<const ScriptClass>(prototype, kDataSlot);
    if (!scriptClass) return true;
    const ScriptMember* member = MemberInAnyCase(*scriptClass, IdText(cx, id));
    if (!member) return true;
    *resolved = DefineMember(cx, prototype, *scriptClass, *member, id);
    return *resolved;
}

const JSClassOps kPrototypeOps = {
    nullptr,           // addProperty
    nullptr,           // delProperty
    nullptr,           // enumerate
    nullptr,           // newEnumerate
    ResolveOtherCase,  // resolve
    nullptr,           // mayResolve
    nullptr,           // finalize
    nullptr,           // call
    nullptr,           // construct
    nullptr,           // trace
};

const JSClass kPrototypeClass = {
    "NativePrototype", JSCLASS_HAS_RESERVED_SLOTS(1), &kPrototypeOps, nullptr, nullptr, nullptr};

JSObject* NewPrototype(JSContext* cx, const ScriptClass& scriptClass) {
    JS::RootedObject prototype(cx, JS_NewObject(cx, &kPrototypeClass));
    if (!prototype) return nullptr;
    JS::SetReservedSlot(prototype, kDataSlot, JS::PrivateValue(const_cast<ScriptClass*>(&scriptClass)));
    for (const ScriptMember& member : scriptClass.members) {
        JS::RootedId id(cx);
        if (!ToId(cx, member.name, &id) || !DefineMember(cx, prototype, scriptClass, member, id)) return nullptr;
    }
    JS::RootedId id(cx, JS::GetWellKnownSymbolKey(cx, JS::SymbolCode::toStringTag));
    JS::RootedString tag(cx, NewString(cx, scriptClass.name));
    if (!tag || !JS_DefinePropertyById(cx, prototype, id, tag, JSPROP_READONLY)) return nullptr;
    if (scriptClass.enumerate) {
        id = JS::GetWellKnownSymbolKey(cx, JS::SymbolCode::iterator);
        JS::RootedObject iterate(
            cx, NewMemberFunction(cx, IterateItems, 0, "[Symbol.iterator]", nullptr, scriptClass));
        if (!iterate || !JS_DefinePropertyById(cx, prototype, id, iterate, 0)) return nullptr;
    }
    return prototype;
}

JSObject* PrototypeFor(JSContext* cx, GlobalState& state, const ScriptClass& scriptClass) {
    if (auto found = state.prototypes.find(&scriptClass); found != state.prototypes.end())
        return found->second.get();
    JSObject* prototype = NewPrototype(cx, scriptClass);
    if (prototype) state.prototypes.emplace(&scriptClass, prototype);
    return prototype;
}

const ScriptClass* Resolve(const GlobalState& state, const AutomationObject& object) {
    try {
        return state.resolver ? state.resolver(object) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

bool WrapObject(JSContext* cx, const ObjectRef& object, JS::MutableHandleValue out) {
    GlobalState* state = CurrentState(cx);
    out.setNull();
    if (!object || !state) return true;
    if (auto found = state->wrappers.find(object.get()); found != state->wrappers.end()) {
        out.setObject(*found->second.get());
        return true;
    }
    const ScriptClass* scriptClass = Resolve(*state, *object);
    if (!scriptClass) return true;
    JS::RootedObject prototype(cx, PrototypeFor(cx, *state, *scriptClass));
    if (!prototype) return false;
    JSObject* wrapper = JS_NewObjectWithGivenProto(cx, &kWrapperClass, prototype);
    if (!wrapper) return false;
    // Owned by the wrapper from here on: FinalizeWrapper or ReleaseWrapper deletes it.
    auto data = std::make_unique<WrapperData>(WrapperData{object, scriptClass});
    JS::SetReservedSlot(wrapper, kDataSlot, JS::PrivateValue(data.release()));
    state->wrappers.emplace(object.get(), wrapper);
    out.setObject(*wrapper);
    return true;
}

bool IsWrapper(JSObject* object) { return JS::GetClass(object) == &kWrapperClass; }

const ObjectRef* WrappedObject(JSObject* object) {
    const WrapperData* data = IsWrapper(object) ? DataOf(object) : nullptr;
    return data ? &data->object : nullptr;
}

void ReleaseWrapper(JSObject* wrapper) {
    std::unique_ptr<WrapperData> data(DataOf(wrapper));
    JS::SetReservedSlot(wrapper, kDataSlot, JS::UndefinedValue());
}

bool CollectItems(JSContext* cx, JS::HandleObject wrapper, JS::MutableHandleObject array) {
    const WrapperData* data = IsWrapper(wrapper) ? DataOf(wrapper) : nullptr;
    if (!data) return ThrowTypeError(cx, "The object is not a collection");
    const ScriptClass& scriptClass = *data->scriptClass;
    if (!scriptClass.enumerate)
        return ThrowTypeError(cx, scriptClass.name + " is not a collection");
    const ObjectRef object = data->object;
    Variant items;
    if (!GuardNative(cx, [&] {
            items = Variant(scriptClass.enumerate(*object));
            return true;
        }))
        return false;
    JS::RootedValue value(cx);
    if (!ToScript(cx, items, &value)) return false;
    array.set(&value.toObject());
    return true;
}

}  // namespace velmora::jsengine
