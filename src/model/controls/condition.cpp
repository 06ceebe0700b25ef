#include "model/controls/condition.h"

#include <exception>
#include <functional>
#include <vector>

#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "support/convert.h"
#include "support/text.h"

namespace velmora {
namespace {

constexpr std::string_view kFunctionPrefix = "function/";

enum class Operator { Eq, Ne, Gt, Ge, Lt, Le, In, Ni, Other };

Operator ParseOperator(std::string_view text) {
    static constexpr std::pair<std::string_view, Operator> kOperators[] = {
        {"eq", Operator::Eq}, {"ne", Operator::Ne}, {"gt", Operator::Gt}, {"ge", Operator::Ge},
        {"lt", Operator::Lt}, {"le", Operator::Le}, {"in", Operator::In}, {"ni", Operator::Ni}};
    std::string lower = ToLowerAscii(text);
    for (const auto& [name, op] : kOperators)
        if (lower == name) return op;
    return Operator::Other;
}

std::optional<CondObject> ParseObject(std::string_view text) {
    static constexpr std::pair<std::string_view, CondObject> kObjects[] = {
        {"ctrl", CondObject::Ctrl}, {"proj", CondObject::Proj},   {"db", CondObject::Db},
        {"table", CondObject::Table}, {"field", CondObject::Field}};
    std::string lower = ToLowerAscii(text);
    for (const auto& [name, object] : kObjects)
        if (lower == name) return object;
    return std::nullopt;
}

bool IsNumeric(const Variant& v) { return v.NumericValue().has_value(); }

// Variant comparison: numbers (Booleans and dates included) as numbers, texts byte-wise; Empty
// is 0 against a number and "" against a text. A text that reads as a number compares with a
// number numerically; any other text is greater than every number. nullopt when Null takes part.
std::optional<int> CompareValues(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull()) return std::nullopt;
    auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    bool aNum = IsNumeric(a) || (a.IsEmpty() && IsNumeric(b));
    bool bNum = IsNumeric(b) || (b.IsEmpty() && IsNumeric(a));
    if (aNum && bNum) return sign(ToDouble(a).value_or(0.0), ToDouble(b).value_or(0.0));
    if (aNum != bNum) {
        const Variant& text = aNum ? b : a;
        auto number = ParseNumber(text.ToText());
        if (!number) return aNum ? -1 : 1;
        double left = aNum ? ToDouble(a).value_or(0.0) : *number;
        double right = aNum ? *number : ToDouble(b).value_or(0.0);
        return sign(left, right);
    }
    return sign(a.ToText(), b.ToText());
}

bool Contains(const Variant& haystack, const Variant& needle) {
    return FoldCase(haystack.ToText()).find(FoldCase(needle.ToText())) != std::string::npos;
}

bool Satisfies(Operator op, const Variant& left, const Variant& right) {
    if (left.IsNull() || right.IsNull()) return false;
    switch (op) {
        case Operator::In: return Contains(left, right);
        case Operator::Ni: return !Contains(left, right);
        default: break;
    }
    auto order = CompareValues(left, right);
    if (!order) return false;
    switch (op) {
        case Operator::Eq: return *order == 0;
        case Operator::Ne: return *order != 0;
        case Operator::Gt: return *order > 0;
        case Operator::Ge: return *order >= 0;
        case Operator::Lt: return *order < 0;
        case Operator::Le: return *order <= 0;
        default: return true;
    }
}

ConditionResult NotHolding(CondStatus status, std::string message) {
    return ConditionResult{false, status, std::move(message)};
}

// One clause, already trimmed and without its "function/" prefix.
ConditionResult EvaluateClause(std::string_view clause, bool isFunction, ConditionSource& source) {
    std::vector<std::string> parts = Split(clause, '/');
    if (parts.size() != 4) return {};
    Operator op = ParseOperator(parts[2]);
    if (op == Operator::Other) return {};
    std::vector<std::string> alternatives = Split(parts[3], '|');

    Variant left;
    // Whether one alternative satisfies the operator against `left`.
    std::function<bool(const std::string&)> matches;

    if (isFunction) {
        std::string name = Trim(parts[0]);
        FunctionOutcome outcome = source.RunFunction(name);
        if (outcome.kind == FunctionOutcome::Kind::NoScriptHost)
            return NotHolding(CondStatus::UnsupportedFunction,
                              "Condition function '" + name + "' needs a script host, which is not available.");
        if (outcome.kind == FunctionOutcome::Kind::Error)
            return NotHolding(CondStatus::FunctionError, outcome.error);
        left = outcome.value;
        std::string type = parts[1];
        matches = [&, type](const std::string& alt) { return Satisfies(op, left, ConvertTo(Variant(alt), type)); };
    } else {
        auto object = ParseObject(parts[0]);
        if (!object) return NotHolding(CondStatus::Malformed, "Unknown condition object '" + parts[0] + "'.");
        if (*object == CondObject::Ctrl) {
            std::string name = ToLowerAscii(parts[1]);
            // Any other name compares an empty value.
            if (IsControlConditionProperty(name)) {
                auto operand = source.Attribute(CondObject::Ctrl, name);
                if (!operand) return NotHolding(CondStatus::Malformed, "No current control.");
                left = operand->value;
            }
            matches = [&](const std::string& alt) { return Satisfies(op, left, Variant(Trim(alt))); };
        } else {
            auto operand = source.Attribute(*object, parts[1]);
            if (!operand) return NotHolding(CondStatus::Malformed, "No current " + ToLowerAscii(parts[0]) + ".");
            left = operand->value;
            std::string type = operand->dataType;
            if (!type.empty()) {
                // Stored values may still be text; compare them in their declared type.
                Variant typed = ConvertToNumberOrBool(left, type);
                if (!typed.IsEmpty() || left.IsEmpty()) left = typed;
            }
            matches = [&, type](const std::string& alt) {
                Variant right = type.empty() ? Variant(alt) : ConvertTo(Variant(alt), type);
                if (left.Type() == VarType::Boolean && right.Type() == VarType::Boolean)
                    return Satisfies(op, Variant(left.AsBool() ? "1" : "0"), Variant(right.AsBool() ? "1" : "0"));
                return Satisfies(op, left, right);
            };
        }
    }

    for (const std::string& alt : alternatives)
        if (matches(alt)) return {};
    return NotHolding(CondStatus::Ok, {});
}

}  // namespace

