// The menu of the generated application: an ordered array of items, each addressed by its
// MenuId and placed under its MenuParentId (0 for the top level).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/core/property_def.h"
#include "platform/xml.h"
#include "support/variant.h"

namespace velmora {

class AGP;

// The attributes of a menu item, in the order of AddMenu's arguments:
// X(member, project-file attribute, type).
#define VELMORA_MENU_ATTRIBUTES(X)                \
    X(MenuId, MenuID, Long)                       \
    X(MenuText, MenuText, String)                 \
    X(MenuParentId, MenuParentID, Long)           \
    X(MenuGroup, MenuGroup, Boolean)              \
    X(MenuSource, MenuSource, String)             \
    X(MenuExtUrl, MenuExtUrl, String)             \
    X(MenuAnonymous, MenuAnonymous, Integer)      \
    X(MenuSecurity, MenuSecurity, String)         \
    X(MenuUrl, MenuUrl, String)                   \
    X(MenuCustomUrl, MenuCustomUrl, Boolean)      \
    X(MenuLevel, MenuLevel, Long)                 \
    X(MenuShow, MenuShow, Boolean)                \
    X(MenuDisplayOrder, MenuDisplayOrder, Long)

// The thirteen values of one menu item.
struct MenuValues {
#define VELMORA_MENU_FIELD(member, attribute, type) PropValue<PropType::type> member{};
    VELMORA_MENU_ATTRIBUTES(VELMORA_MENU_FIELD)
#undef VELMORA_MENU_FIELD
};

// Menu values from AddMenu's positional arguments, each converted to its attribute's type;
// missing arguments keep their empty form.
MenuValues MenuValuesFromArgs(std::span<const Variant> args);

// The project-file attribute names, in argument order.
std::span<const std::string_view> MenuAttributeNames();

class AGPMenu : public AutomationObject {
public:
    AGPMenu() = default;
    explicit AGPMenu(MenuValues values) : values_(std::move(values)) {}

#define VELMORA_MENU_ACCESSORS(member, attribute, type)                                    \
    const PropValue<PropType::type>& member() const { return values_.member; }             \
    void Set##member(const PropValue<PropType::type>& value) { values_.member = value; }
    VELMORA_MENU_ATTRIBUTES(VELMORA_MENU_ACCESSORS)
#undef VELMORA_MENU_ACCESSORS

    const MenuValues& Values() const { return values_; }
    void SetValues(MenuValues values) { values_ = std::move(values); }

    // Attributes by their project-file name (MenuID, MenuText, ...), without regard to case;
    // an unknown name gives an empty value.
    bool MenuAttExist(std::string_view name) const;
    Variant MenuAtt(std::string_view name) const;

    // Fills the item from the attributes of a Menu element; attributes it does not know are
    // ignored, attributes it lacks keep their values.
    void Load(const XmlNode& xmlControl);

private:
    MenuValues values_;
};

class AGPMenus : public AutomationObject {
public:
    // Position (from 1) of the item last added, changed or found; 0 when none.
    std::int32_t curIndex() const { return curIndex_; }
    void SetcurIndex(std::int32_t index) { curIndex_ = index; }

    // Replaces the items by the Menu elements of a project file.
    bool LoadMenus(const std::string& file);

    // Appends an item. A MenuId above 0 is kept and must be new; 0 or below takes the highest
    // id in use + 1. An item with a MenuSource must be the only one of that source.
    bool AddMenu(const MenuValues& values);
    // Replaces the values of the item with values.MenuId; the source rule of AddMenu applies.
    bool ChangeMenu(const MenuValues& values);
    // Removes the item and its phrases; its children move up to the item's own parent.
    bool DeleteMenu(std::int32_t id);
    // Deletes (as DeleteMenu) every item of that source; true when one was removed.
    bool DeleteMenuBySource(std::string_view source);
    // Gives the items of a source another source (a renamed table); the number changed.
    std::int32_t RenameSource(std::string_view oldSource, std::string_view newSource);
    // Orders the items by MenuParentId, then MenuDisplayOrder.
    void Sort();
    void Clear();

    std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
    bool MenuHasID(std::int32_t id) const;
    std::shared_ptr<AGPMenu> GetItemByID(std::int32_t id) const;
    // An item whose MenuSource equals source without regard to case; a non-empty name must
    // also equal its MenuText.
    bool MenuHasTable(std::string_view source, std::string_view name = {}) const;
    std::shared_ptr<AGPMenu> GetItemByTableName(std::string_view source, std::string_view name = {}) const;
    // The item of that MenuId (as GetItemByID).
    std::shared_ptr<AGPMenu> Item(std::int32_t id) const { return GetItemByID(id); }
    // The item at a position from 1, or nullptr.
    std::shared_ptr<AGPMenu> ItemAt(std::int32_t position) const;
    const std::vector<std::shared_ptr<AGPMenu>>& Items() const { return items_; }

private:
    std::ptrdiff_t PositionOfId(std::int32_t id) const;
    std::ptrdiff_t PositionOfSource(std::string_view source, std::string_view name) const;

    std::vector<std::shared_ptr<AGPMenu>> items_;
    std::int32_t curIndex_ = 0;
};

// The menu shared by every root object of the process.
AGPMenus& MenuList();

// Brings the menu in step with the project's tables: a menu item for every generated table or
// view that has none, and none for a table that is gone.
void SyncMenuWithTables(AGP& project);
std::shared_ptr<AGPMenus> SharedMenuList();

}  // namespace velmora
