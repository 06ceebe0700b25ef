// AGPTables: the tables of a database, keyed by name, numbered by TblSeq, with a current table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/core/entity_list.h"
#include "model/entities/table.h"

namespace velmora {

class AGPTables : public EntityCollection<AGPTable, &AGPTable::TblSeq, &AGPTable::SetTblSeq> {
public:
    AGPTables() = default;
    // `databaseProperties`: the bag of the database that owns the tables, passed on to each table.
    explicit AGPTables(std::weak_ptr<AGProperties> databaseProperties)
        : databaseProperties_(std::move(databaseProperties)) {}

    // Adds a table named `name` (TblName), numbered Count and made current. False for an empty or
    // taken name; a table whose TblName is `name` but that is held under another key is re-keyed
    // back to `name` instead (the result is still false: nothing was added).
    bool Add(std::string_view name);
    // Re-keys a table and renames what is kept per table elsewhere (phrases, menu items); TblVar
    // follows the new name, TblName stays. Equal names: true without change.
    bool Change(std::string_view oldName, std::string_view newName);
    // Removes a table (by key or position) with its phrases and menu items; the later tables
    // move down by one.
    bool Delete(const Variant& index);
    bool TableExist(const Variant& index) const { return Exists(index); }
    std::shared_ptr<cEnumerationObject> NewEnum_tbl() const { return list_.NewEnum(); }

private:
    std::weak_ptr<AGProperties> databaseProperties_;
    // Tables re-keyed by Change, the only ones whose TblName can differ from their key.
    std::vector<std::weak_ptr<AGPTable>> renamed_;
};

}  // namespace velmora
