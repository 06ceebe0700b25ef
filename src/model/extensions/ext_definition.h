// An extension's definition file: the package file name and, per level (project, database, table,
// chart, field), the settings the extension adds, each with a type and a default, and an optional
// condition that decides whether a level applies to the project, table or field at hand.
//
//   <file>myext.zip</file>
//   <Project cond="...">
//     <attribute name="Color" type="string" default="red"/>
//     <Database> <Table cond="table/TblType/eq/TABLE"> <Field>...</Field> <Chart>...</Chart> </Table> </Database>
//   </Project>
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/controls/condition.h"
#include "model/core/property_bag.h"
#include "platform/xml.h"
#include "support/variant.h"

namespace velmora {

enum class ExtLevel { Project, Database, Table, Chart, Field };

// The level named by a lower-cased node type ("project", "database", "table", "chart", "field");
// any other name is the project level.
ExtLevel ExtLevelFromName(std::string_view nodeType);

class ExtDefinition {
public:
    // False when the file does not load; Error() then says why.
    bool Load(const std::string& path);
    const XmlParseError& Error() const { return doc_.Error(); }

    // The trimmed text of the "file" node: the package file name; "" when there is none.
    std::string PackageFile() const;
    // The level's node; a null node when the file has none.
    XmlNode Node(ExtLevel level) const;

private:
    XmlDocument doc_;
};

// Whether the node's "cond" attribute holds (a node without one always does).
bool ExtNodeHolds(XmlNode node, ConditionSource& source);

// Adds to `bag` every setting the node declares that the bag does not hold yet, with its type
// ("String" when none is given) and, when the default is not empty, the default converted to that
// type. Settings the bag holds keep their values.
void AddExtSettings(AGProperties& bag, XmlNode node);

// The default of the node's setting `name`, converted to its type when one is given; nullopt
// when the node declares no such setting.
std::optional<Variant> ExtSettingDefault(XmlNode node, std::string_view name);

}  // namespace velmora
