#include "generation/extension_merge.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "generation/gen_cache.h"
#include "generation/package.h"
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/entities/database.h"
#include "model/extensions/extensions.h"
#include "model/entities/fields.h"
#include "model/entities/tables.h"
#include "persistence/project_reader.h"
#include "platform/prompter.h"
#include "platform/regex.h"
#include "platform/xml.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

bool IsAction(std::string_view action, std::string_view name) { return EqualsNoCase(TrimView(action), name); }

// The folder holding the extension's definition file (its package when it has none).
std::string ExtensionFolder(const AGPExtension& extension) {
    std::string marker = extension.XmlFile().empty() ? extension.Template() : extension.XmlFile();
    std::vector<std::string_view> settings{kExtSourceFolder, kExtSourceFolder2};
    if (extension.IsViewTemplate()) settings = {kExtViewTagsFolder};
    std::string folder = LocateExtensionFolder(settings, marker);
    // A folder no setting names any more still serves while it holds the files.
    if (folder.empty() && !extension.Folder().empty() && !marker.empty() &&
        FileExists(ExtensionFilePath(extension.Folder(), marker)))
        folder = extension.Folder();
    return folder;
}

void ApplySessions(const AGPControl& from, AGPControl& to, const std::string& extension) {
    auto sessions = from.Sessions();
    auto target = to.Sessions();
    for (std::int32_t i = 1; i <= sessions->Count(); ++i) {
        AGPSession session = *sessions->Item(i);
        session.SessExt = extension;
        if (IsAction(session.SessAction, "add"))
            target->AddSession(session, session.SessLocation, session.SessLocType);
        else if (IsAction(session.SessAction, "change"))
            target->ChangeSession(session.SessValue, session);
        else if (IsAction(session.SessAction, "delete"))
            target->DeleteSession(session.SessValue);
    }
}

// The type the extension's definition file declares; "" when it declares none.
std::string DeclaredType(const AGPExtension& extension) {
    if (extension.Folder().empty() || extension.XmlFile().empty()) return {};
    XmlDocument doc;
    if (!doc.Load(ExtensionFilePath(extension.Folder(), extension.XmlFile()))) return {};
    return Trim(doc.DocumentNode().SelectSingleNode("//type").Text());
}

}  // namespace

ResolvedExtension ResolveExtension(AGP&, AGPExtension& extension, std::string_view extensionsFolder,
                                   AGPCache& cache) {
    ResolvedExtension result;
    const std::string name = extension.Name();
    std::string folder = ExtensionFolder(extension);
    if (folder.empty() || extension.Template().empty()) return result;
    extension.SetFolder(folder);
    std::string package = ExtensionFilePath(folder, extension.Template());
    if (!FileExists(package)) return result;
    result.found = true;

    // The working folder is named after the extension as it stands, where the driver looks for it.
    if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos) {
        Fail(ProductMessage("Extension " + Quoted(name) + " has no name usable as a folder name."));
        return result;
    }
    std::string base(extensionsFolder);
    while (base.size() > 1 && (base.back() == '/' || base.back() == '\\')) base.pop_back();
    result.changed = cache.CheckFile(kCacheGroupExtension, name, package) != 0;
    std::string error;
    if (!PreparePackage(package, base + "/" + name, result.changed, result.folder, error)) {
        Fail(ProductMessage("Extension " + Quoted(name) + ": " + error));
        return result;
    }
    cache.UpdateFile(kCacheGroupExtension, name, package);
    return result;
}

bool ExtensionVersionFits(std::string_view extensionVersion, std::string_view engineVersion) {
    int comparison = CompareVersion(extensionVersion, engineVersion);
    return comparison == 0 || comparison == 1;
}

bool MergeExtension(AGP& project, std::string_view name, std::string_view folder, std::string& version) {
    version.clear();
    auto failure = [](std::int32_t code, const std::string& text) {
        SetControlFileError(code);
        return Fail(ProductMessage(text));
    };
    auto extension = project.Extensions()->Find(name);
    if (!extension) return failure(1, "Extension " + Quoted(name) + " does not exist.");
    std::string path = ExtensionFilePath(folder, "control.xml");
    std::error_code ec;
    if (folder.empty() || !fs::is_regular_file(path, ec))
        return failure(1, "Control file " + Quoted(path) + " of extension " + Quoted(name) + " not found.");

    AGPControls scratch;
    SetControlFileError(0);
    if (!scratch.LoadControls(path, &project)) {
        // A malformed attribute fails without a code; to the caller the file is just not loadable.
        if (ControlFileError() == 0) SetControlFileError(1);
        return false;
    }
    if (!ExtensionVersionFits(scratch.ProdVersion(), EngineVersion())) {
        version = scratch.ProdVersion();
        return failure(3, "Incorrect version (" + version + ") for extension " + Quoted(name) + ".");
    }

    const std::string extName = extension->Name();
    AGPControls& controls = *project.Controls();
    for (const auto& control : scratch.Items()) {
        control->CtrlExt = extName;
        if (IsAction(control->CtrlAction, "add")) {
            controls.AddControl(*control);
        } else if (IsAction(control->CtrlAction, "delete")) {
            controls.DeleteControl(*control);
        } else if (IsAction(control->CtrlAction, "change")) {
            const auto& items = controls.Items();
            auto target = std::find_if(items.begin(), items.end(), [&](const auto& item) {
                return item->CtrlID == control->CtrlID && item->CtrlType == control->CtrlType;
            });
            if (target != items.end()) ApplySessions(*control, **target, extName);
        }
    }
    return true;
}

void EnableViewTemplates(AGP& project) {
    auto extensions = project.Extensions();
    for (const auto& extension : extensions->Items())
        if (extension->IsViewTemplate()) extension->SetEnabled(false);
    auto db = project.DB();
    if (!db) return;

    RegExp member(R"re("id"\s*:\s*"(\w+)")re");
    member.SetIgnoreCase(true);
    for (const auto& table : db->Tables()->Items()) {
        if (!table->TblGen()) continue;
        for (const auto& field : table->Fields()->Items()) {
            std::string text = field->FldViewTemplate();
            if (text.empty()) continue;
            auto matches = member.Execute(text);
            if (matches.empty() || matches.front().SubMatches.empty()) continue;
            std::string id = ToLowerAscii(matches.front().SubMatches.front());
            if (auto extension = extensions->Find(id)) {
                extension->SetEnabled(true);
                extension->SetIsViewTemplate(true);
            } else {
                project.AddViewTemplateExtension(id, id + ".zip", id + ".xml");
            }
        }
    }
}

std::int32_t DisableConflictingExtensions(AGP& project) {
    auto extensions = project.Extensions()->Items();
    std::stable_sort(extensions.begin(), extensions.end(),
                     [](const auto& a, const auto& b) { return a->Seq() < b->Seq(); });
    std::vector<std::pair<std::string, std::string>> declared;  // type, extension that holds it
    std::int32_t disabled = 0;
    for (const auto& extension : extensions) {
        if (!extension->Enabled()) continue;
        std::string type = DeclaredType(*extension);
        if (type.empty()) continue;
        auto holder = std::find_if(declared.begin(), declared.end(),
                                   [&](const auto& entry) { return EqualsNoCase(entry.first, type); });
        if (holder == declared.end()) {
            declared.emplace_back(type, extension->Name());
            continue;
        }
        extension->SetEnabled(false);
        ++disabled;
        ShowMessage("Extension '" + extension->Name() + "' of type '" + type +
                    "' is disabled since another extension '" + holder->second + "' of the same type is enabled!");
    }
    return disabled;
}

}  // namespace velmora
