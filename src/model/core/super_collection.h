// CSuperCollection: the ordered, optionally keyed collection behind every collection of the
// object model. Items are Variants (objects by reference, other values by copy), addressed by
// position (BaseIndex .. BaseIndex + Count - 1) or by a unique text key.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/variant.h"

namespace velmora {

// The collection's numbered errors; the collection is unchanged after a failing call.
class CollectionError : public std::exception {
public:
    CollectionError(std::uint32_t number, std::string description)
        : number_(number), description_(std::move(description)) {}
    std::uint32_t Number() const { return number_; }
    const std::string& Description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    std::uint32_t number_;
    std::string description_;
};

inline constexpr std::uint32_t kErrSubscriptOutOfRange = 9;
inline constexpr std::uint32_t kErrDuplicateKey = 457;
inline constexpr std::uint32_t kErrUnsupportedMember = 438;
inline constexpr std::uint32_t kErrCollectionInitialized = 0x80000500;
inline constexpr std::uint32_t kErrKeyNotFound = 0x80000501;
inline constexpr std::uint32_t kErrMoveInForEach = 0x80000502;
inline constexpr std::uint32_t kErrInvalidDatatype = 0x80000503;
inline constexpr std::uint32_t kErrNoPosition = 0x80000504;
inline constexpr std::uint32_t kErrUndefined = 0x80000505;

// KeyExists' answer for a missing key; as a position argument of Add: no position given.
inline constexpr std::int32_t kNoPosition = 0x10000001;

enum InsertMode : std::int32_t {
    kInsertBefore = 1,
    kInsertAfter = 2,
    kInsertFirst = 3,
    kInsertLast = 4,
};

enum CompareModeValue : std::int32_t { kBinaryCompare = 0, kTextCompare = 1 };

class CollectionState;

// One key of the collection with the position of its item.
class cKey : public AutomationObject {
public:
    cKey(std::string name, std::int32_t index) : name_(std::move(name)), index_(index) {}
    const std::string& Name() const { return name_; }
    std::int32_t AssociatedIndex() const { return index_; }

private:
    std::string name_;
    std::int32_t index_;
};

// Enumerator over the items; tolerates removals while it runs and ends quietly once its
// collection is gone. Does not keep the collection alive.
class cEnumerationObject : public AutomationObject {
public:
    explicit cEnumerationObject(std::shared_ptr<CollectionState> state);
    ~cEnumerationObject() override;
    cEnumerationObject(const cEnumerationObject&) = delete;
    cEnumerationObject& operator=(const cEnumerationObject&) = delete;

    // The next item, or false when none remain.
    bool Next(Variant& item);
    void Skip(std::int32_t count);
    void Reset();
    std::shared_ptr<cEnumerationObject> Clone() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The keys in sorted key order.
class CKeys : public AutomationObject {
public:
    explicit CKeys(std::shared_ptr<CollectionState> state) : state_(std::move(state)) {}
    std::int32_t Count() const;
    // Snapshot of the keys in sorted order; empty once the collection is gone.
    std::vector<std::shared_ptr<cKey>> Items() const;

private:
    std::weak_ptr<CollectionState> state_;
};

class CSuperCollection : public AutomationObject {
public:
    CSuperCollection();
    ~CSuperCollection() override;
    CSuperCollection(const CSuperCollection&) = delete;
    CSuperCollection& operator=(const CSuperCollection&) = delete;

    std::int32_t CompareMode() const;
    void SetCompareMode(std::int32_t mode);
    bool AllowItemAsignments() const;
    void SetAllowItemAsignments(bool allow);
    std::int32_t BaseIndex() const;
    void SetBaseIndex(std::int32_t base);

    std::shared_ptr<CKeys> Keys() const;
    std::string Key(std::int32_t index) const;
    std::int32_t KeyExists(std::string_view key) const;
    void ChangeKey(std::string_view oldKey, std::string_view newKey);
    void ChangeKeyForIndex(std::int32_t index, std::string_view newKey);

    void Add(Variant item, std::string_view key = {}, std::int32_t insertMode = kInsertLast,
             std::int32_t position = kNoPosition);
    std::int32_t Count() const;
    void Remove(const Variant& indexOrKey);
    // Empty Variant for a position out of range or a missing key.
    Variant Item(const Variant& indexOrKey) const;
    void SetItem(const Variant& indexOrKey, Variant item);
    std::shared_ptr<cEnumerationObject> NewEnum() const;
    void Clear();
    std::int32_t MoveItem(const Variant& movedItem, const Variant& targetPosition);

    // Direct access for C++ callers: no Variant round trip, no errors.
    // The item under a key, or nullptr.
    const Variant* FindByKey(std::string_view key) const;
    // The item at a position, or nullptr.
    const Variant* FindAt(std::int32_t position) const;
    // All items in position order.
    std::vector<Variant> ItemsInOrder() const;
    // Makes room for `count` more items, for callers that know how many they will add.
    void Reserve(std::int32_t count);

private:
    std::shared_ptr<CollectionState> state_;
};

}  // namespace velmora
