// AGPDatabase: a database connection of the project and the security settings that belong
// to it; owns the tables read from it.
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

class AGPTables;

// The database properties' declarations, in registration order.
PropertyTable DatabaseProperties();

class AGPDatabase : public AGPEntity {
public:
    // Registers the properties and reads the user's defaults from the Database section.
    AGPDatabase();
    ~AGPDatabase() override;

    std::shared_ptr<AGPTables> Tables() const { return tables_; }

    // One typed get/set pair per property.
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> accessor() const;                                             \
    void Set##accessor(const PropValue<PropType::type>& value);
#include "model/core/database_properties.def"

private:
    std::shared_ptr<AGPTables> tables_;
};

}  // namespace velmora
