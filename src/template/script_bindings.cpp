#include "template/script_bindings.h"

#include <string>
#include <typeindex>

#include "template/bind_helpers.h"

namespace velmora {
namespace bind {

void ThrowTypeMismatch(std::string_view member) { throw ScriptThrow(std::string(member) + ": Type mismatch"); }

void CheckArgCount(ScriptArgs args, std::size_t most, std::string_view member) {
    if (args.size() > most)
        throw ScriptThrow(std::string(member) + ": Wrong number of arguments or invalid property assignment");
}

}  // namespace bind

namespace {
GenerationMembers& Members() {
    static GenerationMembers members;
    return members;
}

ScriptClassMap& AddedClasses() {
    static ScriptClassMap classes;
    return classes;
}
}  // namespace

void AddScriptClasses(const std::function<void(ScriptClassMap&)>& add) { add(AddedClasses()); }

void SetGenerationMembers(GenerationMembers members) { Members() = std::move(members); }
const GenerationMembers& CurrentGenerationMembers() { return Members(); }

const ScriptClass* ModelScriptClass(const AutomationObject& object) {
    static const bind::ClassMap classes = [] {
        bind::ClassMap map;
        bind::BindProject(map);
        bind::BindEntities(map);
        bind::BindCollections(map);
        bind::BindMisc(map);
        bind::BindSchema(map);
        bind::BindXml(map);
        bind::BindEngineObjects(map);
        bind::BindXmlReaders(map);
        return map;
    }();
    auto found = classes.find(std::type_index(typeid(object)));
    if (found != classes.end()) return &found->second;
    auto added = AddedClasses().find(std::type_index(typeid(object)));
    return added == AddedClasses().end() ? nullptr : &added->second;
}

}  // namespace velmora
