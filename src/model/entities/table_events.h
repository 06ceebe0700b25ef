#pragma once

#include <string_view>

namespace velmora {

// Called by the table collection after a table was renamed or deleted, so that
// per-table data kept elsewhere (phrases, menu items) follows the table.
void TableRenamed(std::string_view oldName, std::string_view newName);
void TableDeleted(std::string_view name);

}  // namespace velmora
