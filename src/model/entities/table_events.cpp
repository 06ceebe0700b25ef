#include "model/entities/table_events.h"

#include "model/project/language.h"
#include "model/project/menus.h"

namespace velmora {

void TableRenamed(std::string_view oldName, std::string_view newName) {
    Language().RenameTable(oldName, newName);
    MenuList().RenameSource(oldName, newName);
}

void TableDeleted(std::string_view name) {
    AGPLanguage& language = Language();
    language.DeleteTablePhrase(name);
    language.DeleteTableFieldPhrases(name);
    MenuList().DeleteMenuBySource(name);
}

}  // namespace velmora
