// Declarations of registered properties: one row per property drives registration in the
// property bag, the typed C++ accessors and the script-side accessors.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "support/variant.h"

namespace velmora {

// Variant entries keep whatever value they are given: their type name converts nothing.
enum class PropType : std::uint8_t { String, Boolean, Integer, Long, Single, Double, Variant };

// "String", "Boolean", "Integer", "Long", "Single", "Double", "Variant".
std::string_view PropTypeName(PropType type);

struct PropertyDef {
    std::string_view name;
    // Name of the typed accessor; differs from `name` only where the accessor is spelt otherwise.
    std::string_view accessor;
    PropType type;
    bool regSave;
    std::int32_t regFormat;
    bool fileSave;
    bool sync;
    bool readOnly;
};

using PropertyTable = std::span<const PropertyDef>;

// C++ type of a property's typed accessor.
template <PropType T> struct PropCpp;
template <> struct PropCpp<PropType::String> { using type = std::string; };
template <> struct PropCpp<PropType::Boolean> { using type = bool; };
template <> struct PropCpp<PropType::Integer> { using type = std::int16_t; };
template <> struct PropCpp<PropType::Long> { using type = std::int32_t; };
template <> struct PropCpp<PropType::Single> { using type = float; };
template <> struct PropCpp<PropType::Double> { using type = double; };
template <> struct PropCpp<PropType::Variant> { using type = Variant; };
template <PropType T> using PropValue = typename PropCpp<T>::type;

// Converts a stored value to the accessor's C++ type; a value that does not convert gives the
// type's empty form ("", false, 0).
template <PropType T> PropValue<T> FromVariant(const Variant& value);

}  // namespace velmora
