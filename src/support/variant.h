// Variant: the value type of settings, properties and script arguments.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velmora {

// Base of every object a Variant can refer to (model objects, collections, ...). Objects that
// scripts see are owned by shared_ptr, so a member called from a script can hand out its own
// reference.
class AutomationObject : public std::enable_shared_from_this<AutomationObject> {
public:
    virtual ~AutomationObject() = default;
};

using ObjectRef = std::shared_ptr<AutomationObject>;

enum class VarType : std::uint8_t {
    Empty,
    Null,
    Boolean,
    Integer,  // 16-bit
    Long,     // 32-bit
    Single,
    Double,
    Date,
    String,
    Object,
    Array,
};

// A date as days since 30 December 1899, the fraction being the time of day.
struct DateValue {
    double serial = 0;
    bool operator==(const DateValue&) const = default;
};

struct NullValue {
    bool operator==(const NullValue&) const = default;
};

class Variant {
public:
    using Array = std::vector<Variant>;

    Variant() = default;
    Variant(bool v) : value_(v) {}
    Variant(std::int16_t v) : value_(v) {}
    Variant(std::int32_t v) : value_(v) {}
    Variant(float v) : value_(v) {}
    Variant(double v) : value_(v) {}
    Variant(DateValue v) : value_(v) {}
    Variant(NullValue v) : value_(v) {}
    Variant(std::string v) : value_(std::move(v)) {}
    Variant(const char* v) : value_(std::string(v)) {}
    Variant(std::string_view v) : value_(std::string(v)) {}
    Variant(ObjectRef v) : value_(std::move(v)) {}
    Variant(Array v) : value_(std::move(v)) {}
    template <class T>
        requires std::is_base_of_v<AutomationObject, T>
    Variant(std::shared_ptr<T> v) : value_(ObjectRef(std::move(v))) {}

    static Variant Null() { return Variant(NullValue{}); }

    VarType Type() const { return static_cast<VarType>(value_.index()); }
    bool IsEmpty() const { return Type() == VarType::Empty; }
    bool IsNull() const { return Type() == VarType::Null; }
    bool IsString() const { return Type() == VarType::String; }
    bool IsObject() const { return Type() == VarType::Object; }
    // Integer, Long, Single or Double.
    bool IsNumber() const;

    bool AsBool() const { return std::get<bool>(value_); }
    std::int16_t AsInteger() const { return std::get<std::int16_t>(value_); }
    std::int32_t AsLong() const { return std::get<std::int32_t>(value_); }
    float AsSingle() const { return std::get<float>(value_); }
    double AsDouble() const { return std::get<double>(value_); }
    DateValue AsDate() const { return std::get<DateValue>(value_); }
    const std::string& AsString() const { return std::get<std::string>(value_); }
    const ObjectRef& AsObject() const { return std::get<ObjectRef>(value_); }
    const Array& AsArray() const { return std::get<Array>(value_); }

    template <class T>
    std::shared_ptr<T> ObjectAs() const {
        return IsObject() ? std::dynamic_pointer_cast<T>(AsObject()) : nullptr;
    }

    // The value's text form as the engine shows it: Empty and Null give "", Booleans "True" and
    // "False", numbers their shortest exact form. Never fails.
    std::string ToText() const;

    // Numeric value of a number, Boolean (True = -1) or Date; nullopt for anything else.
    std::optional<double> NumericValue() const;

    bool operator==(const Variant& other) const = default;

private:
    std::variant<std::monostate, NullValue, bool, std::int16_t, std::int32_t, float, double,
                 DateValue, std::string, ObjectRef, Array>
        value_;
};

// Name of a variant type as the engine's type names spell it ("Empty", "String", ...).
const char* VarTypeName(VarType type);

}  // namespace velmora
