// Native objects as scripts see them: one wrapper per object per global, with a prototype per
// ScriptClass carrying the class's members. Internal to the script engine.
#pragma once

#include <jsapi.h>

#include "support/variant.h"

namespace velmora::jsengine {

// The object's wrapper in the current global; null for null references and for objects the
// resolver does not describe. False with a pending exception when out of memory.
bool WrapObject(JSContext* cx, const ObjectRef& object, JS::MutableHandleValue out);

bool IsWrapper(JSObject* object);
// The native object of a wrapper; nullptr for other objects and released wrappers.
const ObjectRef* WrappedObject(JSObject* object);
// Drops the wrapper's native object; the wrapper stays, but its members then raise errors.
void ReleaseWrapper(JSObject* wrapper);

// The items of an enumerable wrapper as a new array; false with a TypeError for anything else.
bool CollectItems(JSContext* cx, JS::HandleObject wrapper, JS::MutableHandleObject array);

}  // namespace velmora::jsengine
