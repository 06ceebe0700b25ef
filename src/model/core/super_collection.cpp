#include "model/core/super_collection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>

#include "support/text.h"

namespace velmora {

namespace {

struct ErrorText {
    std::uint32_t number;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {kErrSubscriptOutOfRange, "Subscript out of range"},
    {kErrDuplicateKey, "This key is already associated with an element of this collection"},
    {kErrUnsupportedMember, "Object doesn't support this property or method"},
    {kErrCollectionInitialized, "Collection already initialized"},
    {kErrKeyNotFound, "Key not found."},
    {kErrMoveInForEach, "Move not allowed while in For...Each loop."},
    {kErrInvalidDatatype, "Invalid datatype"},
    {kErrNoPosition, "No position supplied."},
    {kErrUndefined, "Undifined error"},
};

[[noreturn]] void Raise(std::uint32_t number) {
    for (const auto& e : kErrorTexts) {
        if (e.number == number) throw CollectionError(number, e.text);
    }
    throw CollectionError(number, "Undifined error");
}

// A number index as a 32-bit position, rounding halves to even as the automation conversion
// does; nullopt when it does not fit, which every caller treats as out of range.
std::optional<std::int32_t> NumberToPosition(const Variant& v) {
    switch (v.Type()) {
        case VarType::Integer:
            return v.AsInteger();
        case VarType::Long:
            return v.AsLong();
        default:
            break;
    }
    double d = v.Type() == VarType::Single ? static_cast<double>(v.AsSingle()) : v.AsDouble();
    if (!std::isfinite(d)) return std::nullopt;
    double r = std::round(d);
    if (std::fabs(d - std::trunc(d)) == 0.5) r = 2.0 * std::round(d / 2.0);
    if (r < std::numeric_limits<std::int32_t>::min() ||
        r > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(r);
}

}  // namespace

// Everything a collection holds. Enumerators and key views reach it through weak references,
// so the collection alone decides its lifetime.
class CollectionState {
public:
    // Sort key -> offset of the item in `order`. The sort key is the key itself under binary
    // comparison and its case-folded form under text comparison.
    using KeyMap = std::map<std::string, std::size_t, std::less<>>;

    struct Entry {
        std::uint64_t id;  // unique for the collection's lifetime; never reused
        Variant value;
        std::string key;  // as given; empty when the item has none
        KeyMap::iterator keyIt;
    };

    std::vector<Entry> order;
    KeyMap keys;
    // Ids grow with each Add, so `order` is sorted by id until an item is moved; then lookups
    // by id fall back to a scan. Moves are rare: the engine appends.
    bool idsAscending = true;
    std::int32_t compareMode = kBinaryCompare;
    std::int32_t baseIndex = 1;
    bool allowItemAssignments = false;
    std::int32_t liveEnumerators = 0;
    std::uint64_t nextId = 1;

    std::size_t Size() const { return order.size(); }

    std::string SortKey(std::string_view key) const {
        return compareMode == kTextCompare ? FoldCase(key) : std::string(key);
    }

    // Offset of the item under a key; an empty key is never found.
    std::optional<std::size_t> FindKey(std::string_view key) const {
        if (key.empty()) return std::nullopt;
        KeyMap::const_iterator it;
        if (compareMode == kTextCompare) {
            thread_local std::string folded;
            FoldCaseInto(key, folded);
            it = keys.find(folded);
        } else {
            it = keys.find(key);
        }
        if (it == keys.end()) return std::nullopt;
        return it->second;
    }

    // Offset of a position, or nullopt outside BaseIndex .. BaseIndex + Count - 1.
    std::optional<std::size_t> OffsetOf(std::int64_t position) const {
        std::int64_t off = position - baseIndex;
        if (off < 0 || off >= static_cast<std::int64_t>(order.size())) return std::nullopt;
        return static_cast<std::size_t>(off);
    }

    std::int32_t PositionOf(std::size_t offset) const {
        return static_cast<std::int32_t>(baseIndex + static_cast<std::int64_t>(offset));
    }

    std::optional<std::size_t> OffsetOfId(std::uint64_t id) const {
        if (idsAscending) {
            auto it = std::lower_bound(order.begin(), order.end(), id,
                                       [](const Entry& e, std::uint64_t wanted) { return e.id < wanted; });
            if (it == order.end() || it->id != id) return std::nullopt;
            return static_cast<std::size_t>(it - order.begin());
        }
        for (std::size_t i = 0; i < order.size(); ++i)
            if (order[i].id == id) return i;
        return std::nullopt;
    }

