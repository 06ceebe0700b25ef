#include "model/core/entity.h"

#include "support/settings_store.h"

namespace velmora {

AGPEntity::AGPEntity(PropertyTable properties, std::string_view settingsSection)
    : properties_(std::make_shared<AGProperties>()) {
    properties_->Register(properties);
    LoadRegistryDefaults(*properties_, SettingsSection(settingsSection));
}

}  // namespace velmora
