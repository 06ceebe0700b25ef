// Foreign keys as relations and lookups, and the SQLite column kinds a real schema brings:
// composite keys, keys naming no columns, self references, national text types, generated
// columns and the untyped expression columns of views.
#include <gtest/gtest.h>

#include "model/core/data_types.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "schema/foreign_keys.h"
#include "schema/schema_load.h"
#include "schema_test_support.h"

namespace velmora {
namespace {

using test::FieldOf;

class ForeignKeysTest : public testing::Test {
protected:
    void SetUp() override {
        MenuList().Clear();
        test::MakeSqliteDatabase(dir_ / "real.db", test::DataPath("schemas/foreign_keys.sql"));
        LoadDbArgs args;
        args.sDbType = "SQLITE";
        args.sPhyPath = dir_ / "real.db";
        ASSERT_TRUE(LoadDB(project_, args)) << project_.ProjErr();
        ASSERT_TRUE(LoadForeignKeys(project_)) << project_.ProjErr();
    }

    test::TempDir dir_;
    AGP project_;
};

TEST_F(ForeignKeysTest, LookupsShowTheTargetsUniqueOrNameLikeText) {
    struct Case {
        const char* table;
        const char* field;
        const char* lookupTable;  // "" for no lookup
        const char* key;
        const char* display;
    };
    const Case cases[] = {
        {"album", "label_id", "label", "id", "title"},  // a name-like column before a unique one
        {"album", "owner", "person", "id", "full_name"},
        {"album", "tag_id", "tagged", "id", "tag"},       // else a unique text column
        {"album", "bare_id", "bare", "id", "id"},         // else the key itself
        {"person", "boss", "person", "id", "full_name"},  // a table refers to itself
        {"track", "album_id", "album", "id", "title"},    // REFERENCES album: its primary key
        {"play", "album_id", "", "", ""},                 // part of a composite key
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.table) + "." + c.field);
        auto field = FieldOf(project_, c.table, c.field);
        ASSERT_TRUE(field);
        EXPECT_EQ(field->FldTagLnkTbl(), c.lookupTable);
        EXPECT_EQ(field->FldTagLnkFld(), c.key);
        EXPECT_EQ(field->FldTagLnkDisplay(), c.display);
        EXPECT_EQ(field->FldHtmlTag(), *c.lookupTable ? "SELECT" : "TEXT");
        EXPECT_EQ(field->FldGenerate(), *c.lookupTable != '\0');
    }
    EXPECT_EQ(FieldOf(project_, "album", "label_id")->FldCaption(), "Label");
}

TEST_F(ForeignKeysTest, RelationsPairTheKeysColumnsInOrder) {
    auto relations = project_.MasterDetails();
    EXPECT_FALSE(relations->MasterDetailExist("person", "person"));
    auto composite = relations->Item("track", "play");
    ASSERT_TRUE(composite);
    ASSERT_EQ(composite->FieldCount(), 2);
    EXPECT_EQ(composite->MasterField(1), "album_id");
    EXPECT_EQ(composite->DetailField(1), "album_id");
    EXPECT_EQ(composite->MasterField(2), "no");
    EXPECT_EQ(composite->DetailField(2), "track_no");
    EXPECT_EQ(relations->Count(), 6);
    auto play = project_.DB()->Tables()->Find(Variant("play"));
    EXPECT_TRUE(play && play->TblDetailView() && play->TblDetailShowCount());

    // A second run keeps what is there.
    FieldOf(project_, "album", "owner")->SetFldTagLnkDisplay("id");
    ASSERT_TRUE(LoadForeignKeys(project_));
    EXPECT_EQ(relations->Count(), 6);
    EXPECT_EQ(FieldOf(project_, "album", "owner")->FldTagLnkDisplay(), "id");
}

TEST_F(ForeignKeysTest, ColumnKindsOfARealSchema) {
    struct Case {
        const char* table;
        const char* field;
        std::int32_t type;
        bool add;
    };
    const Case cases[] = {
        {"label", "title", kAdVarWChar, true},   {"label", "code", kAdWChar, true},
        {"label", "bio", kAdLongVarWChar, true}, {"album", "slug", kAdLongVarChar, false},
        {"counts", "n", kAdBigInt, true},        {"counts", "mean", kAdDouble, true},
        {"counts", "shout", kAdVarChar, true},   {"counts", "blank", kAdVarChar, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.table) + "." + c.field);
        auto field = FieldOf(project_, c.table, c.field);
        ASSERT_TRUE(field);
        EXPECT_EQ(field->FldType(), c.type);
        EXPECT_TRUE(field->FldSupport());
        EXPECT_EQ(field->FldAdd(), c.add);
    }
    EXPECT_EQ(FieldOf(project_, "label", "title")->FldSize(), 40);
}

}  // namespace
}  // namespace velmora
