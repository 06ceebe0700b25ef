#include "persistence/sequence_repair.h"

#include <cstdint>
#include <string>
#include <vector>

#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/entities/fields.h"
#include "model/entities/tables.h"
#include "platform/prompter.h"
#include "support/engine_state.h"

namespace velmora {
namespace {

// The slots 1..count; Claim gives an item its own number when that is free, else the lowest
// free one.
class SlotList {
public:
    explicit SlotList(std::size_t count) : taken_(count + 1, false) {}

    std::int16_t Claim(std::int32_t wanted) {
        std::size_t count = taken_.size() - 1;
        if (wanted >= 1 && static_cast<std::size_t>(wanted) <= count && !taken_[wanted]) {
            taken_[wanted] = true;
            return static_cast<std::int16_t>(wanted);
        }
        while (lowestFree_ <= count && taken_[lowestFree_]) ++lowestFree_;
        taken_[lowestFree_] = true;
        return static_cast<std::int16_t>(lowestFree_);
    }

private:
    std::vector<bool> taken_;
    std::size_t lowestFree_ = 1;
};

void TellRepair(std::string message) {
    Question question;
    question.id = "sequence-repair";
    question.message = std::move(message);
    question.title = std::string(kProductName);
    question.buttons = Buttons::Ok;
    question.defaultAnswer = "ok";
    Ask(question);
}

}  // namespace

void CheckSequence(AGP& proj) {
    auto db = proj.DB();
    if (!db || !db->Tables()) return;
    auto tables = db->Tables()->Items();
    SlotList tableSlots(tables.size());
    for (const auto& table : tables) {
        std::int16_t old = table->TblSeq();
        std::int16_t slot = tableSlots.Claim(old);
        if (slot == old) continue;
        table->SetTblSeq(slot);
        TellRepair("Incorrect table sequence for table: " + table->TblName() + ". Reorder from " +
                   std::to_string(old) + " to " + std::to_string(slot) + ".");
    }
    for (const auto& table : tables) {
        if (!table->Fields()) continue;
        auto fields = table->Fields()->Items();
        SlotList fieldSlots(fields.size());
        for (const auto& field : fields) {
            std::int16_t old = field->FldSeq();
            std::int16_t slot = fieldSlots.Claim(old);
            if (slot == old) continue;
            field->SetFldSeq(slot);
            TellRepair("Incorrect field sequence for table: " + table->TblName() + " / field: " +
                       field->FldName() + ". Reorder from " + std::to_string(old) + " to " +
                       std::to_string(slot) + ".");
        }
    }
}

}  // namespace velmora
