// Values between Variants and the engine. Internal to the script engine.
#pragma once

#include <jsapi.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/variant.h"

namespace velmora::jsengine {

// A string from UTF-8; malformed UTF-8 is taken byte by byte as Latin-1 rather than lost.
// nullptr (with a pending exception) when out of memory.
JSString* NewString(JSContext* cx, std::string_view text);
std::string ToUtf8(JSContext* cx, JS::HandleString text);
bool ToId(JSContext* cx, std::string_view name, JS::MutableHandleId id);

// False with a pending exception when out of memory.
bool ToScript(JSContext* cx, const Variant& value, JS::MutableHandleValue out);
// Never fails: what cannot be converted arrives as empty.
Variant FromScript(JSContext* cx, JS::HandleValue value);
std::vector<Variant> FromScriptArgs(JSContext* cx, const JS::CallArgs& args);

}  // namespace velmora::jsengine
