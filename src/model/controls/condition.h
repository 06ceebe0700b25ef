// Condition expressions of control files and extension definitions ("cond" attributes).
//
// A condition is a list of clauses joined by ","; all must hold (an empty condition holds).
// A clause is object/attribute/operator/values, the values being alternatives joined by "|";
// the clause holds when one alternative satisfies the operator. Objects: "ctrl" (the current
// control), "proj", "db", "table", "field" (their properties), and a clause written
// "function/name/type/operator/values" compares the result of a script function.
//
// The evaluator knows nothing of the entity classes: it reads values through a ConditionSource.
// Nothing here throws.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "support/variant.h"

namespace velmora {

class AGP;

enum class CondObject { Ctrl, Proj, Db, Table, Field };

// A left-hand value with the data type its property declares ("Boolean", "Integer", ...). With
// a type, the alternatives are converted to it before comparing; with none they stay text.
struct CondOperand {
    Variant value;
    std::string dataType;
};

// What a script function clause produced.
struct FunctionOutcome {
    enum class Kind { Value, NoScriptHost, Error };
    Kind kind = Kind::NoScriptHost;
    Variant value;
    std::string error;  // the script's error text, for Kind::Error
};

// Where the evaluator reads its values.
class ConditionSource {
public:
    virtual ~ConditionSource() = default;
    // The attribute of the current object. nullopt when no such object is current (the clause
    // then fails); an attribute the object does not have gives an empty operand. For Ctrl the
    // name is one of the control property names in lower case ("ctrlid", ...).
    virtual std::optional<CondOperand> Attribute(CondObject object, std::string_view name) = 0;
    // Runs the script function `name`. The default reports that there is no script host.
    virtual FunctionOutcome RunFunction(std::string_view name);
};

enum class CondStatus {
    Ok,
    // A function clause met a source without a script host: the condition does not hold.
    UnsupportedFunction,
    // The script function failed: the condition does not hold.
    FunctionError,
    // A clause names an unknown object, or an object that is not current: it does not hold.
    Malformed,
};

struct ConditionResult {
    bool holds = true;
    CondStatus status = CondStatus::Ok;
    std::string message;  // says which clause failed to evaluate, when status is not Ok
};

// Evaluates `cond`, stopping at the first clause that does not hold. A clause without exactly
// four parts and a clause with an unknown operator hold.
ConditionResult EvaluateConditionDetailed(std::string_view cond, ConditionSource& source);
bool EvaluateCondition(std::string_view cond, ConditionSource& source);

// The "proj" operand: the bag entry of that name when the project has one, else the project's
// GetV(name) (which may take the entry from the custom-setting file).
CondOperand ProjectOperand(AGP& project, std::string_view name);

// A source that answers "proj" from a project and everything else through a callback (which may
// be empty: nothing else is then current).
class ProjectConditionSource : public ConditionSource {
public:
    using Lookup = std::function<std::optional<CondOperand>(CondObject, std::string_view)>;
    ProjectConditionSource(AGP* project, Lookup others) : project_(project), others_(std::move(others)) {}
    std::optional<CondOperand> Attribute(CondObject object, std::string_view name) override;

private:
    AGP* project_;
    Lookup others_;
};

}  // namespace velmora
