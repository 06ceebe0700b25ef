#include "model/entities/fields.h"

#include "model/project/agp.h"

namespace velmora {

bool AGPFields::Add(std::string_view, std::string_view name) {
    auto field = list_.Append(name);
    if (!field) return false;
    field->SetFldName(std::string(name));
    return true;
}

bool AGPFields::Change(std::string_view, std::string_view oldName, std::string_view newName) {
    if (oldName.empty() || newName.empty()) return false;
    if (oldName == newName) return true;
    auto field = list_.Rekey(oldName, newName);
    if (!field) return false;
    field->SetFldVar(MakeVarName(newName, "x_"));
    return true;
}

bool AGPFields::Delete(std::string_view, const Variant& index) { return list_.Remove(list_.Find(index)); }

}  // namespace velmora
