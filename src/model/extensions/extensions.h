// The engine-wide extension list, where extension packages are found, and what extension settings
// need of the project's loaded database.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/controls/condition.h"
#include "model/extensions/ext_objects.h"
#include "platform/xml.h"

namespace velmora {

class AGP;

// The extensions of the open project; one list per process, made on first use.
AGPExtensions& Extensions();
std::shared_ptr<AGPExtensions> SharedExtensions();

// Settings-store values naming the folders that hold extension packages.
inline constexpr std::string_view kExtSourceFolder = "SourceFolder";
inline constexpr std::string_view kExtSourceFolder2 = "SourceFolder2";
inline constexpr std::string_view kExtViewTagsFolder = "CustomViewTagsFolder";

// The folder a settings-store value names: the value of the Extensions section, else the General
// value of that name. "" when neither is set.
std::string ExtensionSourceFolder(std::string_view valueName);

// The first of the named folders that holds `fileName` (letter case of the file name aside);
// "" when none does.
std::string LocateExtensionFolder(const std::vector<std::string_view>& valueNames, std::string_view fileName);

// `folder` joined with `fileName`; a file name in another letter case than the one on disk is
// found too. Backslashes in either part count as separators.
std::string ExtensionFilePath(std::string_view folder, std::string_view fileName);

// What extension settings need of the project's main database: its tables and fields, a way to
// make a table and field current, and their values for conditions. The extension part of the
// model does not depend on the database entities; an adapter over them provides this.
class ExtSchema {
public:
    virtual ~ExtSchema() = default;
    // The main database's name; "" when none is loaded.
    virtual std::string DatabaseName() const = 0;
    // Tables whose settings are loaded, in sequence order.
    virtual std::vector<std::string> LoadedTables() const = 0;
    virtual bool TableExists(std::string_view table) const = 0;
    // The table's fields in sequence order; empty for an unknown table.
    virtual std::vector<std::string> FieldNames(std::string_view table) const = 0;
    virtual bool FieldExists(std::string_view table, std::string_view field) const = 0;
    // Makes the table current, and the field too when `field` is not empty; false when either is
    // unknown.
    virtual bool MakeCurrent(std::string_view table, std::string_view field) = 0;
    // A property of the current database, table or field (CondObject Db, Table, Field), as
    // ConditionSource::Attribute answers it.
    virtual std::optional<CondOperand> Attribute(CondObject object, std::string_view name) const = 0;
};

// The project's main database as the extension operations see it; nullptr while none is loaded.
std::shared_ptr<ExtSchema> DatabaseSchemaOf(AGP& project);

// How the extension operations of a root object reach its database: the main database unless
// another provider is set (tests set one). A project without a database gets only project-level
// settings, and table and field operations find nothing.
using ExtSchemaProvider = std::function<std::shared_ptr<ExtSchema>(AGP&)>;
void SetExtSchemaProvider(ExtSchemaProvider provider);
std::shared_ptr<ExtSchema> ExtSchemaOf(AGP& project);

// A condition source for definition-file conditions: "proj" from the project, "db", "table" and
// "field" from the schema's current objects; no control and no script host.
ProjectConditionSource ExtConditionSource(AGP& project, std::shared_ptr<ExtSchema> schema);

}  // namespace velmora
