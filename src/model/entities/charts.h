// AGPCharts: the charts of a table; AGPTrends: the trend lines of a chart. Both keyed by name,
// numbered by their sequence property, with a current item.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/entities/chart.h"
#include "model/core/entity_list.h"
#include "model/entities/trend.h"

namespace velmora {

class AGPCharts : public EntityCollection<AGPChart, &AGPChart::ChartSeq, &AGPChart::SetChartSeq> {
public:
    // Adds a chart named `name` (ChartName, ChartVar), numbered Count and made current; false
    // for an empty or taken name. `tblName` is the owning table's name, not needed here.
    bool Add(std::string_view tblName, std::string_view name);
    // Re-keys a chart; ChartVar follows the new name, ChartName stays. Equal names: true.
    bool Change(std::string_view tblName, std::string_view oldName, std::string_view newName);
    bool Delete(std::string_view tblName, const Variant& index);
    bool ChartExist(const Variant& index) const { return Exists(index); }
    std::shared_ptr<cEnumerationObject> NewEnum_cht() const { return list_.NewEnum(); }
};

class AGPTrends : public EntityCollection<AGPTrend, &AGPTrend::TrendSeq, &AGPTrend::SetTrendSeq> {
public:
    // Adds a trend line named `name` (TrendName), numbered Count and made current.
    bool Add(std::string_view name);
    // Re-keys a trend line; TrendName stays. Equal names: true.
    bool Change(std::string_view oldName, std::string_view newName);
    bool Delete(const Variant& index) { return list_.Remove(list_.Find(index)); }
    bool TrendExist(const Variant& index) const { return Exists(index); }
    std::shared_ptr<cEnumerationObject> NewEnum_trend() const { return list_.NewEnum(); }
};

}  // namespace velmora
