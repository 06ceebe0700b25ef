// cRegistry: the registry accessor. Four settable properties select what the next operation
// works on; one shared instance serves the engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/settings_store.h"

namespace velmora {

class cRegistry {
public:
    // kHKeyCurrentUser or kHKeyLocalMachine.
    std::uint32_t ClassKey = kHKeyCurrentUser;
    std::string SectionKey;
    std::string ValueKey;
    // The type of the last value read, or the type the next write uses.
    std::int32_t ValueType = kRegText;
    // What a read gives when the key or the value is missing.
    Variant Default;

    bool KeyExists() const;
    bool CreateKey();
    bool DeleteKey();
    bool DeleteValue();
    // Reads ValueKey of SectionKey by its stored type; Default when missing.
    Variant Value();
    // Writes ValueKey with ValueType.
    bool SetValue(const Variant& value);
    std::vector<std::string> EnumerateValues() const;
    std::vector<std::string> EnumerateSections() const;

private:
    SettingsStore& Store() const;
};

cRegistry& Registry();

}  // namespace velmora
