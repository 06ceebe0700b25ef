#include <gtest/gtest.h>

#include <filesystem>

#include "generation/output_naming.h"
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "support/engine_state.h"
#include "test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

class OutputNamingTest : public testing::Test {
protected:
    void SetUp() override {
        test::ResetSettingsStores();
        Engine().ProjErr.clear();
        project = std::make_shared<AGP>();
        project->AddProj("Shop");
        project->SetDestination(dest.path().string());
    }
    void TearDown() override { Engine().ProjErr.clear(); }

    static AGPControl Control(std::string_view id, std::string_view type, std::string_view ofile,
                              std::string_view oext) {
        AGPControl control;
        control.CtrlID = id;
        control.CtrlType = type;
        control.CtrlOFile = ofile;
        control.CtrlOExt = oext;
        return control;
    }
    void Naming(std::string_view type, std::string_view affix) {
        project->SetOutputNameType(std::string(type));
        project->SetOutputNameExt(std::string(affix));
    }

    test::TempDir dest;
    std::shared_ptr<AGP> project;
};

TEST_F(OutputNamingTest, TableAndFieldPagesFollowTheNamingScheme) {
    AGPControl list = Control("list", "table", "list", "php");
    AGPControl view = Control("fieldview", "field", "view", "php");

    Naming("infix", "_");
    EXPECT_EQ(OutputFileName(*project, list, "orders"), "orders_list.php");
    EXPECT_EQ(OutputFileName(*project, view, "orders", "id"), "orders_id_view.php");
    Naming("prefix", "x");
    EXPECT_EQ(OutputFileName(*project, list, "orders"), "xorderslist.php");
    Naming("suffix", "x");
    EXPECT_EQ(OutputFileName(*project, list, "orders"), "orderslistx.php");
    EXPECT_EQ(OutputFileName(*project, view, "orders", "id"), "orders_idviewx.php");
    Naming("none", "x");
    EXPECT_EQ(OutputFileName(*project, list, "orders"), "orderslist.php");

    // Lower case applies to the composed name, not to the extension taken from the project.
    Naming("infix", "_");
    project->SetOutputNameLCase(true);
    project->SetExt("PHP5");
    EXPECT_EQ(OutputFileName(*project, Control("list", "report", "List", "*"), "Orders"), "orders_list.PHP5");
}

TEST_F(OutputNamingTest, ExtensionsStarNamesProjectPagesCustomPagesAndCopies) {
    EXPECT_EQ(OutputFileName(*project, Control("a", "simple", "login", "*"), ""), "login.php");
    EXPECT_EQ(OutputFileName(*project, Control("a", "simple", "LICENSE", ""), ""), "LICENSE");
    project->SetExt("php5");
    EXPECT_EQ(OutputFileName(*project, Control("a", "simple", "login", "php"), ""), "login.php5");
    project->SetExt("");
    EXPECT_EQ(OutputFileName(*project, Control("a", "other", "*_old", "php"), ""), "index_old.php");
    project->SetDefaultPage("home.php");
    EXPECT_EQ(OutputFileName(*project, Control("a", "other", "*", "php"), ""), "home.php");
    project->SetDefaultPage("");

    // A project page has no object name: infix leaves the page alone, prefix still applies.
    Naming("infix", "_");
    EXPECT_EQ(OutputFileName(*project, Control("menu", "other", "menu", "php"), ""), "menu.php");
    Naming("prefix", "p_");
    EXPECT_EQ(OutputFileName(*project, Control("menu", "other", "menu", "php"), ""), "p_menu.php");
    EXPECT_EQ(OutputFileName(*project, Control("cfg", "simple", "web", "config"), ""), "web.config");

    project->SetOutputNameLCase(true);
    AGPControl custom = Control("custom", "table", "ignored", "php");
    EXPECT_EQ(OutputFileName(*project, custom, "Order_Details", {}, "Order Details"), "order details");
    EXPECT_EQ(OutputFileName(*project, custom, "Orders"), "orders");

    AGPControl copy = Control("css", "copy", "", "");
    copy.CtrlIFiles = "Site.CSS";
    EXPECT_EQ(OutputFileName(*project, copy, ""), "site.css");
    copy.CtrlOFile = "Main";
    copy.CtrlOExt = "Css";
    EXPECT_EQ(OutputFileName(*project, copy, ""), "main.css");
}

