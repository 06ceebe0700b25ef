// Where the engine finds its own files and the user's folders.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The installation folder: the General value "InstallPath" when set, else the folder the engine
// runs from (the first folder upwards from the executable that holds src/settings.xml), else
// the source tree it was built from.
std::string InstallFolder();

// The path of one of the engine's configuration files or folders: the General value `name` when
// it is set; otherwise, by the lower-cased name, "platformfile" src/platforms.xml, "configfile"
// src/settings.xml, "codebase" src/codebase.xml, "keyword" src/keyword.xml, "languagefolder"
// languages, "themefolder" themes, below the installation folder; any other name gives "".
std::string GetConfigPath(std::string_view name);

// Where the template package a project names lives: the name as a path when it exists, else the
// package of that name shipped in the installation's "templates" folder; empty when neither is
// there (or no name is given).
std::string FindTemplatePackage(std::string_view name);

// The user's data folder ($VELMORA_USER_DIR, default ${XDG_DATA_HOME:-~/.local/share}/Velmora).
std::string UserDataFolder();

}  // namespace velmora
