#include "model/entities/databases.h"

namespace velmora {

bool AGPDatabases::Add(std::string_view name) {
    auto database = list_.Append(name);
    if (!database) return false;
    database->SetDBName(std::string(name));
    return true;
}

}  // namespace velmora
