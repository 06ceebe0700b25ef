#include "model/entities/database.h"

#include "model/entities/tables.h"
#include "model/core/property_accessors.h"
#include "support/settings_store.h"

namespace velmora {
namespace {

constexpr PropertyDef kDatabaseProperties[] = {
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    {#name, #accessor, PropType::type, regSave != 0, regFormat, fileSave != 0, sync != 0, readOnly != 0},
#include "model/core/database_properties.def"
};
static_assert(std::size(kDatabaseProperties) == 41);

}  // namespace

PropertyTable DatabaseProperties() { return kDatabaseProperties; }

AGPDatabase::AGPDatabase() : AGPEntity(DatabaseProperties(), "Database") {
    tables_ = std::make_shared<AGPTables>(properties_);
}

AGPDatabase::~AGPDatabase() = default;

#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> AGPDatabase::accessor() const {                                \
        return GetTyped<PropType::type>(*properties_, #name);                                \
    }                                                                                        \
    void AGPDatabase::Set##accessor(const PropValue<PropType::type>& value) {                \
        SetTypedValue<PropType::type>(*properties_, #name, value);                           \
    }
#include "model/core/database_properties.def"

}  // namespace velmora
