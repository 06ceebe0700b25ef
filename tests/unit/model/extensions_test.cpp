#include <gtest/gtest.h>

#include "model/entities/database.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "model/project/agp.h"
#include "model/extensions/ext_definition.h"
#include "model/extensions/extensions.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "test_support.h"

namespace velmora {
namespace {

class ExtensionsTest : public testing::Test {
protected:
    void SetUp() override {
        test::ResetSettingsStores();
        Extensions().Clear();
        proj.AddMainDatabase("main");
        AddTable("orders", "TABLE", {{"id", 3}, {"note", 202}});
        AddTable("v_sales", "VIEW", {{"total", 3}});
        ASSERT_TRUE(proj.DB()->Tables()->Add("not_loaded"));
        SetSource(kExtSourceFolder, dir / "ext1");
        SetSource(kExtSourceFolder2, dir / "ext2");
        SetSource(kExtViewTagsFolder, dir / "tags");
        // The audit definition: settings on every level, each level with its condition.
        test::WriteFile(dir / "ext1/audit.xml", test::ReadData("extensions/audit.xml"));
        Engine().ProjErr.clear();
    }
    void TearDown() override { Extensions().Clear(); }
    // A loaded table of the project's database with fields of the given type codes.
    void AddTable(const std::string& name, const std::string& type,
                  std::initializer_list<std::pair<const char*, std::int16_t>> fields) {
        ASSERT_TRUE(proj.DB()->Tables()->Add(name));
        auto table = proj.DB()->Tables()->Find(Variant(name));
        table->SetTblType(type);
        table->SetTblLoaded(true);
        for (auto [field, fldType] : fields) {
            ASSERT_TRUE(table->Fields()->Add(name, field));
            table->Fields()->Find(Variant(field))->SetFldType(fldType);
        }
    }
    static void SetSource(std::string_view name, const std::string& folder) {
        ASSERT_TRUE(SetRegValue("HKCU", ExtensionsSection(), name, kRegText, Variant(folder)));
    }
    std::shared_ptr<AGPExtension> Ext(std::string_view name) { return Extensions().Find(name); }

    test::TempDir dir;
    AGP proj;
};

TEST_F(ExtensionsTest, AligningAddsWhatNewTablesLackAndKeepsEverySetValue) {
    ASSERT_TRUE(proj.AddExtension("audit", "", "audit.xml"));
    ASSERT_TRUE(proj.AddExtension("off", "", "audit.xml"));
    ASSERT_TRUE(proj.SetExtFldAtt("audit", "orders", "id", "Width", Variant(std::int32_t{99})));
    Ext("off")->SetEnabled(false);
    AddTable("items", "TABLE", {{"id", 3}});
    proj.AlignExtensions();
    EXPECT_EQ(proj.GetExtFldAtt("audit", "orders", "id", "Width"), Variant(std::int32_t{99}));
    EXPECT_EQ(proj.GetExtFldAtt("audit", "items", "id", "Width"), Variant(std::int32_t{12}));
    EXPECT_EQ(proj.GetExtTblAtt("audit", "items", "Track"), Variant(true));
    EXPECT_FALSE(Ext("off")->PROJ()->DB()->Find("main")->Tables()->Find("items"));
}

TEST_F(ExtensionsTest, AddExtensionReadsTheDefinitionLevelByLevel) {
    ASSERT_TRUE(proj.AddExtension("audit", "given.zip", "audit.xml"));
    EXPECT_EQ(proj.ProjErr(), "");
    auto ext = Ext("audit");
    ASSERT_TRUE(ext);
    EXPECT_EQ(ext->Template(), "audit.zip");
    EXPECT_EQ(ext->Folder(), dir / "ext1");
    EXPECT_FALSE(ext->IsViewTemplate());
    ASSERT_TRUE(ext->IsExtended());

    auto projBag = ext->PROJ()->Properties();
    ASSERT_EQ(projBag->Count(), 4);
    EXPECT_EQ(projBag->Find("Enabled")->DataType(), "Boolean");
    EXPECT_EQ(projBag->Find("Enabled")->Value(), Variant(true));
    EXPECT_EQ(projBag->Find("MaxRows")->Value(), Variant(std::int16_t{50}));
    EXPECT_EQ(projBag->Find("Title")->DataType(), "String");
    EXPECT_EQ(projBag->Find("Title")->Value(), Variant("Audit"));
    EXPECT_TRUE(projBag->Find("Note")->Value().IsEmpty());

    ASSERT_EQ(ext->PROJ()->DBCnt(), 1);
    auto db = ext->PROJ()->DB()->Find("main");
    ASSERT_TRUE(db);
    EXPECT_EQ(db->Properties()->Find("LogTable")->Value(), Variant("audit_log"));
    // Table settings only where the table condition holds; fields by their own condition.
    auto tables = db->Tables()->Items();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0]->TblName(), "orders");
    EXPECT_EQ(tables[0]->Properties()->Find("Track")->Value(), Variant(true));
    EXPECT_EQ(tables[0]->Fields()->Count(), 1);
    EXPECT_EQ(tables[0]->Fields()->Find("id")->Properties()->Find("Width")->Value(), Variant(std::int32_t{12}));
    // The view has no table settings but its integer field qualifies.
    EXPECT_EQ(tables[1]->TblName(), "v_sales");
    EXPECT_EQ(tables[1]->TblSeq(), 2);
    EXPECT_EQ(tables[1]->Properties()->Count(), 0);
    EXPECT_TRUE(tables[1]->Fields()->FieldExist(Variant("total")));
}