TEST_F(OutputNamingTest, FoldersBelowTheDestinationTheAppRootAndFolderControls) {
    auto controls = project->Controls();
    AGPControl images = Control("Images", "folder", "", "");
    images.CtrlOFolder = "assets\\img";
    ASSERT_TRUE(controls->AddControl(images));

    std::string root = dest.path().generic_string();
    AGPControl page = Control("list", "table", "list", "php");
    EXPECT_EQ(OutputFolder(*project, *controls, page), root + "/");
    page.CtrlOFolder = "admin\\pages";
    EXPECT_EQ(OutputFolder(*project, *controls, page), root + "/admin/pages/");

    page.CtrlOFolderID = "IMAGES";
    page.CtrlOFolder = "thumbs";
    EXPECT_EQ(OutputFolder(*project, *controls, page), root + "/assets/img/thumbs/");
    page.CtrlOFolder = "";
    EXPECT_EQ(OutputFolder(*project, *controls, page), root + "/assets/img/");

    AGPControl api = Control("api", "other", "api", "php");
    api.CtrlOFolder = "~\\api";
    project->SetAppRootFolder("public\\");
    EXPECT_EQ(OutputFolder(*project, *controls, api), root + "/public/api/");
    project->SetAppRootFolder("/srv/www");
    EXPECT_EQ(OutputFolder(*project, *controls, api), "/srv/www/api/");
}

TEST_F(OutputNamingTest, OutputPathsStayInsideTheDestination) {
    auto controls = project->Controls();
    AGPControl page = Control("list", "table", "list", "php");
    page.CtrlOFolder = "admin/../pages";
    std::string path;
    ASSERT_TRUE(ResolveOutputPath(*project, page, OutputFolder(*project, *controls, page), "x\\list.php", path));
    EXPECT_EQ(path, dest.path().generic_string() + "/pages/x/list.php");
    ASSERT_TRUE(ResolveOutputPath(*project, page, OutputFolder(*project, *controls, page), "", path));
    EXPECT_EQ(path, dest.path().generic_string() + "/pages");

    page.CtrlOFolder = "../outside";
    EXPECT_FALSE(ResolveOutputPath(*project, page, OutputFolder(*project, *controls, page), "list.php", path));
    std::string outside = dest.path().parent_path().generic_string() + "/outside/list.php";
    EXPECT_EQ(Engine().ProjErr, "Velmora: Control 'list' would write outside the destination folder: " + outside +
                                    ". Generation aborted.");
    EXPECT_EQ(path, "");

    // A name that climbs out is caught as well as a folder that does.
    page.CtrlOFolder = "";
    EXPECT_FALSE(ResolveOutputPath(*project, page, OutputFolder(*project, *controls, page), "../../x.php", path));
    page.CtrlOFolder = "/etc";
    EXPECT_FALSE(ResolveOutputPath(*project, page, OutputFolder(*project, *controls, page), "passwd", path));

    // A link inside the destination that leads out is refused (see the copy controls); a destination
    // reached through a link is still the destination.
    test::TempDir holder;
    fs::create_symlink(dest.path(), holder.path() / "site");
    project->SetDestination((holder.path() / "site").string());
    page.CtrlOFolder = "pages";
    EXPECT_TRUE(ResolveOutputPath(*project, page, OutputFolder(*project, *controls, page), "list.php", path));
    EXPECT_EQ(path, (holder.path() / "site").generic_string() + "/pages/list.php");
}

}  // namespace
}  // namespace velmora
