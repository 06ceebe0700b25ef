#include "model/property_bag.h"

#include <unordered_map>

#include "support/convert.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/text.h"

namespace velmora {

AGProperty::AGProperty(std::string name, std::string dataType, bool regSave, std::int32_t regFormat,
                       bool fileSave, bool sync)
    : name_(std::move(name)),
      dataType_(std::move(dataType)),
      regSave_(regSave),
      regFormat_(regFormat),
      fileSave_(fileSave),
      sync_(sync) {}

void AGProperty::SetValue(Variant value) {
    if (fileSave_ && value.ToText() != value_.ToText()) Engine().projectDirty = true;
    value_ = std::move(value);
}

AGProperties::AGProperties() { items_.SetCompareMode(kTextCompare); }

bool AGProperties::Add(std::string_view name, std::string_view dataType, bool regSave,
                       std::int32_t regFormat, bool fileSave, bool sync) {
    if (name.empty() || items_.FindByKey(name)) return false;
    auto entry = std::make_shared<AGProperty>(std::string(name), std::string(dataType), regSave,
                                              regFormat, fileSave, sync);
    items_.Add(Variant(entry), name);
    return true;
}

bool AGProperties::Change(std::string_view oldName, std::string_view newName) {
    if (oldName.empty() || newName.empty()) return false;
    if (oldName == newName) return true;
    if (!items_.FindByKey(oldName)) return false;
    if (items_.FindByKey(newName) && !EqualsNoCase(oldName, newName)) return false;
    try {
        items_.ChangeKey(oldName, newName);
    } catch (const CollectionError&) {
        return false;
    }
    return true;
}

std::int32_t AGProperties::Count() const { return items_.Count(); }

bool AGProperties::Delete(const Variant& index) {
    std::string name = index.ToText();
    if (name.empty() || !items_.FindByKey(name)) return false;
    try {
        items_.Remove(Variant(name));
    } catch (const CollectionError&) {
        return false;
    }
    return true;
}

bool AGProperties::PropertyExist(const Variant& index) const {
    return items_.FindByKey(index.ToText()) != nullptr;
}

std::shared_ptr<AGProperty> AGProperties::Find(std::string_view name) const {
    const Variant* item = items_.FindByKey(name);
    return item ? std::static_pointer_cast<AGProperty>(item->AsObject()) : nullptr;
}

std::shared_ptr<AGProperty> AGProperties::Item(const Variant& index) {
    std::string name = index.ToText();
    if (auto found = Find(name)) return found;
    // An unknown name becomes a saved text property, so a template's typo is at least kept.
    if (!Add(name)) return std::make_shared<AGProperty>(name, "String", false, 0, false, false);
    return Find(name);
}

std::shared_ptr<cEnumerationObject> AGProperties::NewEnum_prp() const { return items_.NewEnum(); }

std::vector<std::shared_ptr<AGProperty>> AGProperties::Entries() const {
    std::vector<std::shared_ptr<AGProperty>> entries;
    for (const Variant& item : items_.ItemsInOrder())
        entries.push_back(std::static_pointer_cast<AGProperty>(item.AsObject()));
    return entries;
}

void AGProperties::Clear() { items_.Clear(); }

void AGProperties::Register(PropertyTable table) {
    items_.Reserve(static_cast<std::int32_t>(table.size()));
    for (const PropertyDef& def : table)
        Add(def.name, PropTypeName(def.type), def.regSave, def.regFormat, def.fileSave, def.sync);
}

void LoadRegistryDefaults(AGProperties& bag, std::string_view section) {
    // One read of the section serves every entry: entities are made by the thousand.
    std::unordered_map<std::string, Variant> stored;
    for (RegEntry& value : CurrentUserStore().Values(section)) stored.emplace(FoldCase(value.name), std::move(value.value));
    for (const auto& entry : bag.Entries()) {
        if (!entry->RegSave()) continue;
        auto found = stored.find(FoldCase(entry->Name()));
        entry->SetValue(ConvertTo(found == stored.end() ? Variant() : found->second, entry->DataType()));
    }
}

void SaveRegistryDefaults(const AGProperties& bag, std::string_view section) {
    for (const auto& entry : bag.Entries()) {
        if (!entry->RegSave()) continue;
        SetRegValue("HKCU", section, entry->Name(), entry->RegFormat() == 0 ? kRegText : entry->RegFormat(),
                    entry->Value());
    }
}

std::string EntityGetV(AGProperties& bag, std::string_view name) {
    if (auto entry = bag.Find(name)) return entry->Value().ToText();
    auto added = bag.Item(Variant(std::string(name)));
    added->SetValue(Variant(std::string()));
    return {};
}

void EntitySetV(AGProperties& bag, std::string_view name, std::string_view value) {
    if (auto entry = bag.Find(name)) {
        entry->SetValue(ConvertTo(Variant(std::string(value)), entry->DataType()));
        return;
    }
    bag.Item(Variant(std::string(name)))->SetValue(Variant(std::string(value)));
}

}  // namespace velmora