TEST_F(ExtensionsTest, ConditionsOfUpperLevelsUseTheProject) {
    proj.SetSecType("Static");
    ASSERT_TRUE(proj.AddExtension("audit", "", "audit.xml"));
    auto ext = Ext("audit");
    EXPECT_EQ(ext->PROJ()->Properties()->Count(), 0);
    // Lower levels carry their own conditions.
    EXPECT_EQ(ext->PROJ()->DB()->Item(Variant(1))->Properties()->Count(), 1);
}

TEST_F(ExtensionsTest, WithoutADatabaseOnlyProjectSettingsAreMade) {
    AGP bare;
    ASSERT_TRUE(bare.AddExtension("audit", "", "audit.xml"));
    EXPECT_EQ(Ext("audit")->PROJ()->Properties()->Count(), 4);
    EXPECT_EQ(Ext("audit")->PROJ()->DBCnt(), 0);
    EXPECT_FALSE(bare.SetExtDbAtt("audit", "LogTable", Variant("x")));
    EXPECT_EQ(bare.ProjErr(), "Velmora: Extension 'audit' has no settings for the database.");
}

TEST_F(ExtensionsTest, FolderLookupAndDefinitionsThatDoNotLoad) {
    // Only the second folder holds it, in another letter case.
    test::WriteFile(dir / "ext2/Second.XML", "<x><Project><attribute name='A'/></Project></x>");
    ASSERT_TRUE(proj.AddExtension("second", "second.zip", "second.xml"));
    EXPECT_EQ(Ext("second")->Folder(), dir / "ext2");
    EXPECT_EQ(Ext("second")->Template(), "second.zip");  // no file node: the given name stays
    EXPECT_TRUE(Ext("second")->PROJ()->Properties()->PropertyExist(Variant("A")));

    EXPECT_TRUE(proj.AddExtension("missing", "m.zip", "m.xml"));
    EXPECT_EQ(Ext("missing")->Folder(), "");
    EXPECT_FALSE(Ext("missing")->IsExtended());
    EXPECT_NE(proj.ProjErr().find("'m.xml' of extension 'missing' not found"), std::string::npos);

    Engine().ProjErr.clear();
    test::WriteFile(dir / "ext1/broken.xml", "<x><Project>");
    EXPECT_TRUE(proj.AddExtension("broken", "", "broken.xml"));
    EXPECT_TRUE(Ext("broken")->Enabled());
    EXPECT_FALSE(Ext("broken")->IsExtended());
    EXPECT_NE(proj.ProjErr().find("Unable to load definition file"), std::string::npos);

    // An extension without definition file is found by its package.
    test::WriteFile(dir / "ext1/plain.zip", "");
    EXPECT_TRUE(proj.AddExtension("plain", "plain.zip", ""));
    EXPECT_EQ(Ext("plain")->Folder(), dir / "ext1");

    EXPECT_FALSE(proj.AddExtension("Plain", "", ""));  // names ignore case
    EXPECT_FALSE(proj.AddExtension("  ", "", ""));
    EXPECT_EQ(Extensions().Count(), 4);
}

