// GenCheck and GenScript end to end: a project held in memory, the test package of
// tests/data/gen_package, a temporary destination.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "generation/driver.h"
#include "generation/gen_cache.h"
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/entities/database.h"
#include "model/extensions/extensions.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/prompter.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/status.h"
#include "support/text_file.h"
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

// Moves a file's time ahead, past the one-second resolution of the cache's dates.
void Touch(const fs::path& path) {
    fs::last_write_time(path, fs::file_time_type::clock::now() + std::chrono::seconds(5));
}

// Files that an interrupted atomic write would leave behind.
std::vector<std::string> TemporaryFiles(const fs::path& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".tmp") found.push_back(it->path().string());
    return found;
}

class GenerationTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::IsolateEnvironment();
        test::ResetSettingsStores();
        Extensions().Clear();
        setenv("VELMORA_USER_DIR", (work / "data").c_str(), 1);
        Engine().ProjErr.clear();
        ResetCancel();
        SetStatusSink(std::make_shared<NullStatusSink>());
        SetPrompter(std::make_shared<PolicyPrompter>());
        SetGenerationOptions({});
        project = MakeProject(work / "app");
    }
    void TearDown() override {
        SetWriteFaultInjector(nullptr);
        Extensions().Clear();
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

    // A private copy of the test package, which a test may change.
    fs::path CopyPackage(const std::string& name) const {
        fs::path package = work / name;
        fs::copy(kGenPackage, package, fs::copy_options::recursive);
        return package;
    }

    // A copy of the test package whose control.xml has `from` replaced by `to`.
    fs::path PatchedPackage(const std::string& name, const std::string& from, const std::string& to) const {
        fs::path package = CopyPackage(name);
        std::string control = ReadFile(package / "control.xml");
        control.replace(control.find(from), from.size(), to);
        WriteFile(package / "control.xml", control);
        return package;
    }

    TempDir work;
    std::shared_ptr<AGP> project;
};

TEST_F(GenerationTest, CheckCountsPagesAndListsThemWithoutWritingAnything) {
    project->DB()->Tables()->Item(Variant("customers"))->SetTblGenList("list=1,view=2");
    std::int32_t pages = GenCheck(project);
    ASSERT_EQ(Engine().ProjErr, "");
    auto orders = project->DB()->Tables()->Item(Variant("orders"))->ControlList();
    ASSERT_EQ(orders->Count(), 2);
    EXPECT_EQ(orders->Item(Variant("list"))->ItemFn, "orderslist.php");
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
}

TEST_F(GenerationTest, GeneratesPagesCopiesAndConfiguration) {
    project->DB()->Tables()->Item(Variant("customers"))->SetTblGenList("list=1,view=0");
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    auto files = Tree(work / "app");

    EXPECT_EQ(files["orderslist.php"],
              "<header list>\r\n<h1>Orders</h1>\n<ul>\n\t<li>id</li>\n\t<li>name</li>\n</ul>\n</footer>\r\n");
    EXPECT_FALSE(files.contains("customersview.php")) << "deselected in the item list";
    const std::string& view = files["ordersview.php"];
    EXPECT_NE(view.find("<meta name=\"generator\" content=\"Velmora v" + DisplayVersion()), std::string::npos) << view;
    EXPECT_NE(view.find("<br>"), std::string::npos) << "DocType empty: no XHTML closings";
    EXPECT_NE(view.find("<<<EOT\n\n\n  kept as written\nEOT;"), std::string::npos) << view;
    // Only the field with FldGenerate gets field pages; the short form drops leading blank lines.
    EXPECT_EQ(files["orders_namelookup.php"], "  <?php // lookup of orders.name ?>\n");
    EXPECT_EQ(files.count("customers_namelookup.php"), 0u);
    EXPECT_NE(files["index.php"].find("<a href=\"customerslist.php\">customers</a>"), std::string::npos);

    EXPECT_EQ(files["security/index.php"], "<?php // blank page ?>");
    const std::string& config = files["security/" + project->ProjID() + ".xml"];
    EXPECT_NE(config.find("<project id=\"" + project->ProjID() + "\""), std::string::npos) << config;
    EXPECT_NE(config.find("<table name=\"orders\""), std::string::npos) << config;
    const std::string& language = files["lang/english.xml"];
    EXPECT_NE(language.find("<phrase id=\"AddLink\" value=\"Add\""), std::string::npos) << language;
    EXPECT_NE(language.find("version=\"12.0.0\""), std::string::npos) << language;
}

