// GenCheck and GenScript end to end: a project held in memory, the test package of
// tests/data/gen_package, a temporary destination.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "generation/driver.h"
#include "generation/gen_cache.h"
#include "model/agp.h"
#include "model/controls.h"
#include "model/database.h"
#include "model/field.h"
#include "model/fields.h"
#include "model/table.h"
#include "model/tables.h"
#include "platform/prompter.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/status.h"
#include "test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kGenPackage = std::string(VELMORA_SOURCE_DIR) + "/tests/data/gen_package";

// Every file below a folder with its content, by path relative to the folder.
std::map<std::string, std::string> Tree(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files[entry.path().lexically_relative(folder).generic_string()] = ReadFile(entry.path());
    return files;
}

class GenerationTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::IsolateEnvironment();
        test::ResetSettingsStores();
        setenv("VELMORA_USER_DIR", (work / "data").c_str(), 1);
        Engine().ProjErr.clear();
        ResetCancel();
        SetStatusSink(std::make_shared<NullStatusSink>());
        prompter = std::make_shared<PolicyPrompter>();
        SetPrompter(prompter);
        SetGenerationOptions({});
        project = MakeProject(work / "app");
    }
    void TearDown() override {
        SetPrompter(nullptr);
        SetStatusSink(nullptr);
        SetGenerationOptions({});
        ResetCancel();
        Engine().ProjErr.clear();
    }

    std::shared_ptr<AGP> MakeProject(const std::string& destination, const std::string& package = kGenPackage) {
        auto made = std::make_shared<AGP>();
        made->AddProj("Shop");
        made->SetDestination(destination);
        made->SetTemplate(package);
        made->SetDefaultLanguageFile("english.xml");
        made->SetSecType("None");
        auto db = made->AddMainDatabase("shop.db");
        for (const char* name : {"orders", "customers"}) {
            db->Tables()->Add(name);
            auto table = db->Tables()->Item(Variant(name));
            table->LoadTableDefault();
            table->SetTblType("TABLE");
            table->SetTblGen(true);
            table->Fields()->Add(name, "id");
            table->Fields()->Add(name, "name");
        }
        db->Tables()->Item(Variant("orders"))->Fields()->Item(Variant("name"))->SetFldGenerate(true);
        return made;
    }

    bool Generate(const std::shared_ptr<AGP>& target) {
        if (GenCheck(target) == 0) return false;
        GenScript(target);
        return Engine().ProjErr.empty();
    }

    std::string Module(const std::string& name) const {
        AGPCache cache;
        EXPECT_TRUE(cache.Open("gen_package"));
        return cache.CacheFolder() + "/" + name;
    }

    TempDir work;
    std::shared_ptr<PolicyPrompter> prompter;
    std::shared_ptr<AGP> project;
};

TEST_F(GenerationTest, CheckCountsPagesAndListsThemWithoutWritingAnything) {
    project->DB()->Tables()->Item(Variant("customers"))->SetTblGenList("list=1,view=2");
    std::int32_t pages = GenCheck(project);
    ASSERT_EQ(Engine().ProjErr, "");
    auto orders = project->DB()->Tables()->Item(Variant("orders"))->ControlList();
    ASSERT_EQ(orders->Count(), 2);
    EXPECT_EQ(orders->Item(Variant("list"))->ItemFn, "orderslist.php");
    EXPECT_EQ(orders->Item(Variant("list"))->ItemRemark, "List page");
    EXPECT_TRUE(orders->Item(Variant("list"))->ItemHasHeaderFooter);
    EXPECT_FALSE(orders->Item(Variant("view"))->ItemHasHeaderFooter);
    // Saved selections: flag 1 generates, flag 2 leaves out header and footer.
    auto customers = project->DB()->Tables()->Item(Variant("customers"))->ControlList();
    EXPECT_TRUE(customers->Item(Variant("list"))->ItemGen);
    EXPECT_FALSE(customers->Item(Variant("view"))->ItemGen);
    EXPECT_TRUE(customers->Item(Variant("view"))->ItemSkipHeaderFooter);

    auto items = project->ControlList();
    for (const char* id : {"@config", "@cssfile", "@logo", "@favicon", "@lang_english.xml", "robots", "index"})
        EXPECT_TRUE(items->ItemExist(Variant(id))) << id;
    EXPECT_EQ(items->Item(Variant("index"))->ItemFn, "index.php");
    EXPECT_EQ(pages, 4 + items->Count());
    EXPECT_FALSE(fs::exists(work / "app"));
}

