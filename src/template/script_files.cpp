// Script files of a template package: index files that list them, reading them, and debug copies
// of assembled code.
#include <filesystem>
#include <map>

#include "platform/prompter.h"
#include "platform/xml.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/text.h"
#include "support/text_file.h"
#include "template/script_files.h"

namespace velmora {

namespace {

bool AttributeFlag(const XmlNode& element, std::string_view name) {
    return ToBoolean(Variant(element.GetAttributeNoCase(name))).value_or(false);
}

std::string FolderOf(std::string_view path) {
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::map<std::string, std::string>& PackageScriptFiles() {
    static std::map<std::string, std::string> files;
    return files;
}

}  // namespace

std::string GeneralSetting(std::string_view name) {
    std::string value = GetRegValue("HKCU", SettingsSection("General"), name).ToText();
    if (!value.empty()) return value;
    auto found = PackageScriptFiles().find(ToUpperAscii(name));
    return found == PackageScriptFiles().end() ? value : found->second;
}

void SetPackageScriptFile(std::string_view name, std::string_view path) {
    if (path.empty())
        PackageScriptFiles().erase(ToUpperAscii(name));
    else
        PackageScriptFiles()[ToUpperAscii(name)] = std::string(path);
}

void ClearPackageScriptFiles() { PackageScriptFiles().clear(); }

std::string ReadScriptFile(std::string_view path) {
    if (!PathExists(path)) {
        ShowMessage(ProductMessage(std::string("Script file ") + std::string(path) +
                                   " not found! Content not loaded!"));
        return {};
    }
    return ReadTextFile(path);
}

bool& DebugFilesHeldBack() {
    static bool heldBack = false;
    return heldBack;
}

void HoldBackDebugFiles(bool holdBack) { DebugFilesHeldBack() = holdBack; }

void WriteDebugFile(std::string_view folder, std::string_view name, std::string_view text) {
    if (folder.empty() || DebugFilesHeldBack()) return;
    std::string path = JoinScriptPath(folder, name);
    EncodedText encoded = EncodeTextFile(text, true);
    // The same copy again is not written, so that a run that changes nothing touches nothing.
    if (ReadFileBytes(path) == encoded.bytes) return;
    std::string saved = Engine().ProjErr;
    WriteEncodedFile(path, encoded);
    Engine().ProjErr = saved;  // a debug file that cannot be written is no reason to fail
}

std::string OnDiskPath(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(path, ec)) return path;
    fs::path wanted(path);
    fs::path parent = wanted.has_parent_path() ? wanted.parent_path() : fs::path(".");
    std::string name = wanted.filename().string();
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
        if (EqualsNoCase(it->path().filename().string(), name))
            return (wanted.parent_path() / it->path().filename()).string();
    }
    return path;
}

bool PathExists(std::string_view path) {
    std::error_code error;
    return !path.empty() && std::filesystem::exists(std::filesystem::path(std::string(path)), error);
}

std::string JoinScriptPath(std::string_view folder, std::string_view name) {
    std::string joined(folder);
    if (!joined.empty() && joined.back() != '/' && joined.back() != '\\') joined += '/';
    joined += name;
    return ReplaceAll(joined, "\\", "/");
}

bool ListScriptFiles(std::string_view indexPath, std::vector<ScriptFileEntry>& files) {
    XmlDocument document;
    if (!document.Load(ReplaceAll(indexPath, "\\", "/"))) return false;
    std::string folder = FolderOf(indexPath);
    for (const XmlNode& element : document.DocumentElement().ChildElements()) {
        if (ToLowerAscii(element.NodeName()) != "file") continue;
        ScriptFileEntry entry;
        entry.value = element.GetAttributeNoCase("value");
        if (entry.value.empty()) continue;
        entry.path = JoinScriptPath(folder, entry.value);
        entry.function = AttributeFlag(element, "function");
        entry.override = AttributeFlag(element, "override");
        entry.multiline = AttributeFlag(element, "multiline");
        entry.indent = AttributeFlag(element, "indent");
        if (entry.function) {
            entry.id = Trim(element.GetAttributeNoCase("id"));
            entry.parm = Trim(element.GetAttributeNoCase("parm"));
        }
        files.push_back(std::move(entry));
    }
    return true;
}

}  // namespace velmora