    // Reads a position-or-key index. Throws for a type that is neither; an out-of-range position
    // or a missing key gives nullopt with `isKey` saying which.
    std::optional<std::size_t> Resolve(const Variant& index, bool& isKey) const {
        if (index.IsString()) {
            isKey = true;
            return FindKey(index.AsString());
        }
        if (!index.IsNumber()) Raise(kErrInvalidDatatype);
        isKey = false;
        auto position = NumberToPosition(index);
        if (!position) return std::nullopt;
        return OffsetOf(*position);
    }

    // As Resolve, raising the error of a missing key or an out-of-range position.
    std::size_t ResolveExisting(const Variant& index) const {
        bool isKey = false;
        auto off = Resolve(index, isKey);
        if (!off) Raise(isKey ? kErrKeyNotFound : kErrSubscriptOutOfRange);
        return *off;
    }

    // Writes the offsets of order[from, to] back into the key list.
    void Renumber(std::size_t from, std::size_t to) {
        for (std::size_t i = from; i <= to && i < order.size(); ++i) {
            Entry& e = order[i];
            if (!e.key.empty()) e.keyIt->second = i;
        }
    }

    // Takes the item at `from` out and reinserts it so that it sits at `to`.
    void Move(std::size_t from, std::size_t to) {
        if (from == to) return;
        auto first = order.begin();
        if (from < to)
            std::rotate(first + from, first + from + 1, first + to + 1);
        else
            std::rotate(first + to, first + from, first + from + 1);
        idsAscending = false;
        Renumber(std::min(from, to), std::max(from, to));
    }

    void Append(Variant value, std::string_view key, std::string sortKey) {
        std::size_t off = order.size();
        std::uint64_t id = nextId;
        order.push_back(Entry{id, std::move(value), std::string(key), keys.end()});
        try {
            if (!key.empty()) order.back().keyIt = keys.emplace(std::move(sortKey), off).first;
        } catch (...) {
            if (order.back().keyIt != keys.end()) keys.erase(order.back().keyIt);
            order.pop_back();
            throw;
        }
        ++nextId;
    }

    void Erase(std::size_t off) {
        Entry& e = order[off];
        if (!e.key.empty()) keys.erase(e.keyIt);
        order.erase(order.begin() + static_cast<std::ptrdiff_t>(off));
        if (off < order.size()) Renumber(off, order.size() - 1);
    }

    // Gives the item at `off` a new key (empty: no key). Another item holding the key is a
    // duplicate; the item's own key in another letter case is not.
    void Rekey(std::size_t off, std::string_view newKey) {
        Entry& e = order[off];
        std::string sortKey = SortKey(newKey);
        if (!newKey.empty()) {
            auto existing = keys.find(sortKey);
            if (existing != keys.end() && existing->second != off) Raise(kErrDuplicateKey);
        }
        std::string keyText(newKey);
        if (!e.key.empty() && !newKey.empty() && e.keyIt->first == sortKey) {
            e.key = std::move(keyText);
            return;
        }
        KeyMap::iterator keyIt = keys.end();
        if (!newKey.empty()) keyIt = keys.emplace(std::move(sortKey), off).first;
        if (!e.key.empty()) keys.erase(e.keyIt);
        e.key = std::move(keyText);
        e.keyIt = keyIt;
    }

    std::vector<std::uint64_t> Ids() const {
        std::vector<std::uint64_t> ids;
        ids.reserve(order.size());
        for (const Entry& e : order) ids.push_back(e.id);
        return ids;
    }

    void Clear() {
        order.clear();
        keys.clear();
        idsAscending = true;
    }
};

// ---- enumerator ----

struct cEnumerationObject::Impl {
    std::weak_ptr<CollectionState> state;
    std::vector<std::uint64_t> copy;  // item ids in the order of the copy
    std::size_t next = 0;             // index into `copy` of the next candidate
    std::uint64_t idLimit = 0;        // ids from here on were added after the copy was taken

    void TakeCopy(const CollectionState& s) {
        copy = s.Ids();
        idLimit = s.nextId;
    }

