#include "model/entities/table_defaults.h"

#include <array>
#include <optional>
#include <string_view>

#include "model/core/property_bag.h"

namespace velmora {
namespace {

struct DefaultSetting {
    std::string_view project;
    std::string_view target;
    bool field;
};

constexpr std::array kSettings{
    DefaultSetting{"RptIndent", "TblRptIndent", false},
    DefaultSetting{"RecPerPage", "TblRecPerPage", false},
    DefaultSetting{"RecPerPageList", "TblRecPerPageList", false},
    DefaultSetting{"ExportHtml", "TblExportHtml", false},
    DefaultSetting{"ExportWord", "TblExportWord", false},
    DefaultSetting{"ExportExcel", "TblExportExcel", false},
    DefaultSetting{"ExportXml", "TblExportXml", false},
    DefaultSetting{"ExportCsv", "TblExportCsv", false},
    DefaultSetting{"RecPerRow", "TblRecPerRow", false},
    DefaultSetting{"MultiDelete", "TblMultiDelete", false},
    DefaultSetting{"SortType", "TblSortType", false},
    DefaultSetting{"PagerStyle", "TblPagerStyle", false},
    DefaultSetting{"TopPageLink", "TblTopPageLink", false},
    DefaultSetting{"BottomPageLink", "TblBottomPageLink", false},
    DefaultSetting{"ViewExport", "TblViewExport", false},
    DefaultSetting{"ListExport", "TblListExport", false},
    DefaultSetting{"LinkOnLeft", "TblLinkOnLeft", false},
    DefaultSetting{"InlineDelete", "TblInlineDelete", false},
    DefaultSetting{"DetailViewPaging", "TblDetailViewPaging", false},
    DefaultSetting{"RepeatColumns", "FldRepeatColumns", true},
};

std::optional<std::array<Variant, kSettings.size()>>& Cached() {
    static std::optional<std::array<Variant, kSettings.size()>> cached;
    return cached;
}

void Apply(AGProperties& bag, bool field) {
    const auto& cached = Cached();
    if (!cached) return;
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        if (kSettings[i].field != field) continue;
        std::size_t pos = bag.IndexOf(kSettings[i].target);
        if (pos != AGProperties::npos) bag.SetValueAt(pos, (*cached)[i]);
    }
}

}  // namespace

void CacheTableDefaultSettings(AGProperties& projectBag) {
    std::array<Variant, kSettings.size()> values;
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        std::size_t pos = projectBag.IndexOf(kSettings[i].project);
        if (pos != AGProperties::npos) values[i] = projectBag.ValueAt(pos);
    }
    Cached() = std::move(values);
}

void ApplyTableDefaultSettings(AGProperties& tableBag) { Apply(tableBag, false); }
void ApplyFieldDefaultSettings(AGProperties& fieldBag) { Apply(fieldBag, true); }

}  // namespace velmora
