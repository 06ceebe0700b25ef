// Master/detail relations between tables: which detail table belongs to which master table,
// through which pairs of fields.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/core/super_collection.h"
#include "support/variant.h"

namespace velmora {

class AGPMasterDetail : public AutomationObject {
public:
    std::int16_t Seq() const { return seq_; }
    void SetSeq(std::int16_t seq) { seq_ = seq; }
    const std::string& MasterTable() const { return masterTable_; }
    void SetMasterTable(std::string name) { masterTable_ = std::move(name); }
    const std::string& DetailTable() const { return detailTable_; }
    void SetDetailTable(std::string name) { detailTable_ = std::move(name); }
    bool EnforceReferentialIntegrity() const { return enforceReferentialIntegrity_; }
    void SetEnforceReferentialIntegrity(bool value) { enforceReferentialIntegrity_ = value; }
    bool CascadeUpdate() const { return cascadeUpdate_; }
    void SetCascadeUpdate(bool value) { cascadeUpdate_ = value; }
    bool CascadeDelete() const { return cascadeDelete_; }
    void SetCascadeDelete(bool value) { cascadeDelete_ = value; }

    // The field pairs, addressed from 1; "" outside 1..FieldCount.
    std::int16_t FieldCount() const { return static_cast<std::int16_t>(masterFields_.size()); }
    std::string MasterField(std::int16_t index) const;
    std::string DetailField(std::int16_t index) const;
    // A cursor over the field pairs.
    std::int16_t CurrentField() const { return currentField_; }
    void SetCurrentField(std::int16_t index) { currentField_ = index; }
    std::string CurrentMasterField() const { return MasterField(currentField_); }
    std::string CurrentDetailField() const { return DetailField(currentField_); }

    // Field names are compared without regard to case. False for an empty name, a pair already
    // held (AddRelation) or one not held (DeleteRelation).
    bool AddRelation(std::string_view masterField, std::string_view detailField);
    bool DeleteRelation(std::string_view masterField, std::string_view detailField);

private:
    std::ptrdiff_t FindPair(std::string_view masterField, std::string_view detailField) const;

    std::int16_t seq_ = 0;
    std::string masterTable_;
    std::string detailTable_;
    bool enforceReferentialIntegrity_ = false;
    bool cascadeUpdate_ = false;
    bool cascadeDelete_ = false;
    std::vector<std::string> masterFields_;
    std::vector<std::string> detailFields_;
    std::int16_t currentField_ = 0;
};

// "orders__details"
std::string MasterDetailKey(std::string_view masterTable, std::string_view detailTable);

// The relations of a project, keyed by MasterDetailKey without regard to case and numbered by
// Seq from 1 to Count.
class AGPMasterDetails : public AutomationObject {
public:
    AGPMasterDetails();

    // The relation last added or looked up.
    const std::string& curMasterTable() const { return curMasterTable_; }
    const std::string& curDetailTable() const { return curDetailTable_; }
    std::int16_t curSeq() const { return curSeq_; }

    bool Add(std::string_view masterTable, std::string_view detailTable);
    std::int32_t Count() const { return items_.Count(); }
    // Gives every relation whose Seq is out of 1..Count or taken by an earlier relation the
    // lowest free number.
    void CheckSequence();
    // Removes the relation; the later ones move down one number.
    bool Delete(std::string_view masterTable, std::string_view detailTable);
    bool MasterDetailExist(std::string_view masterTable, std::string_view detailTable) const;
    // The relation, or nullptr; a found relation becomes the current one.
    std::shared_ptr<AGPMasterDetail> Item(std::string_view masterTable, std::string_view detailTable);
    // The relation numbered `index`, or nullptr.
    std::shared_ptr<AGPMasterDetail> Seq(std::int16_t index) const;
    std::shared_ptr<cEnumerationObject> NewEnum_md() const { return items_.NewEnum(); }
    // The relations in collection order, and sorted by Seq.
    std::vector<std::shared_ptr<AGPMasterDetail>> Items() const;
    std::vector<std::shared_ptr<AGPMasterDetail>> ItemsBySeq() const;
    void Clear();

private:
    std::shared_ptr<AGPMasterDetail> Find(std::string_view masterTable, std::string_view detailTable) const;

    CSuperCollection items_;
    std::string curMasterTable_;
    std::string curDetailTable_;
    std::int16_t curSeq_ = 0;
};

}  // namespace velmora
