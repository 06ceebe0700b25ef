#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "generation/extension_merge.h"
#include "generation/gen_cache.h"
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/entities/database.h"
#include "model/extensions/extensions.h"
#include "model/entities/fields.h"
#include "model/entities/tables.h"
#include "platform/prompter.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::string ExtensionControls(std::string_view version, std::string_view controls) {
    return "<Velmora date=\"2026/01/01\" version=\"" + std::string(version) + "\" desc=\"ext\" author=\"a\">" +
           std::string(controls) + "</Velmora>";
}

std::vector<std::string> SessionValues(const AGPControl& control) {
    std::vector<std::string> values;
    for (std::int32_t i = 1; i <= control.Sessions()->Count(); ++i) values.push_back(control.Sessions()->Item(i)->SessValue);
    return values;
}

class ExtensionMergeTest : public testing::Test {
protected:
    void SetUp() override {
        test::IsolateEnvironment();
        test::ResetSettingsStores();
        Extensions().Clear();
        Engine().ProjErr.clear();
        SetControlFileError(0);
        SetSource(kExtSourceFolder, dir / "ext");
        SetSource(kExtSourceFolder2, dir / "ext2");
        SetSource(kExtViewTagsFolder, dir / "tags");
        ASSERT_TRUE(proj.Controls()->LoadControls(test::DataPath("merge_controls/main.xml"), &proj));
        prompter = std::make_shared<NonInteractivePrompter>();
        SetPrompter(prompter);
    }
    void TearDown() override {
        SetPrompter(nullptr);
        Extensions().Clear();
    }
    static void SetSource(std::string_view name, const std::string& folder) {
        ASSERT_TRUE(SetRegValue("HKCU", ExtensionsSection(), name, kRegText, Variant(folder)));
    }
    // An extension whose control file (in its own folder) holds `controls`.
    std::string AddMerged(std::string_view name, std::string_view version, std::string_view controls) {
        std::string folder = dir / ("work/" + std::string(name));
        test::WriteFile(folder + "/control.xml", ExtensionControls(version, controls));
        if (!Extensions().Find(name)) proj.AddExtension(name, std::string(name) + ".zip", "");
        return folder;
    }
    std::vector<std::string> ControlIds() {
        std::vector<std::string> ids;
        for (const auto& control : proj.Controls()->Items()) ids.push_back(control->CtrlID + ":" + control->CtrlType);
        return ids;
    }

    test::TempDir dir;
    AGP proj;
    std::shared_ptr<NonInteractivePrompter> prompter;
};

TEST_F(ExtensionMergeTest, ControlsAreAddedChangedAndDeleted) {
    // tests/data/merge_controls/grid: adds, changes and deletes controls of the main control file.
    ASSERT_TRUE(proj.AddExtension("grid", "grid.zip", ""));
    std::string version = "stale";
    ASSERT_TRUE(MergeExtension(proj, "GRID", test::DataPath("merge_controls/grid"), version)) << Engine().ProjErr;
    EXPECT_EQ(version, "");

    // A taken id is not added, another type is not deleted, an unknown action is ignored.
    EXPECT_EQ(ControlIds(), (std::vector<std::string>{"list:table", "menu:other", "grid:table"}));
    auto& controls = *proj.Controls();
    auto list = controls.Item(Variant("list"));
    EXPECT_EQ(list->CtrlIFiles, "list.tpl");
    EXPECT_EQ(SessionValues(*list), (std::vector<std::string>{"top", "header", "body", "toolbar", "tail"}));
    auto body = list->Sessions()->Item(3);
    EXPECT_EQ(body->SessCond, "proj/SecType/eq/None");
    EXPECT_EQ(body->SessExt, "grid");
    EXPECT_EQ(list->Sessions()->Item(1)->SessExt, "grid");
    EXPECT_EQ(list->Sessions()->Item(2)->SessExt, "");
    EXPECT_TRUE(SessionValues(*controls.Item(Variant("menu"))).empty());

    auto grid = controls.Item(Variant("grid"));
    EXPECT_EQ(grid->CtrlExt, "grid");
    ASSERT_EQ(grid->Sessions()->Count(), 1);
    EXPECT_EQ(grid->Sessions()->Item(1)->SessExt, "grid");
}