TEST_F(ExtensionsTest, FoldersFallBackOnTheGeneralSection) {
    ASSERT_TRUE(CurrentUserStore().DeleteValue(ExtensionsSection(), kExtViewTagsFolder));
    ASSERT_TRUE(SetRegValue("HKCU", SettingsSection("General"), kExtViewTagsFolder, kRegText,
                            Variant(dir / "general")));
    test::WriteFile(dir / "general/barcode.xml", "<x/>");
    ASSERT_TRUE(proj.AddViewTemplateExtension("barcode", "barcode.zip", "barcode.xml"));
    auto ext = Ext("barcode");
    EXPECT_EQ(ext->Folder(), dir / "general");
    EXPECT_TRUE(ext->IsViewTemplate());
    EXPECT_TRUE(ext->Enabled());
    EXPECT_FALSE(ext->IsExtended());  // no Project node
}

TEST_F(ExtensionsTest, SettingsAreReadAndWrittenByTypeAndUnknownNamesFail) {
    ASSERT_TRUE(proj.AddExtension("audit", "", "audit.xml"));

    EXPECT_TRUE(proj.SetExtProjAtt("audit", "maxrows", Variant("75")));
    EXPECT_EQ(proj.GetExtProjAtt("audit", "MaxRows"), Variant(std::int16_t{75}));
    EXPECT_TRUE(proj.SetExtDbAtt("audit", "LogTable", Variant("log2")));
    EXPECT_EQ(proj.GetExtDbAtt("audit", "LogTable"), Variant("log2"));
    EXPECT_TRUE(proj.SetExtTblAtt("audit", "orders", "Track", Variant("0")));
    EXPECT_EQ(proj.GetExtTblAtt("audit", "orders", "Track"), Variant(false));

    EXPECT_FALSE(proj.SetExtProjAtt("audit", "NoSuch", Variant("1")));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Extension 'audit' has no setting 'NoSuch'.");
    EXPECT_FALSE(Ext("audit")->PROJ()->Properties()->PropertyExist(Variant("NoSuch")));
    EXPECT_FALSE(proj.SetExtProjAtt("nosuch", "MaxRows", Variant("1")));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Extension 'nosuch' does not exist.");
    EXPECT_FALSE(proj.SetExtTblAtt("audit", "customers", "Track", Variant("1")));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Extension 'audit' has no settings for table 'customers'.");
    EXPECT_FALSE(proj.SetExtFldAtt("audit", "orders", "note", "Mask", Variant("1")));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Extension 'audit' has no settings for field 'note' of table 'orders'.");

    Engine().ProjErr.clear();
    EXPECT_TRUE(proj.GetExtProjAtt("audit", "NoSuch").IsEmpty());
    EXPECT_EQ(proj.ProjErr(), "Velmora: Extension 'audit' has no setting 'NoSuch'.");
    EXPECT_TRUE(proj.GetExtFldAtt("audit", "v_sales", "total", "Nope").IsEmpty());
    EXPECT_TRUE(proj.GetExtTblAtt("gone", "orders", "Track").IsEmpty());
    EXPECT_TRUE(proj.GetExtDbAtt("gone", "LogTable").IsEmpty());
}

