// AGPFields: the fields of a table, keyed by name, numbered by FldSeq, with a current field.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/core/entity_list.h"
#include "model/entities/field.h"

namespace velmora {

// The members taking `tblName` are given the owning table's name by their callers; the list
// itself is the table's own, so the name is not needed to find anything.
class AGPFields : public EntityCollection<AGPField, &AGPField::FldSeq, &AGPField::SetFldSeq> {
public:
    // Adds a field named `name` (FldName), numbered Count and made current; false for an empty
    // or taken name.
    bool Add(std::string_view tblName, std::string_view name);
    // Re-keys a field; FldVar follows the new name, FldName stays. Equal names: true.
    bool Change(std::string_view tblName, std::string_view oldName, std::string_view newName);
    // Removes a field (by key or position); the later fields move down by one.
    bool Delete(std::string_view tblName, const Variant& index);
    bool FieldExist(const Variant& index) const { return Exists(index); }
    std::shared_ptr<cEnumerationObject> NewEnum_fld() const { return list_.NewEnum(); }
};

}  // namespace velmora
