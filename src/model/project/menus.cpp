#include "model/project/menus.h"

#include <algorithm>
#include <array>

#include "model/project/language.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

struct MenuAttribute {
    std::string_view name;
    Variant (*get)(const MenuValues&);
    void (*set)(MenuValues&, const Variant&);
};

constexpr std::array kMenuAttributes = {
#define VELMORA_MENU_ROW(member, attribute, type)                                                   \
    MenuAttribute{#attribute, [](const MenuValues& v) { return Variant(v.member); },                \
                  [](MenuValues& v, const Variant& value) { v.member = FromVariant<PropType::type>(value); }},
    VELMORA_MENU_ATTRIBUTES(VELMORA_MENU_ROW)
#undef VELMORA_MENU_ROW
};

constexpr std::array kMenuAttributeNames = {
#define VELMORA_MENU_NAME(member, attribute, type) std::string_view(#attribute),
    VELMORA_MENU_ATTRIBUTES(VELMORA_MENU_NAME)
#undef VELMORA_MENU_NAME
};

const MenuAttribute* FindAttribute(std::string_view name) {
    for (const MenuAttribute& attribute : kMenuAttributes)
        if (EqualsNoCase(attribute.name, name)) return &attribute;
    return nullptr;
}

bool SameSource(const AGPMenu& item, std::string_view source, std::string_view name) {
    return !item.MenuSource().empty() && EqualsNoCase(item.MenuSource(), source) &&
           (name.empty() || EqualsNoCase(item.MenuText(), name));
}

}  // namespace

MenuValues MenuValuesFromArgs(std::span<const Variant> args) {
    MenuValues values;
    for (std::size_t i = 0; i < args.size() && i < kMenuAttributes.size(); ++i) kMenuAttributes[i].set(values, args[i]);
    return values;
}

std::span<const std::string_view> MenuAttributeNames() { return kMenuAttributeNames; }

bool AGPMenu::MenuAttExist(std::string_view name) const { return FindAttribute(name) != nullptr; }

Variant AGPMenu::MenuAtt(std::string_view name) const {
    const MenuAttribute* attribute = FindAttribute(name);
    return attribute ? attribute->get(values_) : Variant();
}

void AGPMenu::Load(const XmlNode& xmlControl) {
    for (const XmlAttribute& xmlAttribute : xmlControl.Attributes())
        if (const MenuAttribute* attribute = FindAttribute(xmlAttribute.name))
            attribute->set(values_, Variant(xmlAttribute.value));
}

bool AGPMenus::LoadMenus(const std::string& file) {
    XmlDocument doc;
    if (!doc.Load(file)) return Fail(ProductMessage("Load project file failed!"));
    XmlNode root = doc.DocumentElement();
    if (ToLowerAscii(root.BaseName()) != "project") return Fail(ProductMessage("Project file is invalid!"));
    Clear();
    // A duplicate id or source in the file loses the later item, silently: the load succeeds.
    std::string error = Engine().ProjErr;
    for (const XmlNode& node : root.ChildElements()) {
        if (ToLowerAscii(node.NodeName()) != "menu") continue;
        AGPMenu item;
        item.Load(node);
        AddMenu(item.Values());
    }
    Engine().ProjErr = std::move(error);
    return true;
}

std::ptrdiff_t AGPMenus::PositionOfId(std::int32_t id) const {
    auto it = std::find_if(items_.begin(), items_.end(), [id](const auto& item) { return item->MenuId() == id; });
    return it == items_.end() ? -1 : it - items_.begin();
}

std::ptrdiff_t AGPMenus::PositionOfSource(std::string_view source, std::string_view name) const {
    if (source.empty()) return -1;
    auto it = std::find_if(items_.begin(), items_.end(),
                           [&](const auto& item) { return SameSource(*item, source, name); });
    return it == items_.end() ? -1 : it - items_.begin();
}

bool AGPMenus::AddMenu(const MenuValues& values) {
    if (PositionOfSource(values.MenuSource, {}) >= 0)
        return Fail(ProductMessage("A menu item for '" + values.MenuSource + "' already exists."));
    MenuValues added = values;
    if (added.MenuId > 0) {
        if (MenuHasID(added.MenuId))
            return Fail(ProductMessage("Menu item ID " + std::to_string(added.MenuId) + " already exists."));
    } else {
        std::int32_t highest = 0;
        for (const auto& item : items_) highest = std::max(highest, item->MenuId());
        added.MenuId = highest + 1;
    }
    items_.push_back(std::make_shared<AGPMenu>(std::move(added)));
    curIndex_ = Count();
    return true;
}