// A SQL Server Express database attached by file name travels with the application, log and all.
TEST_F(GenerationTest, AnAttachedDatabaseFileIsCopiedWithItsLog) {
    WriteFile(work / "data/Shop.mdf", "data");
    WriteFile(work / "data/Shop_log.ldf", "log");
    project->DB()->SetDBType("ODBC");
    project->DB()->SetDBConnstr("Driver={SQL Server};Server=.\\SQLExpress;AttachDbFilename=" + (work / "data/Shop.mdf") +
                                ";Trusted_Connection=Yes");
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    EXPECT_EQ(ReadFile(work / "app/db/Shop.mdf"), "data");
    EXPECT_EQ(ReadFile(work / "app/db/Shop_log.ldf"), "log");
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
    fs::path package = CopyPackage("package");
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
    Touch(package / "scripts/table/common.tpl");
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    EXPECT_NE(fs::last_write_time(list), listTime);
    EXPECT_EQ(fs::last_write_time(view), viewTime);

    // Another session selection of the project needs another translation.
    project->SetSecType("Static");
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    EXPECT_NE(ReadFile(work / "app/orderslist.php").find("require \"login.php\""), std::string::npos);
    EXPECT_EQ(fs::last_write_time(view), viewTime);
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

    fs::path newer = PatchedPackage("newer", "version=\"12.0\"", "version=\"13.0\"");
    expectAbort(MakeProject(work / "c", newer.string()),
                "Velmora: Template version (13.0) newer than software version (12.0)! Generation aborted!");

    auto invalid = MakeProject(work / "d");
    invalid->SetProjName("Invalid");
    expectAbort(invalid, "Velmora: Validation module (CheckName) failed");

    fs::path broken = CopyPackage("broken");
    WriteFile(broken / "scripts/table/view.tpl", "<!--## zv_LoadCurrent(); ##--><!--##=TABLE.NoSuchMember()##-->");
    expectAbort(MakeProject(work / "e", broken.string()), "Velmora: Generate Table orders page error (control view)");
    EXPECT_FALSE(fs::exists(work / "e/ordersview.php"));
}

TEST_F(GenerationTest, ThePermissionTableIsCheckedAfterTheDatabaseAndBeforeTheTemplate) {
    // A PostgreSQL server nobody listens at and a template that is not there: which message
    // comes shows whether, and in which order, the steps ran.
    auto target = MakeProject(work / "p", work / "missing.zip");
    auto database = target->DB();
    database->SetDBType("postgresql");
    database->SetDBHost("127.0.0.1");
    database->SetDBPort("1");
    database->SetUserLevelPrivTbl("customers");
    database->SetUserLevelPrivTblNameFld("name");
    GenScript(target);
    EXPECT_EQ(Engine().ProjErr, "Velmora: Template file not found! Generation aborted!");

    database->SetUseDynamicUserLevel(true);
    GenScript(target);
    EXPECT_TRUE(Engine().ProjErr.starts_with("Velmora: Unable to read the field size of User level permission table "
                                             "name field [name]. Error description: "))
        << Engine().ProjErr;

    auto empty = MakeProject(work / "q", work / "missing.zip");
    empty->DB()->Tables()->Clear();
    empty->DB()->SetUseDynamicUserLevel(true);
    empty->DB()->SetUserLevelPrivTbl("customers");
    GenScript(empty);
    EXPECT_EQ(Engine().ProjErr, "Velmora: No tables found in the Database! Generation aborted!");
}

