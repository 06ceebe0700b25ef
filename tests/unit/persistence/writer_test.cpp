#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/project/agp.h"
#include "model/entities/charts.h"
#include "model/project/custom_scripts.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/extensions/extensions.h"
#include "model/entities/fields.h"
#include "model/project/language.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "model/entities/tables.h"
#include "persistence/project_backup.h"
#include "persistence/project_writer.h"
#include "platform/prompter.h"
#include "platform/xml.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/text.h"
#include "test_support.h"

namespace velmora {
namespace {

class WriterTest : public testing::Test {
protected:
    void SetUp() override {
        test::ResetSettingsStores();
        CustomScripts().Clear();
        MenuList().Clear();
        Extensions().Clear();
        Language().ClearTranslations();
        prompter_ = std::make_shared<NonInteractivePrompter>();
        SetPrompter(prompter_);
        proj_ = std::make_unique<AGP>();
        Engine().backupFolder = dir_ / "backup";
        Engine().ProjErr.clear();
    }
    void TearDown() override { SetPrompter(nullptr); }

    std::shared_ptr<AGPTable> AddTable(std::string_view name, std::vector<std::string_view> fields) {
        auto db = proj_->DB() ? proj_->DB() : proj_->AddMainDatabase("shop.db");
        db->Tables()->Add(name);
        auto table = db->Tables()->Find(Variant(name));
        for (std::string_view field : fields) table->Fields()->Add(name, field);
        return table;
    }

    // The document a save writes, parsed back.
    XmlDocument Parsed(const ProjectWriteOptions& options = {}) {
        XmlDocument doc;
        EXPECT_TRUE(doc.LoadString(WriteProjectDocument(*proj_, options)));
        return doc;
    }

    test::TempDir dir_;
    std::shared_ptr<NonInteractivePrompter> prompter_;
    std::unique_ptr<AGP> proj_;
};

std::vector<std::string> ElementNames(const XmlNode& parent) {
    std::vector<std::string> names;
    for (const XmlNode& child : parent.ChildElements()) names.push_back(child.NodeName());
    return names;
}

TEST_F(WriterTest, WritesElementsInFileOrderWithCrLfBetweenThem) {
    auto orders = AddTable("orders", {"id", "total"});
    auto customers = AddTable("customers", {"id"});
    // Written by number, not by collection order.
    orders->SetTblSeq(2);
    customers->SetTblSeq(1);
    orders->Fields()->Find(Variant("id"))->SetFldSeq(2);
    orders->Fields()->Find(Variant("total"))->SetFldSeq(1);
    orders->Charts()->Add("orders", "Sales");
    orders->Charts()->Item(Variant("Sales"))->Trendlines()->Add("Target");
    proj_->LINKDBS()->Add("LINK1");
    ASSERT_TRUE(proj_->AddMasterDetail("customers", "orders"));
    ASSERT_TRUE(proj_->AddMasterDetailRelation("customers", "orders", "id", "customer_id"));
    proj_->AddCustomScript("Server", "Global", "Page_Load", "", "", "", "x = 1;");
    MenuValues menu;
    menu.MenuText = "Orders";
    menu.MenuShow = true;
    MenuList().AddMenu(menu);
    Language().SetProjectPhrase("en", "ProjName", "Shop");
    Language().SetTablePhrase("en", "orders", "TblCaption", "Orders");

    std::string text = WriteProjectDocument(*proj_, {});
    EXPECT_TRUE(text.starts_with(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                                 "\r\n<Project "));
    EXPECT_TRUE(text.ends_with("</Project>\r\n"));
    EXPECT_NE(text.find("\r\n<Table "), std::string::npos);
    EXPECT_NE(text.find("/>\r\n</Table>\r\n"), std::string::npos);

    XmlDocument doc;
    ASSERT_TRUE(doc.LoadString(text));
    XmlNode project = doc.DocumentElement();
    EXPECT_EQ(ElementNames(project),
              (std::vector<std::string>{"Database", "LinkDatabase", "MasterDetail", "CustomScript", "Menu",
                                        "ProjectPhrase", "TablePhrase"}));
    std::vector<XmlAttribute> attributes = project.Attributes();
    ASSERT_GE(attributes.size(), 2u);
    EXPECT_EQ(attributes[attributes.size() - 2].name, "Version");
    EXPECT_EQ(attributes.back().name, "Product");
    EXPECT_EQ(project.GetAttribute("Version"), EngineVersion());

    XmlNode database = project.ChildNoCase("Database");
    std::vector<XmlNode> tables = database.ChildElements();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].GetAttribute("TblName"), "customers");
    EXPECT_EQ(tables[1].GetAttribute("TblName"), "orders");
    EXPECT_EQ(ElementNames(tables[1]), (std::vector<std::string>{"Field", "Field", "Chart"}));
    EXPECT_EQ(tables[1].ChildElements()[0].GetAttribute("FldName"), "total");
    // Numbers that only order the lists are not saved.
    EXPECT_FALSE(tables[1].HasAttribute("TblSeq"));

