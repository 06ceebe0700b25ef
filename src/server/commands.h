// The subcommands of the velmora command line. Each returns the process exit code:
// 0 success, 1 failure (the message is printed), 2 usage error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct SettingsOptions {
    bool machine = false;
    std::string section;
    std::string name;
    std::string value;
    std::int32_t type = 1;
};

int SettingsList(const SettingsOptions& options);
int SettingsGet(const SettingsOptions& options);
int SettingsSet(const SettingsOptions& options);

// Prints the project properties a new project starts with.
int Defaults(bool json);

// Saves a new project named `name` to `file` (default: the project's variable name + ".vlp").
int NewProject(const std::string& name, const std::string& file);
// Prints a project file's name, database and tables.
int ShowProject(const std::string& file, bool json);

// Runs a script file with `new AGP()`, print() and scriptArgs; 1 on an uncaught error.
int RunScript(const std::string& file, const std::vector<std::string>& args);

}  // namespace velmora::cli
