// What the tree walk over a project file keeps between elements.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "model/core/data_types.h"
#include "model/extensions/ext_definition.h"
#include "platform/xml.h"

namespace velmora {

class AGP;
class AGProperties;
class AGPStatus;
class AGPChart;
class AGPExtTable;

struct ReadContext {
    explicit ReadContext(AGP& project) : proj(project) {}
    ~ReadContext();
    ReadContext(const ReadContext&) = delete;
    ReadContext& operator=(const ReadContext&) = delete;

    AGP& proj;
    // Children of the first Database element, for the progress share; 0 shows no progress.
    int databaseElementCount = 0;
    int tablesRead = 0;
    // Nesting of the elements being read; the format needs five levels, so a deeper document is
    // not a project file and its deeper elements are skipped rather than exhausting the stack.
    int depth = 0;
    AGPStatus* status = nullptr;
    // Kind of the database being read (DbKindOf of its DBDBMSName), for the field fix-ups.
    std::int16_t databaseKind = 0;
    std::shared_ptr<AGPChart> currentChart;
    std::string currentExtension;
    std::shared_ptr<AGPExtTable> currentExtTable;
    // Definition files of the extensions read so far, by extension name (null: none loads).
    std::map<std::string, std::unique_ptr<ExtDefinition>> definitions;
};

// Reads the children of `element` in document order, each by its name.
void ReadChildren(ReadContext& ctx, const XmlNode& element);

// ReadAttributes without the attribute that names the element's object (an extension table's
// TblName, an extension field's FldName): that is the object's key, not one of its settings.
void ReadAttributesExcept(const XmlNode& element, AGProperties& bag, std::string_view nameAttribute,
                          bool projectLevel = false);

}  // namespace velmora
