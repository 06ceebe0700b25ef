// AGPFields: the fields of a table, keyed by name, numbered by FldSeq, with a current field.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/entity_list.h"
#include "model/field.h"

namespace velmora {

// The members taking `tblName` are given the owning table's name by their callers; the list
// itself is the table's own, so the name is not needed to find anything.
class AGPFields : public AutomationObject {
public:
    // Key and FldSeq of the current field; "" and 0 while there is none.
    std::string curName() const { return list_.CurrentName(); }
    std::int16_t curSeq() const { return list_.CurrentSeq(); }

    // Adds a field named `name` (FldName), numbered Count and made current; false for an empty
    // or taken name.
    bool Add(std::string_view tblName, std::string_view name);
    // Re-keys a field; FldVar follows the new name, FldName stays. Equal names: true.
    bool Change(std::string_view tblName, std::string_view oldName, std::string_view newName);
    std::int32_t Count() const { return list_.Count(); }
    // Removes a field (by key or position); the later fields move down by one.
    bool Delete(std::string_view tblName, const Variant& index);
    bool FieldExist(const Variant& index) const { return list_.Find(index) != nullptr; }
    // The item, without making it current; nullptr when there is none.
    std::shared_ptr<AGPField> Find(const Variant& index) const { return list_.Find(index); }
    // By key or position; the field found becomes current. nullptr when there is none.
    std::shared_ptr<AGPField> Item(const Variant& index) { return list_.MakeCurrent(list_.Find(index)); }
    // The field whose FldSeq is `index`.
    std::shared_ptr<AGPField> Seq(std::int16_t index) const { return list_.FindSeq(index); }
    bool SetItem(const Variant& index) { return Item(index) != nullptr; }
    bool SetSeq(std::int16_t index) { return list_.MakeCurrent(list_.FindSeq(index)) != nullptr; }
    std::shared_ptr<cEnumerationObject> NewEnum_fld() const { return list_.NewEnum(); }

    // The fields in collection order.
    std::vector<std::shared_ptr<AGPField>> Items() const { return list_.Items(); }
    void Clear() { list_.Clear(); }

private:
    EntityList<AGPField, &AGPField::FldSeq, &AGPField::SetFldSeq> list_;
};

}  // namespace velmora