TEST_F(ExtensionsTest, AddExtendedFieldChecksTheFieldAndItsCondition) {
    ASSERT_TRUE(proj.AddExtension("audit", "", "audit.xml"));
    ExtDefinition def;
    ASSERT_TRUE(def.Load(dir / "ext1/audit.xml"));
    XmlNode fieldNode = def.Node(ExtLevel::Field);

    EXPECT_FALSE(proj.AddExtendedField("audit", "orders", "note", fieldNode));  // FldType 202
    EXPECT_EQ(proj.ProjErr(), "");
    EXPECT_EQ(proj.DB()->Tables()->curName(), "orders");
    EXPECT_EQ(proj.DB()->Tables()->Find(Variant("orders"))->Fields()->curName(), "note");

    EXPECT_FALSE(proj.AddExtendedField("audit", "customers", "id", fieldNode));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Table 'customers' does not exist.");
    EXPECT_FALSE(proj.AddExtendedField("audit", "orders", "nosuch", fieldNode));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Field 'nosuch' of table 'orders' does not exist.");
    EXPECT_FALSE(proj.AddExtendedField("gone", "orders", "id", fieldNode));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Extension 'gone' does not exist.");

    // A field that has settings keeps their values and gains the missing ones.
    auto bag = Ext("audit")->PROJ()->DB()->Find("main")->Tables()->Find("orders")->Fields()->Find("id")->Properties();
    bag->Find("Mask")->SetValue(Variant("kept"));
    bag->Delete(Variant("Width"));
    EXPECT_TRUE(proj.AddExtendedField("audit", "orders", "id", fieldNode));
    EXPECT_EQ(bag->Find("Mask")->Value(), Variant("kept"));
    EXPECT_EQ(bag->Find("Width")->Value(), Variant(std::int32_t{12}));

    // Once FldType changes, the condition holds for the other field as well.
    proj.DB()->Tables()->Find(Variant("orders"))->Fields()->Find(Variant("note"))->SetFldType(3);
    EXPECT_TRUE(proj.AddExtendedField("audit", "orders", "note", fieldNode));
    auto second = Ext("audit")->PROJ()->DB()->Find("main")->Tables()->Find("orders")->Fields()->Seq(2);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->FldName(), "note");
}

TEST_F(ExtensionsTest, GetExtDefaultReadsTheDefinitionFile) {
    ASSERT_TRUE(proj.AddExtension("audit", "", "audit.xml"));
    EXPECT_EQ(proj.GetExtDefault("audit", "project", "MaxRows"), Variant(std::int16_t{50}));
    EXPECT_EQ(proj.GetExtDefault("audit", "Field", "Width"), Variant(std::int32_t{12}));
    EXPECT_EQ(proj.GetExtDefault("audit", "chart", "Color"), Variant("red"));
    EXPECT_EQ(proj.GetExtDefault("audit", "whatever", "Title"), Variant("Audit"));  // the project node
    EXPECT_TRUE(proj.GetExtDefault("audit", "table", "Title").IsEmpty());
    EXPECT_TRUE(proj.GetExtDefault("nosuch", "project", "Title").IsEmpty());
    // The file is read at each call.
    test::WriteFile(dir / "ext1/audit.xml", "<x><Project><attribute name='Title' default='New'/></Project></x>");
    EXPECT_EQ(proj.GetExtDefault("audit", "project", "Title"), Variant("New"));
    test::WriteFile(dir / "ext1/audit.xml", "not xml");
    EXPECT_TRUE(proj.GetExtDefault("audit", "project", "Title").IsEmpty());
}

TEST_F(ExtensionsTest, DeleteExtensionKeepsSequenceNumbersContiguous) {
    for (const char* name : {"a", "b", "c"}) ASSERT_TRUE(proj.AddExtension(name, "", ""));
    AGPExtensions& list = *proj.Extensions();
    EXPECT_EQ(list.curName(), "c");
    EXPECT_EQ(list.curSeq(), 3);
    EXPECT_TRUE(proj.DeleteExtension("B"));
    EXPECT_EQ(list.Count(), 2);
    ASSERT_TRUE(list.Seq(2));
    EXPECT_EQ(list.Seq(2)->Name(), "c");
    EXPECT_FALSE(list.Change("a", "C"));
    EXPECT_TRUE(list.Change("a", "z"));
    EXPECT_EQ(list.curName(), "z");
    EXPECT_TRUE(list.Change("z", "a"));
    EXPECT_FALSE(list.Item(Variant(true)));
    EXPECT_EQ(list.Item(Variant(2))->Seq(), 2);
    EXPECT_FALSE(proj.DeleteExtension("b"));
    EXPECT_EQ(proj.ProjErr(), "Velmora: Extension 'b' does not exist.");
    EXPECT_TRUE(proj.DeleteExtension("c"));
    EXPECT_EQ(list.curName(), "");
    EXPECT_TRUE(list.ExtensionExist(Variant("A")));
}

}  // namespace
}  // namespace velmora
