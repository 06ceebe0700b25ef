// How scripts see the object model: one script class per model class, with the members under
// the names the system uses (registered properties as accessor properties, members with
// arguments as functions, collections enumerable).
#pragma once

#include "platform/script_engine.h"
#include "support/variant.h"

namespace velmora {

// The script class of the object's dynamic type; nullptr for a type scripts may not see. Serves
// as the ScriptClassResolver of the script engines.
const ScriptClass* ModelScriptClass(const AutomationObject& object);

}  // namespace velmora
