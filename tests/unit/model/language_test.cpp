#include <gtest/gtest.h>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/fields.h"
#include "model/project/language.h"
#include "model/project/menus.h"
#include "model/entities/tables.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "test_support.h"

namespace velmora {
namespace {

class LanguageTest : public testing::Test {
protected:
    void SetUp() override { Engine().ProjErr.clear(); }
    AGPLanguage language;
    test::TempDir dir;
};

TEST_F(LanguageTest, SetReplacesTheRecordOfEqualKeysAndGetComparesExactly) {
    language.SetTablePhrase("en", "orders", "TblCaption", "Orders");
    language.SetTablePhrase("en", "orders", "TblCaption", "Purchases");
    language.SetTablePhrase("de", "orders", "TblCaption", "Bestellungen");
    EXPECT_EQ(language.TableCount(), 2);
    EXPECT_EQ(language.GetTablePhrase("en", "orders", "TblCaption"), "Purchases");
    EXPECT_EQ(language.GetTablePhrase("EN", "orders", "TblCaption"), "");
    EXPECT_EQ(language.TableItem(2)->Phrase, "Bestellungen");
    EXPECT_FALSE(language.TableItem(3));
    EXPECT_FALSE(language.TableItem(0));

    language.SetProjectPhrase("en", "ProjName", "Shop");
    language.SetMenuPhrase("en", "3", "MenuText", "Home");
    language.SetFieldPhrase("en", "orders", "id", "FldCaption", "Number");
    EXPECT_EQ(language.GetProjectPhrase("en", "ProjName"), "Shop");
    EXPECT_EQ(language.GetMenuPhrase("en", "3", "MenuText"), "Home");
    EXPECT_EQ(language.GetFieldPhrase("en", "orders", "id", "FldCaption"), "Number");
    EXPECT_EQ(language.GetFieldPhrase("en", "orders", "ID", "FldCaption"), "");
}

TEST_F(LanguageTest, HasAndResetLookAtTheAttributeInEveryLanguageAndObject) {
    language.SetFieldPhrase("en", "orders", "id", "FldCaption", "Id");
    language.SetFieldPhrase("de", "lines", "qty", "FldCaption", "Menge");
    language.SetFieldPhrase("de", "lines", "qty", "FldTitle", "Menge der Zeile");
    EXPECT_TRUE(language.HasFieldPhrase("FldCaption"));
    EXPECT_FALSE(language.HasFieldPhrase("fldcaption"));
    language.ResetFieldPhrase("FldCaption");
    EXPECT_FALSE(language.HasFieldPhrase("FldCaption"));
    ASSERT_EQ(language.FieldCount(), 1);
    EXPECT_EQ(language.FieldItem(1)->FieldAttribute, "FldTitle");

    language.SetProjectPhrase("en", "BodyTitle", "Shop");
    language.SetMenuPhrase("de", "1", "MenuText", "Start");
    EXPECT_TRUE(language.HasProjectPhrase("BodyTitle"));
    EXPECT_TRUE(language.HasMenuPhrase("MenuText"));
    language.ResetProjectPhrase("BodyTitle");
    language.ResetMenuPhrase("MenuText");
    EXPECT_EQ(language.ProjectCount(), 0);
    EXPECT_EQ(language.MenuCount(), 0);
}

TEST_F(LanguageTest, DeleteAndRenameFollowTheirObjects) {
    language.SetTablePhrase("en", "orders", "TblCaption", "Orders");
    language.SetFieldPhrase("en", "orders", "id", "FldCaption", "Id");
    language.SetFieldPhrase("en", "orders", "qty", "FldCaption", "Qty");
    language.SetFieldPhrase("en", "lines", "id", "FldCaption", "Line");
    language.RenameTable("orders", "purchases");
    EXPECT_EQ(language.GetTablePhrase("en", "purchases", "TblCaption"), "Orders");
    EXPECT_EQ(language.GetFieldPhrase("en", "purchases", "qty", "FldCaption"), "Qty");

    language.RenameField("purchases", "id", "number");
    EXPECT_EQ(language.GetFieldPhrase("en", "purchases", "number", "FldCaption"), "Id");
    EXPECT_EQ(language.GetFieldPhrase("en", "lines", "id", "FldCaption"), "Line");

    language.DeleteFieldPhrase("purchases", "number");
    EXPECT_EQ(language.FieldCount(), 2);
    language.DeleteTablePhrase("purchases");
    EXPECT_EQ(language.TableCount(), 0);
    EXPECT_EQ(language.FieldCount(), 2);  // field phrases are the fields' own
    language.DeleteTableFieldPhrases("purchases");
    EXPECT_EQ(language.FieldCount(), 1);
}

TEST_F(LanguageTest, RestoreCheckPointPutsBackTheSavedLists) {
    language.RestoreCheckPoint();  // nothing saved yet: no change
    language.SetTablePhrase("en", "orders", "TblCaption", "Orders");
    language.SaveCheckPoint();
    language.SetTablePhrase("en", "orders", "TblCaption", "Changed");
    language.SetProjectPhrase("en", "ProjName", "Shop");
    language.DeleteTablePhrase("orders");
    language.RestoreCheckPoint();
    EXPECT_EQ(language.GetTablePhrase("en", "orders", "TblCaption"), "Orders");
    EXPECT_EQ(language.ProjectCount(), 0);
    // The checkpoint stays for a second restore.
    language.ClearTranslations();
    language.RestoreCheckPoint();
    EXPECT_EQ(language.TableCount(), 1);
}

TEST_F(LanguageTest, LanguageFilesAddPhrasesFoundAnywhereUnderTheRoot) {
    ASSERT_TRUE(language.Load(test::DataPath("language/english.xml")));
    EXPECT_EQ(language.Count(), 3);
    EXPECT_EQ(language.Phrase("ADDLINK"), "Add");
    EXPECT_EQ(language.Phrase("tblcaption"), "Orders");
    EXPECT_EQ(language.Phrase("missing"), "");
    EXPECT_EQ(language.LanguageFileVersion(), "12.0.0");
    EXPECT_EQ(language.GetFileId("ENGLISH.xml"), "en");
    EXPECT_EQ(language.GetFileDesc("english.xml"), "English");

    ASSERT_TRUE(language.LoadExtension(test::DataPath("language/ext/english.xml")));
    EXPECT_EQ(language.Count(), 4);
    EXPECT_EQ(language.Phrase("AddLink"), "Add new");
    EXPECT_EQ(language.LanguageFileVersion(), "12.0.0");
    EXPECT_EQ(language.Files().size(), 2u);

    EXPECT_FALSE(language.AddPhrase("EXPORT", "x"));
    EXPECT_TRUE(language.AddPhrase("Import", "Import"));
    EXPECT_TRUE(language.ReplacePhrase("import", "Import data"));
    EXPECT_FALSE(language.ReplacePhrase("unknown", "x"));
    EXPECT_EQ(language.Phrase("IMPORT"), "Import data");

    EXPECT_FALSE(language.Load(dir / "missing.xml"));
    EXPECT_EQ(Engine().ProjErr, "Load language file failed!");
    EXPECT_EQ(language.Count(), 5);

    language.ResetFiles();
    EXPECT_EQ(language.GetFileId("english.xml"), "");
    EXPECT_EQ(language.Count(), 5);
    language.InitSettings();
    EXPECT_EQ(language.Count(), 0);
    EXPECT_EQ(language.LanguageFileVersion(), "");
    EXPECT_EQ(language.Phrase("AddLink"), "");
}

class PhraseFileTest : public testing::Test {
protected:
    void SetUp() override {
        test::ResetSettingsStores();
        Engine().ProjErr.clear();
        Language().ClearTranslations();
        MenuList().Clear();
    }
    test::TempDir dir;
};

TEST_F(PhraseFileTest, SaveWritesOnlyNonEmptyPhrasesOfExistingObjects) {
    AGP proj;
    auto db = proj.AddMainDatabase("shop.db");
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->Tables()->Add("orders"));
    ASSERT_TRUE(db->Tables()->Item(Variant("orders"))->Fields()->Add("orders", "id"));
    MenuValues menu;
    menu.MenuId = 3;
    MenuList().AddMenu(menu);

