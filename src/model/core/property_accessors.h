// The setter half of the typed accessors that the entity classes generate from their
// property tables (the getter half is GetTyped in property_bag.h).
#pragma once

#include <string>
#include <string_view>

#include "model/core/property_bag.h"
#include "model/core/property_def.h"

namespace velmora {

// Stores the value through the entry, so that the dirty rule of saved properties applies.
template <PropType T>
void SetTypedValue(AGProperties& bag, std::string_view name, const PropValue<T>& value) {
    bag.SetValueAt(bag.ItemIndex(name), Variant(value));
}

}  // namespace velmora