    // Removed items are skipped by id, so after removals alone the copy still lines up with the
    // current order. Once items were also added and the collection has shrunk, find the place
    // just after the last returned item that still exists: when the item now there is not ahead
    // in the copy it is new, and a fresh copy continues from that place.
    void Realign(const CollectionState& s) {
        if (s.Size() >= copy.size() || s.nextId == idLimit) return;
        std::size_t place = 0;
        for (std::size_t i = next; i-- > 0;) {
            if (auto off = s.OffsetOfId(copy[i])) {
                place = *off + 1;
                break;
            }
        }
        if (place >= s.Size()) return;
        std::uint64_t now = s.order[place].id;
        auto ahead = std::find(copy.begin() + static_cast<std::ptrdiff_t>(next), copy.end(), now);
        if (ahead != copy.end()) {
            next = static_cast<std::size_t>(ahead - copy.begin());
            return;
        }
        TakeCopy(s);
        next = place;
    }

    // Offset of the next item that still exists, or nullopt at the end.
    std::optional<std::size_t> Advance(const CollectionState& s) {
        Realign(s);
        while (next < copy.size()) {
            if (auto off = s.OffsetOfId(copy[next++])) return off;
        }
        return std::nullopt;
    }
};

cEnumerationObject::cEnumerationObject(std::shared_ptr<CollectionState> state)
    : impl_(std::make_unique<Impl>()) {
    if (!state) return;
    impl_->TakeCopy(*state);
    impl_->state = state;
    ++state->liveEnumerators;
}

cEnumerationObject::~cEnumerationObject() {
    if (auto s = impl_->state.lock()) --s->liveEnumerators;
}

bool cEnumerationObject::Next(Variant& item) {
    auto s = impl_->state.lock();
    if (!s) return false;
    auto off = impl_->Advance(*s);
    if (!off) return false;
    item = s->order[*off].value;
    return true;
}

void cEnumerationObject::Skip(std::int32_t count) {
    auto s = impl_->state.lock();
    if (!s) return;
    for (std::int32_t i = 0; i < count; ++i) {
        if (!impl_->Advance(*s)) return;
    }
}

void cEnumerationObject::Reset() { impl_->next = 0; }

std::shared_ptr<cEnumerationObject> cEnumerationObject::Clone() const {
    auto clone = std::make_shared<cEnumerationObject>(nullptr);
    *clone->impl_ = *impl_;
    if (auto s = impl_->state.lock()) ++s->liveEnumerators;
    return clone;
}

// ---- key view ----

std::int32_t CKeys::Count() const {
    auto s = state_.lock();
    return s ? static_cast<std::int32_t>(s->keys.size()) : 0;
}

std::vector<std::shared_ptr<cKey>> CKeys::Items() const {
    std::vector<std::shared_ptr<cKey>> out;
    auto s = state_.lock();
    if (!s) return out;
    out.reserve(s->keys.size());
    for (const auto& [sortKey, off] : s->keys)
        out.push_back(std::make_shared<cKey>(s->order[off].key, s->PositionOf(off)));
    return out;
}

// ---- collection ----

CSuperCollection::CSuperCollection() : state_(std::make_shared<CollectionState>()) {}

CSuperCollection::~CSuperCollection() = default;

void CSuperCollection::Reserve(std::int32_t count) {
    if (count > 0) state_->order.reserve(state_->order.size() + static_cast<std::size_t>(count));
}

std::int32_t CSuperCollection::CompareMode() const { return state_->compareMode; }

void CSuperCollection::SetCompareMode(std::int32_t mode) {
    if (mode != kBinaryCompare && mode != kTextCompare) Raise(kErrSubscriptOutOfRange);
    if (mode == state_->compareMode) return;
    if (state_->Size() > 0) Raise(kErrCollectionInitialized);
    state_->compareMode = mode;
}

bool CSuperCollection::AllowItemAsignments() const { return state_->allowItemAssignments; }

void CSuperCollection::SetAllowItemAsignments(bool allow) { state_->allowItemAssignments = allow; }

std::int32_t CSuperCollection::BaseIndex() const { return state_->baseIndex; }

void CSuperCollection::SetBaseIndex(std::int32_t base) {
    if (base == state_->baseIndex) return;
    if (state_->Size() > 0) Raise(kErrCollectionInitialized);
    state_->baseIndex = base;
}

std::shared_ptr<CKeys> CSuperCollection::Keys() const { return std::make_shared<CKeys>(state_); }

std::string CSuperCollection::Key(std::int32_t index) const {
    auto off = state_->OffsetOf(index);
    if (!off) Raise(kErrSubscriptOutOfRange);
    return state_->order[*off].key;
}

std::int32_t CSuperCollection::KeyExists(std::string_view key) const {
    auto off = state_->FindKey(key);
    return off ? state_->PositionOf(*off) : kNoPosition;
}

void CSuperCollection::ChangeKey(std::string_view oldKey, std::string_view newKey) {
    auto off = state_->FindKey(oldKey);
    if (!off) Raise(kErrKeyNotFound);
    state_->Rekey(*off, newKey);
}

void CSuperCollection::ChangeKeyForIndex(std::int32_t index, std::string_view newKey) {
    auto off = state_->OffsetOf(index);
    if (!off) Raise(kErrSubscriptOutOfRange);
    state_->Rekey(*off, newKey);
}

void CSuperCollection::Add(Variant item, std::string_view key, std::int32_t insertMode,
                           std::int32_t position) {
    CollectionState& s = *state_;
    std::optional<std::size_t> at;
    if (position != kNoPosition) {
        at = s.OffsetOf(position);
        if (!at) Raise(kErrSubscriptOutOfRange);
        if (insertMode == kInsertBefore && *at == 0) insertMode = kInsertFirst;
        if (insertMode == kInsertAfter && *at + 1 == s.Size()) insertMode = kInsertLast;
    } else if (insertMode == kInsertBefore || insertMode == kInsertAfter) {
        Raise(kErrNoPosition);
    }
    std::string sortKey;
    if (!key.empty()) {
        sortKey = s.SortKey(key);
        if (s.keys.find(sortKey) != s.keys.end()) Raise(kErrDuplicateKey);
    }
    s.Append(std::move(item), key, std::move(sortKey));
    std::size_t last = s.Size() - 1;
    switch (insertMode) {
        case kInsertBefore:
            s.Move(last, *at);
            break;
        case kInsertAfter:
            s.Move(last, *at + 1);
            break;
        case kInsertFirst:
            s.Move(last, 0);
            break;
        default:
            break;
    }
}

std::int32_t CSuperCollection::Count() const { return static_cast<std::int32_t>(state_->Size()); }

void CSuperCollection::Remove(const Variant& indexOrKey) {
    state_->Erase(state_->ResolveExisting(indexOrKey));
}

Variant CSuperCollection::Item(const Variant& indexOrKey) const {
    bool isKey = false;
    auto off = state_->Resolve(indexOrKey, isKey);
    return off ? state_->order[*off].value : Variant();
}

void CSuperCollection::SetItem(const Variant& indexOrKey, Variant item) {
    if (!state_->allowItemAssignments) Raise(kErrUnsupportedMember);
    state_->order[state_->ResolveExisting(indexOrKey)].value = std::move(item);
}

std::shared_ptr<cEnumerationObject> CSuperCollection::NewEnum() const {
    return std::make_shared<cEnumerationObject>(state_);
}

void CSuperCollection::Clear() { state_->Clear(); }

std::int32_t CSuperCollection::MoveItem(const Variant& movedItem, const Variant& targetPosition) {
    if (state_->liveEnumerators > 0) Raise(kErrMoveInForEach);
    std::size_t from = state_->ResolveExisting(movedItem);
    std::size_t to = state_->ResolveExisting(targetPosition);
    state_->Move(from, to);
    return state_->PositionOf(to);
}

const Variant* CSuperCollection::FindByKey(std::string_view key) const {
    auto off = state_->FindKey(key);
    return off ? &state_->order[*off].value : nullptr;
}

const Variant* CSuperCollection::FindAt(std::int32_t position) const {
    auto off = state_->OffsetOf(position);
    return off ? &state_->order[*off].value : nullptr;
}

std::vector<Variant> CSuperCollection::ItemsInOrder() const {
    std::vector<Variant> out;
    out.reserve(state_->Size());
    for (const auto& e : state_->order) out.push_back(e.value);
    return out;
}

}  // namespace velmora
