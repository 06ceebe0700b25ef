// AGPTrend: a trend line (or zone) drawn on a chart.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/core/entity.h"
#include "model/core/property_bag.h"
#include "model/core/property_def.h"
#include "support/variant.h"

namespace velmora {

// The trend line properties' declarations, in registration order.
PropertyTable TrendProperties();

class AGPTrend : public AGPEntity {
public:
    // Registers the properties and reads the user's defaults from the Trendline section.
    AGPTrend();
    ~AGPTrend() override;

    // One typed get/set pair per property.
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> accessor() const;                                             \
    void Set##accessor(const PropValue<PropType::type>& value);
#include "model/core/trend_properties.def"
};

}  // namespace velmora
