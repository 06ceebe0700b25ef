// AGPCharts: the charts of a table; AGPTrends: the trend lines of a chart. Both keyed by name,
// numbered by their sequence property, with a current item.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/chart.h"
#include "model/entity_list.h"
#include "model/trend.h"

namespace velmora {

class AGPCharts : public AutomationObject {
public:
    // Key and ChartSeq of the current chart; "" and 0 while there is none.
    std::string curName() const { return list_.CurrentName(); }
    std::int16_t curSeq() const { return list_.CurrentSeq(); }

    // Adds a chart named `name` (ChartName, ChartVar), numbered Count and made current; false
    // for an empty or taken name. `tblName` is the owning table's name, not needed here.
    bool Add(std::string_view tblName, std::string_view name);
    // Re-keys a chart; ChartVar follows the new name, ChartName stays. Equal names: true.
    bool Change(std::string_view tblName, std::string_view oldName, std::string_view newName);
    std::int32_t Count() const { return list_.Count(); }
    bool Delete(std::string_view tblName, const Variant& index);
    bool ChartExist(const Variant& index) const { return list_.Find(index) != nullptr; }
    std::shared_ptr<AGPChart> Item(const Variant& index) { return list_.MakeCurrent(list_.Find(index)); }
    std::shared_ptr<AGPChart> Seq(std::int16_t index) const { return list_.FindSeq(index); }
    bool SetItem(const Variant& index) { return Item(index) != nullptr; }
    bool SetSeq(std::int16_t index) { return list_.MakeCurrent(list_.FindSeq(index)) != nullptr; }
    std::shared_ptr<cEnumerationObject> NewEnum_cht() const { return list_.NewEnum(); }

    std::vector<std::shared_ptr<AGPChart>> Items() const { return list_.Items(); }
    void Clear() { list_.Clear(); }

private:
    EntityList<AGPChart, &AGPChart::ChartSeq, &AGPChart::SetChartSeq> list_;
};

class AGPTrends : public AutomationObject {
public:
    std::string curName() const { return list_.CurrentName(); }
    std::int16_t curSeq() const { return list_.CurrentSeq(); }

    // Adds a trend line named `name` (TrendName), numbered Count and made current.
    bool Add(std::string_view name);
    // Re-keys a trend line; TrendName stays. Equal names: true.
    bool Change(std::string_view oldName, std::string_view newName);
    std::int32_t Count() const { return list_.Count(); }
    bool Delete(const Variant& index) { return list_.Remove(list_.Find(index)); }
    bool TrendExist(const Variant& index) const { return list_.Find(index) != nullptr; }
    std::shared_ptr<AGPTrend> Item(const Variant& index) { return list_.MakeCurrent(list_.Find(index)); }
    std::shared_ptr<AGPTrend> Seq(std::int16_t index) const { return list_.FindSeq(index); }
    std::shared_ptr<cEnumerationObject> NewEnum_trend() const { return list_.NewEnum(); }

    std::vector<std::shared_ptr<AGPTrend>> Items() const { return list_.Items(); }
    void Clear() { list_.Clear(); }

private:
    EntityList<AGPTrend, &AGPTrend::TrendSeq, &AGPTrend::SetTrendSeq> list_;
};

}  // namespace velmora
