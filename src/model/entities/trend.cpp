#include "model/entities/trend.h"

#include "model/core/property_accessors.h"
#include "support/settings_store.h"

namespace velmora {
namespace {

constexpr PropertyDef kTrendProperties[] = {
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    {#name, #accessor, PropType::type, regSave != 0, regFormat, fileSave != 0, sync != 0, readOnly != 0},
#include "model/core/trend_properties.def"
};
static_assert(std::size(kTrendProperties) == 11);

}  // namespace

PropertyTable TrendProperties() { return kTrendProperties; }

AGPTrend::AGPTrend() : AGPEntity(TrendProperties(), "Trendline") {
}

AGPTrend::~AGPTrend() = default;

#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> AGPTrend::accessor() const {                                   \
        return GetTyped<PropType::type>(*properties_, #name);                                \
    }                                                                                        \
    void AGPTrend::Set##accessor(const PropValue<PropType::type>& value) {                   \
        SetTypedValue<PropType::type>(*properties_, #name, value);                           \
    }
#include "model/core/trend_properties.def"

}  // namespace velmora
