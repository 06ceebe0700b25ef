#include "model/entities/master_details.h"

#include <algorithm>

#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

std::string FieldAt(const std::vector<std::string>& fields, std::int16_t index) {
    if (index < 1 || static_cast<std::size_t>(index) > fields.size()) return {};
    return fields[static_cast<std::size_t>(index - 1)];
}

}  // namespace

std::string AGPMasterDetail::MasterField(std::int16_t index) const { return FieldAt(masterFields_, index); }

std::string AGPMasterDetail::DetailField(std::int16_t index) const { return FieldAt(detailFields_, index); }

std::ptrdiff_t AGPMasterDetail::FindPair(std::string_view masterField, std::string_view detailField) const {
    for (std::size_t i = 0; i < masterFields_.size(); ++i)
        if (EqualsNoCase(masterFields_[i], masterField) && EqualsNoCase(detailFields_[i], detailField))
            return static_cast<std::ptrdiff_t>(i);
    return -1;
}

bool AGPMasterDetail::AddRelation(std::string_view masterField, std::string_view detailField) {
    if (masterField.empty() || detailField.empty())
        return Fail(ProductMessage("Master field and detail field must not be empty."));
    if (FindPair(masterField, detailField) >= 0)
        return Fail(ProductMessage("Relation '" + std::string(masterField) + "' - '" + std::string(detailField) +
                                   "' already exists."));
    masterFields_.emplace_back(masterField);
    detailFields_.emplace_back(detailField);
    return true;
}

bool AGPMasterDetail::DeleteRelation(std::string_view masterField, std::string_view detailField) {
    std::ptrdiff_t position = FindPair(masterField, detailField);
    if (position < 0)
        return Fail(ProductMessage("Relation '" + std::string(masterField) + "' - '" + std::string(detailField) +
                                   "' does not exist."));
    masterFields_.erase(masterFields_.begin() + position);
    detailFields_.erase(detailFields_.begin() + position);
    if (currentField_ > FieldCount()) currentField_ = FieldCount();
    return true;
}

std::string MasterDetailKey(std::string_view masterTable, std::string_view detailTable) {
    return std::string(masterTable) + "__" + std::string(detailTable);
}

AGPMasterDetails::AGPMasterDetails() { items_.SetCompareMode(kTextCompare); }

std::shared_ptr<AGPMasterDetail> AGPMasterDetails::Find(std::string_view masterTable,
                                                         std::string_view detailTable) const {
    const Variant* item = items_.FindByKey(MasterDetailKey(masterTable, detailTable));
    return item ? item->ObjectAs<AGPMasterDetail>() : nullptr;
}

bool AGPMasterDetails::Add(std::string_view masterTable, std::string_view detailTable) {
    if (masterTable.empty() || detailTable.empty())
        return Fail(ProductMessage("Master table and detail table must not be empty."));
    std::string key = MasterDetailKey(masterTable, detailTable);
    if (Find(masterTable, detailTable))
        return Fail(ProductMessage("Master/detail relation '" + key + "' already exists."));
    auto relation = std::make_shared<AGPMasterDetail>();
    relation->SetMasterTable(std::string(masterTable));
    relation->SetDetailTable(std::string(detailTable));
    relation->SetSeq(static_cast<std::int16_t>(Count() + 1));
    try {
        items_.Add(Variant(relation), key);
    } catch (const CollectionError& error) {
        return Fail(error.Description());
    }
    CheckSequence();
    curMasterTable_ = relation->MasterTable();
    curDetailTable_ = relation->DetailTable();
    curSeq_ = relation->Seq();
    return true;
}

void AGPMasterDetails::CheckSequence() {
    std::vector<std::shared_ptr<AGPMasterDetail>> relations = Items();
    std::vector<bool> taken(relations.size() + 1, false);
    auto count = static_cast<std::int16_t>(relations.size());
    for (const auto& relation : relations) {
        std::int16_t seq = relation->Seq();
        if (seq < 1 || seq > count || taken[static_cast<std::size_t>(seq)]) {
            seq = static_cast<std::int16_t>(std::find(taken.begin() + 1, taken.end(), false) - taken.begin());
            relation->SetSeq(seq);
        }
        taken[static_cast<std::size_t>(seq)] = true;
    }
}

bool AGPMasterDetails::Delete(std::string_view masterTable, std::string_view detailTable) {
    std::shared_ptr<AGPMasterDetail> relation = Find(masterTable, detailTable);
    if (!relation)
        return Fail(ProductMessage("Master/detail relation '" + MasterDetailKey(masterTable, detailTable) +
                                   "' does not exist."));
    try {
        items_.Remove(Variant(MasterDetailKey(masterTable, detailTable)));
    } catch (const CollectionError& error) {
        return Fail(error.Description());
    }
    for (const auto& other : Items())
        if (other->Seq() > relation->Seq()) other->SetSeq(static_cast<std::int16_t>(other->Seq() - 1));
    CheckSequence();
    if (auto current = Find(curMasterTable_, curDetailTable_)) {
        curSeq_ = current->Seq();
    } else {
        curMasterTable_.clear();
        curDetailTable_.clear();
        curSeq_ = 0;
    }
    return true;
}

bool AGPMasterDetails::MasterDetailExist(std::string_view masterTable, std::string_view detailTable) const {
    return Find(masterTable, detailTable) != nullptr;
}

std::shared_ptr<AGPMasterDetail> AGPMasterDetails::Item(std::string_view masterTable, std::string_view detailTable) {
    std::shared_ptr<AGPMasterDetail> relation = Find(masterTable, detailTable);
    if (relation) {
        curMasterTable_ = relation->MasterTable();
        curDetailTable_ = relation->DetailTable();
        curSeq_ = relation->Seq();
    }
    return relation;
}

std::shared_ptr<AGPMasterDetail> AGPMasterDetails::Seq(std::int16_t index) const {
    for (const auto& relation : Items())
        if (relation->Seq() == index) return relation;
    return nullptr;
}

std::vector<std::shared_ptr<AGPMasterDetail>> AGPMasterDetails::Items() const {
    std::vector<std::shared_ptr<AGPMasterDetail>> relations;
    for (const Variant& item : items_.ItemsInOrder())
        if (auto relation = item.ObjectAs<AGPMasterDetail>()) relations.push_back(std::move(relation));
    return relations;
}

std::vector<std::shared_ptr<AGPMasterDetail>> AGPMasterDetails::ItemsBySeq() const {
    std::vector<std::shared_ptr<AGPMasterDetail>> relations = Items();
    std::stable_sort(relations.begin(), relations.end(),
                     [](const auto& a, const auto& b) { return a->Seq() < b->Seq(); });
    return relations;
}

void AGPMasterDetails::Clear() {
    items_.Clear();
    curMasterTable_.clear();
    curDetailTable_.clear();
    curSeq_ = 0;
}

}  // namespace velmora
