#include <gtest/gtest.h>

#include <cstdlib>

#include "support/config_paths.h"
#include "support/registry.h"
#include "support/settings_store.h"
#include "test_support.h"

namespace velmora {
namespace {

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override { test::ResetSettingsStores(); }
    const std::string general = SettingsSection("General");
};

TEST_F(SettingsStoreTest, EveryValueTypeRoundTripsAndNumbersRefuseText) {
    ASSERT_TRUE(SetRegValue("HKCU", general, "Text", kRegText, Variant("café")));
    ASSERT_TRUE(SetRegValue("HKCU", general, "Big", kRegBigEndianNumber, Variant(std::int32_t{70000})));
    ASSERT_TRUE(SetRegValue("HKCU", general, "Bytes", kRegBinary,
                            Variant(Variant::Array{Variant(std::int16_t{0}), Variant(std::int16_t{255})})));
    setenv("VELMORA_TEST_HOME", "/srv/home", 1);
    ASSERT_TRUE(SetRegValue("HKCU", general, "Expand", kRegExpandText, Variant("%VELMORA_TEST_HOME%/x ${VELMORA_TEST_HOME} $NOT_SET_ANYWHERE")));

    EXPECT_EQ(GetRegValue("HKCU", general, "Text"), Variant("café"));
    EXPECT_EQ(LastRegValueType(), kRegText);
    EXPECT_EQ(GetRegValue("HKCU", general, "Big"), Variant(std::int32_t{70000}));
    Variant bytes = GetRegValue("HKCU", general, "Bytes");
    ASSERT_EQ(bytes.Type(), VarType::Array);
    EXPECT_EQ(bytes.AsArray().at(1).AsInteger(), 255);
    EXPECT_EQ(GetRegValue("HKCU", general, "Expand").AsString(), "/srv/home/x /srv/home $NOT_SET_ANYWHERE");

    EXPECT_FALSE(SetRegValue("HKCU", general, "Timeout", kRegNumber, Variant("soon")));
    EXPECT_TRUE(GetRegValue("HKCU", general, "Timeout").IsEmpty());
}

TEST_F(SettingsStoreTest, NamesMatchWithoutCaseAndMissingValuesAreEmpty) {
    SetRegValue("HKCU", general, "BackupFile", kRegText, Variant("1"));
    EXPECT_EQ(GetRegValue("HKCU", "software\\velmora\\12.0\\settings\\GENERAL", "backupfile").ToText(), "1");
    // Sections are named after the engine version.
    EXPECT_EQ(ExtensionsSection(), "Software\\Velmora\\12.0\\Extensions");
    // Re-writing under another case keeps one value.
    SetRegValue("HKCU", general, "BACKUPFILE", kRegText, Variant("0"));
    EXPECT_EQ(CurrentUserStore().Values(general).size(), 1u);
    EXPECT_TRUE(GetRegValue("HKCU", general, "Missing").IsEmpty());
    EXPECT_EQ(LastRegValueType(), kRegNone);
}

TEST_F(SettingsStoreTest, OnlyExactHKLMSelectsTheMachineStore) {
    SetRegValue("HKLM", general, "Where", kRegText, Variant("machine"));
    SetRegValue("HKCU", general, "Where", kRegText, Variant("user"));
    EXPECT_EQ(GetRegValue("HKLM", general, "Where").ToText(), "machine");
    EXPECT_EQ(GetRegValue("hklm", general, "Where").ToText(), "user");
    EXPECT_EQ(GetRegValue("anything", general, "Where").ToText(), "user");
}

TEST_F(SettingsStoreTest, SectionsEnumerateAndDeleteWithTheirSubsections) {
    SettingsStore& user = CurrentUserStore();
    ASSERT_TRUE(user.Write(SettingsSection("Table"), "TblCaption", kRegText, Variant("x")));
    ASSERT_TRUE(user.Write(SettingsSection("Table\\Deep"), "A", kRegText, Variant("y")));
    ASSERT_TRUE(user.Write(SettingsSection("Field"), "B", kRegNumber, Variant(std::int32_t{1})));
    auto subs = user.Subsections(SettingsSection());
    EXPECT_EQ(subs, (std::vector<std::string>{"Field", "Table"}));
    EXPECT_TRUE(user.KeyExists(SettingsSection()));
    ASSERT_TRUE(user.DeleteKey(SettingsSection("Table")));
    EXPECT_FALSE(user.KeyExists(SettingsSection("Table\\Deep")));
    EXPECT_TRUE(user.KeyExists(SettingsSection("Field")));
    EXPECT_TRUE(user.DeleteValue(SettingsSection("Field"), "b"));
    EXPECT_FALSE(user.DeleteValue(SettingsSection("Field"), "b"));
}

TEST_F(SettingsStoreTest, MachineSectionsCopyToTheUserDepthFirst) {
    MachineStore().Write(SettingsSection("General"), "InstallPath", kRegText, Variant("/opt/velmora"));
    MachineStore().Write(SettingsSection("Project\\Sub"), "N", kRegNumber, Variant(std::int32_t{3}));
    MachineStore().Write(SettingsSection(), "Top", kRegText, Variant("t"));
    ASSERT_TRUE(CopyMachineSectionToUser(SettingsSection()));
    EXPECT_EQ(GetRegValue("HKCU", general, "InstallPath").ToText(), "/opt/velmora");
    EXPECT_EQ(GetRegValue("HKCU", SettingsSection("Project\\Sub"), "N"), Variant(std::int32_t{3}));
    EXPECT_EQ(GetRegValue("HKCU", SettingsSection(), "Top").ToText(), "t");
}

TEST_F(SettingsStoreTest, ConfigPathsDeriveFromTheInstallFolder) {
    SetRegValue("HKCU", general, "InstallPath", kRegText, Variant("/opt/app"));
    EXPECT_EQ(GetConfigPath("ConfigFile"), "/opt/app/src/settings.xml");
    EXPECT_EQ(GetConfigPath("ThemeFolder"), "/opt/app/themes");
    EXPECT_EQ(GetConfigPath("SomethingElse"), "");
    SetRegValue("HKCU", general, "InstallPath", kRegText, Variant("/opt/app/"));
    EXPECT_EQ(GetConfigPath("keyword"), "/opt/app/src/keyword.xml");
    SetRegValue("HKCU", general, "Keyword", kRegText, Variant("/etc/words.xml"));
    EXPECT_EQ(GetConfigPath("Keyword"), "/etc/words.xml");
}

TEST_F(SettingsStoreTest, RegistryAccessorReadsByTypeAndFallsBackOnItsDefault) {
    cRegistry reg;
    reg.ClassKey = kHKeyLocalMachine;
    reg.SectionKey = SettingsSection("General");
    reg.ValueKey = "Count";
    reg.Default = Variant("none");
    EXPECT_EQ(reg.Value(), Variant("none"));
    reg.ValueType = kRegNumber;
    ASSERT_TRUE(reg.SetValue(Variant("12")));
    reg.ValueType = kRegText;
    EXPECT_EQ(reg.Value(), Variant(std::int32_t{12}));
    EXPECT_EQ(reg.ValueType, kRegNumber);
    EXPECT_EQ(reg.EnumerateValues(), std::vector<std::string>{"Count"});
    EXPECT_TRUE(GetRegValue("HKCU", SettingsSection("General"), "Count").IsEmpty());
    EXPECT_TRUE(reg.DeleteValue());
    EXPECT_EQ(reg.Value(), Variant("none"));
}

}  // namespace
}  // namespace velmora
