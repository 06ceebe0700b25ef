#include "platform/script_global.h"

#include <js/GlobalObject.h>
#include <js/Object.h>
#include <js/Realm.h>
#include <js/TracingAPI.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/script_enumerator.h"
#include "platform/script_wrappers.h"

namespace velmora::jsengine {
namespace {

constexpr std::uint32_t kStateSlot = JSCLASS_GLOBAL_SLOT_COUNT;

// Every live global's state, for sweeping the wrapper caches. Never destroyed: globals are
// finalized when the context goes, which may be at exit.
std::vector<GlobalState*>& LiveStates() {
    static auto& states = *new std::vector<GlobalState*>();
    return states;
}

void SweepWrapperCaches(JSTracer* trc, void*) {
    for (GlobalState* state : LiveStates()) {
        auto& wrappers = state->wrappers;
        for (auto entry = wrappers.begin(); entry != wrappers.end();) {
            if (JS_UpdateWeakPointerAfterGC(trc, &entry->second))
                ++entry;
            else
                entry = wrappers.erase(entry);
        }
    }
}

void TraceGlobal(JSTracer* trc, JSObject* global) {
    JS_GlobalObjectTraceHook(trc, global);
    if (GlobalState* state = StateOf(global))
        for (auto& [scriptClass, prototype] : state->prototypes)
            JS::TraceEdge(trc, &prototype, "script class prototype");
}

void FinalizeGlobal(JS::GCContext*, JSObject* global) {
    std::unique_ptr<GlobalState> state(StateOf(global));
    if (state) std::erase(LiveStates(), state.get());
}

const JSClassOps kGlobalOps = {
    nullptr,  // addProperty
    nullptr,  // delProperty
    nullptr,  // enumerate
    JS_NewEnumerateStandardClasses,
    JS_ResolveStandardClass,
    JS_MayResolveStandardClass,
    FinalizeGlobal,
    nullptr,  // call
    nullptr,  // construct
    TraceGlobal,
};

const JSClass kGlobalClass = {
    "global",    JSCLASS_GLOBAL_FLAGS_WITH_SLOTS(1) | JSCLASS_FOREGROUND_FINALIZE,
    &kGlobalOps, nullptr,
    nullptr,     nullptr};

}  // namespace

JSObject* NewGlobal(JSContext* cx, ScriptClassResolver resolver) {
    static JSContext* sweeping = nullptr;
    if (sweeping != cx) {
        if (!JS_AddWeakPointerZonesCallback(cx, SweepWrapperCaches, nullptr)) return nullptr;
        sweeping = cx;
    }
    JS::RealmOptions options;
    JS::RootedObject global(
        cx, JS_NewGlobalObject(cx, &kGlobalClass, nullptr, JS::FireOnNewGlobalHook, options));
    if (!global) return nullptr;
    auto state = std::make_unique<GlobalState>();
    state->resolver = std::move(resolver);
    LiveStates().push_back(state.get());
    // The global owns its state from here on; FinalizeGlobal deletes it.
    JS::SetReservedSlot(global, kStateSlot, JS::PrivateValue(state.release()));
    JSAutoRealm realm(cx, global);
    if (!JS::InitRealmStandardClasses(cx) || !DefineEnumerator(cx, global)) return nullptr;
    return global;
}

GlobalState* StateOf(JSObject* global) {
    if (JS::GetClass(global) != &kGlobalClass) return nullptr;
    return JS::GetMaybePtrFromReservedSlot<GlobalState>(global, kStateSlot);
}

GlobalState* CurrentState(JSContext* cx) {
    JSObject* global = JS::CurrentGlobalOrNull(cx);
    return global ? StateOf(global) : nullptr;
}

void ReleaseWrappers(GlobalState& state) {
    for (auto& [object, wrapper] : state.wrappers) ReleaseWrapper(wrapper.unbarrieredGet());
    state.wrappers.clear();
}

}  // namespace velmora::jsengine
