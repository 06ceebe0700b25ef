#include "model/entities/field.h"

#include "model/core/property_accessors.h"
#include "support/settings_store.h"

namespace velmora {
namespace {

constexpr PropertyDef kFieldProperties[] = {
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    {#name, #accessor, PropType::type, regSave != 0, regFormat, fileSave != 0, sync != 0, readOnly != 0},
#include "model/core/field_properties.def"
};
static_assert(std::size(kFieldProperties) == 157);

}  // namespace

PropertyTable FieldProperties() { return kFieldProperties; }

AGPField::AGPField() : AGPEntity(FieldProperties(), "Field") {
}

AGPField::~AGPField() = default;

#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> AGPField::accessor() const {                                   \
        return GetTyped<PropType::type>(*properties_, #name);                                \
    }                                                                                        \
    void AGPField::Set##accessor(const PropValue<PropType::type>& value) {                   \
        SetTypedValue<PropType::type>(*properties_, #name, value);                           \
    }
#include "model/core/field_properties.def"

}  // namespace velmora
