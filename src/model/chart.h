// AGPChart: a chart of a table; owns its trend lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/property_bag.h"
#include "model/property_def.h"
#include "support/variant.h"

namespace velmora {

class AGPTrends;

// The chart properties' declarations, in registration order.
PropertyTable ChartProperties();

class AGPChart : public AutomationObject {
public:
    // Registers the properties and reads the user's defaults from the Chart section.
    AGPChart();
    ~AGPChart() override;
    AGPChart(const AGPChart&) = delete;
    AGPChart& operator=(const AGPChart&) = delete;

    std::shared_ptr<AGProperties> Properties() const { return properties_; }
    // Access by name: text values; an unknown name is added as a saved text property.
    std::string GetV(std::string_view name);
    void SetV(std::string_view name, std::string_view value);
    // The name under which the owning collection holds this chart.
    const std::string& Key() const { return key_; }
    void SetKey(std::string key) { key_ = std::move(key); }
    std::shared_ptr<AGPTrends> Trendlines() const { return trendlines_; }

    // One typed get/set pair per property.
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> accessor() const;                                             \
    void Set##accessor(const PropValue<PropType::type>& value);
#include "model/chart_properties.def"

private:
    std::shared_ptr<AGProperties> properties_;
    std::string key_;
    std::shared_ptr<AGPTrends> trendlines_;
};

}  // namespace velmora
