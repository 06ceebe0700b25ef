// The rules shared by the extension collections (extensions, and the databases, tables, charts and
// fields that carry extension settings): items keyed by name without regard to case, a current
// item (curName, curSeq) and sequence numbers that run from 1 to Count without gaps.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/core/super_collection.h"
#include "support/variant.h"

namespace velmora {

// T is an AutomationObject constructible from its name, with Name()/SetName() and
// Seq()/SetSeq(std::int16_t).
template <class T>
class ExtNamedList : public AutomationObject {
public:
    ExtNamedList() { items_.SetCompareMode(kTextCompare); }

    const std::string& curName() const { return curName_; }
    std::int16_t curSeq() const { return curSeq_; }

    // Appends a new item with the next sequence number and makes it current; false for an empty
    // name or one the list holds already.
    bool Add(std::string_view name) {
        if (name.empty() || items_.FindByKey(name)) return false;
        auto item = std::make_shared<T>(std::string(name));
        item->SetSeq(static_cast<std::int16_t>(items_.Count() + 1));
        items_.Add(Variant(item), name);
        MakeCurrent(*item);
        return true;
    }

    // Renames an item (key and name) and makes it current.
    bool Change(std::string_view oldName, std::string_view newName) {
        if (oldName.empty() || newName.empty()) return false;
        if (oldName == newName) return true;
        auto item = Find(oldName);
        if (!item || (items_.FindByKey(newName) && Find(newName) != item)) return false;
        try {
            items_.ChangeKey(oldName, newName);
        } catch (const CollectionError&) {
            return false;
        }
        item->SetName(std::string(newName));
        MakeCurrent(*item);
        return true;
    }

    std::int32_t Count() const { return items_.Count(); }

    // Removes the item (by position or name); later sequence numbers move down by one.
    bool Delete(const Variant& index) {
        auto item = Lookup(index);
        if (!item) return false;
        std::int16_t seq = item->Seq();
        for (const auto& other : Items())
            if (other->Seq() > seq) other->SetSeq(static_cast<std::int16_t>(other->Seq() - 1));
        try {
            items_.Remove(Variant(item->Name()));
        } catch (const CollectionError&) {
            return false;
        }
        if (EqualsCurrent(*item)) {
            curName_.clear();
            curSeq_ = 0;
        }
        return true;
    }

    bool Exist(const Variant& index) const { return Lookup(index) != nullptr; }

    // The item at a position (1..Count) or of a name, made current; nullptr when there is none.
    std::shared_ptr<T> Item(const Variant& index) {
        auto item = Lookup(index);
        if (item) MakeCurrent(*item);
        return item;
    }
    bool SetItem(const Variant& index) { return Item(index) != nullptr; }

    // The item whose sequence number is `seq`.
    std::shared_ptr<T> Seq(std::int16_t seq) const {
        for (const auto& item : Items())
            if (item->Seq() == seq) return item;
        return nullptr;
    }
    bool SetSeq(std::int16_t seq) {
        auto item = Seq(seq);
        if (item) MakeCurrent(*item);
        return item != nullptr;
    }

    // Lookups that leave the current item alone.
    std::shared_ptr<T> Find(std::string_view name) const {
        const Variant* found = items_.FindByKey(name);
        return found ? std::static_pointer_cast<T>(found->AsObject()) : nullptr;
    }
    std::vector<std::shared_ptr<T>> Items() const {
        std::vector<std::shared_ptr<T>> items;
        for (const Variant& v : items_.ItemsInOrder()) items.push_back(std::static_pointer_cast<T>(v.AsObject()));
        return items;
    }

    std::shared_ptr<cEnumerationObject> NewEnum() const { return items_.NewEnum(); }

    void Clear() {
        items_.Clear();
        curName_.clear();
        curSeq_ = 0;
    }

private:
    std::shared_ptr<T> Lookup(const Variant& index) const {
        const Variant* found = nullptr;
        if (index.IsString()) {
            found = items_.FindByKey(index.AsString());
        } else if (auto position = index.NumericValue(); position && index.Type() != VarType::Boolean) {
            if (*position >= 1 && *position <= items_.Count())
                found = items_.FindAt(static_cast<std::int32_t>(*position));
        }
        return found ? std::static_pointer_cast<T>(found->AsObject()) : nullptr;
    }
    void MakeCurrent(const T& item) {
        curName_ = item.Name();
        curSeq_ = item.Seq();
    }
    bool EqualsCurrent(const T& item) const { return curName_ == item.Name(); }

    CSuperCollection items_;
    std::string curName_;
    std::int16_t curSeq_ = 0;
};

}  // namespace velmora
