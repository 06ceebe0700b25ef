#include "model/project/schema_check_hook.h"
#include "persistence/project_reader.h"

namespace velmora {

bool CheckProjectAgainstSchema(AGP& proj) {
    RunProjectSchemaCheck(proj);
    return true;
}

}  // namespace velmora
