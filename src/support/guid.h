// Unique identifiers as text, in the registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <string>

namespace velmora {

// A new random (version 4) identifier in upper-case hexadecimal between braces.
std::string GetGUID();

}  // namespace velmora
