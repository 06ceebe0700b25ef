// Global functions and constructors implemented in C++. Internal to the script engine.
#pragma once

#include <jsapi.h>

#include <string_view>

#include "platform/script_engine.h"

namespace velmora::jsengine {

// Both define a global property hidden from enumeration, so that host functions are not
// listed among the script's procedures.
bool DefineNativeFunction(JSContext* cx, JS::HandleObject global, std::string_view name,
                          NativeFunction function);
bool DefineNativeConstructor(JSContext* cx, JS::HandleObject global, std::string_view name,
                             NativeConstructor create);

}  // namespace velmora::jsengine