TEST_F(GenerationTest, OutputOutsideTheDestinationAbortsTheRun) {
    fs::path escaping = PatchedPackage("escaping", "ofile=\"view\"", "ofile=\"view\" ofolder=\"../outside\"");
    auto target = MakeProject(work / "app", escaping.string());
    ASSERT_GT(GenCheck(target), 0) << Engine().ProjErr;
    GenScript(target);
    EXPECT_NE(Engine().ProjErr.find("view"), std::string::npos) << Engine().ProjErr;
    EXPECT_NE(Engine().ProjErr.find("outside the destination"), std::string::npos) << Engine().ProjErr;
    EXPECT_FALSE(fs::exists(work / "outside"));
}

TEST_F(GenerationTest, AFolderExtensionIsMergedIntoTheGeneration) {
    // tests/data/extensions/grid adds a page, a copied file and a toolbar session of the list, and
    // deletes robots.txt.
    fs::path sources = work / "extensions";
    fs::copy(test::DataPath("extensions"), sources, fs::copy_options::recursive);
    ASSERT_TRUE(SetRegValue("HKCU", ExtensionsSection(), kExtSourceFolder, kRegText, Variant(sources.string())));
    ASSERT_TRUE(project->AddExtension("grid", "grid", "grid.xml"));
    SetGenerationOptions({"O"});
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;

    auto files = Tree(work / "app");
    EXPECT_EQ(files["grid.php"], "<grid of=\"orders\"/>\n<grid of=\"customers\"/>\n");
    const std::string& list = files["orderslist.php"];
    std::size_t heading = list.find("<h1>Orders</h1>");
    std::size_t toolbar = list.find("<nav>orders</nav>");
    ASSERT_NE(toolbar, std::string::npos) << list;
    EXPECT_LT(heading, toolbar) << "the session goes after the body";
    EXPECT_EQ(files["js/grid.js"], "var grid;\n");
    EXPECT_FALSE(files.contains("robots.txt"));
    // A folder package is read where it is; nothing of it is unpacked.
    AGPCache cache;
    ASSERT_TRUE(cache.Open("gen_package"));
    EXPECT_FALSE(fs::exists(cache.TemplateFolder() + "/extensions/grid"));

    // Without the extension the translations made with it are dropped.
    Extensions().Find("grid")->SetEnabled(false);
    auto plain = MakeProject(work / "plain");
    ASSERT_TRUE(Generate(plain)) << Engine().ProjErr;
    auto without = Tree(work / "plain");
    EXPECT_EQ(without["orderslist.php"].find("<nav>"), std::string::npos) << without["orderslist.php"];
    EXPECT_FALSE(without.contains("grid.php"));
    EXPECT_TRUE(without.contains("robots.txt"));
}

