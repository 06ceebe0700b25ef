#include "model/core/super_collection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "support/text.h"

namespace velmora {
namespace {

// Items as "key=value" in position order, then the keys in sorted order with their positions.
std::string Dump(const CSuperCollection& c) {
    std::string out;
    for (std::int32_t i = 0; i < c.Count(); ++i)
        out += c.Key(c.BaseIndex() + i) + "=" + c.FindAt(c.BaseIndex() + i)->ToText() + " ";
    out += "|";
    for (const auto& k : c.Keys()->Items())
        out += " " + k->Name() + "@" + std::to_string(k->AssociatedIndex());
    return out;
}

// The texts the collection's errors must carry.
const std::map<std::uint32_t, std::string> kTexts = {
    {kErrSubscriptOutOfRange, "Subscript out of range"},
    {kErrDuplicateKey, "This key is already associated with an element of this collection"},
    {kErrUnsupportedMember, "Object doesn't support this property or method"},
    {kErrCollectionInitialized, "Collection already initialized"},
    {kErrKeyNotFound, "Key not found."},
    {kErrMoveInForEach, "Move not allowed while in For...Each loop."},
    {kErrInvalidDatatype, "Invalid datatype"},
    {kErrNoPosition, "No position supplied."},
};

// Runs `call`, expecting the numbered error with its text and an unchanged collection.
void ExpectError(CSuperCollection& c, std::uint32_t number, const std::function<void()>& call) {
    std::string before = Dump(c);
    try {
        call();
        ADD_FAILURE() << "no error " << number;
    } catch (const CollectionError& e) {
        EXPECT_EQ(e.Number(), number);
        EXPECT_EQ(e.Description(), kTexts.at(number));
    }
    EXPECT_EQ(Dump(c), before);
}

void Fill(CSuperCollection& c, std::initializer_list<const char*> keys) {
    std::int32_t n = c.Count();
    for (const char* k : keys) c.Add(Variant(++n), k);
}

std::vector<std::string> Enumerate(cEnumerationObject& e,
                                   const std::function<void(const Variant&)>& body = {}) {
    std::vector<std::string> seen;
    for (Variant v; e.Next(v);) {
        seen.push_back(v.ToText());
        if (body) body(v);
    }
    return seen;
}

TEST(SuperCollection, PositionsFollowBaseIndex) {
    CSuperCollection c;
    EXPECT_EQ(c.Count(), 0);
    EXPECT_TRUE(c.Item(Variant(1)).IsEmpty());
    Fill(c, {"a", "", "c"});
    EXPECT_EQ(c.Item(Variant(1)), Variant(1));
    EXPECT_EQ(c.Item(std::int16_t{3}), Variant(3));
    EXPECT_EQ(c.Item(2.5), Variant(2));  // halves round to even
    EXPECT_EQ(c.Item(2.5f), Variant(2));
    EXPECT_TRUE(c.Item(Variant(0)).IsEmpty());
    EXPECT_TRUE(c.Item(Variant(4)).IsEmpty());
    EXPECT_TRUE(c.Item(1e20).IsEmpty());
    EXPECT_EQ(c.Key(2), "");
    EXPECT_EQ(c.KeyExists("c"), 3);
    EXPECT_EQ(c.KeyExists(""), kNoPosition);
    EXPECT_EQ(c.FindAt(4), nullptr);
    c.SetBaseIndex(1);  // unchanged value: no error
    ExpectError(c, kErrCollectionInitialized, [&] { c.SetBaseIndex(0); });

    CSuperCollection z;
    z.SetBaseIndex(0);
    Fill(z, {"a", "b"});
    ExpectError(z, kErrSubscriptOutOfRange, [&] { z.Key(2); });
    z.Clear();
    EXPECT_EQ(z.BaseIndex(), 0);
}

TEST(SuperCollection, KeysUnderBothCompareModes) {
    CSuperCollection bin;
    Fill(bin, {"Name", "NAME"});
    EXPECT_EQ(bin.KeyExists("NAME"), 2);
    EXPECT_EQ(bin.KeyExists("name"), kNoPosition);

    CSuperCollection text;
    ExpectError(text, kErrSubscriptOutOfRange, [&] { text.SetCompareMode(2); });
    text.SetCompareMode(kTextCompare);
    Fill(text, {"Name", "Ärger"});
    ExpectError(text, kErrDuplicateKey, [&] { text.Add(Variant(0), "NAME"); });
    ExpectError(text, kErrDuplicateKey, [&] { text.Add(Variant(0), "äRGER"); });
    EXPECT_EQ(text.Item("nAmE"), Variant(1));
    ExpectError(text, kErrCollectionInitialized, [&] { text.SetCompareMode(kBinaryCompare); });
    text.Clear();
    EXPECT_EQ(text.CompareMode(), kTextCompare);
    text.SetCompareMode(kBinaryCompare);
}

TEST(SuperCollection, FailingCallsRaiseAndChangeNothing) {
    CSuperCollection c;
    Fill(c, {"a", "b", "c"});
    ExpectError(c, kErrInvalidDatatype, [&] { c.Remove(Variant(true)); });
    ExpectError(c, kErrInvalidDatatype, [&] { c.Item(Variant()); });
    ExpectError(c, kErrUnsupportedMember, [&] { c.SetItem(Variant(1), Variant(9)); });
    c.SetAllowItemAsignments(true);
    ExpectError(c, kErrKeyNotFound, [&] { c.SetItem("z", Variant(9)); });
    ExpectError(c, kErrSubscriptOutOfRange, [&] { c.SetItem(Variant(0), Variant(9)); });
    ExpectError(c, kErrKeyNotFound, [&] { c.ChangeKey("z", "y"); });
    ExpectError(c, kErrDuplicateKey, [&] { c.ChangeKey("a", "b"); });
    ExpectError(c, kErrKeyNotFound, [&] { c.MoveItem("z", Variant(1)); });
    ExpectError(c, kErrKeyNotFound, [&] { c.MoveItem("a", "z"); });
    ExpectError(c, kErrInvalidDatatype, [&] { c.MoveItem(Variant::Null(), Variant(1)); });
    ExpectError(c, kErrSubscriptOutOfRange, [&] { c.MoveItem(Variant(1), Variant(4)); });
    ExpectError(c, kErrSubscriptOutOfRange, [&] { c.Add(Variant(0), "n", kInsertLast, 4); });
    ExpectError(c, kErrSubscriptOutOfRange, [&] { c.Add(Variant(0), "n", kInsertBefore, 0); });
}

TEST(SuperCollection, RemoveReKeyAndMoveKeepKeysInStep) {
    CSuperCollection c;
    Fill(c, {"a", "b", "c", "d", "e"});
    c.Remove(Variant(2));
    c.Remove("d");
    EXPECT_EQ(Dump(c), "a=1 c=3 e=5 | a@1 c@2 e@3");

    c.ChangeKey("c", "z");
    c.ChangeKeyForIndex(1, "");
    EXPECT_EQ(Dump(c), "=1 z=3 e=5 | e@3 z@2");
    EXPECT_EQ(c.Item("c"), Variant());

    Fill(c, {"f", "g"});
    EXPECT_EQ(c.MoveItem(Variant(1), Variant(4)), 4);  // forward
    EXPECT_EQ(c.MoveItem("g", "z"), 1);                // backward, by keys
    EXPECT_EQ(Dump(c), "g=5 z=3 e=5 f=4 =1 | e@3 f@4 g@1 z@2");

    c.SetAllowItemAsignments(true);
    c.SetItem("f", Variant("new"));
    EXPECT_EQ(c.Item(Variant(4)), Variant("new"));
    EXPECT_EQ(c.KeyExists("f"), 4);

    CSuperCollection text;
    text.SetCompareMode(kTextCompare);
    Fill(text, {"a"});
    text.ChangeKey("a", "A");  // the item's own key in another case is no duplicate
    EXPECT_EQ(text.Key(1), "A");
}

TEST(SuperCollection, EnumerationToleratesRemoval) {
    CSuperCollection c;
    Fill(c, {"a", "b", "c", "d", "e", "f"});
    auto e = c.NewEnum();
    ExpectError(c, kErrMoveInForEach, [&] { c.MoveItem(Variant(1), Variant(2)); });
    // At 2 remove the current item, at 3 the next one, at 5 the previous one.
    auto seen = Enumerate(*e, [&](const Variant& v) {
        if (v == Variant(2)) c.Remove("b");
        if (v == Variant(3)) c.Remove("d");
        if (v == Variant(5)) c.Remove("c");
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "3", "5", "6"}));

