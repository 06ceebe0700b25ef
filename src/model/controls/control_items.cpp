#include "model/controls/controls.h"

namespace velmora {

// Control ids are case-sensitive: "List" and "list" are different units.
AGControlItems::AGControlItems() { items_.SetCompareMode(kBinaryCompare); }

bool AGControlItems::Add(std::string_view ItemId, std::string_view ItemFn, bool ItemGen, std::string_view ItemRemark) {
    if (ItemId.empty() || items_.FindByKey(ItemId)) return false;
    auto item = std::make_shared<AGControlItem>();
    item->Key = ItemId;
    item->ItemId = ItemId;
    item->ItemFn = ItemFn;
    item->ItemGen = ItemGen;
    item->ItemRemark = ItemRemark;
    try {
        items_.Add(Variant(item), ItemId);
    } catch (const CollectionError&) {
        return false;
    }
    return true;
}

std::int32_t AGControlItems::Count() const { return items_.Count(); }

bool AGControlItems::Delete(const Variant& index) {
    try {
        items_.Remove(index);
    } catch (const CollectionError&) {
        return false;
    }
    return true;
}

bool AGControlItems::ItemExist(const Variant& index) const { return Item(index) != nullptr; }

std::shared_ptr<AGControlItem> AGControlItems::Item(const Variant& index) const {
    try {
        return items_.Item(index).ObjectAs<AGControlItem>();
    } catch (const CollectionError&) {
        return nullptr;
    }
}

std::vector<std::shared_ptr<AGControlItem>> AGControlItems::Items() const {
    std::vector<std::shared_ptr<AGControlItem>> items;
    for (const Variant& item : items_.ItemsInOrder()) items.push_back(item.ObjectAs<AGControlItem>());
    return items;
}

}  // namespace velmora
