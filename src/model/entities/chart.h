// AGPChart: a chart of a table; owns its trend lines.
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

class AGPTrends;

// The chart properties' declarations, in registration order.
PropertyTable ChartProperties();

class AGPChart : public AGPEntity {
public:
    // Registers the properties and reads the user's defaults from the Chart section.
    AGPChart();
    ~AGPChart() override;

    std::shared_ptr<AGPTrends> Trendlines() const { return trendlines_; }

    // One typed get/set pair per property.
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> accessor() const;                                             \
    void Set##accessor(const PropValue<PropType::type>& value);
#include "model/core/chart_properties.def"

private:
    std::shared_ptr<AGPTrends> trendlines_;
};

}  // namespace velmora
