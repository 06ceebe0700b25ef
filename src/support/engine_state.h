// Engine-wide state: exists once per process, shared by every root object.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr std::string_view kProductName = "Velmora";
inline constexpr int kVersionMajor = VELMORA_VERSION_MAJOR;
inline constexpr int kVersionMinor = VELMORA_VERSION_MINOR;
inline constexpr int kVersionRevision = VELMORA_VERSION_PATCH;

// "12.0.0"
std::string EngineVersion();
// The engine version, with the major part shown as "2016" for major version 13.
std::string DisplayVersion();
// Product name + ": " + text, the form of every message the engine shows.
std::string ProductMessage(std::string_view text);

struct EngineState {
    std::string ProjErr;
    std::string ProjErrDb;
    bool projectDirty = false;
    std::string trace;
    std::string currentProjectFile;
    std::string scriptLanguage = "JScript";
    std::int32_t scriptEngineTimeout = 0;
    std::int16_t defaultDateFormat = 0;
    std::string languageFolder;
    std::string defaultTemplateFile;
    std::string userDataFolder;
    std::string backupFolder;
    std::string reportFolder;
    std::string projectVarName;
    std::int16_t appCompatVersion = 0;
    std::string templateExtension;
    // Kind of the current database: 1 Access, 2 SQL Server, 3 MySQL, 4 Oracle, 5 PostgreSQL,
    // 6 SQLite, 99 other; 0 while none is known.
    std::int16_t databaseKind = 0;
    // The project's database as the last schema load or project read left it: its product name,
    // identifier quotes, the SQLQuote setting and the database's default security.
    std::string dbmsName;
    std::string quoteStart;
    std::string quoteEnd;
    std::string sqlQuote;
    std::string secDefault;
};

EngineState& Engine();

// Sets ProjErr and returns false, so a failing operation can `return Fail("...")`.
bool Fail(std::string message);

}  // namespace velmora
