// How scripts see the object model: one script class per model class, with the members under
// the names the system uses (registered properties as accessor properties, members with
// arguments as functions, collections enumerable).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <unordered_map>

#include "platform/script_engine.h"
#include "support/variant.h"

namespace velmora {

class AGP;

// Members of the root object that the generation subsystem, which builds on this one, provides:
// GenCheck, GenScript and GenSummary (the last run's summary as JSON). Until they are set, calling
// them fails with ProjErr set.
struct GenerationMembers {
    std::function<std::int32_t(const std::shared_ptr<AGP>&)> genCheck;
    std::function<void(const std::shared_ptr<AGP>&)> genScript;
    std::function<std::string()> summary;
};
void SetGenerationMembers(GenerationMembers members);
const GenerationMembers& CurrentGenerationMembers();

// Script classes of the layers above (the generation cache), with the constructor of each that a
// host may create; added before scripts run.
using ScriptClassMap = std::unordered_map<std::type_index, ScriptClass>;
void AddScriptClasses(const std::function<void(ScriptClassMap&)>& bind);

// The script class of the object's dynamic type; nullptr for a type scripts may not see. Serves
// as the ScriptClassResolver of the script engines.
const ScriptClass* ModelScriptClass(const AutomationObject& object);

}  // namespace velmora
