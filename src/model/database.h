// AGPDatabase: a database connection of the project and the security settings that belong
// to it; owns the tables read from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/property_bag.h"
#include "model/property_def.h"
#include "support/variant.h"

namespace velmora {

class AGPTables;

// The database properties' declarations, in registration order.
PropertyTable DatabaseProperties();

class AGPDatabase : public AutomationObject {
public:
    // Registers the properties and reads the user's defaults from the Database section.
    AGPDatabase();
    ~AGPDatabase() override;
    AGPDatabase(const AGPDatabase&) = delete;
    AGPDatabase& operator=(const AGPDatabase&) = delete;

    std::shared_ptr<AGProperties> Properties() const { return properties_; }
    // Access by name: text values; an unknown name is added as a saved text property.
    std::string GetV(std::string_view name);
    void SetV(std::string_view name, std::string_view value);
    // The name under which the owning collection holds this database.
    const std::string& Key() const { return key_; }
    void SetKey(std::string key) { key_ = std::move(key); }
    std::shared_ptr<AGPTables> Tables() const { return tables_; }

    // One typed get/set pair per property.
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> accessor() const;                                             \
    void Set##accessor(const PropValue<PropType::type>& value);
#include "model/database_properties.def"

private:
    std::shared_ptr<AGProperties> properties_;
    std::string key_;
    std::shared_ptr<AGPTables> tables_;
};

}  // namespace velmora
