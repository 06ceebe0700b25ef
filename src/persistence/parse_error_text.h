// The text a project file that does not parse is reported with.
#pragma once
#include <string>

#include "platform/xml.h"

namespace velmora {

// "Parse error: line L, character C", CR LF, and the source line around the error position: at
// most 40 characters either side, each side cut at a blank, the halves joined by " ... ".
std::string ParseErrorText(const XmlParseError& error);

}  // namespace velmora
