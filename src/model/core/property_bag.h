// The property bag: an ordered, name-keyed collection of typed values with flags that say where
// each value is stored (settings store, project file) and whether it is copied between entities.
//
// Entities are made by the ten thousand, each with well over a hundred registered properties, so a
// bag keeps the names, types and flags of its registered rows in a layout shared by every bag
// registered from the same table, and only the values per bag. An `AGProperty` object is made for
// an entry only when someone asks for one; from then on that object holds the entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/core/property_def.h"
#include "model/core/super_collection.h"
#include "support/variant.h"

namespace velmora {

// What an entry is apart from its value.
struct PropertyRow {
    std::string name;
    std::string dataType = "String";
    bool regSave = false;
    std::int32_t regFormat = 0;
    bool fileSave = true;
    bool sync = true;
};

class AGProperty : public AutomationObject {
public:
    AGProperty(std::string name, std::string dataType, bool regSave, std::int32_t regFormat,
               bool fileSave, bool sync);
    AGProperty(PropertyRow row, Variant value) : row_(std::move(row)), value_(std::move(value)) {}

    // Name and Key are the same stored text.
    const std::string& Name() const { return row_.name; }
    void SetName(std::string name) { row_.name = std::move(name); }
    const std::string& Key() const { return row_.name; }
    void SetKey(std::string key) { row_.name = std::move(key); }
    const std::string& DataType() const { return row_.dataType; }
    void SetDataType(std::string type) { row_.dataType = std::move(type); }
    const Variant& Value() const { return value_; }
    // Stores the value unconverted; a saved property whose text form changes marks the project dirty.
    void SetValue(Variant value);
    bool RegSave() const { return row_.regSave; }
    void SetRegSave(bool v) { row_.regSave = v; }
    std::int32_t RegFormat() const { return row_.regFormat; }
    void SetRegFormat(std::int32_t v) { row_.regFormat = v; }
    bool FileSave() const { return row_.fileSave; }
    void SetFileSave(bool v) { row_.fileSave = v; }
    bool Sync() const { return row_.sync; }
    void SetSync(bool v) { row_.sync = v; }

    const PropertyRow& Row() const { return row_; }

private:
    PropertyRow row_;
    Variant value_;
};

class PropertyLayout;

class AGProperties : public AutomationObject {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    AGProperties();
    ~AGProperties() override;
    AGProperties(const AGProperties&) = delete;
    AGProperties& operator=(const AGProperties&) = delete;

    // False for an empty name or a name the bag already holds (compared without regard to case).
    bool Add(std::string_view name, std::string_view dataType = "String", bool regSave = false,
             std::int32_t regFormat = 0, bool fileSave = true, bool sync = true);
    bool Change(std::string_view oldName, std::string_view newName);
    std::int32_t Count() const { return static_cast<std::int32_t>(Size()); }
    bool Delete(const Variant& index);
    bool PropertyExist(const Variant& index) const { return IndexOf(index.ToText()) != npos; }
    // The entry of that name; an entry the bag does not hold is added as a saved "String" entry.
    std::shared_ptr<AGProperty> Item(const Variant& index);

    // The entry of that name, or nullptr; never adds.
    std::shared_ptr<AGProperty> Find(std::string_view name) const;
    // Entries in the order they were added.
    std::vector<std::shared_ptr<AGProperty>> Entries() const;
    void Clear();

    // Registers every row of a property table, in order.
    void Register(PropertyTable table);

    // Access by position in bag order, without making entry objects: for code that walks or
    // fills whole bags (reader, writer, defaults, typed accessors).
    std::size_t Size() const;
    // The position of the entry keyed `name` (without regard to case), or npos.
    std::size_t IndexOf(std::string_view name) const;
    // As IndexOf, trying position `expected` first: bags are read in the order they were written.
    std::size_t IndexOf(std::string_view name, std::size_t expected) const;
    const PropertyRow& RowAt(std::size_t pos) const;
    const Variant& ValueAt(std::size_t pos) const;
    // Stores the value unconverted, with the dirty rule of AGProperty::SetValue.
    void SetValueAt(std::size_t pos, const Variant& value);
    void SetValueAt(std::size_t pos, Variant&& value);
    // The position of `name`, adding it as Item does when the bag does not hold it.
    std::size_t ItemIndex(std::string_view name);

private:
    friend void LoadRegistryDefaults(AGProperties& bag, std::string_view section);

    struct Extra {
        std::string key;
        std::shared_ptr<AGProperty> entry;
    };

    std::size_t LayoutSize() const;
    const std::string& KeyAt(std::size_t pos) const;
    std::shared_ptr<AGProperty> EntryAt(std::size_t pos) const;
    // Makes entry objects of every layout row and drops the layout, so that the rows can be
    // re-keyed or removed like added entries.
    void Detach();
    void IndexExtras();

    std::shared_ptr<const PropertyLayout> layout_;
    // One value per layout row, moved into the row's entry object once one is made.
    mutable std::vector<Variant> values_;
    // Entry objects of layout rows, made on request; empty while none was asked for.
    mutable std::vector<std::shared_ptr<AGProperty>> shared_;
    std::vector<Extra> extras_;
    // Case-folded key of each added entry to its position in extras_.
    std::unordered_map<std::string, std::size_t> extraIndex_;
};

// The value of a registered property converted to its accessor type.
template <PropType T>
PropValue<T> GetTyped(AGProperties& bag, std::string_view name) {
    return FromVariant<T>(bag.ValueAt(bag.ItemIndex(name)));
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
