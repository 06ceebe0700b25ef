// The property bag: an ordered, name-keyed collection of typed values with flags that say where
// each value is stored (settings store, project file) and whether it is copied between entities.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/property_def.h"
#include "model/super_collection.h"
#include "support/variant.h"

namespace velmora {

class AGProperty : public AutomationObject {
public:
    AGProperty(std::string name, std::string dataType, bool regSave, std::int32_t regFormat,
               bool fileSave, bool sync);

    // Name and Key are the same stored text.
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    const std::string& Key() const { return name_; }
    void SetKey(std::string key) { name_ = std::move(key); }
    const std::string& DataType() const { return dataType_; }
    void SetDataType(std::string type) { dataType_ = std::move(type); }
    const Variant& Value() const { return value_; }
    // Stores the value unconverted; a saved property whose text form changes marks the project dirty.
    void SetValue(Variant value);
    bool RegSave() const { return regSave_; }
    void SetRegSave(bool v) { regSave_ = v; }
    std::int32_t RegFormat() const { return regFormat_; }
    void SetRegFormat(std::int32_t v) { regFormat_ = v; }
    bool FileSave() const { return fileSave_; }
    void SetFileSave(bool v) { fileSave_ = v; }
    bool Sync() const { return sync_; }
    void SetSync(bool v) { sync_ = v; }

private:
    std::string name_;
    std::string dataType_;
    Variant value_;
    bool regSave_;
    std::int32_t regFormat_;
    bool fileSave_;
    bool sync_;
};

class AGProperties : public AutomationObject {
public:
    AGProperties();

    // False for an empty name or a name the bag already holds (compared without regard to case).
    bool Add(std::string_view name, std::string_view dataType = "String", bool regSave = false,
             std::int32_t regFormat = 0, bool fileSave = true, bool sync = true);
    bool Change(std::string_view oldName, std::string_view newName);
    std::int32_t Count() const;
    bool Delete(const Variant& index);
    bool PropertyExist(const Variant& index) const;
    // The entry of that name; an entry the bag does not hold is added as a saved "String" entry.
    std::shared_ptr<AGProperty> Item(const Variant& index);
    std::shared_ptr<cEnumerationObject> NewEnum_prp() const;

    // The entry of that name, or nullptr; never adds.
    std::shared_ptr<AGProperty> Find(std::string_view name) const;
    // Entries in the order they were added.
    std::vector<std::shared_ptr<AGProperty>> Entries() const;
    void Clear();

    // Registers every row of a property table, in order.
    void Register(PropertyTable table);

private:
    CSuperCollection items_;
};

// The value of a registered property converted to its accessor type.
template <PropType T>
PropValue<T> GetTyped(AGProperties& bag, std::string_view name) {
    return FromVariant<T>(bag.Item(Variant(std::string(name)))->Value());
}

// Fills every RegSave entry from the current user's settings section, converted by its type.
void LoadRegistryDefaults(AGProperties& bag, std::string_view section);
// Writes every RegSave entry to the current user's settings section with its RegFormat type.
void SaveRegistryDefaults(const AGProperties& bag, std::string_view section);

// GetV / SetV of the database, table, field and chart entities: text values, unknown names are
// added as saved "String" entries.
std::string EntityGetV(AGProperties& bag, std::string_view name);
void EntitySetV(AGProperties& bag, std::string_view name, std::string_view value);

}  // namespace velmora
