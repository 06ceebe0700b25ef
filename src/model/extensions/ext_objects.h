// The extension objects: the extensions a project enables, and the settings each extension adds
// to the project, its database, tables, charts and fields (one property bag per level, filled
// from the extension's definition file and from the project file).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/extensions/ext_collection.h"
#include "model/core/property_bag.h"
#include "model/core/property_def.h"

namespace velmora {

// The properties of AGPExtension, in registration order.
PropertyTable ExtensionProperties();

// What extension settings of one named object (a database, table, chart or field) share: the
// name, the sequence number in its list and the settings bag.
class ExtSettingsNode : public AutomationObject {
public:
    explicit ExtSettingsNode(std::string name) : name_(std::move(name)) {}
    std::shared_ptr<AGProperties> Properties() const { return properties_; }

    // The collection's view of the name and sequence number.
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    std::int16_t Seq() const { return seq_; }
    void SetSeq(std::int16_t seq) { seq_ = seq; }

private:
    std::string name_;
    std::int16_t seq_ = 0;
    std::shared_ptr<AGProperties> properties_ = std::make_shared<AGProperties>();
};

// Extension settings of one field of a table.
class AGPExtField : public ExtSettingsNode {
public:
    using ExtSettingsNode::ExtSettingsNode;
    const std::string& FldName() const { return Name(); }
    std::int16_t FldSeq() const { return Seq(); }
};

class AGPExtFields : public ExtNamedList<AGPExtField> {
public:
    bool FieldExist(const Variant& index) const { return Exist(index); }
    std::shared_ptr<cEnumerationObject> NewEnum_fld() const { return NewEnum(); }
};

// Extension settings of one chart of a table.
class AGPExtChart : public ExtSettingsNode {
public:
    using ExtSettingsNode::ExtSettingsNode;
    const std::string& ChartName() const { return Name(); }
    std::int16_t ChartSeq() const { return Seq(); }
};

class AGPExtCharts : public ExtNamedList<AGPExtChart> {
public:
    bool ChartExist(const Variant& index) const { return Exist(index); }
    std::shared_ptr<cEnumerationObject> NewEnum_cht() const { return NewEnum(); }
};

// Extension settings of one table, with those of its fields and charts.
class AGPExtTable : public ExtSettingsNode {
public:
    using ExtSettingsNode::ExtSettingsNode;
    const std::string& TblName() const { return Name(); }
    std::int16_t TblSeq() const { return Seq(); }
    std::shared_ptr<AGPExtFields> Fields() const { return fields_; }
    std::shared_ptr<AGPExtCharts> Charts() const { return charts_; }

private:
    std::shared_ptr<AGPExtFields> fields_ = std::make_shared<AGPExtFields>();
    std::shared_ptr<AGPExtCharts> charts_ = std::make_shared<AGPExtCharts>();
};

class AGPExtTables : public ExtNamedList<AGPExtTable> {
public:
    bool TableExist(const Variant& index) const { return Exist(index); }
    std::shared_ptr<cEnumerationObject> NewEnum_tbl() const { return NewEnum(); }
};

// Extension settings of a database, with those of its tables.
class AGPExtDb : public ExtSettingsNode {
public:
    using ExtSettingsNode::ExtSettingsNode;
    const std::string& DBName() const { return Name(); }
    std::shared_ptr<AGPExtTables> Tables() const { return tables_; }

private:
    std::shared_ptr<AGPExtTables> tables_ = std::make_shared<AGPExtTables>();
};

class AGPExtDbs : public ExtNamedList<AGPExtDb> {
public:
    bool DBExist(const Variant& index) const { return Exist(index); }
    std::shared_ptr<cEnumerationObject> NewEnum_db() const { return NewEnum(); }
};

// An extension's project-level settings, with its database settings below them.
class AGPExtProj : public AutomationObject {
public:
    std::shared_ptr<AGPExtDbs> DB() const { return dbs_; }
    std::int16_t DBCnt() const { return static_cast<std::int16_t>(dbs_->Count()); }
    std::shared_ptr<AGProperties> Properties() const { return properties_; }

private:
    std::shared_ptr<AGPExtDbs> dbs_ = std::make_shared<AGPExtDbs>();
    std::shared_ptr<AGProperties> properties_ = std::make_shared<AGProperties>();
};

class AGPExtension : public AutomationObject {
public:
    explicit AGPExtension(std::string name);

    std::shared_ptr<AGProperties> Properties() const { return properties_; }
    // True once the extension has project-level settings.
    bool IsExtended() const { return proj_ != nullptr; }
    // The project-level settings; nullptr until CreatePROJ.
    std::shared_ptr<AGPExtProj> PROJ() const { return proj_; }
    // The project-level settings, made when missing.
    std::shared_ptr<AGPExtProj> CreatePROJ();
    // Drops every setting of the extension.
    void ClearPROJ() { proj_.reset(); }
    std::string Key() const { return Name(); }

#define VELMORA_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly) \
    PropValue<PropType::type> accessor() const;                                             \
    void Set##accessor(const PropValue<PropType::type>& value);
#include "model/core/extension_properties.def"

private:
    std::shared_ptr<AGProperties> properties_ = std::make_shared<AGProperties>();
    std::shared_ptr<AGPExtProj> proj_;
};

// The extensions of the project, in sequence order.
class AGPExtensions : public ExtNamedList<AGPExtension> {
public:
    bool ExtensionExist(const Variant& index) const { return Exist(index); }
    std::shared_ptr<cEnumerationObject> NewEnum_ext() const { return NewEnum(); }
};

}  // namespace velmora