TEST_F(ExtensionMergeTest, TheVersionMustMatchTheEngine) {
    const std::string add = R"(<control id="grid" type="table" action="add"/>)";
    std::string version;
    std::string higherMinor = std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor + 1);
    ASSERT_TRUE(MergeExtension(proj, "newer", AddMerged("newer", higherMinor, add), version));
    EXPECT_EQ(proj.Controls()->Count(), 4);

    for (std::string refused : {std::to_string(kVersionMajor + 1) + ".0", std::to_string(kVersionMajor - 1) + ".9"}) {
        std::string folder = AddMerged("other", refused, R"(<control id="more" type="table" action="add"/>)");
        EXPECT_FALSE(MergeExtension(proj, "other", folder, version)) << refused;
        EXPECT_EQ(ControlFileError(), 3);
        EXPECT_EQ(version, refused);
        EXPECT_FALSE(proj.Controls()->ControlExist("more"));
    }

    // The rule itself, for engines whose minor version is not 0.
    EXPECT_TRUE(ExtensionVersionFits("12.2", "12.2.0"));
    EXPECT_TRUE(ExtensionVersionFits("12.3", "12.2.0"));
    EXPECT_FALSE(ExtensionVersionFits("12.1", "12.2.0"));
    EXPECT_FALSE(ExtensionVersionFits("12.2.0", "12.2.1"));
    EXPECT_FALSE(ExtensionVersionFits("13.0", "12.2.0"));
}

TEST_F(ExtensionMergeTest, UnloadableControlFilesAreTold) {
    std::string version;
    EXPECT_FALSE(MergeExtension(proj, "unknown", dir / "work/unknown", version));
    EXPECT_EQ(ControlFileError(), 1);
    proj.AddExtension("grid", "grid.zip", "");
    EXPECT_FALSE(MergeExtension(proj, "grid", dir / "work/grid", version));
    EXPECT_EQ(ControlFileError(), 1);
    EXPECT_NE(Engine().ProjErr.find("control.xml"), std::string::npos);

    // Not well-formed, a root attribute missing (which LoadControls fails without a code), another
    // product's root.
    const std::pair<const char*, std::int32_t> files[] = {
        {"<Velmora version=", 1},
        {"<Velmora version=\"12.0\"/>", 1},
        {"<Other date=\"\" version=\"12.0\" desc=\"\" author=\"\"/>", 2},
    };
    for (const auto& [text, code] : files) {
        test::WriteFile(dir / "work/grid/control.xml", text);
        EXPECT_FALSE(MergeExtension(proj, "grid", dir / "work/grid", version));
        EXPECT_EQ(ControlFileError(), code) << text;
    }
    EXPECT_EQ(proj.Controls()->Count(), 3);
}

TEST_F(ExtensionMergeTest, ResolvingLocatesAndUnpacksThePackage) {
    AGPCache cache;
    ASSERT_TRUE(cache.Open("main.zip"));
    const std::string extensions = cache.TemplateFolder() + "/extensions";
    test::WriteFile(dir / "ext2/grid.xml", "<extension><file>grid.zip</file></extension>");
    ASSERT_TRUE(test::WriteZip(dir / "ext2/grid.zip", {{"control.xml", "one"}}));
    ASSERT_TRUE(proj.AddExtension("grid", "", "grid.xml"));
    auto grid = Extensions().Find("grid");
    grid->SetFolder("");

    ResolvedExtension first = ResolveExtension(proj, *grid, extensions, cache);
    EXPECT_TRUE(first.found);
    EXPECT_TRUE(first.changed);
    EXPECT_EQ(first.folder, extensions + "/grid");
    EXPECT_EQ(grid->Folder(), dir / "ext2");
    EXPECT_EQ(test::ReadFile(extensions + "/grid/control.xml"), "one");
    EXPECT_EQ(cache.CheckFile(kCacheGroupExtension, "grid", dir / "ext2/grid.zip"), 0);

    // Unchanged: the unpacked folder is kept as it is.
    test::WriteFile(extensions + "/grid/control.xml", "edited");
    ResolvedExtension second = ResolveExtension(proj, *grid, extensions, cache);
    EXPECT_FALSE(second.changed);
    EXPECT_EQ(test::ReadFile(extensions + "/grid/control.xml"), "edited");

    ASSERT_TRUE(test::WriteZip(dir / "ext2/grid.zip", {{"control.xml", "two, longer"}}));
    ResolvedExtension third = ResolveExtension(proj, *grid, extensions, cache);
    EXPECT_TRUE(third.changed);
    EXPECT_EQ(test::ReadFile(extensions + "/grid/control.xml"), "two, longer");

    fs::remove(dir / "ext2/grid.zip");
    EXPECT_FALSE(ResolveExtension(proj, *grid, extensions, cache).found);

    // A broken package is found but gives no folder.
    test::WriteFile(dir / "ext2/grid.zip", "broken");
    ResolvedExtension broken = ResolveExtension(proj, *grid, extensions, cache);
    EXPECT_TRUE(broken.found);
    EXPECT_EQ(broken.folder, "");
    EXPECT_NE(Engine().ProjErr.find("grid.zip"), std::string::npos);
}

