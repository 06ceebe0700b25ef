// The JScript-style Enumerator of every global. Internal to the script engine.
#pragma once

#include <jsapi.h>

namespace velmora::jsengine {

// Defines `Enumerator` (atEnd, moveNext, item, moveFirst) on the global, hidden from
// enumeration. Iterates a snapshot of an enumerable native object, an array or any iterable.
bool DefineEnumerator(JSContext* cx, JS::HandleObject global);

}  // namespace velmora::jsengine
