#include "support/registry.h"

namespace velmora {

SettingsStore& cRegistry::Store() const {
    return ClassKey == kHKeyLocalMachine ? MachineStore() : CurrentUserStore();
}

bool cRegistry::KeyExists() const { return Store().KeyExists(SectionKey); }
bool cRegistry::CreateKey() { return Store().CreateKey(SectionKey); }
bool cRegistry::DeleteKey() { return Store().DeleteKey(SectionKey); }
bool cRegistry::DeleteValue() { return Store().DeleteValue(SectionKey, ValueKey); }

Variant cRegistry::Value() {
    auto entry = Store().Read(SectionKey, ValueKey);
    if (!entry) return Default;
    ValueType = entry->type;
    return entry->value;
}

bool cRegistry::SetValue(const Variant& value) { return Store().Write(SectionKey, ValueKey, ValueType, value); }

std::vector<std::string> cRegistry::EnumerateValues() const {
    std::vector<std::string> names;
    for (const RegEntry& entry : Store().Values(SectionKey)) names.push_back(entry.name);
    return names;
}

std::vector<std::string> cRegistry::EnumerateSections() const { return Store().Subsections(SectionKey); }

cRegistry& Registry() {
    static cRegistry registry;
    return registry;
}

}  // namespace velmora