    e->Reset();
    EXPECT_EQ(Enumerate(*e), (std::vector<std::string>{"1", "5", "6"}));
    e->Reset();
    e->Skip(1);
    auto clone = e->Clone();
    Variant v;
    ASSERT_TRUE(e->Next(v));
    EXPECT_EQ(v, Variant(5));
    EXPECT_EQ(Enumerate(*clone), (std::vector<std::string>{"5", "6"}));

    e.reset();
    ExpectError(c, kErrMoveInForEach, [&] { c.MoveItem(Variant(1), Variant(2)); });
    clone.reset();
    EXPECT_EQ(c.MoveItem(Variant(1), Variant(2)), 2);

    e = c.NewEnum();
    ASSERT_TRUE(e->Next(v));
    c.Clear();
    EXPECT_FALSE(e->Next(v));
}

TEST(SuperCollection, EnumerationPicksUpItemsAddedAfterItsPlaceOnceShrunk) {
    CSuperCollection c;
    Fill(c, {"a", "b", "c", "d"});
    auto e = c.NewEnum();
    auto seen = Enumerate(*e, [&](const Variant& v) {
        if (v != Variant(2)) return;
        c.Remove("c");
        c.Remove("d");
        c.Add(Variant(9), "x");
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "9"}));
}

TEST(SuperCollection, EnumeratorsAndKeyViewsDoNotKeepTheCollectionAlive) {
    auto object = std::make_shared<CSuperCollection>();
    std::weak_ptr<AutomationObject> watch = object;
    auto c = std::make_unique<CSuperCollection>();
    c->Add(Variant(std::move(object)), "o");
    EXPECT_EQ(c->Item("o").AsObject(), watch.lock());  // by reference
    auto e = c->NewEnum();
    auto keys = c->Keys();
    EXPECT_EQ(keys->Count(), 1);
    c.reset();
    EXPECT_TRUE(watch.expired());
    Variant v;
    EXPECT_FALSE(e->Next(v));
    EXPECT_FALSE(e->Clone()->Next(v));
    EXPECT_EQ(keys->Count(), 0);
    EXPECT_TRUE(keys->Items().empty());
}

