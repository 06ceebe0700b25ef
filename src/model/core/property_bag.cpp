#include "model/core/property_bag.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "support/convert.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/text.h"

namespace velmora {

namespace {

const Variant& EmptyValue() {
    static const Variant empty;
    return empty;
}

void AssignTracked(const PropertyRow& row, Variant& slot, Variant&& value) {
    // Once the project is dirty, no comparison can change that: skip the text conversions.
    if (row.fileSave && !Engine().projectDirty && value.ToText() != slot.ToText()) Engine().projectDirty = true;
    slot = std::move(value);
}

}  // namespace

// The registered rows of one property table, shared by every bag registered from it.
class PropertyLayout {
public:
    explicit PropertyLayout(PropertyTable table) {
        rows.reserve(table.size());
        for (const PropertyDef& def : table) {
            // The first row of a name wins, as Add would have it.
            if (def.name.empty() || !folded.emplace(FoldCase(def.name), rows.size()).second) continue;
            rows.push_back({std::string(def.name), std::string(PropTypeName(def.type)), def.regSave,
                            def.regFormat, def.fileSave, def.sync});
        }
        for (std::size_t i = 0; i < rows.size(); ++i) exact.emplace(rows[i].name, i);
    }

    std::size_t Find(std::string_view name, std::string& foldedName) const {
        // Accessors spell names as registered: the exact match spares the case folding.
        if (auto it = exact.find(name); it != exact.end()) return it->second;
        FoldCaseInto(name, foldedName);
        auto it = folded.find(foldedName);
        return it == folded.end() ? AGProperties::npos : it->second;
    }

