// What the project reader runs after reading a project with Sync: the schema check lives above
// the reader, so it is handed down as a function.
#pragma once

#include <functional>

namespace velmora {

class AGP;

void SetProjectSchemaCheck(std::function<void(AGP&)> check);
// Runs the check when one is set.
void RunProjectSchemaCheck(AGP& project);

}  // namespace velmora
