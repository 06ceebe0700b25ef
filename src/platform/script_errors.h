// Raising script errors from native code and describing the errors scripts raise. Internal to
// the script engine.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/script_engine.h"

struct JSContext;

namespace velmora::jsengine {

// Set a pending Error / TypeError with `message`; both return false, for `return Throw...(...)`
// from natives.
bool ThrowError(JSContext* cx, std::string_view message);
bool ThrowTypeError(JSContext* cx, std::string_view message);

// Runs the native part of a callback; C++ exceptions become script errors, since none may
// cross into the engine.
template <class Body>
bool GuardNative(JSContext* cx, Body&& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        return ThrowError(cx, e.what());
    } catch (...) {
        return ThrowError(cx, "Unknown error in a native member");
    }
}

// The compiled text of each file name, for quoting the offending line.
using SourceTexts = std::unordered_map<std::string, std::string>;

// Takes the pending exception (if any) and describes it. `compiling`: it came from compiling.
ScriptError TakeScriptError(JSContext* cx, bool compiling, const SourceTexts& sources);
ScriptError TimeoutError();
ScriptError PlainError(std::string description);

}  // namespace velmora::jsengine
