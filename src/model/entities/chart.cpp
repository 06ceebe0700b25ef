#include "model/entities/chart.h"

#include "model/entities/charts.h"
#include "model/core/property_accessors.h"
#include "support/settings_store.h"

namespace velmora {
namespace {

constexpr PropertyDef kChartProperties[] = {
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    {#name, #accessor, PropType::type, regSave != 0, regFormat, fileSave != 0, sync != 0, readOnly != 0},
#include "model/core/chart_properties.def"
};
static_assert(std::size(kChartProperties) == 38);

}  // namespace

PropertyTable ChartProperties() { return kChartProperties; }

AGPChart::AGPChart() : AGPEntity(ChartProperties(), "Chart") {
    trendlines_ = std::make_shared<AGPTrends>();
}

AGPChart::~AGPChart() = default;

#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> AGPChart::accessor() const {                                   \
        return GetTyped<PropType::type>(*properties_, #name);                                \
    }                                                                                        \
    void AGPChart::Set##accessor(const PropValue<PropType::type>& value) {                   \
        SetTypedValue<PropType::type>(*properties_, #name, value);                           \
    }
#include "model/core/chart_properties.def"

}  // namespace velmora
