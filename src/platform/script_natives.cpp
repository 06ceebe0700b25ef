#include "platform/script_natives.h"

#include <js/Object.h>
#include <jsfriendapi.h>

#include <memory>
#include <string>

#include "platform/script_errors.h"
#include "platform/script_values.h"

namespace velmora::jsengine {
namespace {

struct Callback {
    std::string name;
    NativeFunction function;
    NativeConstructor create;
};

// The function keeps its callback through a holder object, whose finalizer frees it: the
// callback lives exactly as long as something can still call it.
constexpr std::uint32_t kCallbackSlot = 0;
constexpr std::size_t kHolderSlot = 0;

void FinalizeHolder(JS::GCContext*, JSObject* holder) {
    std::unique_ptr<Callback> callback(
        JS::GetMaybePtrFromReservedSlot<Callback>(holder, kCallbackSlot));
}

const JSClassOps kHolderOps = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, FinalizeHolder, nullptr, nullptr, nullptr,
};

const JSClass kHolderClass = {
    "NativeCallback", JSCLASS_HAS_RESERVED_SLOTS(1) | JSCLASS_FOREGROUND_FINALIZE,
    &kHolderOps,      nullptr,
    nullptr,          nullptr};

const Callback& CallbackOf(const JS::CallArgs& args) {
    JSObject& holder = js::GetFunctionNativeReserved(&args.callee(), kHolderSlot).toObject();
    return *JS::GetMaybePtrFromReservedSlot<Callback>(&holder, kCallbackSlot);
}

bool CallFunction(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    const Callback& callback = CallbackOf(args);
    const std::vector<Variant> values = FromScriptArgs(cx, args);
    return GuardNative(cx, [&] { return ToScript(cx, callback.function(values), args.rval()); });
}

bool CallConstructor(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    const Callback& callback = CallbackOf(args);
    const std::vector<Variant> values = FromScriptArgs(cx, args);
    return GuardNative(cx, [&] {
        if (!ToScript(cx, Variant(callback.create(values)), args.rval())) return false;
        if (args.rval().isObject()) return true;
        return ThrowError(cx, callback.name + " could not create an object");
    });
}

bool Define(JSContext* cx, JS::HandleObject global, std::string_view name, JSNative native,
            unsigned flags, std::unique_ptr<Callback> callback) {
    JS::RootedId id(cx);
    if (!ToId(cx, name, &id)) return false;
    JS::RootedObject holder(cx, JS_NewObjectWithGivenProto(cx, &kHolderClass, nullptr));
    if (!holder) return false;
    JS::SetReservedSlot(holder, kCallbackSlot, JS::PrivateValue(callback.release()));
    JSFunction* function = js::NewFunctionByIdWithReserved(cx, native, 0, flags, id);
    if (!function) return false;
    JS::RootedObject object(cx, JS_GetFunctionObject(function));
    js::SetFunctionNativeReserved(object, kHolderSlot, JS::ObjectValue(*holder));
    return JS_DefinePropertyById(cx, global, id, object, 0);
}

}  // namespace

bool DefineNativeFunction(JSContext* cx, JS::HandleObject global, std::string_view name,
                          NativeFunction function) {
    return Define(cx, global, name, CallFunction, 0,
                  std::make_unique<Callback>(Callback{std::string(name), std::move(function), {}}));
}

bool DefineNativeConstructor(JSContext* cx, JS::HandleObject global, std::string_view name,
                             NativeConstructor create) {
    return Define(cx, global, name, CallConstructor, JSFUN_CONSTRUCTOR,
                  std::make_unique<Callback>(Callback{std::string(name), {}, std::move(create)}));
}

}  // namespace velmora::jsengine
