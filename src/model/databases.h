// AGPDatabases: a list of databases (the project's main databases, or its linked databases),
// keyed by name, numbered by DBSeq, with a current database.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/database.h"
#include "model/entity_list.h"

namespace velmora {

class AGPDatabases : public AutomationObject {
public:
    // Key and DBSeq of the current database; "" and 0 while there is none.
    std::string curName() const { return list_.CurrentName(); }
    std::int16_t curSeq() const { return list_.CurrentSeq(); }

    // Adds a database under `name` (also its DBName until a loader names it), numbered Count and
    // made current; false for an empty or taken name.
    bool Add(std::string_view name);
    std::int32_t Count() const { return list_.Count(); }
    // Removes a database (by key or position); the later ones move down by one.
    bool Delete(const Variant& index) { return list_.Remove(list_.Find(index)); }
    std::shared_ptr<AGPDatabase> Item(const Variant& index) { return list_.MakeCurrent(list_.Find(index)); }
    bool DBExist(const Variant& index) const { return list_.Find(index) != nullptr; }
    std::shared_ptr<AGPDatabase> Seq(std::int16_t index) const { return list_.FindSeq(index); }
    std::shared_ptr<cEnumerationObject> NewEnum_db() const { return list_.NewEnum(); }

    std::vector<std::shared_ptr<AGPDatabase>> Items() const { return list_.Items(); }
    void Clear() { list_.Clear(); }

private:
    EntityList<AGPDatabase, &AGPDatabase::DBSeq, &AGPDatabase::SetDBSeq> list_;
};

}  // namespace velmora
