// Reading a project file into the object model, and taking over the menu of a project of the
// sibling report generator.
#pragma once
#include <string>
#include <string_view>

#include "platform/xml.h"

namespace velmora {

class AGP;
class AGProperties;

// Reads `projFile` into `proj`. Success leaves ProjErr empty; every failure is reported through
// ProjErr only. `sync` asks for the schema check after reading (CheckProjectAgainstSchema, run
// when the project's AutoSync is set too). The result is ProjErr().empty().
bool Load(AGP& proj, std::string_view projFile, bool sync);

// Takes over the menu of a Corvantis project: checks the file, writes its menu as a Menus
// document (menu.xml beside the other project) and reads that back with LoadMenuFromXml.
bool LoadMenuFromProj(AGP& proj, std::string_view projFile);

// Reads the Menu and MenuPhrase elements of a Menus document into the project's menu. Merge
// rule: an item whose MenuSource names a source the menu already holds replaces that item's
// values and keeps its MenuID; any other item is appended under a new MenuID, and its parent
// and phrases follow the renumbering.
bool LoadMenuFromXml(AGP& proj, std::string_view xmlFile);

// Writes the project's whole menu, with its menu phrases, as a Menus document.
bool SaveMenuToXml(std::string_view xmlFile);

// Copies every attribute of an element into a bag, by the entries' types. `projectLevel`: the
// element is the Project root, whose unknown attributes take their type from the custom-setting
// file.
void ReadAttributes(const XmlNode& element, AGProperties& bag, bool projectLevel = false);

// The attribute whose name equals `name` without regard to case; "" when there is none.
std::string GetAttr(const XmlNode& element, std::string_view name);

// Compares dotted version texts: 2 when a's major part is greater, 1 when the majors are equal
// and a's minor part is greater, -1 when a part (of the first three) of a is smaller, else 0.
int CompareVersion(std::string_view a, std::string_view b);

// Compares the loaded project with the live database schema and offers synchronisation, through
// the check installed with SetProjectSchemaCheck (none: nothing happens).
bool CheckProjectAgainstSchema(AGP& proj);

}  // namespace velmora
