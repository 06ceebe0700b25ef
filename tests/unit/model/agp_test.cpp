#include <gtest/gtest.h>

#include <regex>

#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/project/agp.h"
#include "model/project/engine_objects.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "test_support.h"

namespace velmora {
namespace {

class AGPTest : public testing::Test {
protected:
    void SetUp() override {
        test::ResetSettingsStores();
        Engine().ProjErr.clear();
    }
    void SetUser(std::string_view sub, std::string_view name, std::int32_t type, Variant value) {
        ASSERT_TRUE(SetRegValue("HKCU", SettingsSection(sub), name, type, value));
    }
    test::TempDir dir;
};

TEST_F(AGPTest, ConstructionValues) {
    AGP proj;
    EXPECT_TRUE(std::regex_match(proj.ProjID(), std::regex(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})")));
    EXPECT_NE(AGP().ProjID(), proj.ProjID());
    EXPECT_FALSE(proj.ProjInit());
    // Both are kept in the settings store, so an empty store replaces the construction values.
    EXPECT_EQ(proj.CGIPath(), "");
    EXPECT_EQ(proj.DefaultDateFormat(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(Engine().backupFolder));
    EXPECT_TRUE(std::filesystem::is_directory(Engine().reportFolder));
    // The shipped base theme sets saved properties after the flag was cleared.
    EXPECT_EQ(proj.HeaderColor(), "#343a40");
    EXPECT_TRUE(proj.IsDirty());
}

TEST_F(AGPTest, UserDefaultsComeFromTheSettingsStore) {
    SetUser("Project", "CharSet", kRegText, Variant("utf-8"));
    SetUser("Project", "RecPerPage", kRegNumber, Variant(std::int32_t{25}));
    SetUser("Project", "CGIPath", kRegText, Variant("#!/usr/bin/php"));
    SetUser("Project", "defaultDateFormat", kRegText, Variant("7"));
    SetUser("Project", "Template", kRegText, Variant("C:\\Templates\\default.zip"));
    SetUser("General", "UnloadThresholdCount", kRegNumber, Variant(std::int32_t{0}));
    SetUser("General", "BackupFile", kRegText, Variant("1"));
    SetUser("General", "ScriptEngineTimeout", kRegNumber, Variant(std::int32_t{30000}));
    AGP proj;
    EXPECT_EQ(proj.CharSet(), "utf-8");
    EXPECT_EQ(proj.RecPerPage(), 25);
    EXPECT_EQ(proj.CGIPath(), "#!/usr/bin/php");
    EXPECT_EQ(proj.DefaultDateFormat(), 7);
    EXPECT_EQ(Engine().defaultDateFormat, 7);
    EXPECT_EQ(Engine().defaultTemplateFile, "default.zip");
    EXPECT_EQ(proj.UnloadThresholdCount(), 20);
    EXPECT_TRUE(proj.BackupFile());
    EXPECT_EQ(Engine().scriptEngineTimeout, 30000);
}

TEST_F(AGPTest, SaveDefaultWritesWhatANewProjectThenReads) {
    {
        AGP proj;
        proj.SetCharSet("windows-1252");
        proj.SetExportPDF(true);
        proj.SetRecPerPage(50);
        proj.SetProjName("not saved");
        proj.AddMainDatabase("/data/shop.db")->SetMaxUploadSize(4096);  // the main database's defaults too
        proj.SaveDefault();
    }
    EXPECT_EQ(GetRegValue("HKCU", SettingsSection("Database"), "MaxUploadSize"), Variant(std::int32_t{4096}));
    EXPECT_EQ(GetRegValue("HKCU", SettingsSection("Project"), "RecPerPage"), Variant(std::int32_t{50}));
    EXPECT_TRUE(GetRegValue("HKCU", SettingsSection("Project"), "ProjName").IsEmpty());
    AGP next;
    EXPECT_EQ(next.CharSet(), "windows-1252");
    EXPECT_TRUE(next.ExportPDF());
    EXPECT_EQ(next.RecPerPage(), 50);
}

TEST_F(AGPTest, MachineDefaultsAreCopiedForAUserWithoutSettings) {
    MachineStore().Write(SettingsSection("Project"), "CharSet", kRegText, Variant("iso-8859-2"));
    MachineStore().Write(ExtensionsSection() + "\\Mail", "Enabled", kRegText, Variant("1"));
    AGP proj;
    EXPECT_EQ(proj.CharSet(), "iso-8859-2");
    EXPECT_EQ(GetRegValue("HKCU", ExtensionsSection() + "\\Mail", "Enabled").ToText(), "1");
}

TEST_F(AGPTest, DirtyFlagFollowsSavedProperties) {
    SetUser("General", "ThemeFolder", kRegText, Variant(dir / "no-themes"));
    AGP proj;
    ASSERT_FALSE(proj.IsDirty());
    proj.SetV("SyncLog", Variant("log text"));
    EXPECT_FALSE(proj.IsDirty());
    proj.SetCharSet("something new");
    EXPECT_TRUE(proj.IsDirty());
}

TEST_F(AGPTest, NameSetsTheProjectVariable) {
    AGP proj;
    proj.AddProj("order details");
    EXPECT_TRUE(proj.ProjInit());
    EXPECT_EQ(proj.ProjName(), "order details");
    EXPECT_EQ(proj.ProjVar(), "order_details");
    EXPECT_EQ(Engine().projectVarName, "order_details");
    proj.SetAppCompatVersion(11);
    EXPECT_EQ(Engine().appCompatVersion, 11);
}

TEST_F(AGPTest, MakeVarName) {
    EXPECT_EQ(MakeVarName("2nd"), "_2nd");
    EXPECT_EQ(MakeVarName("a-b"), "a2Db");
    EXPECT_EQ(MakeVarName("x.y", "zv"), "zvx_y");
    EXPECT_EQ(MakeVarName("Straße"), "StraDFe");
    EXPECT_EQ(MakeVarName("_ok"), "_ok");
    EXPECT_EQ(MakeVarName(""), "_");
}

TEST_F(AGPTest, DeleteProjLeavesAnEmptyRegisteredBagAndNoDatabase) {
    AGP proj;
    proj.AddProj("P");
    proj.SetV("CustomThing", Variant("x"));
    SetUser("Project", "CGIPath", kRegText, Variant("#!/bin/php"));
    proj.LoadDefault();
    ASSERT_EQ(proj.CGIPath(), "#!/bin/php");
    proj.AddMainDatabase("/data/shop.db");
    proj.LINKDBS()->Add("L1");
    proj.DeleteProj();
    EXPECT_FALSE(proj.ProjInit());
    EXPECT_EQ(proj.Properties()->Count(), 154);
    EXPECT_EQ(proj.ProjID(), "");
    EXPECT_EQ(proj.CGIPath(), "");
    EXPECT_FALSE(proj.Properties()->PropertyExist(Variant("CustomThing")));
    EXPECT_EQ(proj.DB(), nullptr);
    EXPECT_EQ(proj.DBCnt(), 0);
    EXPECT_EQ(proj.CurrentDatabaseName(), "");
    EXPECT_EQ(proj.LINKDBS()->Count(), 1);  // linked databases stay
}

TEST_F(AGPTest, ReadRegValueChoosesTheRootByName) {
    MachineStore().Write(SettingsSection("General"), "Where", kRegText, Variant("machine"));
    CurrentUserStore().Write(SettingsSection("General"), "Where", kRegText, Variant("user"));
    AGP proj;
    for (auto [root, where] : {std::pair{"HKLM", "machine"}, {"hklm", "machine"}, {"HKCU", "user"}})
        EXPECT_EQ(proj.ReadRegValue(Variant(root), Variant(SettingsSection("General")), Variant("Where")).ToText(),
                  where);
    EXPECT_TRUE(proj.ReadRegValue(Variant(), Variant(), Variant()).IsEmpty());
}

TEST_F(AGPTest, ThemeStylesApplyAfterTheDirtyFlagIsCleared) {
    std::string themes = dir / "themes";
    test::WriteFile(themes + "/bootstrap.xml",
                    R"(<theme><style id="HeaderColor" value="#111"/><Style id="MenuColor" value="#222"/>)"
                    R"(<other id="FooterColor" value="#bad"/></theme>)");
    test::WriteFile(themes + "/ocean.xml", R"(<theme><style id="MenuColor" value="#00f"/></theme>)");
    SetUser("General", "ThemeFolder", kRegText, Variant(themes));
    SetUser("Project", "ApplicationTheme", kRegText, Variant("Ocean"));
    AGP proj;
    EXPECT_EQ(proj.HeaderColor(), "#111");
    EXPECT_EQ(proj.MenuColor(), "#00f");
    EXPECT_EQ(proj.FooterColor(), "");
    EXPECT_TRUE(proj.IsDirty());
}

TEST_F(AGPTest, UnknownNamesFallBackOnTheCustomSettingFile) {
    AGP proj;
    int count = proj.Properties()->Count();
    EXPECT_EQ(proj.GetV("NoSuchSettingAnywhere"), Variant(""));
    EXPECT_EQ(proj.Properties()->Count(), count);
    // The shipped settings file declares CsrfProtection as a Boolean that is on.
    EXPECT_EQ(proj.GetV("CsrfProtection"), Variant(true));
    EXPECT_EQ(proj.Properties()->Find("CsrfProtection")->DataType(), "Boolean");
    proj.SetV("SessionTimeout", Variant("45"));
    EXPECT_EQ(proj.GetV("SessionTimeout"), Variant(std::int16_t{45}));
    EXPECT_EQ(proj.GetV("RECPERPAGE").Type(), VarType::Integer);
}

TEST_F(AGPTest, AMalformedCustomSettingFileIsReported) {
    std::string bad = dir / "settings.xml";
    test::WriteFile(bad, "<zv-setting><section name=\"Project\">");
    SetUser("General", "ConfigFile", kRegText, Variant(bad));
    AGP proj;
    EXPECT_EQ(proj.ProjErr(), "Unable to load custom setting file: '" + bad + "'. Please check.");
    EXPECT_EQ(proj.GetV("CsrfProtection"), Variant(""));
}

TEST_F(AGPTest, TraceLinesAreJoinedWithCrLf) {
    Engine().trace.clear();
    AGP proj;
    proj.AddTrace("one");
    proj.AddTrace("two");
    EXPECT_EQ(Engine().trace, "one\r\ntwo");
}

}  // namespace
}  // namespace velmora
