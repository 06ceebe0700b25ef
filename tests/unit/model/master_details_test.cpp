#include <gtest/gtest.h>

#include "model/project/agp.h"
#include "model/entities/master_details.h"
#include "support/engine_state.h"

namespace velmora {
namespace {

std::vector<std::int16_t> Seqs(const AGPMasterDetails& relations) {
    std::vector<std::int16_t> seqs;
    for (const auto& relation : relations.Items()) seqs.push_back(relation->Seq());
    return seqs;
}

class MasterDetailsTest : public testing::Test {
protected:
    void SetUp() override { Engine().ProjErr.clear(); }
    AGPMasterDetails relations;
};

TEST_F(MasterDetailsTest, AddKeysByMasterAndDetailAndRefusesARepeatedPair) {
    ASSERT_TRUE(relations.Add("orders", "details"));
    EXPECT_EQ(relations.curMasterTable(), "orders");
    EXPECT_EQ(relations.curDetailTable(), "details");
    EXPECT_EQ(relations.curSeq(), 1);

    EXPECT_FALSE(relations.Add("orders", "details"));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Master/detail relation 'orders__details' already exists.");
    EXPECT_FALSE(relations.Add("Orders", "DETAILS"));
    EXPECT_TRUE(relations.Add("details", "orders"));
    EXPECT_FALSE(relations.Add("", "orders"));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Master table and detail table must not be empty.");
    EXPECT_EQ(relations.Count(), 2);
    EXPECT_TRUE(relations.MasterDetailExist("ORDERS", "details"));
    EXPECT_EQ(relations.Item("orders", "details")->Seq(), 1);
    EXPECT_EQ(relations.Item("nothing", "details"), nullptr);
    EXPECT_EQ(relations.Seq(2)->MasterTable(), "details");
}

TEST_F(MasterDetailsTest, CheckSequenceGivesBadOrRepeatedNumbersTheLowestFreeOne) {
    relations.Add("a", "b");
    relations.Add("b", "c");
    relations.Add("c", "d");
    relations.Add("d", "e");
    auto items = relations.Items();
    items[0]->SetSeq(3);
    items[1]->SetSeq(3);
    items[2]->SetSeq(0);
    items[3]->SetSeq(9);
    relations.CheckSequence();
    EXPECT_EQ(Seqs(relations), (std::vector<std::int16_t>{3, 1, 2, 4}));

    // Deleting closes the gap, so a later Add does not repeat a number.
    ASSERT_TRUE(relations.Delete("b", "c"));
    EXPECT_EQ(Seqs(relations), (std::vector<std::int16_t>{2, 1, 3}));
    ASSERT_TRUE(relations.Add("x", "y"));
    EXPECT_EQ(relations.Item("x", "y")->Seq(), 4);
    EXPECT_FALSE(relations.Delete("b", "c"));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Master/detail relation 'b__c' does not exist.");
    ASSERT_EQ(relations.ItemsBySeq().size(), 4u);
    EXPECT_EQ(relations.ItemsBySeq()[0]->MasterTable(), "c");
}

TEST_F(MasterDetailsTest, FieldPairsAreAddedOnceAndRemovedWithTheLaterOnesMovingUp) {
    AGPMasterDetail relation;
    EXPECT_TRUE(relation.AddRelation("id", "order_id"));
    EXPECT_TRUE(relation.AddRelation("year", "order_year"));
    EXPECT_TRUE(relation.AddRelation("shop", "shop_id"));
    EXPECT_FALSE(relation.AddRelation("ID", "Order_ID"));
    EXPECT_FALSE(relation.AddRelation("", "x"));
    EXPECT_EQ(relation.FieldCount(), 3);

    relation.SetCurrentField(3);
    EXPECT_EQ(relation.CurrentMasterField(), "shop");
    EXPECT_TRUE(relation.DeleteRelation("year", "order_year"));
    EXPECT_FALSE(relation.DeleteRelation("year", "order_year"));
    EXPECT_EQ(relation.FieldCount(), 2);
    EXPECT_EQ(relation.MasterField(2), "shop");
    EXPECT_EQ(relation.DetailField(2), "shop_id");
    EXPECT_EQ(relation.MasterField(3), "");
    EXPECT_EQ(relation.CurrentDetailField(), "shop_id");  // cursor kept within the pairs
}

TEST_F(MasterDetailsTest, RootMembersNeedBothTablesAndFieldsAndAnExistingRelation) {
    AGP proj;
    EXPECT_FALSE(proj.AddMasterDetailRelation("orders", "lines", "id", "order_id"));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Master/detail relation 'orders__lines' does not exist.");
    ASSERT_TRUE(proj.AddMasterDetail("orders", "lines"));
    EXPECT_FALSE(proj.AddMasterDetail("orders", "lines"));
    EXPECT_FALSE(proj.AddMasterDetailRelation("orders", "lines", "id", ""));
    EXPECT_EQ(Engine().ProjErr, "Velmora: Master table, detail table and both fields must not be empty.");
    ASSERT_TRUE(proj.AddMasterDetailRelation("orders", "lines", "id", "order_id"));
    EXPECT_EQ(proj.MasterDetails()->Item("orders", "lines")->FieldCount(), 1);
    EXPECT_TRUE(proj.DeleteMasterDetailRelation("orders", "lines", "id", "order_id"));
    EXPECT_EQ(proj.MasterDetails()->Item("orders", "lines")->FieldCount(), 0);
    EXPECT_TRUE(proj.DeleteMasterDetail("orders", "lines"));
    EXPECT_EQ(proj.MasterDetails()->Count(), 0);

    // Each project has its own relations.
    AGP other;
    proj.AddMasterDetail("a", "b");
    EXPECT_EQ(other.MasterDetails()->Count(), 0);
}

}  // namespace
}  // namespace velmora