    std::vector<PropertyRow> rows;

private:
    std::unordered_map<std::string_view, std::size_t> exact;
    std::unordered_map<std::string, std::size_t> folded;
};

namespace {

std::shared_ptr<const PropertyLayout> LayoutFor(PropertyTable table) {
    static std::mutex mutex;
    static std::map<std::pair<const PropertyDef*, std::size_t>, std::shared_ptr<const PropertyLayout>> layouts;
    std::lock_guard lock(mutex);
    auto& layout = layouts[{table.data(), table.size()}];
    if (!layout) layout = std::make_shared<const PropertyLayout>(table);
    return layout;
}

}  // namespace

AGProperty::AGProperty(std::string name, std::string dataType, bool regSave, std::int32_t regFormat,
                       bool fileSave, bool sync)
    : row_{std::move(name), std::move(dataType), regSave, regFormat, fileSave, sync} {}

void AGProperty::SetValue(Variant value) { AssignTracked(row_, value_, std::move(value)); }

AGProperties::AGProperties() = default;
AGProperties::~AGProperties() = default;

std::size_t AGProperties::LayoutSize() const { return layout_ ? layout_->rows.size() : 0; }

std::size_t AGProperties::Size() const { return LayoutSize() + extras_.size(); }

std::size_t AGProperties::IndexOf(std::string_view name) const {
    std::string folded;
    if (layout_) {
        std::size_t pos = layout_->Find(name, folded);
        if (pos != npos) return pos;
    } else {
        FoldCaseInto(name, folded);
    }
    if (extras_.empty()) return npos;
    auto it = extraIndex_.find(folded);
    return it == extraIndex_.end() ? npos : LayoutSize() + it->second;
}

std::size_t AGProperties::IndexOf(std::string_view name, std::size_t expected) const {
    // A file leaves out the entries it does not save, so the name may be a few rows further on.
    constexpr std::size_t kLookAhead = 8;
    const std::size_t end = std::min(Size(), expected + kLookAhead);
    for (std::size_t pos = expected; pos < end; ++pos)
        if (KeyAt(pos) == name) return pos;
    return IndexOf(name);
}

const std::string& AGProperties::KeyAt(std::size_t pos) const {
    std::size_t rows = LayoutSize();
    return pos < rows ? layout_->rows[pos].name : extras_[pos - rows].key;
}

const PropertyRow& AGProperties::RowAt(std::size_t pos) const {
    std::size_t rows = LayoutSize();
    if (pos >= rows) return extras_[pos - rows].entry->Row();
    if (!shared_.empty() && shared_[pos]) return shared_[pos]->Row();
    return layout_->rows[pos];
}

const Variant& AGProperties::ValueAt(std::size_t pos) const {
    std::size_t rows = LayoutSize();
    if (pos == npos || pos >= Size()) return EmptyValue();
    if (pos >= rows) return extras_[pos - rows].entry->Value();
    if (!shared_.empty() && shared_[pos]) return shared_[pos]->Value();
    return values_[pos];
}

void AGProperties::SetValueAt(std::size_t pos, const Variant& value) { SetValueAt(pos, Variant(value)); }

void AGProperties::SetValueAt(std::size_t pos, Variant&& value) {
    std::size_t rows = LayoutSize();
    if (pos == npos || pos >= Size()) return;
    if (pos >= rows) return extras_[pos - rows].entry->SetValue(std::move(value));
    if (!shared_.empty() && shared_[pos]) return shared_[pos]->SetValue(std::move(value));
    AssignTracked(layout_->rows[pos], values_[pos], std::move(value));
}

std::shared_ptr<AGProperty> AGProperties::EntryAt(std::size_t pos) const {
    std::size_t rows = LayoutSize();
    if (pos >= rows) return extras_[pos - rows].entry;
    if (shared_.empty()) shared_.resize(rows);
    if (!shared_[pos]) {
        // The value moves into the entry, which holds it from now on.
        shared_[pos] = std::make_shared<AGProperty>(layout_->rows[pos], std::move(values_[pos]));
    }
    return shared_[pos];
}

bool AGProperties::Add(std::string_view name, std::string_view dataType, bool regSave,
                       std::int32_t regFormat, bool fileSave, bool sync) {
    if (name.empty() || IndexOf(name) != npos) return false;
    auto entry = std::make_shared<AGProperty>(std::string(name), std::string(dataType), regSave, regFormat,
                                              fileSave, sync);
    extraIndex_.emplace(FoldCase(name), extras_.size());
    extras_.push_back({std::string(name), std::move(entry)});
    return true;
}

void AGProperties::IndexExtras() {
    extraIndex_.clear();
    for (std::size_t i = 0; i < extras_.size(); ++i) extraIndex_.emplace(FoldCase(extras_[i].key), i);
}

void AGProperties::Detach() {
    if (!layout_) return;
    std::vector<Extra> all;
    all.reserve(Size());
    for (std::size_t pos = 0; pos < layout_->rows.size(); ++pos)
        all.push_back({layout_->rows[pos].name, EntryAt(pos)});
    for (Extra& extra : extras_) all.push_back(std::move(extra));
    extras_ = std::move(all);
    layout_.reset();
    values_.clear();
    shared_.clear();
    IndexExtras();
}

bool AGProperties::Change(std::string_view oldName, std::string_view newName) {
    if (oldName.empty() || newName.empty()) return false;
    if (oldName == newName) return true;
    std::size_t pos = IndexOf(oldName);
    if (pos == npos) return false;
    std::size_t clash = IndexOf(newName);
    if (clash != npos && clash != pos) return false;
    Detach();
    extras_[pos].key = std::string(newName);
    IndexExtras();
    return true;
}

bool AGProperties::Delete(const Variant& index) {
    std::size_t pos = IndexOf(index.ToText());
    if (pos == npos) return false;
    Detach();
    extras_.erase(extras_.begin() + static_cast<std::ptrdiff_t>(pos));
    IndexExtras();
    return true;
}

std::shared_ptr<AGProperty> AGProperties::Find(std::string_view name) const {
    std::size_t pos = IndexOf(name);
    return pos == npos ? nullptr : EntryAt(pos);
}

std::size_t AGProperties::ItemIndex(std::string_view name) {
    std::size_t pos = IndexOf(name);
    if (pos != npos) return pos;
    // An unknown name becomes a saved text property, so a template's typo is at least kept.
    return Add(name) ? Size() - 1 : npos;
}

std::shared_ptr<AGProperty> AGProperties::Item(const Variant& index) {
    std::string name = index.ToText();
    std::size_t pos = ItemIndex(name);
    if (pos == npos) return std::make_shared<AGProperty>(name, "String", false, 0, false, false);
    return EntryAt(pos);
}

std::vector<std::shared_ptr<AGProperty>> AGProperties::Entries() const {
    std::vector<std::shared_ptr<AGProperty>> entries;
    entries.reserve(Size());
    for (std::size_t pos = 0; pos < Size(); ++pos) entries.push_back(EntryAt(pos));
    return entries;
}

void AGProperties::Clear() {
    layout_.reset();
    values_.clear();
    shared_.clear();
    extras_.clear();
    extraIndex_.clear();
}

void AGProperties::Register(PropertyTable table) {
    if (Size() == 0) {
        layout_ = LayoutFor(table);
        values_.assign(layout_->rows.size(), Variant());
        return;
    }
    for (const PropertyDef& def : table)
        Add(def.name, PropTypeName(def.type), def.regSave, def.regFormat, def.fileSave, def.sync);
}

namespace {

// The settings of one section converted for the RegSave rows of a bag. Kept per layout and
// rebuilt only when the section's stored values differ from the ones it was converted from.
struct ConvertedDefaults {
    bool built = false;
    std::vector<RegEntry> source;
    std::vector<std::pair<std::size_t, Variant>> values;
};

bool SameEntries(const std::vector<RegEntry>& a, const std::vector<RegEntry>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].type != b[i].type || !(a[i].value == b[i].value)) return false;
    return true;
}

