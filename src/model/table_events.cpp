#include "model/table_events.h"

#include "model/language.h"
#include "model/menus.h"

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
