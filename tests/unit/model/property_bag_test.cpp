#include <gtest/gtest.h>

#include "model/core/property_bag.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "test_support.h"

namespace velmora {
namespace {

TEST(PropertyBag, AddKeepsTheFirstEntryOfANameAndItemTakesEveryIndexAsAName) {
    AGProperties bag;
    EXPECT_TRUE(bag.Add("charset", "String", true, 1, true, true));
    EXPECT_FALSE(bag.Add("CharSet", "Boolean"));
    EXPECT_FALSE(bag.Add(""));
    EXPECT_EQ(bag.Count(), 1);
    auto entry = bag.Item(Variant("CHARSET"));
    EXPECT_EQ(entry->Name(), "charset");
    EXPECT_EQ(entry->DataType(), "String");

    // Item adds what it lacks, a number being a name like any other.
    for (int i = 0; i < 10; ++i) bag.Add("P" + std::to_string(i));
    auto three = bag.Item(Variant(std::int32_t{3}));
    EXPECT_EQ(three->Name(), "3");
    EXPECT_EQ(bag.Count(), 12);
    EXPECT_EQ(three->DataType(), "String");
    // Entries keep the order of adding.
    auto entries = bag.Entries();
    EXPECT_EQ(entries.front()->Name(), "charset");
    EXPECT_EQ(entries.back()->Name(), "3");
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

constexpr PropertyDef kRows[] = {
    {"Caption", "Caption", PropType::String, false, 0, true, true, false},
    {"Width", "Width", PropType::Integer, true, 4, true, true, false},
    {"Visible", "Visible", PropType::Boolean, true, 1, true, false, false},
    {"width", "width", PropType::Long, false, 0, true, true, false},  // a second spelling: ignored
    {"Scratch", "Scratch", PropType::String, false, 0, false, false, false},
};

TEST(PropertyBagLayout, RegisteredBagsShareRowsButNotValues) {
    AGProperties a, b;
    a.Register(kRows);
    b.Register(kRows);
    ASSERT_EQ(a.Count(), 4);
    EXPECT_EQ(a.RowAt(a.IndexOf("WIDTH")).dataType, "Integer");
    a.SetValueAt(a.IndexOf("Caption"), Variant("first"));
    EXPECT_TRUE(b.ValueAt(b.IndexOf("Caption")).IsEmpty());

    // An entry object handed out stays the entry: changes through it and through the bag meet.
    auto caption = a.Find("caption");
    EXPECT_EQ(caption->Value(), Variant("first"));
    caption->SetValue(Variant("second"));
    EXPECT_EQ(a.ValueAt(0), Variant("second"));
    a.SetValueAt(0, Variant("third"));
    EXPECT_EQ(caption->Value(), Variant("third"));
    EXPECT_EQ(a.Item(Variant("Caption")), caption);

    // Unknown names are appended after the registered rows; a wrong hint still finds the entry.
    EXPECT_EQ(GetTyped<PropType::String>(a, "Extra"), "");
    EXPECT_EQ(a.IndexOf("EXTRA", 0), 4u);
    EXPECT_EQ(a.IndexOf("Visible", 2), 2u);
    EXPECT_EQ(a.IndexOf("visible", 2), 2u);
    EXPECT_EQ(a.IndexOf("missing", 99), AGProperties::npos);
    EXPECT_TRUE(a.ValueAt(AGProperties::npos).IsEmpty());
    EXPECT_EQ(b.Count(), 4);
}

TEST(PropertyBagLayout, RemovingOrRekeyingARegisteredRowKeepsEverythingElse) {
    AGProperties bag;
    bag.Register(kRows);
    bag.Add("Tail");
    bag.SetValueAt(bag.IndexOf("Width"), Variant(std::int16_t{12}));
    bag.SetValueAt(bag.IndexOf("Tail"), Variant("t"));
    auto visible = bag.Find("Visible");
    visible->SetValue(Variant(true));

    EXPECT_TRUE(bag.Delete(Variant("caption")));
    EXPECT_TRUE(bag.Change("Width", "Breadth"));
    EXPECT_FALSE(bag.PropertyExist(Variant("Width")));
    EXPECT_TRUE(bag.Change("Tail", "Tail"));
    EXPECT_TRUE(bag.Change("Tail", "TAIL"));  // its own key in another case is no clash
    EXPECT_FALSE(bag.Change("Breadth", "visible"));
    EXPECT_FALSE(bag.Change("missing", "x"));
    EXPECT_FALSE(bag.Change("", "x"));
    EXPECT_FALSE(bag.Delete(Variant("zz")));
    std::vector<std::string> names;
    for (const auto& entry : bag.Entries()) names.push_back(entry->Name());
    // The key changes; the entry keeps its name.
    EXPECT_EQ(names, (std::vector<std::string>{"Width", "Visible", "Scratch", "Tail"}));
    EXPECT_EQ(bag.Find("Breadth")->Value(), Variant(std::int16_t{12}));
    EXPECT_EQ(bag.Find("Tail")->Value(), Variant("t"));
    EXPECT_EQ(bag.Find("Visible"), visible);
    EXPECT_TRUE(bag.Add("Caption"));

    // A fresh bag of the same table still has every row.
    AGProperties fresh;
    fresh.Register(kRows);
    EXPECT_TRUE(fresh.PropertyExist(Variant("Caption")));
    EXPECT_TRUE(fresh.PropertyExist(Variant("Width")));
}

TEST(PropertyBagLayout, DefaultsFollowTheStoreAndASnapshotHoldsOnlyOtherProcessesChanges) {
    test::ResetSettingsStores();
    const std::string section = SettingsSection("LayoutTest");
    auto widthOfNewBag = [&] {
        AGProperties bag;
        bag.Register(kRows);
        LoadRegistryDefaults(bag, section);
        return bag.ValueAt(bag.IndexOf("Width"));
    };
    EXPECT_EQ(widthOfNewBag(), Variant(std::int16_t{0}));
    ASSERT_TRUE(SetRegValue("HKCU", section, "Width", kRegNumber, Variant(std::int32_t{90})));
    EXPECT_EQ(widthOfNewBag(), Variant(std::int16_t{90}));
    {
        SettingsSnapshot snapshot;
        EXPECT_EQ(widthOfNewBag(), Variant(std::int16_t{90}));
        // This process's own writes are seen at once.
        ASSERT_TRUE(SetRegValue("HKCU", section, "Width", kRegNumber, Variant(std::int32_t{91})));
        EXPECT_EQ(widthOfNewBag(), Variant(std::int16_t{91}));
        // Another process rewriting the file is not looked for until the snapshot ends.
        const std::string file = CurrentUserStore().Path();
        std::string text = test::ReadFile(file);
        auto at = text.find("91");
        ASSERT_NE(at, std::string::npos);
        text.replace(at, 2, "4242");
        test::WriteFile(file, text);
        EXPECT_EQ(widthOfNewBag(), Variant(std::int16_t{91}));
    }
    EXPECT_EQ(widthOfNewBag(), Variant(std::int16_t{4242}));

    // A bag whose entries were handed out is filled the same way.
    AGProperties touched;
    touched.Register(kRows);
    auto width = touched.Find("Width");
    LoadRegistryDefaults(touched, section);
    EXPECT_EQ(width->Value(), Variant(std::int16_t{4242}));
    EXPECT_TRUE(touched.ValueAt(touched.IndexOf("Caption")).IsEmpty());
}

}  // namespace
}  // namespace velmora
