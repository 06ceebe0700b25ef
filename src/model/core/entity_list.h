// EntityList: the keyed, numbered list behind the entity collections. Entities are keyed by
// name without regard to case, numbered 1..Count by their own sequence property, and one of
// them is the current item. Nothing here throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/core/super_collection.h"
#include "support/variant.h"

namespace velmora {

template <class T, std::int16_t (T::*GetSeq)() const, void (T::*PutSeq)(const std::int16_t&)>
class EntityList {
public:
    EntityList() { items_.SetCompareMode(kTextCompare); }

    std::int32_t Count() const { return items_.Count(); }

    std::shared_ptr<T> FindKey(std::string_view key) const {
        const Variant* item = items_.FindByKey(key);
        return item ? std::static_pointer_cast<T>(item->AsObject()) : nullptr;
    }

    // By position (a number) or key (a text); nullptr when there is none.
    std::shared_ptr<T> Find(const Variant& index) const {
        try {
            return items_.Item(index).template ObjectAs<T>();
        } catch (const CollectionError&) {
            return nullptr;
        }
    }

    // The entity numbered `seq`. Numbers usually follow positions, so that position is tried first.
    std::shared_ptr<T> FindSeq(std::int16_t seq) const {
        if (const Variant* item = items_.FindAt(seq)) {
            auto entity = std::static_pointer_cast<T>(item->AsObject());
            if (((*entity).*GetSeq)() == seq) return entity;
        }
        for (const auto& entity : Items())
            if (((*entity).*GetSeq)() == seq) return entity;
        return nullptr;
    }

    // Appends a new entity under `key`, numbered with the new count and made current; nullptr
    // for an empty or taken key.
    std::shared_ptr<T> Append(std::string_view key) {
        if (key.empty() || items_.FindByKey(key)) return nullptr;
        auto entity = std::make_shared<T>();
        entity->SetKey(std::string(key));
        try {
            items_.Add(Variant(entity), key);
        } catch (const CollectionError&) {
            return nullptr;
        }
        ((*entity).*PutSeq)(static_cast<std::int16_t>(items_.Count()));
        current_ = entity;
        return entity;
    }

    // Gives the entity under `oldKey` the key `newKey` (a change of case only is allowed) and
    // makes it current; nullptr when `oldKey` is unknown or `newKey` belongs to another entity.
    std::shared_ptr<T> Rekey(std::string_view oldKey, std::string_view newKey) {
        auto entity = FindKey(oldKey);
        if (!entity || newKey.empty()) return nullptr;
        auto holder = FindKey(newKey);
        if (holder && holder != entity) return nullptr;
        try {
            items_.ChangeKey(oldKey, newKey);
        } catch (const CollectionError&) {
            return nullptr;
        }
        entity->SetKey(std::string(newKey));
        current_ = entity;
        return entity;
    }

    // Removes the entity; the ones numbered after it move down by one, so that the numbers stay
    // contiguous. Removing the current entity leaves no current entity.
    bool Remove(const std::shared_ptr<T>& entity) {
        if (!entity || FindKey(entity->Key()) != entity) return false;
        std::int16_t seq = ((*entity).*GetSeq)();
        try {
            items_.Remove(Variant(entity->Key()));
        } catch (const CollectionError&) {
            return false;
        }
        for (const auto& other : Items()) {
            std::int16_t otherSeq = ((*other).*GetSeq)();
            if (otherSeq > seq) ((*other).*PutSeq)(static_cast<std::int16_t>(otherSeq - 1));
        }
        if (current_.lock() == entity) current_.reset();
        return true;
    }

    void Clear() {
        items_.Clear();
        current_.reset();
    }

    // Moves the entity under `key` to `position` (from 1) and numbers every entity by its place.
    bool MoveTo(std::string_view key, std::int32_t position) {
        if (!items_.FindByKey(key) || position < 1 || position > items_.Count()) return false;
        try {
            items_.MoveItem(Variant(std::string(key)), Variant(position));
        } catch (const CollectionError&) {
            return false;
        }
        std::int16_t seq = 0;
        for (const auto& entity : Items()) ((*entity).*PutSeq)(++seq);
        return true;
    }

    std::vector<std::shared_ptr<T>> Items() const {
        std::vector<std::shared_ptr<T>> entities;
        entities.reserve(static_cast<std::size_t>(items_.Count()));
        for (const Variant& item : items_.ItemsInOrder())
            entities.push_back(std::static_pointer_cast<T>(item.AsObject()));
        return entities;
    }

    std::shared_ptr<cEnumerationObject> NewEnum() const { return items_.NewEnum(); }

    // Makes a member of the list current; returns it (nullptr stays nullptr).
    std::shared_ptr<T> MakeCurrent(std::shared_ptr<T> entity) {
        if (entity) current_ = entity;
        return entity;
    }
    std::shared_ptr<T> Current() const { return current_.lock(); }
    std::string CurrentName() const {
        auto entity = current_.lock();
        return entity ? entity->Key() : std::string();
    }
    std::int16_t CurrentSeq() const {
        auto entity = current_.lock();
        return entity ? ((*entity).*GetSeq)() : std::int16_t{0};
    }

private:
    CSuperCollection items_;
    std::weak_ptr<T> current_;
};

// The members every entity collection offers over its EntityList; each collection adds its own
// Add, Change, Delete, existence test and enumerator names.
template <class T, std::int16_t (T::*GetSeq)() const, void (T::*PutSeq)(const std::int16_t&)>
class EntityCollection : public AutomationObject {
public:
    // Key and sequence number of the current item; "" and 0 while there is none.
    std::string curName() const { return list_.CurrentName(); }
    std::int16_t curSeq() const { return list_.CurrentSeq(); }
    std::int32_t Count() const { return list_.Count(); }
    // The item, without making it current; nullptr when there is none.
    std::shared_ptr<T> Find(const Variant& index) const { return list_.Find(index); }
    // By key or position; the item found becomes current. nullptr when there is none.
    std::shared_ptr<T> Item(const Variant& index) { return list_.MakeCurrent(list_.Find(index)); }
    // The item whose sequence number is `index`.
    std::shared_ptr<T> Seq(std::int16_t index) const { return list_.FindSeq(index); }
    bool SetItem(const Variant& index) { return Item(index) != nullptr; }
    bool SetSeq(std::int16_t index) { return list_.MakeCurrent(list_.FindSeq(index)) != nullptr; }
    // The items in collection order.
    std::vector<std::shared_ptr<T>> Items() const { return list_.Items(); }
    // Removes every item and nothing else.
    void Clear() { list_.Clear(); }
    // Moves the item under `key` to `position` (from 1); the items are numbered again by place.
    bool MoveTo(std::string_view key, std::int32_t position) { return list_.MoveTo(key, position); }

protected:
    bool Exists(const Variant& index) const { return list_.Find(index) != nullptr; }

    EntityList<T, GetSeq, PutSeq> list_;
};

}  // namespace velmora
