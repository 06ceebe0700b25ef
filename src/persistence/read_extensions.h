// The extension elements of a project file: Extension, ExtProject, ExtDatabase, ExtTable, ExtField.
#pragma once
#include <string_view>

#include "persistence/read_context.h"

namespace velmora {

// Reads `element` when its lower-cased name is one of the extension elements; false otherwise.
bool ReadExtensionElement(ReadContext& ctx, std::string_view lowerName, const XmlNode& element);

}  // namespace velmora
