#include "model/entities/table.h"

#include <algorithm>
#include <vector>

#include "model/project/agp.h"
#include "model/entities/caption.h"
#include "model/entities/charts.h"
#include "model/controls/controls.h"
#include "model/entities/fields.h"
#include "model/core/property_accessors.h"
#include "model/entities/table_defaults.h"
#include "support/settings_store.h"
#include "support/text.h"

namespace velmora {
namespace {

constexpr PropertyDef kTableProperties[] = {
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    {#name, #accessor, PropType::type, regSave != 0, regFormat, fileSave != 0, sync != 0, readOnly != 0},
#include "model/core/table_properties.def"
};
static_assert(std::size(kTableProperties) == 115);

constexpr std::string_view kPermissionsReportsLack[] = {"add", "copy", "edit", "delete"};

}  // namespace

PropertyTable TableProperties() { return kTableProperties; }

std::string ReportSecurityList(std::string_view list) {
    std::vector<std::string> kept;
    for (const std::string& part : Split(list, ',')) {
        std::string item = Trim(part);
        if (item.empty()) continue;
        auto same = [&item](std::string_view other) { return EqualsNoCase(item, other); };
        if (std::ranges::any_of(kPermissionsReportsLack, same)) continue;
        if (std::ranges::any_of(kept, same)) continue;
        kept.push_back(std::move(item));
    }
    std::string result;
    for (const std::string& item : kept) {
        if (!result.empty()) result += ',';
        result += item;
    }
    return result;
}

AGPTable::AGPTable() : AGPEntity(TableProperties(), "Table") {
    fields_ = std::make_shared<AGPFields>();
    charts_ = std::make_shared<AGPCharts>();
}

AGPTable::~AGPTable() = default;

std::shared_ptr<AGControlItems> AGPTable::ControlList() {
    if (!controlList_) controlList_ = std::make_shared<AGControlItems>();
    return controlList_;
}

#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> AGPTable::accessor() const {                                   \
        return GetTyped<PropType::type>(*properties_, #name);                                \
    }                                                                                        \
    void AGPTable::Set##accessor(const PropValue<PropType::type>& value) {                   \
        SetTypedValue<PropType::type>(*properties_, #name, value);                           \
    }
#include "model/core/table_properties.def"

std::string SortKeyList(std::vector<std::string> names) {
    for (std::string& name : names) name = Trim(name);
    std::erase_if(names, [](const std::string& name) { return name.empty(); });
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string& name : names) {
        if (!list.empty()) list += "\r\n";
        list += name;
    }
    return list;
}

std::string SortKeyList(std::string_view keyList) { return SortKeyList(Split(keyList, '\n')); }

void AGPTable::LoadTableDefault() {
    std::string name = TblName();
    SetTblCaption(CaptionFromName(name));
    SetTblVar(MakeVarName(name));
    SetTblDefault(false);
    SetTblList(true);

    bool isTable = EqualsNoCase(TblType(), "TABLE") || EqualsNoCase(LinkTableType(), "TABLE");
    SetTblView(isTable);
    SetTblAdd(isTable);
    SetTblEdit(isTable);
    SetTblDelete(isTable);
    SetTblCopy(isTable);
    if (!isTable) SetTblSQL(std::string());

    SetTblAddOpt(false);
    bool isReport = EqualsNoCase(TblType(), "REPORT");
    SetTblUpdatable(!isReport);

    std::string secDefault;
    if (auto database = databaseProperties_.lock()) secDefault = EntityGetV(*database, "SecDefault");
    SetTblSrchType(isReport ? "NONE" : "BASIC");
    SetTblSecurity(isReport ? ReportSecurityList(secDefault) : secDefault);

    SetTblUserIDAllow(0);
    SetTblUserLevelPriv(true);
    SetTblDisplayRowCount(false);
    SetTblUseButtonsForLinks(true);
    SetTblUseDropDownForAction(true);
    SetTblUseDropDownForListOptions(true);
    SetTblUseDropDownForExport(true);
    ApplyTableDefaultSettings(*Properties());
}

}  // namespace velmora
