// A ScriptEngine's global object and the state kept with it. Internal to the script engine.
#pragma once

#include <jsapi.h>

#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/script_engine.h"
#include "platform/script_errors.h"

namespace velmora::jsengine {

// Lives exactly as long as its global, which owns it.
struct GlobalState {
    ScriptClassResolver resolver;
    // One prototype per class, made on first use; held by the global.
    std::unordered_map<const ScriptClass*, JS::Heap<JSObject*>> prototypes;
    // The wrapper of each native object; weak, swept after each collection.
    std::unordered_map<const AutomationObject*, JS::Heap<JSObject*>> wrappers;
    SourceTexts sources;
    // Where each global function was first seen: the batch of code and the order within it.
    struct Definition {
        std::uint32_t batch = 0;
        std::uint32_t order = 0;
    };
    std::unordered_map<std::string, Definition> definitions;
    std::uint32_t batches = 0;
};

// A new global with the standard library and Enumerator; nullptr (with a pending exception, if
// any) on failure.
JSObject* NewGlobal(JSContext* cx, ScriptClassResolver resolver);
GlobalState* StateOf(JSObject* global);
// The state of the global whose realm the context is in.
GlobalState* CurrentState(JSContext* cx);
// Releases every wrapped native object now, instead of whenever the wrappers are collected.
// Only while no script runs: natives in progress hold on to their objects through the wrappers.
void ReleaseWrappers(GlobalState& state);

}  // namespace velmora::jsengine
