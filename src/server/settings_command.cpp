#include <algorithm>
#include <iostream>

#include <fmt/format.h>

#include "server/commands.h"
#include "support/settings_store.h"
#include "support/text.h"

namespace velmora::cli {
namespace {

SettingsStore& StoreOf(const SettingsOptions& options) {
    return options.machine ? MachineStore() : CurrentUserStore();
}

// SECTION is given relative to the settings base section ("General", "Project\Sub").
std::string FullSection(const std::string& section) {
    return section.empty() ? SettingsSection() : SettingsSection(ReplaceAll(section, "/", "\\"));
}

std::string Show(const Variant& value) {
    if (value.Type() != VarType::Array) return value.ToText();
    std::string out;
    for (const Variant& item : value.AsArray()) out += (out.empty() ? "" : "|") + item.ToText();
    return out;
}

int ReportStoreError(const SettingsStore& store) {
    if (store.LastError().empty()) return kExitOk;
    std::cerr << store.LastError() << '\n';
    return kExitFailure;
}

void ListSection(const SettingsStore& store, const std::string& section, const std::string& shownAs) {
    for (const RegEntry& entry : store.Values(section))
        std::cout << fmt::format("{}\\{} ({}) = {}\n", shownAs, entry.name, entry.type, Show(entry.value));
    for (const std::string& child : store.Subsections(section))
        ListSection(store, section + "\\" + child, shownAs.empty() ? child : shownAs + "\\" + child);
}

}  // namespace

int SettingsList(const SettingsOptions& options) {
    SettingsStore& store = StoreOf(options);
    ListSection(store, FullSection(options.section), options.section);
    return ReportStoreError(store);
}

int SettingsGet(const SettingsOptions& options) {
    SettingsStore& store = StoreOf(options);
    auto entry = store.Read(FullSection(options.section), options.name);
    if (!entry) {
        if (int rc = ReportStoreError(store)) return rc;
        std::cerr << fmt::format("No value '{}' in section '{}'.\n", options.name, options.section);
        return kExitFailure;
    }
    std::cout << Show(entry->value) << '\n';
    return kExitOk;
}

int SettingsSet(const SettingsOptions& options) {
    static constexpr std::int32_t kTypes[] = {kRegText, kRegExpandText, kRegBinary, kRegNumber,
                                              kRegBigEndianNumber, kRegMultiText};
    if (std::find(std::begin(kTypes), std::end(kTypes), options.type) == std::end(kTypes)) {
        std::cerr << fmt::format("Unknown value type {}: use 1, 2, 3, 4, 5 or 7.\n", options.type);
        return kExitUsage;
    }
    Variant value(options.value);
    if (options.type == kRegMultiText || options.type == kRegBinary) {
        Variant::Array items;
        for (const std::string& part : Split(options.value, '|')) items.emplace_back(part);
        if (options.value.empty()) items.clear();
        value = Variant(std::move(items));
    }
    SettingsStore& store = StoreOf(options);
    if (!store.Write(FullSection(options.section), options.name, options.type, value)) {
        std::cerr << store.LastError() << '\n';
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace velmora::cli