TEST_F(ExtensionMergeTest, ViewTemplatesFollowTheFieldsOfGeneratedTables) {
    auto tables = proj.AddMainDatabase("shop.db")->Tables();
    auto field = [&](const std::string& table, bool generated, const std::string& name, const std::string& text) {
        if (!tables->Find(Variant(table))) tables->Add(table);
        tables->Find(Variant(table))->SetTblGen(generated);
        tables->Find(Variant(table))->Fields()->Add(table, name);
        tables->Find(Variant(table))->Fields()->Find(Variant(name))->SetFldViewTemplate(text);
    };
    field("orders", true, "rating", R"({ "ID" : "Stars", "other": "x" })");
    field("orders", true, "price", R"({"kind": "money"})");
    field("orders", true, "qty", R"({"id": "Counter"} {"id": "second"})");
    field("hidden", false, "f", R"({"id": "skipped"})");
    ASSERT_TRUE(proj.AddViewTemplateExtension("unused", "unused.zip", "unused.xml"));
    ASSERT_TRUE(proj.AddExtension("counter", "counter.zip", ""));
    Extensions().Find("counter")->SetEnabled(false);

    EnableViewTemplates(proj);
    EXPECT_FALSE(Extensions().Find("unused")->Enabled());
    auto stars = Extensions().Find("stars");
    ASSERT_TRUE(stars);
    EXPECT_TRUE(stars->Enabled() && stars->IsViewTemplate());
    EXPECT_EQ(stars->Template() + " " + stars->XmlFile(), "stars.zip stars.xml");
    EXPECT_TRUE(Extensions().Find("counter")->Enabled() && Extensions().Find("counter")->IsViewTemplate());
    EXPECT_EQ(Extensions().Count(), 3);
}

TEST_F(ExtensionMergeTest, OnlyTheFirstExtensionOfATypeStaysEnabled) {
    const std::pair<std::string, std::string> declared[] = {
        {"alpha", "<type>grid</type>"}, {"beta", "<type> Grid </type>"}, {"gamma", "<type>chart</type>"},
        {"delta", ""},                  {"omega", "<type>grid</type>"},
    };
    for (const auto& [name, type] : declared) {
        test::WriteFile(dir / ("ext/" + name + ".xml"), "<extension><file>" + name + ".zip</file>" + type + "</extension>");
        ASSERT_TRUE(proj.AddExtension(name, "", name + ".xml"));
    }
    Extensions().Find("alpha")->SetEnabled(false);

    EXPECT_EQ(DisableConflictingExtensions(proj), 1);
    EXPECT_TRUE(Extensions().Find("beta")->Enabled());
    EXPECT_TRUE(Extensions().Find("gamma")->Enabled());
    EXPECT_TRUE(Extensions().Find("delta")->Enabled());
    EXPECT_FALSE(Extensions().Find("omega")->Enabled());
    ASSERT_EQ(prompter->Shown().size(), 1u);
    EXPECT_EQ(prompter->Shown()[0].text,
              "Extension 'omega' of type 'grid' is disabled since another extension 'beta' of the same type is "
              "enabled!");
}

}  // namespace
}  // namespace velmora