TEST_F(GenerationTest, AFailingPageStopsTheRunThereAndARerunCompletes) {
    // The view pages go to a folder of their own, which can be made unwritable.
    fs::path package = PatchedPackage("pages", "ofile=\"view\"", "ofile=\"view\" ofolder=\"pages\"");
    const fs::path viewTemplate = package / "scripts/table/view.tpl";
    const std::string view = ReadFile(viewTemplate);
    ASSERT_TRUE(SetRegValue("HKCU", SettingsSection("General"), "ScriptEngineTimeout", kRegText, Variant("300")));
    SetGenerationOptions({"O"});

    struct Failure {
        std::string name;
        std::function<void(const fs::path& pages)> cause, mend;
        std::vector<std::string> expected;
    };
    const std::vector<Failure> failures = {
        {"file in the way of the folder", [](const fs::path& pages) { WriteFile(pages, "not a folder"); },
         [](const fs::path& pages) { fs::remove(pages); }, {"Failed to create file", "ordersview.php"}},
        {"full disk",
         [](const fs::path&) {
             SetWriteFaultInjector([](std::string_view path) { return path.ends_with("view.php") ? ENOSPC : 0; });
         },
         [](const fs::path&) { SetWriteFaultInjector(nullptr); }, {"Failed to write file", "ordersview.php"}},
        {"script that runs too long",
         [&](const fs::path&) {
             WriteFile(viewTemplate, "<!--## zv_LoadCurrent(); while (true) {} ##-->");
             Touch(viewTemplate);
         },
         [&](const fs::path&) {
             WriteFile(viewTemplate, view);
             Touch(viewTemplate);
         },
         {"Script execution timed out"}},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.name);
        fs::path destination = work / ("app-" + std::to_string(&failure - failures.data()));
        fs::create_directories(destination);
        failure.cause(destination / "pages");
        auto target = MakeProject(destination.string(), package.string());
        ASSERT_GT(GenCheck(target), 0) << Engine().ProjErr;
        GenScript(target);
        const std::string& report = Engine().ProjErr;
        EXPECT_EQ(report.rfind("Velmora: Generate Table orders page error (control view)", 0), 0u) << report;
        for (const std::string& expected : failure.expected)
            EXPECT_NE(report.find(expected), std::string::npos) << report;
        // That page and every later one are missing, nothing is half-written, and the cache still
        // describes the modules on disk.
        EXPECT_TRUE(fs::exists(destination / "orderslist.php"));
        EXPECT_FALSE(fs::exists(destination / "pages/ordersview.php"));
        EXPECT_FALSE(fs::exists(destination / "customerslist.php"));
        EXPECT_EQ(TemporaryFiles(destination), std::vector<std::string>{});
        AGPCache cache;
        ASSERT_TRUE(cache.Open("pages"));
        for (const char* module : {"list.php_table.tpl", "view.php_table.tpl"})
            EXPECT_EQ(cache.CheckFile("tpl", module, cache.CacheFolder() + "/" + module), 0) << module;

        failure.mend(destination / "pages");
        ASSERT_TRUE(Generate(target)) << Engine().ProjErr;
        EXPECT_NE(ReadFile(destination / "pages/ordersview.php").find("<br>"), std::string::npos);
        EXPECT_TRUE(fs::exists(destination / "pages/customersview.php"));
        EXPECT_EQ(TemporaryFiles(destination), std::vector<std::string>{});
    }
}

TEST_F(GenerationTest, ACancelledRunKeepsItsRecordAndTheRerunWritesOnlyTheRest) {
    ASSERT_GT(GenCheck(project), 0) << Engine().ProjErr;
    RequestCancel();
    GenScript(project);
    EXPECT_EQ(Engine().ProjErr, "Generation cancelled by user!");
    EXPECT_FALSE(fs::exists(work / "app/orderslist.php"));

    ResetCancel();
    Engine().ProjErr.clear();
    ASSERT_GT(GenCheck(project), 0) << Engine().ProjErr;
    int pages = 0;
    SetWriteFaultInjector([&pages](std::string_view path) {
        if (path.ends_with(".php") && ++pages == 3) RequestCancel();
        return 0;
    });
    GenScript(project);
    SetWriteFaultInjector(nullptr);
    EXPECT_EQ(Engine().ProjErr, "Generation cancelled by user!");
    const std::int32_t written = LastGenerationSummary().created;
    EXPECT_GE(written, 3);
    std::string manifest = ReadFile(work / "app/.velmora/manifest.json");
    EXPECT_NE(manifest.find("\"" + LastGenerationSummary().files.back().path + "\""), std::string::npos);

    ResetCancel();
    ASSERT_TRUE(Generate(project)) << Engine().ProjErr;
    const GenerationSummary& rerun = LastGenerationSummary();
    EXPECT_GE(rerun.unchanged, written - 1);
    EXPECT_GT(rerun.created, 0);
    // The test package writes security/index.php twice: its folder control, then the blank page
    // of the configuration.
    for (const auto& file : rerun.files) {
        if (file.path == "security/index.php") continue;
        EXPECT_TRUE(file.outcome == FileOutcome::Created || file.outcome == FileOutcome::Unchanged)
            << file.path << " " << OutcomeWord(file.outcome) << " " << file.detail;
    }
}

}  // namespace
}  // namespace velmora
