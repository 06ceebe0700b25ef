#include <gtest/gtest.h>

#include "model/project/language.h"
#include "model/project/menus.h"
#include "support/engine_state.h"
#include "test_support.h"

namespace velmora {
namespace {

MenuValues Menu(std::int32_t id, std::int32_t parent, std::string source = {}, std::int32_t order = 0) {
    MenuValues v;
    v.MenuId = id;
    v.MenuParentId = parent;
    v.MenuSource = std::move(source);
    v.MenuDisplayOrder = order;
    v.MenuText = "item";
    return v;
}

std::vector<std::int32_t> Ids(const AGPMenus& menus) {
    std::vector<std::int32_t> ids;
    for (const auto& item : menus.Items()) ids.push_back(item->MenuId());
    return ids;
}

class MenusTest : public testing::Test {
protected:
    void SetUp() override {
        MenuList().Clear();
        Language().ClearTranslations();
        Engine().ProjErr.clear();
    }
    AGPMenus& menus = MenuList();
};

TEST_F(MenusTest, AddMenuKeepsGivenIdsAssignsNewOnesAndRefusesDuplicates) {
    ASSERT_TRUE(menus.AddMenu(Menu(5, 0, "orders")));
    ASSERT_TRUE(menus.AddMenu(Menu(0, 5)));
    ASSERT_TRUE(menus.AddMenu(Menu(-1, 5)));
    EXPECT_EQ(Ids(menus), (std::vector<std::int32_t>{5, 6, 7}));
    EXPECT_EQ(menus.curIndex(), 3);

    EXPECT_FALSE(menus.AddMenu(Menu(6, 0)));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Menu item ID 6 already exists.");
    // A table appears once, whatever the letter case of its name.
    EXPECT_FALSE(menus.AddMenu(Menu(9, 0, "ORDERS")));
    EXPECT_EQ(Engine().ProjErr, "Velmora: A menu item for 'ORDERS' already exists.");
    // Items without a source (groups, external links) may repeat.
    EXPECT_TRUE(menus.AddMenu(Menu(0, 0)));
    EXPECT_TRUE(menus.AddMenu(Menu(0, 0)));
    EXPECT_EQ(menus.Count(), 5);
}

TEST_F(MenusTest, DeleteMenuMovesChildrenToTheDeletedItemsParentAndDropsItsPhrases) {
    menus.AddMenu(Menu(1, 0));
    menus.AddMenu(Menu(2, 1));
    menus.AddMenu(Menu(3, 2));
    menus.AddMenu(Menu(4, 2));
    menus.AddMenu(Menu(5, 3));
    Language().SetMenuPhrase("en", "2", "MenuText", "Two");
    Language().SetMenuPhrase("en", "3", "MenuText", "Three");
    menus.SetcurIndex(4);

    ASSERT_TRUE(menus.DeleteMenu(2));
    EXPECT_EQ(Ids(menus), (std::vector<std::int32_t>{1, 3, 4, 5}));
    EXPECT_EQ(menus.GetItemByID(3)->MenuParentId(), 1);
    EXPECT_EQ(menus.GetItemByID(4)->MenuParentId(), 1);
    EXPECT_EQ(menus.GetItemByID(5)->MenuParentId(), 3);
    EXPECT_EQ(menus.curIndex(), 3);  // still item 4
    EXPECT_EQ(Language().GetMenuPhrase("en", "2", "MenuText"), "");
    EXPECT_EQ(Language().GetMenuPhrase("en", "3", "MenuText"), "Three");

    EXPECT_FALSE(menus.DeleteMenu(2));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Menu item ID 2 does not exist.");
    // A top-level item's children become top-level items.
    ASSERT_TRUE(menus.DeleteMenu(1));
    EXPECT_EQ(menus.GetItemByID(3)->MenuParentId(), 0);
}

TEST_F(MenusTest, DeleteMenuBySourceRemovesEveryItemOfTheSource) {
    menus.AddMenu(Menu(1, 0, "orders"));
    menus.AddMenu(Menu(2, 1));
    menus.AddMenu(Menu(3, 0, "customers"));
    EXPECT_TRUE(menus.DeleteMenuBySource("Orders"));
    EXPECT_EQ(Ids(menus), (std::vector<std::int32_t>{2, 3}));
    EXPECT_EQ(menus.GetItemByID(2)->MenuParentId(), 0);
    EXPECT_FALSE(menus.DeleteMenuBySource("orders"));
    EXPECT_FALSE(menus.DeleteMenuBySource(""));
}

TEST_F(MenusTest, ChangeMenuReplacesTheValuesOfAnExistingItem) {
    menus.AddMenu(Menu(1, 0, "orders"));
    menus.AddMenu(Menu(2, 0, "customers"));
    MenuValues changed = Menu(2, 1, "customers", 7);
    changed.MenuShow = true;
    ASSERT_TRUE(menus.ChangeMenu(changed));
    EXPECT_EQ(menus.GetItemByID(2)->MenuDisplayOrder(), 7);
    EXPECT_TRUE(menus.GetItemByID(2)->MenuShow());
    EXPECT_EQ(menus.curIndex(), 2);

    EXPECT_FALSE(menus.ChangeMenu(Menu(2, 0, "orders")));
    EXPECT_EQ(menus.GetItemByID(2)->MenuSource(), "customers");
    EXPECT_FALSE(menus.ChangeMenu(Menu(9, 0)));
}

TEST_F(MenusTest, SortOrdersByParentThenDisplayOrderAsTheExchangeSortLeavesThem) {
    menus.AddMenu(Menu(1, 0, {}, 2));
    menus.AddMenu(Menu(2, 0, {}, 1));
    menus.AddMenu(Menu(3, 5, {}, 1));
    menus.Sort();
    EXPECT_EQ(Ids(menus), (std::vector<std::int32_t>{2, 1, 3}));

    // Equal keys: the exchange sort swaps item 6 past its equal neighbour 5.
    menus.Clear();
    menus.AddMenu(Menu(5, 0, {}, 2));
    menus.AddMenu(Menu(6, 0, {}, 2));
    menus.AddMenu(Menu(7, 0, {}, 1));
    menus.SetcurIndex(1);
    menus.Sort();
    EXPECT_EQ(Ids(menus), (std::vector<std::int32_t>{7, 6, 5}));
    EXPECT_EQ(menus.curIndex(), 3);  // follows item 5
}

TEST_F(MenusTest, LookupsByIdAttributeAndTable) {
    MenuValues v = Menu(3, 0, "orders");
    v.MenuText = "Orders";
    v.MenuAnonymous = 4;
    menus.AddMenu(v);
    EXPECT_TRUE(menus.MenuHasID(3));
    EXPECT_FALSE(menus.MenuHasID(4));
    EXPECT_EQ(menus.Item(3), menus.GetItemByID(3));
    EXPECT_EQ(menus.ItemAt(1), menus.GetItemByID(3));
    EXPECT_EQ(menus.ItemAt(2), nullptr);
    EXPECT_TRUE(menus.MenuHasTable("ORDERS"));
    EXPECT_TRUE(menus.MenuHasTable("orders", "orders"));
    EXPECT_FALSE(menus.MenuHasTable("orders", "Customers"));
    EXPECT_EQ(menus.GetItemByTableName("orders"), menus.GetItemByID(3));
    EXPECT_EQ(menus.GetItemByTableName("other"), nullptr);

    auto item = menus.GetItemByID(3);
    EXPECT_TRUE(item->MenuAttExist("menuanonymous"));
    EXPECT_FALSE(item->MenuAttExist("TblName"));
    EXPECT_EQ(item->MenuAtt("MenuAnonymous"), Variant(std::int16_t{4}));
    EXPECT_EQ(item->MenuAtt("MENUID"), Variant(std::int32_t{3}));
    EXPECT_TRUE(item->MenuAtt("nothing").IsEmpty());
}

TEST_F(MenusTest, ValuesFromPositionalArgumentsFollowTheAttributeOrder) {
    std::vector<Variant> args = {Variant("4"), Variant("Home"), Variant(0.0), Variant("1"), Variant("orders")};
    MenuValues v = MenuValuesFromArgs(args);
    EXPECT_EQ(v.MenuId, 4);
    EXPECT_EQ(v.MenuText, "Home");
    EXPECT_TRUE(v.MenuGroup);
    EXPECT_EQ(v.MenuSource, "orders");
    EXPECT_EQ(v.MenuDisplayOrder, 0);
}

TEST_F(MenusTest, LoadMenusReplacesTheItemsByTheFilesMenuElements) {
    test::TempDir dir;
    menus.AddMenu(Menu(1, 0, "old"));
    ASSERT_TRUE(menus.LoadMenus(test::DataPath("menus/menu_items.vlp")));
    EXPECT_EQ(Ids(menus), (std::vector<std::int32_t>{3, 4}));
    EXPECT_EQ(Engine().ProjErr, "");  // the skipped duplicate is no failure
    auto orders = menus.GetItemByID(3);
    EXPECT_EQ(orders->MenuText(), "Orders");
    EXPECT_TRUE(orders->MenuShow());
    EXPECT_FALSE(orders->MenuGroup());
    EXPECT_EQ(orders->MenuDisplayOrder(), 2);
    EXPECT_EQ(orders->MenuAnonymous(), 1);
    EXPECT_EQ(menus.GetItemByID(4)->MenuParentId(), 3);
    EXPECT_EQ(menus.GetItemByID(4)->MenuText(), "Lines");

    test::WriteFile(dir / "other.xml", "<Menus><Menu MenuID=\"1\"/></Menus>");
    EXPECT_FALSE(menus.LoadMenus(dir / "other.xml"));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Project file is invalid!");
    EXPECT_FALSE(menus.LoadMenus(dir / "missing.vlp"));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Load project file failed!");
    EXPECT_EQ(menus.Count(), 2);  // failures keep the items
}

}  // namespace
}  // namespace velmora
