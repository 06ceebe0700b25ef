#include "model/entities/tables.h"

#include <algorithm>

#include "model/project/agp.h"
#include "model/entities/table_events.h"
#include "support/text.h"

namespace velmora {
namespace {

// Whether a table's TblName is `name`: the table was re-keyed by Change and is added back under
// its own name. Reads the entry in place, since Add asks this of every table.
bool HoldsName(const AGPTable& table, std::string_view name) {
    const AGProperties& bag = *table.Properties();
    std::size_t pos = bag.IndexOf("TblName");
    if (pos == AGProperties::npos) return false;
    const Variant& value = bag.ValueAt(pos);
    return value.IsString() ? EqualsNoCase(value.AsString(), name) : EqualsNoCase(value.ToText(), name);
}

}  // namespace

bool AGPTables::Add(std::string_view name) {
    if (name.empty() || list_.FindKey(name)) return false;
    // Only a table re-keyed by Change can hold a TblName other than its key.
    std::erase_if(renamed_, [](const std::weak_ptr<AGPTable>& t) { return t.expired(); });
    for (const auto& weak : renamed_) {
        auto table = weak.lock();
        if (!table || list_.FindKey(table->Key()) != table || !HoldsName(*table, name)) continue;
        std::string key = table->Key();  // a copy: Change replaces the table's key
        Change(key, name);
        return false;
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
    if (std::none_of(renamed_.begin(), renamed_.end(), [&](const auto& t) { return t.lock() == table; }))
        renamed_.push_back(table);
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
