#include "model/tables.h"

#include "model/agp.h"
#include "model/table_events.h"
#include "support/text.h"

namespace velmora {

bool AGPTables::Add(std::string_view name) {
    if (name.empty() || list_.FindKey(name)) return false;
    for (const auto& table : list_.Items()) {
        if (EqualsNoCase(table->TblName(), name)) {
            std::string key = table->Key();  // a copy: Change replaces the table's key
            Change(key, name);
            return false;
        }
    }
    auto table = list_.Append(name);
    if (!table) return false;
    table->SetDatabaseProperties(databaseProperties_);
    table->SetTblName(std::string(name));
    return true;
}

bool AGPTables::Change(std::string_view oldName, std::string_view newName) {
    if (oldName.empty() || newName.empty()) return false;
    if (oldName == newName) return true;
    auto table = list_.FindKey(oldName);
    if (!table) return false;
    std::string oldKey = table->Key();
    if (!list_.Rekey(oldName, newName)) return false;
    table->SetTblVar(MakeVarName(newName));
    TableRenamed(oldKey, newName);
    return true;
}

bool AGPTables::Delete(const Variant& index) {
    auto table = list_.Find(index);
    if (!table) return false;
    TableDeleted(table->Key());
    return list_.Remove(table);
}

}  // namespace velmora
