// AGPField: a field of a table with its display, edit, search and lookup settings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/core/entity.h"
#include "model/core/property_bag.h"
#include "model/core/property_def.h"
#include "support/variant.h"

namespace velmora {

// The field properties' declarations, in registration order.
PropertyTable FieldProperties();

class AGPField : public AGPEntity {
public:
    // Registers the properties and reads the user's defaults from the Field section.
    AGPField();
    ~AGPField() override;


    // One typed get/set pair per property.
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> accessor() const;                                             \
    void Set##accessor(const PropValue<PropType::type>& value);
#include "model/core/field_properties.def"

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

};

}  // namespace velmora