FunctionOutcome ConditionSource::RunFunction(std::string_view) { return {}; }

ConditionResult EvaluateConditionDetailed(std::string_view cond, ConditionSource& source) {
    try {
        for (const std::string& part : Split(cond, ',')) {
            std::string clause = Trim(part);
            bool isFunction = StartsWithNoCase(clause, kFunctionPrefix);
            if (isFunction) clause = Trim(std::string_view(clause).substr(kFunctionPrefix.size()));
            ConditionResult result = EvaluateClause(clause, isFunction, source);
            if (!result.holds) return result;
        }
        return {};
    } catch (const std::exception& e) {
        return NotHolding(CondStatus::Malformed, e.what());
    }
}

bool EvaluateCondition(std::string_view cond, ConditionSource& source) {
    return EvaluateConditionDetailed(cond, source).holds;
}

CondOperand ProjectOperand(AGP& project, std::string_view name) {
    if (auto entry = project.Properties()->Find(name)) return {entry->Value(), entry->DataType()};
    Variant value = project.GetV(name);
    auto added = project.Properties()->Find(name);
    return {std::move(value), added ? added->DataType() : std::string()};
}

std::optional<CondOperand> ProjectConditionSource::Attribute(CondObject object, std::string_view name) {
    if (object == CondObject::Proj) {
        if (!project_) return std::nullopt;
        return ProjectOperand(*project_, name);
    }
    if (!others_) return std::nullopt;
    return others_(object, name);
}

}  // namespace velmora