    XmlNode relation = project.ChildNoCase("MasterDetail");
    EXPECT_EQ(relation.GetAttribute("CascadeDelete"), "0");
    XmlNode menuElement = project.ChildNoCase("Menu");
    EXPECT_EQ(menuElement.Attributes().size(), 13u);
    EXPECT_EQ(menuElement.GetAttribute("MenuShow"), "1");
}

TEST_F(WriterTest, EncodesBooleansAndTagValues) {
    auto table = AddTable("orders", {"status"});
    auto field = table->Fields()->Find(Variant("status"));
    field->SetFldTagValues("new\r\npaid\r\nshipped");
    field->SetFldSupport(true);
    field->SetFldAlias(false);
    proj_->SetMultiLanguage(true);
    proj_->SetCache(false);

    XmlDocument doc = Parsed();
    XmlNode project = doc.DocumentElement();
    EXPECT_EQ(project.GetAttribute("MultiLanguage"), "1");
    EXPECT_EQ(project.GetAttribute("Cache"), "0");
    XmlNode fieldElement = project.ChildNoCase("Database").ChildNoCase("Table").ChildNoCase("Field");
    EXPECT_EQ(fieldElement.GetAttribute("FldTagValues"), "new|paid|shipped");
    EXPECT_EQ(fieldElement.GetAttribute("FldSupport"), "1");
    EXPECT_EQ(fieldElement.GetAttribute("FldAlias"), "0");

    ProjectWriteOptions every;
    every.allEntries = true;
    XmlDocument all = Parsed(every);
    XmlNode allField = all.DocumentElement().ChildNoCase("Database").ChildNoCase("Table").ChildNoCase("Field");
    EXPECT_EQ(allField.GetAttribute("FldSupport"), "true");
    EXPECT_EQ(allField.GetAttribute("FldSeq"), "1");

    ProjectWriteOptions alone;
    alone.projectOnly = true;
    XmlDocument projectOnly = Parsed(alone);
    EXPECT_TRUE(projectOnly.DocumentElement().ChildElements().empty());
    EXPECT_EQ(projectOnly.DocumentElement().GetAttribute("MultiLanguage"), "1");
}

TEST_F(WriterTest, ScriptCodeWithCdataEndAndCrLfReadsBackUnchanged) {
    const std::string code = "\rif (a[b[0]]>1) {\r\n s = \"]]>\"; }\n]]]>>\r\r";
    proj_->AddCustomScript("Server", "Global", "Page_Load", "", "", "", code);
    proj_->AddCustomScript("Server", "Global", "Page_Unload", "", "", "", "");
    std::string text = WriteProjectDocument(*proj_, {});
    EXPECT_NE(text.find("]]>&#13;<![CDATA[if (a[b[0]]]]><![CDATA[>1) {]]>&#13;<![CDATA[\n s ="), std::string::npos);

    XmlDocument doc;
    ASSERT_TRUE(doc.LoadString(text));
    // A project without a database has no Database element.
    EXPECT_EQ(ElementNames(doc.DocumentElement()), (std::vector<std::string>{"CustomScript", "CustomScript"}));
    std::vector<XmlNode> scripts = doc.DocumentElement().ChildElements();
    std::string read;
    for (const XmlNode& child : scripts[0].Children()) read += child.NodeValue();
    EXPECT_EQ(read, code);
    EXPECT_FALSE(scripts[0].HasAttribute("ScriptCode"));
    // Code, even empty code, starts with its CDATA section.
    for (const XmlNode& script : scripts) EXPECT_TRUE(script.FirstChild().IsCData());
}

TEST_F(WriterTest, SaveRepairsSequenceNumbersTellsTheUserAndClearsTheDirtyFlag) {
    auto a = AddTable("a", {"x", "y", "z"});
    auto b = AddTable("b", {});
    b->SetTblSeq(1);
    a->Fields()->Find(Variant("y"))->SetFldSeq(0);
    a->Fields()->Find(Variant("z"))->SetFldSeq(1);
    Engine().projectDirty = true;

    ASSERT_TRUE(Save(*proj_, dir_ / "shop.vlp")) << Engine().ProjErr;
    EXPECT_FALSE(proj_->IsDirty());
    EXPECT_EQ(Engine().currentProjectFile, dir_ / "shop.vlp");
    EXPECT_TRUE(Engine().ProjErr.empty());
    EXPECT_EQ(b->TblSeq(), 2);
    EXPECT_EQ(a->Fields()->Find(Variant("y"))->FldSeq(), 2);
    EXPECT_EQ(a->Fields()->Find(Variant("z"))->FldSeq(), 3);
    std::vector<std::string> messages;
    for (const AskedQuestion& q : prompter_->Asked()) {
        EXPECT_EQ(q.id, "sequence-repair");
        messages.push_back(q.message);
    }
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "Incorrect table sequence for table: b. Reorder from 1 to 2.",
                            "Incorrect field sequence for table: a / field: y. Reorder from 0 to 2.",
                            "Incorrect field sequence for table: a / field: z. Reorder from 1 to 3.",
                        }));
    XmlDocument doc;
    ASSERT_TRUE(doc.Load(dir_ / "shop.vlp"));
    XmlNode database = doc.DocumentElement().ChildNoCase("Database");
    EXPECT_EQ(database.ChildElements().size(), 2u);
    EXPECT_EQ(database.ChildNoCase("Table").ChildElements().size(), 3u);
}

