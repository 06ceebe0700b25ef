// AGPTrend: a trend line (or zone) drawn on a chart.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/property_bag.h"
#include "model/property_def.h"
#include "support/variant.h"

namespace velmora {

// The trend line properties' declarations, in registration order.
PropertyTable TrendProperties();

class AGPTrend : public AutomationObject {
public:
    // Registers the properties and reads the user's defaults from the Trendline section.
    AGPTrend();
    ~AGPTrend() override;
    AGPTrend(const AGPTrend&) = delete;
    AGPTrend& operator=(const AGPTrend&) = delete;

    std::shared_ptr<AGProperties> Properties() const { return properties_; }
    // Access by name: text values; an unknown name is added as a saved text property.
    std::string GetV(std::string_view name);
    void SetV(std::string_view name, std::string_view value);
    // The name under which the owning collection holds this trend line.
    const std::string& Key() const { return key_; }
    void SetKey(std::string key) { key_ = std::move(key); }

    // One typed get/set pair per property.
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> accessor() const;                                             \
    void Set##accessor(const PropValue<PropType::type>& value);
#include "model/trend_properties.def"

private:
    std::shared_ptr<AGProperties> properties_;
    std::string key_;
};

}  // namespace velmora
