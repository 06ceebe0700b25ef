#include "model/core/property_def.h"

#include "support/convert.h"

namespace velmora {

std::string_view PropTypeName(PropType type) {
    static constexpr std::string_view kNames[] = {"String", "Boolean", "Integer", "Long",
                                                  "Single", "Double", "Variant"};
    return kNames[static_cast<int>(type)];
}

// The text as stored: quotes around it belong to the value (tag values such as "1","Yes").
template <> std::string FromVariant<PropType::String>(const Variant& value) { return value.ToText(); }
template <> bool FromVariant<PropType::Boolean>(const Variant& value) {
    return ToBoolean(value).value_or(false);
}
template <> std::int16_t FromVariant<PropType::Integer>(const Variant& value) {
    return ToInteger(value).value_or(0);
}
template <> std::int32_t FromVariant<PropType::Long>(const Variant& value) {
    return ToLong(value).value_or(0);
}
template <> float FromVariant<PropType::Single>(const Variant& value) {
    return static_cast<float>(ToDouble(value).value_or(0.0));
}
template <> double FromVariant<PropType::Double>(const Variant& value) {
    return ToDouble(value).value_or(0.0);
}
template <> Variant FromVariant<PropType::Variant>(const Variant& value) { return value; }

}  // namespace velmora