TEST_F(WriterTest, FormattedFileIndentsWithoutChangingContent) {
    AddTable("orders", {"id", "note"});
    proj_->AddCustomScript("Server", "Global", "Page_Load", "", "", "", "a();\r\n\tb();");
    Language().SetProjectPhrase("en", "ProjName", "Shop");
    Language().SetProjectPhrase("de", "ProjName", "Laden");
    ASSERT_TRUE(SetRegValue("HKCU", SettingsSection("General"), "FormatProjectFile", 4, Variant(1)));
    std::string path = dir_ / "formatted.vlp";
    ASSERT_TRUE(Save(*proj_, path));
    std::string text = test::ReadFile(path);
    EXPECT_NE(text.find("\r\n\t<Database "), std::string::npos);
    EXPECT_NE(text.find("\r\n\t\t<Table "), std::string::npos);
    EXPECT_NE(text.find("\r\n\t\t\t<Field "), std::string::npos);
    EXPECT_NE(text.find("\r\n\t\t</Table>\r\n\t</Database>"), std::string::npos);
    EXPECT_NE(text.find("\r\n\t<ProjectPhrase "), std::string::npos);
    EXPECT_NE(text.find("<![CDATA[a();]]>&#13;<![CDATA[\n\tb();]]>"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\n</Project>\r\n"));

    // Only whitespace between elements differs from the plain document.
    auto strip = [](std::string s) {
        for (const char* sep : {"\r\n\t\t\t", "\r\n\t\t", "\r\n\t", "\r\n"}) s = ReplaceAll(s, sep, "");
        return s;
    };
    EXPECT_EQ(strip(text), strip(WriteProjectDocument(*proj_, {})));
}

TEST_F(WriterTest, BackupsAreNumberedAndCapped) {
    ASSERT_TRUE(SetRegValue("HKCU", SettingsSection("General"), "MaxProjectBackupCount", 4, Variant(3)));
    std::string path = dir_ / "shop.vlp";
    std::vector<std::string> saved;
    for (int i = 1; i <= 5; ++i) {
        proj_->SetProjName("Shop " + std::to_string(i));
        ASSERT_TRUE(Save(*proj_, path)) << Engine().ProjErr;
        saved.push_back(test::ReadFile(path));
    }
    auto backup = [&](int n) { return dir_ / ("backup/" + NumberedBackupName("shop.vlp", n)); };
    EXPECT_EQ(NumberedBackupName("shop", 2), "shop(2)");
    // Saves 2..5 each kept the file before them; only the newest three copies remain.
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(test::ReadFile(backup(n)), saved[n]) << n;
    EXPECT_FALSE(std::filesystem::exists(backup(4)));

    // A count below one means ten.
    ASSERT_TRUE(SetRegValue("HKCU", SettingsSection("General"), "MaxProjectBackupCount", 4, Variant(0)));
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(Save(*proj_, path));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "backup/shop(10).vlp"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "backup/shop(11).vlp"));
}

TEST_F(WriterTest, SaveBelowARegularFileFailsAndKeepsTheModelDirty) {
    test::WriteFile(dir_ / "plain.txt", "not a folder");
    AddTable("orders", {"id"});
    Engine().projectDirty = true;
    Engine().currentProjectFile = "previous.vlp";
    EXPECT_FALSE(Save(*proj_, dir_ / "plain.txt/shop.vlp"));
    EXPECT_NE(Engine().ProjErr.find("Save project file failed!"), std::string::npos);
    EXPECT_TRUE(proj_->IsDirty());
    EXPECT_EQ(Engine().currentProjectFile, "previous.vlp");
    EXPECT_EQ(test::ReadFile(dir_ / "plain.txt"), "not a folder");
}

TEST_F(WriterTest, ExportHandsTheTextOverInsteadOfWriting) {
    AddTable("orders", {"id"});
    Engine().projectDirty = true;
    std::string exported;
    ProjectWriteOptions options;
    options.exportText = [&](std::string_view text) {
        exported = text;
        return true;
    };
    std::string path = dir_ / "never.vlp";
    ASSERT_TRUE(WriteProjectFile(*proj_, path, options));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(exported, WriteProjectDocument(*proj_, {}));
    EXPECT_TRUE(proj_->IsDirty());
}

}  // namespace
}  // namespace velmora
