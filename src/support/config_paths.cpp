#include "support/config_paths.h"

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/text.h"

namespace velmora {
namespace fs = std::filesystem;

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kConfigFiles{{
    {"platformfile", "src/platforms.xml"},
    {"configfile", "src/settings.xml"},
    {"codebase", "src/codebase.xml"},
    {"keyword", "src/keyword.xml"},
    {"languagefolder", "languages"},
    {"themefolder", "themes"},
}};

std::string ExecutableFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::string DetectInstallFolder() {
    for (fs::path dir = ExecutableFolder(); !dir.empty(); dir = dir.parent_path()) {
        std::error_code ec;
        if (fs::exists(dir / "src/settings.xml", ec)) return dir.string();
        if (fs::exists(dir / "share/velmora/src/settings.xml", ec)) return (dir / "share/velmora").string();
        if (dir == dir.root_path()) break;
    }
    return VELMORA_SOURCE_DIR;
}

}  // namespace

std::string InstallFolder() {
    std::string configured = GetRegValue("HKCU", SettingsSection("General"), "InstallPath").ToText();
    if (!configured.empty()) return configured;
    static const std::string detected = DetectInstallFolder();
    return detected;
}

std::string FindTemplatePackage(std::string_view name) {
    namespace fs = std::filesystem;
    std::string package = ReplaceAll(Trim(name), "\\", "/");
    if (package.empty()) return {};
    std::error_code ec;
    if (fs::exists(package, ec)) return package;
    std::string base = fs::path(package).filename().string();
    if (base.empty()) return {};
    fs::path shipped = fs::path(InstallFolder()) / "templates" / base;
    return fs::exists(shipped, ec) ? shipped.string() : std::string();
}

std::string GetConfigPath(std::string_view name) {
    std::string configured = GetRegValue("HKCU", SettingsSection("General"), name).ToText();
    if (!configured.empty()) return configured;
    std::string lower = ToLowerAscii(name);
    for (auto [key, relative] : kConfigFiles) {
        if (key != lower) continue;
        std::string base = InstallFolder();
        if (base.empty()) return {};
        if (base.back() != '/' && base.back() != '\\') base += '/';
        return base + std::string(relative);
    }
    return {};
}

std::string UserDataFolder() {
    if (const char* dir = std::getenv("VELMORA_USER_DIR"); dir && *dir) return dir;
    std::string product = ReplaceAll(ReplaceAll(kProductName, "/", ""), " ", "");
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/" + product;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "/root") + "/.local/share/" + product;
}

}  // namespace velmora
