// AGPDatabases: a list of databases (the project's main databases, or its linked databases),
// keyed by name, numbered by DBSeq, with a current database.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/entities/database.h"
#include "model/core/entity_list.h"

namespace velmora {

class AGPDatabases : public EntityCollection<AGPDatabase, &AGPDatabase::DBSeq, &AGPDatabase::SetDBSeq> {
public:
    // Adds a database under `name` (also its DBName until a loader names it), numbered Count and
    // made current; false for an empty or taken name.
    bool Add(std::string_view name);
    // Removes a database (by key or position); the later ones move down by one.
    bool Delete(const Variant& index) { return list_.Remove(list_.Find(index)); }
    bool DBExist(const Variant& index) const { return Exists(index); }
    std::shared_ptr<cEnumerationObject> NewEnum_db() const { return list_.NewEnum(); }
};

}  // namespace velmora
