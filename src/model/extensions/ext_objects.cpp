#include "model/extensions/ext_objects.h"

namespace velmora {
namespace {

constexpr PropertyDef kExtensionProperties[] = {
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    {#name, #accessor, PropType::type, regSave != 0, regFormat, fileSave != 0, sync != 0, readOnly != 0},
#include "model/core/extension_properties.def"
};

}  // namespace

PropertyTable ExtensionProperties() { return kExtensionProperties; }

AGPExtension::AGPExtension(std::string name) {
    properties_->Register(ExtensionProperties());
    properties_->Find("Name")->SetValue(Variant(std::move(name)));
}

std::shared_ptr<AGPExtProj> AGPExtension::CreatePROJ() {
    if (!proj_) proj_ = std::make_shared<AGPExtProj>();
    return proj_;
}

#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> AGPExtension::accessor() const {                              \
        return GetTyped<PropType::type>(*properties_, #name);                               \
    }                                                                                       \
    void AGPExtension::Set##accessor(const PropValue<PropType::type>& value) {              \
        properties_->Item(Variant(#name))->SetValue(Variant(value));                        \
    }
#include "model/core/extension_properties.def"

}  // namespace velmora
