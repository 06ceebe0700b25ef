// The engine's helper objects as hosts create them (velmora script, velmora rpc): the classes
// that are not script objects themselves are held by one.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "support/variant.h"

namespace velmora {

template <class T>
struct ScriptObject : AutomationObject {
    T held;
};

// Stands for the one shared registry accessor.
struct RegistryRef {};

// A new object of a class a host may create ("AGP", "AGPSchema", "XmlDocument", "AGParser",
// "AGPFileCache", "AGPStatus", "AGPSettings", "cRegistry" and those added with
// AddEngineObjectClass; letter case aside); nullptr for any other name.
ObjectRef CreateEngineObject(std::string_view className);
// Adds a class the layers above offer (the generation cache).
void AddEngineObjectClass(std::string name, std::function<ObjectRef()> create);

}  // namespace velmora
