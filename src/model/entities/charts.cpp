#include "model/entities/charts.h"

#include "model/project/agp.h"

namespace velmora {

bool AGPCharts::Add(std::string_view, std::string_view name) {
    auto chart = list_.Append(name);
    if (!chart) return false;
    chart->SetChartName(std::string(name));
    chart->SetChartVar(MakeVarName(name));
    return true;
}

bool AGPCharts::Change(std::string_view, std::string_view oldName, std::string_view newName) {
    if (oldName.empty() || newName.empty()) return false;
    if (oldName == newName) return true;
    auto chart = list_.Rekey(oldName, newName);
    if (!chart) return false;
    chart->SetChartVar(MakeVarName(newName));
    return true;
}

bool AGPCharts::Delete(std::string_view, const Variant& index) { return list_.Remove(list_.Find(index)); }

bool AGPTrends::Add(std::string_view name) {
    auto trend = list_.Append(name);
    if (!trend) return false;
    trend->SetTrendName(std::string(name));
    return true;
}

bool AGPTrends::Change(std::string_view oldName, std::string_view newName) {
    if (oldName.empty() || newName.empty()) return false;
    if (oldName == newName) return true;
    return list_.Rekey(oldName, newName) != nullptr;
}

}  // namespace velmora
