#include "model/extensions/extensions.h"

#include <filesystem>
#include <system_error>

#include "model/project/agp.h"
#include "support/config_paths.h"
#include "support/settings_store.h"
#include "support/text.h"

namespace velmora {
namespace {

ExtSchemaProvider& Provider() {
    static ExtSchemaProvider provider;
    return provider;
}

std::string WithForwardSlashes(std::string_view path) { return ReplaceAll(path, "\\", "/"); }

}  // namespace

std::shared_ptr<AGPExtensions> SharedExtensions() {
    static auto extensions = std::make_shared<AGPExtensions>();
    return extensions;
}

AGPExtensions& Extensions() { return *SharedExtensions(); }

std::string ExtensionSourceFolder(std::string_view valueName) {
    std::string folder = Trim(GetRegValue("HKCU", ExtensionsSection(), valueName).ToText());
    if (folder.empty()) folder = Trim(GetConfigPath(valueName));
    return folder;
}

std::string ExtensionFilePath(std::string_view folder, std::string_view fileName) {
    namespace fs = std::filesystem;
    std::string dir = WithForwardSlashes(folder);
    std::string name = WithForwardSlashes(fileName);
    while (!name.empty() && name.front() == '/') name.erase(0, 1);
    if (!dir.empty() && dir.back() != '/') dir += '/';
    std::string path = dir + name;

    std::error_code ec;
    if (name.empty() || fs::exists(path, ec)) return path;
    fs::path wanted(path);
    fs::path parent = wanted.parent_path().empty() ? fs::path(".") : wanted.parent_path();
    for (const auto& entry : fs::directory_iterator(parent, ec)) {
        if (EqualsNoCase(entry.path().filename().string(), wanted.filename().string()))
            return (wanted.parent_path() / entry.path().filename()).string();
    }
    return path;
}

std::string LocateExtensionFolder(const std::vector<std::string_view>& valueNames, std::string_view fileName) {
    if (fileName.empty()) return {};
    std::error_code ec;
    for (std::string_view valueName : valueNames) {
        std::string folder = ExtensionSourceFolder(valueName);
        if (folder.empty()) continue;
        if (std::filesystem::is_regular_file(ExtensionFilePath(folder, fileName), ec))
            return WithForwardSlashes(folder);
    }
    return {};
}

void SetExtSchemaProvider(ExtSchemaProvider provider) { Provider() = std::move(provider); }

std::shared_ptr<ExtSchema> ExtSchemaOf(AGP& project) {
    const ExtSchemaProvider& provider = Provider();
    return provider ? provider(project) : DatabaseSchemaOf(project);
}

ProjectConditionSource ExtConditionSource(AGP& project, std::shared_ptr<ExtSchema> schema) {
    return ProjectConditionSource(&project, [schema](CondObject object, std::string_view name) -> std::optional<CondOperand> {
        if (!schema || object == CondObject::Ctrl) return std::nullopt;
        return schema->Attribute(object, name);
    });
}

}  // namespace velmora
