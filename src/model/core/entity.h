// What every entity with settings shares: its property bag, access to it by name, and the key
// under which its collection holds it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "model/core/property_bag.h"
#include "model/core/property_def.h"
#include "support/variant.h"

namespace velmora {

class AGPEntity : public AutomationObject {
public:
    AGPEntity(const AGPEntity&) = delete;
    AGPEntity& operator=(const AGPEntity&) = delete;

    std::shared_ptr<AGProperties> Properties() const { return properties_; }
    // Access by name: text values; an unknown name is added as a saved text property.
    std::string GetV(std::string_view name) { return EntityGetV(*properties_, name); }
    void SetV(std::string_view name, std::string_view value) { EntitySetV(*properties_, name, value); }
    // The name under which the owning collection holds this entity.
    const std::string& Key() const { return key_; }
    void SetKey(std::string key) { key_ = std::move(key); }

protected:
    // Registers the properties and reads the user's defaults from the settings section.
    AGPEntity(PropertyTable properties, std::string_view settingsSection);

    std::shared_ptr<AGProperties> properties_;

private:
    std::string key_;
};

}  // namespace velmora
