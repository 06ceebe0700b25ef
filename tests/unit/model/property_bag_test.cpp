#include <gtest/gtest.h>

#include "model/property_bag.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "test_support.h"

namespace velmora {
namespace {

TEST(PropertyBag, AddKeepsTheFirstEntryOfANameInAnyCase) {
    AGProperties bag;
    EXPECT_TRUE(bag.Add("charset", "String", true, 1, true, true));
    EXPECT_FALSE(bag.Add("CharSet", "Boolean"));
    EXPECT_FALSE(bag.Add(""));
    EXPECT_EQ(bag.Count(), 1);
    auto entry = bag.Item(Variant("CHARSET"));
    EXPECT_EQ(entry->Name(), "charset");
    EXPECT_EQ(entry->DataType(), "String");
    EXPECT_TRUE(entry->RegSave());
    EXPECT_EQ(entry->RegFormat(), 1);
}

TEST(PropertyBag, ItemTakesEveryIndexAsANameAndAddsWhatItLacks) {
    AGProperties bag;
    for (int i = 0; i < 10; ++i) bag.Add("P" + std::to_string(i));
    auto three = bag.Item(Variant(std::int32_t{3}));
    EXPECT_EQ(three->Name(), "3");
    EXPECT_EQ(bag.Count(), 11);
    EXPECT_EQ(three->DataType(), "String");
    EXPECT_TRUE(three->FileSave());
    EXPECT_TRUE(three->Sync());
    EXPECT_FALSE(three->RegSave());
    // Entries keep the order of adding.
    auto entries = bag.Entries();
    EXPECT_EQ(entries.front()->Name(), "P0");
    EXPECT_EQ(entries.back()->Name(), "3");
}

TEST(PropertyBag, DeleteChangeAndExistence) {
    AGProperties bag;
    bag.Add("a");
    bag.Add("b");
    EXPECT_TRUE(bag.PropertyExist(Variant("A")));
    EXPECT_FALSE(bag.Delete(Variant("")));
    EXPECT_FALSE(bag.Delete(Variant("zz")));
    EXPECT_TRUE(bag.Change("a", "a"));
    EXPECT_FALSE(bag.Change("a", "b"));
    EXPECT_FALSE(bag.Change("", "x"));
    EXPECT_FALSE(bag.Change("missing", "x"));
    EXPECT_TRUE(bag.Change("a", "A"));
    EXPECT_TRUE(bag.PropertyExist(Variant("a")));
    EXPECT_TRUE(bag.Change("A", "c"));
    EXPECT_FALSE(bag.PropertyExist(Variant("a")));
    EXPECT_TRUE(bag.PropertyExist(Variant("c")));
    EXPECT_TRUE(bag.Delete(Variant("B")));
    EXPECT_EQ(bag.Count(), 1);
}

TEST(PropertyBag, OnlySavedValuesWhoseTextChangesMarkTheProjectDirty) {
    AGProperties bag;
    bag.Add("Flag", "Boolean");
    bag.Add("Log", "String", false, 0, /*fileSave=*/false, false);
    auto flag = bag.Find("Flag");
    flag->SetValue(Variant(false));
    Engine().projectDirty = false;
    flag->SetValue(Variant("False"));
    EXPECT_FALSE(Engine().projectDirty);
    flag->SetValue(Variant(true));
    EXPECT_TRUE(Engine().projectDirty);

    Engine().projectDirty = false;
    bag.Find("Log")->SetValue(Variant("changed"));
    EXPECT_FALSE(Engine().projectDirty);
    // An empty value counts as the empty text.
    auto text = bag.Item(Variant("Text"));
    text->SetValue(Variant(""));
    EXPECT_FALSE(Engine().projectDirty);
}

TEST(PropertyBag, EntityAccessByNameUsesTextAndGrowsTheBag) {
    AGProperties bag;
    bag.Add("FldSize", "Integer");
    EXPECT_EQ(EntityGetV(bag, "Unknown"), "");
    EXPECT_EQ(bag.Count(), 2);
    EXPECT_TRUE(bag.Find("Unknown")->FileSave());
    EntitySetV(bag, "FldSize", "12");
    EXPECT_EQ(bag.Find("FldSize")->Value(), Variant(std::int16_t{12}));
    EXPECT_EQ(EntityGetV(bag, "FldSize"), "12");
    EntitySetV(bag, "Other", "x");
    EXPECT_EQ(bag.Find("Other")->Value(), Variant("x"));
}

TEST(PropertyBag, RegistryDefaultsLoadAndSaveBySavedEntriesOnly) {
    test::ResetSettingsStores();
    AGProperties bag;
    bag.Add("Width", "Integer", true, 4);
    bag.Add("Visible", "Boolean", true, 1);
    bag.Add("Local", "String");
    bag.Find("Width")->SetValue(Variant(std::int16_t{640}));
    bag.Find("Visible")->SetValue(Variant(true));
    bag.Find("Local")->SetValue(Variant("kept out"));
    std::string section = SettingsSection("Table");
    SaveRegistryDefaults(bag, section);
    EXPECT_EQ(GetRegValue("HKCU", section, "Width"), Variant(std::int32_t{640}));
    EXPECT_EQ(GetRegValue("HKCU", section, "Visible"), Variant("True"));
    EXPECT_TRUE(GetRegValue("HKCU", section, "Local").IsEmpty());

    AGProperties fresh;
    fresh.Add("Width", "Integer", true, 4);
    fresh.Add("Visible", "Boolean", true, 1);
    fresh.Add("Missing", "Integer", true, 4);
    LoadRegistryDefaults(fresh, section);
    EXPECT_EQ(fresh.Find("Width")->Value(), Variant(std::int16_t{640}));
    EXPECT_EQ(fresh.Find("Visible")->Value(), Variant(true));
    EXPECT_EQ(fresh.Find("Missing")->Value(), Variant(std::int16_t{0}));
}

}  // namespace
}  // namespace velmora