TEST_F(GenerationTest, GeneratesPagesCopiesAndConfiguration) {
    project->DB()->Tables()->Item(Variant("customers"))->SetTblGenList("list=1,view=0");
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    auto files = Tree(work / "app");

    EXPECT_EQ(files["orderslist.php"],
              "<header list>\r\n<h1>Orders</h1>\n<ul>\n\t<li>id</li>\n\t<li>name</li>\n</ul>\n</footer>\r\n");
    EXPECT_TRUE(files.contains("customerslist.php"));
    EXPECT_FALSE(files.contains("customersview.php")) << "deselected in the item list";
    const std::string& view = files["ordersview.php"];
    EXPECT_NE(view.find("<meta name=\"generator\" content=\"Velmora v"), std::string::npos) << view;
    EXPECT_NE(view.find("<br>"), std::string::npos) << "DocType empty: no XHTML closings";
    EXPECT_NE(view.find("<<<EOT\n\n\n  kept as written\nEOT;"), std::string::npos) << view;
    // Only the field with FldGenerate gets field pages; the short form drops leading blank lines.
    EXPECT_EQ(files["orders_namelookup.php"], "  <?php // lookup of orders.name ?>\n");
    EXPECT_EQ(files.count("customers_namelookup.php"), 0u);
    EXPECT_NE(files["index.php"].find("<a href=\"customerslist.php\">customers</a>"), std::string::npos);

    EXPECT_EQ(files["robots.txt"], "User-agent: *\n");
    EXPECT_EQ(files["css/site.css"], "body { margin: 0; }\n");
    EXPECT_EQ(files["security/index.php"], "<?php // blank page ?>");
    const std::string& config = files["security/" + project->ProjID() + ".xml"];
    EXPECT_NE(config.find("<project id=\"" + project->ProjID() + "\""), std::string::npos) << config;
    EXPECT_NE(config.find("<table name=\"orders\""), std::string::npos) << config;
    const std::string& language = files["lang/english.xml"];
    EXPECT_NE(language.find("<phrase id=\"AddLink\" value=\"Add\""), std::string::npos) << language;
    EXPECT_NE(language.find("version=\"12.0.0\""), std::string::npos) << language;
}

TEST_F(GenerationTest, SameInputsGiveTheSameFiles) {
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    auto second = MakeProject(work / "again");
    second->SetProjID(project->ProjID());
    ASSERT_TRUE(Generate(second)) << Engine().ProjErr;
    unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_EQ(Tree(work / "app"), Tree(work / "again"));
}

TEST_F(GenerationTest, UnchangedTemplatesAreNotTranslatedAgain) {
    // A private copy of the package, so that one of its files can be touched.
    fs::path package = work / "package";
    fs::copy(kGenPackage, package, fs::copy_options::recursive);
    project->SetTemplate(package.string());
    SetGenerationOptions({"O"});
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    AGPCache cache;
    ASSERT_TRUE(cache.Open("package"));
    std::string list = cache.CacheFolder() + "/list.php_table.tpl";
    std::string view = cache.CacheFolder() + "/view.php_table.tpl";
    auto listTime = fs::last_write_time(list);
    auto viewTime = fs::last_write_time(view);

    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    EXPECT_EQ(fs::last_write_time(list), listTime);
    EXPECT_EQ(fs::last_write_time(view), viewTime);

    // Touching a file that the list control includes makes only that control translate again.
    fs::last_write_time(package / "scripts/table/common.tpl", fs::file_time_type::clock::now() + std::chrono::seconds(5));
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    EXPECT_NE(fs::last_write_time(list), listTime);
    EXPECT_EQ(fs::last_write_time(view), viewTime);

    // Another session selection of the project needs another translation.
    project->SetSecType("Static");
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    EXPECT_NE(ReadFile(work / "app/orderslist.php").find("require \"login.php\""), std::string::npos);
    EXPECT_EQ(fs::last_write_time(view), viewTime);
}

