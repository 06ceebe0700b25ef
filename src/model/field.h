// AGPField: a field of a table with its display, edit, search and lookup settings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/property_bag.h"
#include "model/property_def.h"
#include "support/variant.h"

namespace velmora {

// The field properties' declarations, in registration order.
PropertyTable FieldProperties();

class AGPField : public AutomationObject {
public:
    // Registers the properties and reads the user's defaults from the Field section.
    AGPField();
    ~AGPField() override;
    AGPField(const AGPField&) = delete;
    AGPField& operator=(const AGPField&) = delete;

    std::shared_ptr<AGProperties> Properties() const { return properties_; }
    // Access by name: text values; an unknown name is added as a saved text property.
    std::string GetV(std::string_view name);
    void SetV(std::string_view name, std::string_view value);
    // The name under which the owning collection holds this field.
    const std::string& Key() const { return key_; }
    void SetKey(std::string key) { key_ = std::move(key); }

    // One typed get/set pair per property.
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> accessor() const;                                             \
    void Set##accessor(const PropValue<PropType::type>& value);
#include "model/field_properties.def"

    // Defaults of a field that has been added, named and typed, before a project file fills it.
    void LoadFldDefault();
    // The type-dependent part of LoadFldDefault.
    void LoadFldDataTypeDefault();
    // Sets FldType, FldTypeName (only while it is empty), FldSupport and the literal quotes from
    // an ADO type code; the quotes of an unsupported code stay as they are.
    void SetFldTypeInfo(std::int32_t type, std::int32_t precision);
    // The same from a DAO field type.
    void MapDaoType(std::int32_t daoType);

private:
    void ApplyEditControlDefault();
    void ApplyNumberFormatDefault();
    void ApplyAlignmentDefault();

    std::shared_ptr<AGProperties> properties_;
    std::string key_;
};

}  // namespace velmora
