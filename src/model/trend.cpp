#include "model/trend.h"

#include "model/property_accessors.h"
#include "support/settings_store.h"

namespace velmora {
namespace {

constexpr PropertyDef kTrendProperties[] = {
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    {#name, #accessor, PropType::type, regSave != 0, regFormat, fileSave != 0, sync != 0, readOnly != 0},
#include "model/trend_properties.def"
};
static_assert(std::size(kTrendProperties) == 11);

}  // namespace

PropertyTable TrendProperties() { return kTrendProperties; }

AGPTrend::AGPTrend() : properties_(std::make_shared<AGProperties>()) {
    properties_->Register(TrendProperties());
    LoadRegistryDefaults(*properties_, SettingsSection("Trendline"));
}

AGPTrend::~AGPTrend() = default;

std::string AGPTrend::GetV(std::string_view name) { return EntityGetV(*properties_, name); }
void AGPTrend::SetV(std::string_view name, std::string_view value) { EntitySetV(*properties_, name, value); }

#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> AGPTrend::accessor() const {                                   \
        return GetTyped<PropType::type>(*properties_, #name);                                \
    }                                                                                        \
    void AGPTrend::Set##accessor(const PropValue<PropType::type>& value) {                   \
        SetTypedValue<PropType::type>(*properties_, #name, value);                           \
    }
#include "model/trend_properties.def"

}  // namespace velmora
