// AGPTables: the tables of a database, keyed by name, numbered by TblSeq, with a current table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/entity_list.h"
#include "model/table.h"

namespace velmora {

class AGPTables : public AutomationObject {
public:
    AGPTables() = default;
    // `databaseProperties`: the bag of the database that owns the tables, passed on to each table.
    explicit AGPTables(std::weak_ptr<AGProperties> databaseProperties)
        : databaseProperties_(std::move(databaseProperties)) {}

    // Key and TblSeq of the current table; "" and 0 while there is none.
    std::string curName() const { return list_.CurrentName(); }
    std::int16_t curSeq() const { return list_.CurrentSeq(); }

    // Adds a table named `name` (TblName), numbered Count and made current. False for an empty or
    // taken name; a table whose TblName is `name` but that is held under another key is re-keyed
    // back to `name` instead (the result is still false: nothing was added).
    bool Add(std::string_view name);
    // Re-keys a table and renames what is kept per table elsewhere (phrases, menu items); TblVar
    // follows the new name, TblName stays. Equal names: true without change.
    bool Change(std::string_view oldName, std::string_view newName);
    std::int32_t Count() const { return list_.Count(); }
    // Removes a table (by key or position) with its phrases and menu items; the later tables
    // move down by one.
    bool Delete(const Variant& index);
    bool TableExist(const Variant& index) const { return list_.Find(index) != nullptr; }
    // The item, without making it current; nullptr when there is none.
    std::shared_ptr<AGPTable> Find(const Variant& index) const { return list_.Find(index); }
    // By key or position; the table found becomes current. nullptr when there is none.
    std::shared_ptr<AGPTable> Item(const Variant& index) { return list_.MakeCurrent(list_.Find(index)); }
    // The table whose TblSeq is `index`.
    std::shared_ptr<AGPTable> Seq(std::int16_t index) const { return list_.FindSeq(index); }
    bool SetItem(const Variant& index) { return Item(index) != nullptr; }
    bool SetSeq(std::int16_t index) { return list_.MakeCurrent(list_.FindSeq(index)) != nullptr; }
    std::shared_ptr<cEnumerationObject> NewEnum_tbl() const { return list_.NewEnum(); }

    // The tables in collection order.
    std::vector<std::shared_ptr<AGPTable>> Items() const { return list_.Items(); }
    // Removes every table without touching phrases or menus (the project is being closed).
    void Clear() { list_.Clear(); }

private:
    EntityList<AGPTable, &AGPTable::TblSeq, &AGPTable::SetTblSeq> list_;
    std::weak_ptr<AGProperties> databaseProperties_;
};

}  // namespace velmora
