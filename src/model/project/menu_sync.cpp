#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/project/menus.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "support/engine_state.h"

namespace velmora {

void SyncMenuWithTables(AGP& project) {
    AGPMenus& menus = MenuList();
    auto database = project.DB();
    std::vector<std::string> gone;
    for (const auto& item : menus.Items()) {
        const std::string& source = item->MenuSource();
        if (!source.empty() && (!database || !database->Tables()->TableExist(Variant(source)))) gone.push_back(source);
    }
    for (const std::string& source : gone) menus.DeleteMenuBySource(source);
    if (!database) return;
    std::string error = Engine().ProjErr;
    for (const auto& table : database->Tables()->Items()) {
        if (!table->TblGen() && table->TblLoaded()) continue;
        if (menus.MenuHasTable(table->TblName())) continue;
        MenuValues values;
        values.MenuText = table->TblCaption();
        values.MenuSource = table->TblName();
        values.MenuShow = true;
        values.MenuDisplayOrder = menus.Count() + 1;
        menus.AddMenu(values);
    }
    Engine().ProjErr = std::move(error);
}

}  // namespace velmora