bool AGPMenus::ChangeMenu(const MenuValues& values) {
    std::ptrdiff_t position = PositionOfId(values.MenuId);
    if (position < 0)
        return Fail(ProductMessage("Menu item ID " + std::to_string(values.MenuId) + " does not exist."));
    std::ptrdiff_t sourceOwner = PositionOfSource(values.MenuSource, {});
    if (sourceOwner >= 0 && sourceOwner != position)
        return Fail(ProductMessage("A menu item for '" + values.MenuSource + "' already exists."));
    items_[static_cast<std::size_t>(position)]->SetValues(values);
    curIndex_ = static_cast<std::int32_t>(position) + 1;
    return true;
}

bool AGPMenus::DeleteMenu(std::int32_t id) {
    std::ptrdiff_t position = PositionOfId(id);
    if (position < 0) return Fail(ProductMessage("Menu item ID " + std::to_string(id) + " does not exist."));
    std::int32_t newParent = items_[static_cast<std::size_t>(position)]->MenuParentId();
    Language().DeleteMenuPhrase(std::to_string(id));
    items_.erase(items_.begin() + position);
    for (const auto& item : items_)
        if (item->MenuParentId() == id) item->SetMenuParentId(newParent);
    auto removed = static_cast<std::int32_t>(position) + 1;
    if (curIndex_ == removed)
        curIndex_ = 0;
    else if (curIndex_ > removed)
        --curIndex_;
    return true;
}

bool AGPMenus::DeleteMenuBySource(std::string_view source) {
    if (source.empty()) return Fail(ProductMessage("No menu source given."));
    bool removed = false;
    for (std::ptrdiff_t position; (position = PositionOfSource(source, {})) >= 0;)
        removed = DeleteMenu(items_[static_cast<std::size_t>(position)]->MenuId()) || removed;
    return removed;
}

std::int32_t AGPMenus::RenameSource(std::string_view oldSource, std::string_view newSource) {
    std::int32_t changed = 0;
    if (oldSource.empty()) return changed;
    for (const auto& item : items_) {
        if (SameSource(*item, oldSource, {})) {
            item->SetMenuSource(std::string(newSource));
            ++changed;
        }
    }
    return changed;
}

void AGPMenus::Sort() {
    std::shared_ptr<AGPMenu> current = ItemAt(curIndex_);
    auto before = [](const AGPMenu& a, const AGPMenu& b) {
        if (a.MenuParentId() != b.MenuParentId()) return a.MenuParentId() < b.MenuParentId();
        return a.MenuDisplayOrder() < b.MenuDisplayOrder();
    };
    // An exchange sort on purpose: the order it leaves equal items in is the documented one.
    for (std::size_t i = 0; i + 1 < items_.size(); ++i)
        for (std::size_t j = i + 1; j < items_.size(); ++j)
            if (before(*items_[j], *items_[i])) std::swap(items_[i], items_[j]);
    if (current) {
        auto position = std::find(items_.begin(), items_.end(), current) - items_.begin();
        curIndex_ = static_cast<std::int32_t>(position) + 1;
    }
}

void AGPMenus::Clear() {
    items_.clear();
    curIndex_ = 0;
}

bool AGPMenus::MenuHasID(std::int32_t id) const { return PositionOfId(id) >= 0; }

std::shared_ptr<AGPMenu> AGPMenus::GetItemByID(std::int32_t id) const {
    std::ptrdiff_t position = PositionOfId(id);
    return position < 0 ? nullptr : items_[static_cast<std::size_t>(position)];
}

bool AGPMenus::MenuHasTable(std::string_view source, std::string_view name) const {
    return PositionOfSource(source, name) >= 0;
}

std::shared_ptr<AGPMenu> AGPMenus::GetItemByTableName(std::string_view source, std::string_view name) const {
    std::ptrdiff_t position = PositionOfSource(source, name);
    return position < 0 ? nullptr : items_[static_cast<std::size_t>(position)];
}

std::shared_ptr<AGPMenu> AGPMenus::ItemAt(std::int32_t position) const {
    if (position < 1 || position > Count()) return nullptr;
    return items_[static_cast<std::size_t>(position - 1)];
}

std::shared_ptr<AGPMenus> SharedMenuList() {
    static auto menus = std::make_shared<AGPMenus>();
    return menus;
}

AGPMenus& MenuList() { return *SharedMenuList(); }

}  // namespace velmora