TEST_F(GenerationTest, ExistingPagesFollowTheOverwriteRule) {
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    WriteFile(work / "app/orderslist.php", "edited by hand");

    SetGenerationOptions({"S"});
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    EXPECT_EQ(ReadFile(work / "app/orderslist.php"), "edited by hand");

    SetRegValue("HKCU", SettingsSection("General"), "BackupFile", kRegText, Variant("True"));
    SetGenerationOptions({"O"});
    auto fresh = MakeProject(work / "app");
    ASSERT_TRUE(Generate(fresh)) << Engine().ProjErr;
    EXPECT_EQ(ReadFile(work / "app/orderslist.php.bak"), "edited by hand");
    EXPECT_NE(ReadFile(work / "app/orderslist.php").find("<h1>Orders</h1>"), std::string::npos);
}

TEST_F(GenerationTest, AbortsWithTheirMessages) {
    auto expectAbort = [&](const std::shared_ptr<AGP>& target, const std::string& message) {
        GenCheck(target);
        if (Engine().ProjErr.empty()) GenScript(target);
        EXPECT_EQ(Engine().ProjErr.substr(0, message.size()), message);
        Engine().ProjErr.clear();
    };

    auto noLanguage = MakeProject(work / "a");
    noLanguage->SetDefaultLanguageFile("");
    expectAbort(noLanguage, "Velmora: No language file specified in project! Generation aborted!");
    EXPECT_FALSE(fs::exists(work / "a"));

    auto noTemplate = MakeProject(work / "b", work / "missing.zip");
    expectAbort(noTemplate, "Velmora: Template file not found! Generation aborted!");

    fs::path newer = work / "newer";
    fs::copy(kGenPackage, newer, fs::copy_options::recursive);
    std::string control = ReadFile(newer / "control.xml");
    control.replace(control.find("version=\"12.0\""), 14, "version=\"13.0\"");
    WriteFile(newer / "control.xml", control);
    expectAbort(MakeProject(work / "c", newer.string()),
                "Velmora: Template version (13.0) newer than software version (12.0)! Generation aborted!");

    auto invalid = MakeProject(work / "d");
    invalid->SetProjName("Invalid");
    expectAbort(invalid, "Velmora: Validation module (CheckName) failed");

    fs::path broken = work / "broken";
    fs::copy(kGenPackage, broken, fs::copy_options::recursive);
    WriteFile(broken / "scripts/table/view.tpl", "<!--## zv_LoadCurrent(); ##--><!--##=TABLE.NoSuchMember()##-->");
    expectAbort(MakeProject(work / "e", broken.string()), "Velmora: Generate Table orders page error (control view)");
    EXPECT_FALSE(fs::exists(work / "e/ordersview.php"));
}

TEST_F(GenerationTest, OutputOutsideTheDestinationAbortsTheRun) {
    fs::path escaping = work / "escaping";
    fs::copy(kGenPackage, escaping, fs::copy_options::recursive);
    std::string control = ReadFile(escaping / "control.xml");
    control.replace(control.find("ofile=\"view\""), 12, "ofile=\"view\" ofolder=\"../outside\"");
    WriteFile(escaping / "control.xml", control);
    auto target = MakeProject(work / "app", escaping.string());
    ASSERT_GT(GenCheck(target), 0) << Engine().ProjErr;
    GenScript(target);
    EXPECT_NE(Engine().ProjErr.find("view"), std::string::npos) << Engine().ProjErr;
    EXPECT_NE(Engine().ProjErr.find("outside the destination"), std::string::npos) << Engine().ProjErr;
    EXPECT_FALSE(fs::exists(work / "outside"));
}

TEST_F(GenerationTest, CancelStopsBeforeAnyPage) {
    ASSERT_GT(GenCheck(project), 0) << Engine().ProjErr;
    RequestCancel();
    GenScript(project);
    EXPECT_EQ(Engine().ProjErr, "Generation cancelled by user!");
    EXPECT_FALSE(fs::exists(work / "app/orderslist.php"));
}

}  // namespace
}  // namespace velmora
