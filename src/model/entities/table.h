// AGPTable: a table, view, custom view, link table or report of the project with its page
// settings; owns its fields and charts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/core/entity.h"
#include "model/core/property_bag.h"
#include "model/core/property_def.h"
#include "support/variant.h"

namespace velmora {

class AGPFields;
class AGPCharts;
class AGControlItems;

// The table properties' declarations, in registration order.
PropertyTable TableProperties();

// A security list is a comma-separated list of permissions. Reports have no add, copy, edit or
// delete pages, so for them the list is normalised: items trimmed, empty items, repeats
// (compared without regard to case) and those four permissions dropped, joined with ",".
std::string ReportSecurityList(std::string_view list);

// TblKey: the primary-key field names sorted ascending (by code point) by their trimmed text and
// joined with CR LF; blank names are dropped. The text form takes names separated by CR LF or LF.
std::string SortKeyList(std::vector<std::string> names);
std::string SortKeyList(std::string_view keyList);

class AGPTable : public AGPEntity {
public:
    // Registers the properties and reads the user's defaults from the Table section.
    AGPTable();
    ~AGPTable() override;

    std::shared_ptr<AGPFields> Fields() const { return fields_; }
    std::shared_ptr<AGPCharts> Charts() const { return charts_; }
    // The generation items of the table's outputs; created on first use.
    std::shared_ptr<AGControlItems> ControlList();

    // One typed get/set pair per property.
#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> accessor() const;                                             \
    void Set##accessor(const PropValue<PropType::type>& value);
#include "model/core/table_properties.def"

    // Defaults of a table that has been added and named, before a project file or a schema
    // fills it.
    void LoadTableDefault();
    // The property bag of the database the table belongs to (its SecDefault seeds TblSecurity).
    void SetDatabaseProperties(std::weak_ptr<AGProperties> properties) {
        databaseProperties_ = std::move(properties);
    }

private:
    std::shared_ptr<AGPFields> fields_;
    std::shared_ptr<AGPCharts> charts_;
    std::shared_ptr<AGControlItems> controlList_;
    std::weak_ptr<AGProperties> databaseProperties_;
};

}  // namespace velmora