// Random operations against a plain vector with linear key search.
TEST(SuperCollection, MatchesReferenceModelUnderRandomOperations) {
    std::mt19937 rng(12345);
    auto pick = [&](int n) { return static_cast<std::int32_t>(rng() % static_cast<unsigned>(n)); };
    const char* pool[] = {"", "k1", "K1", "k2", "K2", "k3", "k4", "k5", "k6", "k7", "k8", "K8"};
    for (std::int32_t mode : {kBinaryCompare, kTextCompare}) {
        CSuperCollection c;
        c.SetCompareMode(mode);
        c.SetBaseIndex(mode == kTextCompare ? 0 : 1);
        const std::int32_t base = c.BaseIndex();
        std::vector<std::pair<std::string, std::int32_t>> ref;
        auto find = [&](std::string_view k) {
            return std::find_if(ref.begin(), ref.end(), [&](const auto& p) {
                return !p.first.empty() && (mode == kTextCompare ? EqualsNoCase(p.first, k) : p.first == k);
            });
        };
        for (std::int32_t step = 0; step < 4000; ++step) {
            std::string key = pool[pick(12)];
            auto n = static_cast<std::int32_t>(ref.size());
            std::int32_t off = pick(n + 2) - 1;  // may be out of range either side
            bool inRange = off >= 0 && off < n;
            std::uint32_t expected = inRange ? 0 : kErrSubscriptOutOfRange, got = 0;
            try {
                switch (pick(5)) {
                    case 0: {
                        std::int32_t m = pick(4) + 1, at[] = {0, off, off + 1, 0, n};
                        expected = !inRange && m <= 2 ? kErrNoPosition : 0;
                        if (!expected && !key.empty() && find(key) != ref.end()) expected = kErrDuplicateKey;
                        if (!expected) ref.insert(ref.begin() + at[m], {key, step});
                        c.Add(Variant(step), key, m, inRange ? base + off : kNoPosition);
                        break;
                    }
                    case 1:
                        if (inRange) ref.erase(ref.begin() + off);
                        c.Remove(Variant(base + off));
                        break;
                    case 2: {
                        auto it = find(key);
                        expected = it == ref.end() ? kErrKeyNotFound : 0;
                        if (it != ref.end()) ref.erase(it);
                        c.Remove(Variant(key));
                        break;
                    }
                    case 3: {
                        auto other = find(key);
                        if (inRange && other != ref.end() && other - ref.begin() != off)
                            expected = kErrDuplicateKey;
                        else if (inRange)
                            ref[off].first = key;
                        c.ChangeKeyForIndex(base + off, key);
                        break;
                    }
                    default: {
                        std::int32_t to = pick(std::max(n, 1));
                        if (inRange) {
                            auto item = ref[off];
                            ref.erase(ref.begin() + off);
                            ref.insert(ref.begin() + to, item);
                        }
                        c.MoveItem(Variant(base + off), Variant(base + to));
                    }
                }
            } catch (const CollectionError& e) {
                got = e.Number();
            }
            ASSERT_EQ(got, expected) << "step " << step;
            ASSERT_EQ(c.Count(), static_cast<std::int32_t>(ref.size()));
            for (std::int32_t i = 0; i < c.Count(); ++i) {
                ASSERT_EQ(*c.FindAt(base + i), Variant(ref[i].second)) << "step " << step;
                ASSERT_EQ(c.Key(base + i), ref[i].first);
                if (!ref[i].first.empty()) {
                    ASSERT_EQ(c.KeyExists(ref[i].first), base + i);
                }
            }
        }
    }
}

}  // namespace
}  // namespace velmora