ConvertedDefaults ConvertDefaults(const AGProperties& bag, std::vector<RegEntry> stored) {
    ConvertedDefaults converted;
    std::unordered_map<std::string, const Variant*> byName;
    for (const RegEntry& value : stored) byName.emplace(FoldCase(value.name), &value.value);
    for (std::size_t pos = 0; pos < bag.Size(); ++pos) {
        const PropertyRow& row = bag.RowAt(pos);
        if (!row.regSave) continue;
        auto found = byName.find(FoldCase(row.name));
        converted.values.emplace_back(pos, ConvertTo(found == byName.end() ? Variant() : *found->second, row.dataType));
    }
    converted.built = true;
    converted.source = std::move(stored);
    return converted;
}

}  // namespace

void LoadRegistryDefaults(AGProperties& bag, std::string_view section) {
    std::vector<RegEntry> stored = CurrentUserStore().Values(section);
    // Only a bag of untouched layout rows is converted like every other bag of its layout.
    if (!bag.layout_ || !bag.extras_.empty() || !bag.shared_.empty()) {
        for (const auto& [pos, value] : ConvertDefaults(bag, std::move(stored)).values) bag.SetValueAt(pos, value);
        return;
    }
    static std::mutex mutex;
    static std::map<std::pair<const PropertyLayout*, std::string>, ConvertedDefaults> cache;
    std::lock_guard lock(mutex);
    ConvertedDefaults& defaults = cache[{bag.layout_.get(), FoldCase(section)}];
    if (!defaults.built || !SameEntries(defaults.source, stored)) defaults = ConvertDefaults(bag, std::move(stored));
    for (const auto& [pos, value] : defaults.values) bag.SetValueAt(pos, value);
}

void SaveRegistryDefaults(const AGProperties& bag, std::string_view section) {
    for (std::size_t pos = 0; pos < bag.Size(); ++pos) {
        const PropertyRow& row = bag.RowAt(pos);
        if (!row.regSave) continue;
        SetRegValue("HKCU", section, row.name, row.regFormat == 0 ? kRegText : row.regFormat, bag.ValueAt(pos));
    }
}

std::string EntityGetV(AGProperties& bag, std::string_view name) {
    std::size_t pos = bag.IndexOf(name);
    if (pos != AGProperties::npos) return bag.ValueAt(pos).ToText();
    bag.SetValueAt(bag.ItemIndex(name), Variant(std::string()));
    return {};
}

void EntitySetV(AGProperties& bag, std::string_view name, std::string_view value) {
    std::size_t pos = bag.IndexOf(name);
    if (pos != AGProperties::npos) {
        bag.SetValueAt(pos, ConvertTo(Variant(std::string(value)), bag.RowAt(pos).dataType));
        return;
    }
    bag.SetValueAt(bag.ItemIndex(name), Variant(std::string(value)));
}

}  // namespace velmora
