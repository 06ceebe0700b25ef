#include <gtest/gtest.h>

#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/entities/database.h"
#include "model/entities/tables.h"
#include "model/project/custom_scripts.h"
#include "model/project/engine_objects.h"
#include "support/engine_state.h"
#include "test_support.h"

namespace velmora {
namespace {

class CustomScriptsTest : public testing::Test {
protected:
    void SetUp() override {
        CustomScripts().Clear();
        Engine().ProjErr.clear();
    }
    AGPCustomScripts& scripts = CustomScripts();
};

TEST_F(CustomScriptsTest, ScriptsAreKeyedBySixPartsAndNeedTypeCodeTypeAndName) {
    ASSERT_TRUE(scripts.Add("table", "server", "Row_Rendered", "list", "orders", ""));
    EXPECT_EQ(scripts.curName(), "table_server_Row_Rendered_list_orders_");
    EXPECT_TRUE(scripts.ScriptExist("TABLE", "server", "row_rendered", "list", "orders", ""));
    EXPECT_FALSE(scripts.ScriptExist("table", "server", "Row_Rendered", "list", "orders", "id"));

    EXPECT_FALSE(scripts.Add("table", "server", "Row_Rendered", "list", "orders", ""));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Custom script 'table_server_Row_Rendered_list_orders_' already exists.");
    EXPECT_FALSE(scripts.Add("table", "server", "", "list", "orders", ""));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Script type, code type and script name must not be empty.");
    EXPECT_FALSE(scripts.Add("", "server", "x", "", "", ""));
    EXPECT_FALSE(scripts.Add("table", "", "x", "", "", ""));
    // The control and the keys may be empty.
    EXPECT_TRUE(scripts.Add("global", "client", "Startup", "", "", ""));
    EXPECT_EQ(scripts.Count(), 2);
}

TEST_F(CustomScriptsTest, DeleteRenumbersAndChangeRenamesWithoutCollisions) {
    scripts.Add("table", "server", "A", "list", "orders", "");
    scripts.Add("table", "server", "B", "list", "orders", "");
    scripts.Add("table", "server", "A", "view", "orders", "");
    scripts.Add("table", "server", "C", "view", "orders", "");

    ASSERT_TRUE(scripts.Delete("table", "server", "B", "list", "orders", ""));
    EXPECT_EQ(scripts.Seq(2)->ScriptCtrlID(), "view");
    EXPECT_EQ(scripts.Seq(3)->ScriptName(), "C");
    EXPECT_EQ(scripts.Seq(4), nullptr);
    EXPECT_FALSE(scripts.Delete("table", "server", "B", "list", "orders", ""));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Custom script 'table_server_B_list_orders_' does not exist.");

    // Renaming A to C would put the view script of A where C's is: nothing changes.
    EXPECT_FALSE(scripts.Change("A", "C"));
    EXPECT_TRUE(scripts.ScriptExist("table", "server", "A", "list", "orders", ""));
    EXPECT_TRUE(scripts.ScriptExist("table", "server", "A", "view", "orders", ""));

    ASSERT_TRUE(scripts.Change("A", "D"));
    EXPECT_TRUE(scripts.ScriptExist("table", "server", "D", "list", "orders", ""));
    EXPECT_TRUE(scripts.ScriptExist("table", "server", "D", "view", "orders", ""));
    EXPECT_FALSE(scripts.ScriptExist("table", "server", "A", "list", "orders", ""));
    EXPECT_EQ(scripts.Seq(1)->ScriptName(), "D");
    EXPECT_FALSE(scripts.Change("A", "E"));
    EXPECT_FALSE(scripts.Change("", "E"));
}

TEST_F(CustomScriptsTest, RootMembersStoreUpdateAndLoadCode) {
    test::TempDir dir;
    AGP proj;
    ASSERT_TRUE(proj.AddCustomScript("table", "server", "Row_Rendered", "list", "orders", "", "a();"));
    EXPECT_FALSE(proj.AddCustomScript("table", "server", "Row_Rendered", "list", "orders", "", "b();"));
    // Code is loaded only for a control of the template and a table of the project.
    EXPECT_EQ(proj.LoadCustomScriptCode("table", "server", "Row_Rendered", "list", "orders", ""), "");
    AGPControl list;
    list.CtrlID = "list";
    proj.Controls()->AddControl(list);
    EXPECT_EQ(proj.LoadCustomScriptCode("table", "server", "Row_Rendered", "list", "orders", ""), "");
    proj.AddMainDatabase("shop.db")->Tables()->Add("orders");
    EXPECT_EQ(proj.LoadCustomScriptCode("table", "server", "Row_Rendered", "list", "orders", ""), "a();");
    EXPECT_EQ(proj.LoadCustomScriptCode("field", "server", "Row_Rendered", "list", "orders", "id"), "");

    Engine().projectDirty = false;
    ASSERT_TRUE(proj.UpdateCustomScript("table", "server", "Row_Rendered", "list", "orders", "", "b();"));
    EXPECT_TRUE(proj.IsDirty());
    EXPECT_EQ(proj.LoadCustomScriptCode("table", "server", "Row_Rendered", "list", "orders", ""), "b();");
    EXPECT_FALSE(proj.UpdateCustomScript("table", "server", "Other", "list", "orders", "", "c();"));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Custom script 'table_server_Other_list_orders_' does not exist.");

    std::string file = dir / "codebase.xml";
    test::WriteFile(file, "<velmora.codebase><code scripttype=\"CodeBase\" codetype=\"server\" name=\"Fn\">"
                          "<![CDATA[x = 1;\ny = 2;]]></code></velmora.codebase>");
    ASSERT_TRUE(CodeBase().Load(file));
    EXPECT_EQ(proj.LoadCustomScriptCode("CodeBase", "server", "Fn", "", "", ""), "x = 1;\r\ny = 2;");
    EXPECT_EQ(proj.LoadCustomScriptCode("table", "server", "Fn", "", "", ""), "");

    ASSERT_TRUE(proj.DeleteCustomScript("table", "server", "Row_Rendered", "list", "orders", ""));
    EXPECT_EQ(CustomScripts().Count(), 0);
}

}  // namespace
}  // namespace velmora
