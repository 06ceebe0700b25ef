// The root object's part in code generation: the control list, the project-level generation
// items and the evaluation of control conditions.
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/entities/database.h"
#include "model/entities/fields.h"
#include "model/entities/tables.h"
#include "support/engine_state.h"

namespace velmora {
namespace {

// An entity's property as a condition operand; a name the bag does not hold compares as "".
CondOperand BagOperand(const AGProperties& bag, std::string_view name) {
    if (auto entry = bag.Find(name)) return {entry->Value(), entry->DataType()};
    return {Variant(std::string()), {}};
}

std::shared_ptr<AGPTable> CurrentTable(const AGP& project) {
    auto db = project.DB();
    if (!db) return nullptr;
    auto tables = db->Tables();
    return tables->Find(Variant(tables->curName()));
}

std::shared_ptr<AGPField> CurrentField(const AGP& project) {
    auto table = CurrentTable(project);
    if (!table) return nullptr;
    auto fields = table->Fields();
    return fields->Find(Variant(fields->curName()));
}

// What the project's objects show a condition: the control made current by the driver, the
// project, and the main database with its current table and field.
class ProjectObjects : public ConditionSource {
public:
    ProjectObjects(AGP& project, AGP::ScriptFunctionRunner runner) : project_(project), runner_(std::move(runner)) {}

    std::optional<CondOperand> Attribute(CondObject object, std::string_view name) override {
        switch (object) {
            case CondObject::Ctrl: {
                auto control = project_.Controls()->Current();
                if (!control) return std::nullopt;
                return CondOperand{control->ConditionValue(name).value_or(Variant()), {}};
            }
            case CondObject::Proj: return ProjectOperand(project_, name);
            case CondObject::Db: {
                auto db = project_.DB();
                if (!db) return std::nullopt;
                return BagOperand(*db->Properties(), name);
            }
            case CondObject::Table: {
                auto table = CurrentTable(project_);
                if (!table) return std::nullopt;
                return BagOperand(*table->Properties(), name);
            }
            case CondObject::Field: {
                auto field = CurrentField(project_);
                if (!field) return std::nullopt;
                return BagOperand(*field->Properties(), name);
            }
        }
        return std::nullopt;
    }

    FunctionOutcome RunFunction(std::string_view name) override {
        return runner_ ? runner_(name) : ConditionSource::RunFunction(name);
    }

private:
    AGP& project_;
    // A copy: the function may install another runner while it runs.
    AGP::ScriptFunctionRunner runner_;
};

}  // namespace

std::shared_ptr<AGPControls> AGP::Controls() {
    if (!controls_) controls_ = std::make_shared<AGPControls>();
    return controls_;
}

std::shared_ptr<AGControlItems> AGP::ControlList() {
    if (!controlList_) controlList_ = std::make_shared<AGControlItems>();
    return controlList_;
}

ConditionResult AGP::EvaluateConditionDetailed(std::string_view cond) {
    ProjectObjects source(*this, scriptFunctionRunner_);
    ConditionResult result = velmora::EvaluateConditionDetailed(cond, source);
    if (result.status != CondStatus::Ok) Fail(ProductMessage(result.message));
    return result;
}

bool AGP::EvaluateCondition(std::string_view cond) { return EvaluateConditionDetailed(cond).holds; }

}  // namespace velmora