    AGPLanguage& language = Language();
    language.SetProjectPhrase("en", "ProjName", "Shop & Co");
    language.SetProjectPhrase("en", "BodyTitle", "");
    language.SetMenuPhrase("en", "3", "MenuText", "Home");
    language.SetMenuPhrase("en", "4", "MenuText", "Gone");
    language.SetMenuPhrase("en", "x", "MenuText", "Not a number");
    language.SetTablePhrase("en", "orders", "TblCaption", "Orders");
    language.SetTablePhrase("en", "lines", "TblCaption", "Lines");
    language.SetFieldPhrase("en", "orders", "id", "FldCaption", "Id");
    language.SetFieldPhrase("en", "orders", "qty", "FldCaption", "Qty");

    std::string file = dir / "phrases.xml";
    ASSERT_TRUE(proj.SaveLanguagePhrasesToFile(file));
    EXPECT_EQ(test::ReadFile(file), test::ReadData("language/saved_phrases.xml"));

    // Read back, the file replaces the phrases held for the same keys and adds the others.
    language.ClearTranslations();
    language.SetTablePhrase("en", "orders", "TblCaption", "Old");
    language.SetTablePhrase("de", "orders", "TblCaption", "Bestellungen");
    ASSERT_TRUE(proj.LoadLanguagePhrasesFromFile(file));
    EXPECT_EQ(language.GetTablePhrase("en", "orders", "TblCaption"), "Orders");
    EXPECT_EQ(language.GetTablePhrase("de", "orders", "TblCaption"), "Bestellungen");
    EXPECT_EQ(language.GetProjectPhrase("en", "ProjName"), "Shop & Co");
    EXPECT_EQ(language.GetFieldPhrase("en", "orders", "id", "FldCaption"), "Id");
    EXPECT_EQ(language.GetMenuPhrase("en", "3", "MenuText"), "Home");
}

TEST_F(PhraseFileTest, LoadRefusesMissingMalformedAndForeignFiles) {
    AGP proj;
    EXPECT_FALSE(proj.LoadLanguagePhrasesFromFile(dir / "missing.xml"));
    EXPECT_EQ(Engine().ProjErr, "load file failed");

    test::WriteFile(dir / "broken.xml", "<LanguagePhrases><TablePhrase");
    EXPECT_FALSE(proj.LoadLanguagePhrasesFromFile(dir / "broken.xml"));
    EXPECT_EQ(Engine().ProjErr.rfind("parse error: ", 0), 0u) << Engine().ProjErr;
    EXPECT_GT(Engine().ProjErr.size(), std::string("parse error: ").size());

    test::WriteFile(dir / "lower.xml",
                    "<languagephrases><TablePhrase LanguageId=\"en\" TableName=\"t\" TableAttribute=\"a\" "
                    "Phrase=\"p\"/></languagephrases>");
    EXPECT_FALSE(proj.LoadLanguagePhrasesFromFile(dir / "lower.xml"));
    EXPECT_EQ(Engine().ProjErr, "incorrect file format");
    EXPECT_EQ(Language().TableCount(), 0);

    // Element names are matched without regard to case; other elements are passed over.
    test::WriteFile(dir / "mixed.xml",
                    "<LanguagePhrases><tablephrase LanguageId=\"en\" TableName=\"t\" TableAttribute=\"a\" "
                    "Phrase=\"p\"/><Other/></LanguagePhrases>");
    ASSERT_TRUE(proj.LoadLanguagePhrasesFromFile(dir / "mixed.xml"));
    EXPECT_EQ(Language().GetTablePhrase("en", "t", "a"), "p");
}

// A formatted file puts each element on an indented line; without a database no table or field
// phrase is written.
TEST_F(PhraseFileTest, FormattedFileWithoutADatabase) {
    AGP proj;
    ASSERT_TRUE(SetRegValue("HKCU", SettingsSection("General"), "FormatProjectFile", kRegNumber, Variant(1)));
    Language().SetProjectPhrase("en", "ProjName", "Shop");
    Language().SetTablePhrase("en", "orders", "TblCaption", "Orders");
    Language().SetFieldPhrase("en", "orders", "id", "FldCaption", "Id");
    std::string file = dir / "phrases.xml";
    ASSERT_TRUE(proj.SaveLanguagePhrasesToFile(file));
    std::string text = test::ReadFile(file);
    EXPECT_NE(text.find("\n\t<ProjectPhrase"), std::string::npos) << text;
    EXPECT_EQ(text.find("<TablePhrase"), std::string::npos) << text;
    EXPECT_EQ(text.find("<FieldPhrase"), std::string::npos) << text;
    ASSERT_TRUE(proj.LoadLanguagePhrasesFromFile(file));
    EXPECT_EQ(Language().ProjectCount(), 1);
}

}  // namespace
}  // namespace velmora
