// The settings store: a file-backed registry with sections, named values and value types.
//
// Current user: $VELMORA_CONFIG_DIR/registry.json (default ${XDG_CONFIG_HOME:-~/.config}/velmora).
// Machine:      $VELMORA_MACHINE_CONFIG (default /etc/velmora/registry.json).
// Section paths keep their backslashes as written ("Software\Velmora\12.0\Settings\General");
// sections and value names are matched without regard to case. Writes go to a temporary file
// that is renamed over the store. A store file that does not parse is never overwritten.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/variant.h"

namespace velmora {

enum class RegRoot { CurrentUser, Machine };

inline constexpr std::uint32_t kHKeyCurrentUser = 0x80000001;
inline constexpr std::uint32_t kHKeyLocalMachine = 0x80000002;

// Value types of the store.
enum RegType : std::int32_t {
    kRegNone = 0,
    kRegText = 1,
    kRegExpandText = 2,
    kRegBinary = 3,
    kRegNumber = 4,
    kRegBigEndianNumber = 5,
    kRegMultiText = 7,
};

struct RegEntry {
    std::string name;
    std::int32_t type = kRegNone;
    // Text types as String (expandable text with $VAR, ${VAR} and %VAR% expanded), numbers as
    // Long, binary as an Array of byte-valued Integers, multi-text as an Array of Strings.
    Variant value;
};

class SettingsStore {
public:
    explicit SettingsStore(RegRoot root) : root_(root) {}

    // The store file, from the environment at the time of the call.
    std::string Path() const;

    bool KeyExists(std::string_view section) const;
    std::optional<RegEntry> Read(std::string_view section, std::string_view name) const;
    std::vector<RegEntry> Values(std::string_view section) const;
    // Names of the immediate subsections, sorted.
    std::vector<std::string> Subsections(std::string_view section) const;

    // The writers return false and set LastError() on failure (a corrupt store, a value that does
    // not fit the type, a file that cannot be written).
    bool CreateKey(std::string_view section);
    bool Write(std::string_view section, std::string_view name, std::int32_t type,
               const Variant& value);
    bool DeleteValue(std::string_view section, std::string_view name);
    // Removes the section and all its subsections.
    bool DeleteKey(std::string_view section);

    const std::string& LastError() const { return lastError_; }

private:
    RegRoot root_;
    mutable std::string lastError_;
};

// While one lives, a store file read once is not checked again for changes made by other
// processes: a load reads the defaults of thousands of entities from the same sections.
class SettingsSnapshot {
public:
    SettingsSnapshot();
    ~SettingsSnapshot();
    SettingsSnapshot(const SettingsSnapshot&) = delete;
    SettingsSnapshot& operator=(const SettingsSnapshot&) = delete;
};

SettingsStore& CurrentUserStore();
SettingsStore& MachineStore();

// root "HKLM" (exactly) reads the machine store, any other text the current user's. Missing
// values give an empty Variant. The type of the value read is kept as LastRegValueType().
Variant GetRegValue(std::string_view root, std::string_view section, std::string_view name);
bool SetRegValue(std::string_view root, std::string_view section, std::string_view name,
                 std::int32_t type, const Variant& value);
std::int32_t LastRegValueType();

// Expands $VAR, ${VAR} and %VAR% references to environment variables; unknown ones stay.
std::string ExpandEnvironment(std::string_view text);

// Section names.
std::string BaseSection();                       // Software\Velmora\12.0
std::string SettingsSection(std::string_view sub = {});  // ...\Settings[\sub]
std::string AdvancedFiltersSection();
std::string ExtensionsSection();
inline constexpr std::string_view kOdbcIniSection = "Software\\ODBC\\ODBC.INI";
inline constexpr std::string_view kOdbcInstIniSection = "Software\\ODBC\\ODBCINST.INI";

// Copies every value and subsection of `section` from the machine store to the current user's,
// depth first. Returns false when a write fails.
bool CopyMachineSectionToUser(std::string_view section);

}  // namespace velmora
