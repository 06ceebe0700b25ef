#include "generation/project_config.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string_view>

#include "generation/generation_run.h"
#include "generation/output_naming.h"
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/entities/database.h"
#include "model/project/language.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/xml.h"
#include "support/config_paths.h"
#include "support/engine_state.h"
#include "support/text.h"
#include "support/text_file.h"
#include "template/script_files.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

struct ConfigItem {
    std::string_view id;
    std::string_view remark;
};
constexpr ConfigItem kConfig{"@config", "Create project config file"};
constexpr ConfigItem kCss{"@cssfile", "Copy user CSS"};
constexpr ConfigItem kLogo{"@logo", "Copy logo"};
constexpr ConfigItem kFavicon{"@favicon", "Copy favicon"};
constexpr std::string_view kLanguagePrefix = "@lang_";
constexpr std::string_view kLanguageRemark = "Create language file";

std::vector<std::string> LanguageList(const AGP& project) {
    std::vector<std::string> files;
    for (const std::string& file : Split(project.MultiLanguage() ? project.LanguageFiles() : project.DefaultLanguageFile(), ','))
        if (!Trim(file).empty()) files.push_back(Trim(file));
    return files;
}

bool Selected(AGP& project, std::string_view id) {
    auto item = project.ControlList()->Item(Variant(std::string(id)));
    return item && item->ItemGen;
}

// The output folder of the template's folder control `id` ("_css", ...); without one, a folder of
// that name in the destination. Empty, with ProjErr set, when it would leave the destination.
std::string FolderOf(GenerationRun& run, std::string_view id) {
    AGP& project = run.project;
    auto controls = project.Controls();
    for (const auto& control : controls->Items()) {
        if (ToLowerAscii(control->CtrlType) != "folder" || !EqualsNoCase(control->CtrlID, id)) continue;
        std::string path;
        if (!ResolveOutputPath(project, *control, OutputFolder(project, *controls, *control), "", path)) return {};
        return path;
    }
    return JoinScriptPath(project.Destination(), id);
}

// Copies a user file into a folder under the overwrite rule; a failure is shown and the run goes on.
void CopyUserFile(GenerationRun& run, const std::string& source, std::string_view folderId, std::string_view failure) {
    if (Trim(source).empty()) return;
    std::string folder = FolderOf(run, folderId);
    if (folder.empty()) return;
    std::string from = ReplaceAll(source, "\\", "/");
    std::string target = JoinScriptPath(folder, fs::path(from).filename().string());
    std::error_code ec;
    if (!fs::is_regular_file(from, ec)) {
        run.status.DispStatus(std::string(failure));
        return;
    }
    if (run.writer.Copy(from, target, folderId, true, UnknownFile::Rule) || run.rules.Cancelled()) return;
    run.status.DispStatus(std::string(failure));
    Engine().ProjErr.clear();
}

std::string RelatedProjectId(const AGP& project) {
    std::string related = project.AppRelatedProject();
    std::error_code ec;
    if (related.empty() || !fs::is_regular_file(related, ec)) return {};
    XmlDocument document;
    if (!document.Load(related)) return {};
    return document.DocumentElement().GetAttributeNoCase("ProjID");
}

// Writes one of the UTF-8 files the generation adds beside the pages, the engine's own, so an
// existing file no earlier run wrote is replaced without a question. The writer names only the
// file, so a failure is prefixed with the whole path.
bool WriteConfigFile(GenerationRun& run, const std::string& path, std::string_view text, std::string_view id) {
    if (run.writer.Write(path, EncodeTextFile(text, false, "utf-8"), id, true, UnknownFile::Replace)) return true;
    if (run.rules.Cancelled()) return false;
    Engine().ProjErr = ProductMessage("Write file " + path + " error") + "\r\n" + Engine().ProjErr;
    return false;
}

// The configuration document: projects of other ids in an existing file are kept.
bool WriteConfiguration(GenerationRun& run) {
    AGP& project = run.project;
    std::string folder = FolderOf(run, "_security");
    if (folder.empty()) return false;
    std::string file = JoinScriptPath(folder, project.ProjID() + ".xml");
    run.status.DispStatus("Creating project config file " + file + "...");
    if (!WriteConfigFile(run, JoinScriptPath(folder, "index.php"), "<?php // blank page ?>", kConfig.id)) return false;

    std::error_code ec;
    XmlDocument document;
    bool existing = fs::is_regular_file(file, ec) && document.Load(file) &&
                    document.DocumentElement().BaseName() == "configuration";
    std::string before = existing ? document.ToString(true) : std::string();
    if (!existing) {
        document.Clear();
        document.AddProcessingInstruction("xml", "version=\"1.0\" encoding=\"utf-8\"");
        document.CreateDocumentElement("configuration");
    }
    XmlNode root = document.DocumentElement();
    // The dates change only with the content, so that a run that changes nothing rewrites nothing.
    std::string now = GenerationTimeText();
    std::string previousDate = root.GetAttribute("date");
    root.SetAttribute("date", previousDate.empty() ? now.substr(0, 10) : previousDate);
    root.SetAttribute("author", kProductName);
    XmlNode element;
    for (const XmlNode& candidate : root.ChildElements())
        if (candidate.BaseName() == "project" && candidate.GetAttribute("id") == project.ProjID()) element = candidate;
    std::string previousTime = element ? element.GetAttribute("datetime") : std::string();
    if (!element) element = root.AppendElement("project");
    for (const XmlNode& child : element.Children()) element.RemoveChild(child);

    std::string languageFolder = FolderOf(run, "_language");
    std::string relativeLanguage = fs::path(languageFolder).lexically_relative(fs::path(FolderOf(run, "_security"))).generic_string();
    const std::pair<const char*, std::string> attributes[] = {
        {"id", project.ProjID()},
        {"file", fs::path(Engine().currentProjectFile).filename().string()},
        {"name", project.ProjVar()},
        {"product", std::string(kProductName)},
        {"version", EngineVersion()},
        {"datetime", previousTime.empty() ? now : previousTime},
        {"languagefolder", relativeLanguage + "/"},
        {"userlevel", "-2,\"Anonymous\",0;"},
        {"relatedid", RelatedProjectId(project)}};
    for (const auto& [name, value] : attributes) element.SetAttribute(name, value);
    for (const auto& table : project.DB()->Tables()->Items()) {
        XmlNode entry = element.AppendElement("table");
        entry.SetAttribute("name", table->TblVar());
        entry.SetAttribute("caption", table->TblCaption());
        entry.SetAttribute("userlevel", "-2,\"Anonymous\"," + std::string(table->TblUserLevelPriv() ? "1" : "0") + ";");
        entry.SetAttribute("priv", table->TblSecurity());
    }
    if (document.ToString(true) != before) {
        root.SetAttribute("date", now.substr(0, 10));
        element.SetAttribute("datetime", now);
    }
    if (!WriteConfigFile(run, file, document.ToString(true), kConfig.id)) return false;
    run.LogGenerated(file, 0);
    return true;
}

// The phrases of one language that the project holds, under project, menu, table and field.
void AppendProjectPhrases(XmlNode root, std::string_view languageId) {
    const AGPLanguage& language = Language();
    XmlNode project = root.AppendElement("project");
    for (std::int32_t i = 1; i <= language.ProjectCount(); ++i) {
        auto phrase = language.ProjectItem(i);
        if (!phrase || !EqualsNoCase(phrase->LanguageId, languageId)) continue;
        XmlNode element = project.AppendElement("phrase");
        element.SetAttribute("id", phrase->ProjectAttribute);
        element.SetAttribute("value", phrase->Phrase);
    }
    XmlNode menu = root.AppendElement("menu");
    for (std::int32_t i = 1; i <= language.MenuCount(); ++i) {
        auto phrase = language.MenuItem(i);
        if (!phrase || !EqualsNoCase(phrase->LanguageId, languageId)) continue;
        XmlNode element = menu.AppendElement("phrase");
        element.SetAttribute("id", phrase->MenuId + "/" + phrase->MenuAttribute);
        element.SetAttribute("value", phrase->Phrase);
    }
    XmlNode tables = root.AppendElement("table");
    for (std::int32_t i = 1; i <= language.TableCount(); ++i) {
        auto phrase = language.TableItem(i);
        if (!phrase || !EqualsNoCase(phrase->LanguageId, languageId)) continue;
        XmlNode element = tables.AppendElement("phrase");
        element.SetAttribute("id", phrase->TableName + "/" + phrase->TableAttribute);
        element.SetAttribute("value", phrase->Phrase);
    }
    XmlNode fields = root.AppendElement("field");
    for (std::int32_t i = 1; i <= language.FieldCount(); ++i) {
        auto phrase = language.FieldItem(i);
        if (!phrase || !EqualsNoCase(phrase->LanguageId, languageId)) continue;
        XmlNode element = fields.AppendElement("phrase");
        element.SetAttribute("id", phrase->TableName + "/" + phrase->FieldName + "/" + phrase->FieldAttribute);
        element.SetAttribute("value", phrase->Phrase);
    }
}

// A generated language file: the source file's locale and phrases, then the project's phrases
// of that language.
bool WriteLanguageFile(GenerationRun& run, const std::string& file) {
    run.status.DispStatus("Creating language file " + file + "...");
    std::string source = OnDiskPath(JoinScriptPath(GetConfigPath("LanguageFolder"), file));
    std::error_code ec;
    if (!fs::is_regular_file(source, ec))
        source = OnDiskPath(JoinScriptPath(JoinScriptPath(run.folders.templateScriptFolder, "languages"), file));
    XmlDocument input;
    if (!input.Load(source)) return Fail("Load language file '" + file + "' failed!");
    XmlNode sourceRoot = input.DocumentElement();

    XmlDocument output;
    output.AddProcessingInstruction("xml", "version=\"1.0\" encoding=\"utf-8\"");
    XmlNode root = output.CreateDocumentElement(sourceRoot.NodeName());
    sourceRoot.ForEachAttribute([&](std::string_view name, std::string_view value) { root.SetAttribute(name, value); });
    XmlNode global = root.AppendElement("global");
    for (const XmlNode& node : input.DocumentElement().SelectNodes("//global/locale")) global.AppendCopy(node);
    for (const XmlNode& node : input.DocumentElement().SelectNodes("//global/phrase")) global.AppendCopy(node);
    AppendProjectPhrases(root, sourceRoot.GetAttributeNoCase("id"));

    std::string folder = FolderOf(run, "_language");
    if (folder.empty()) return false;
    std::string target = JoinScriptPath(folder, fs::path(file).filename().string());
    if (!WriteConfigFile(run, target, output.ToString(true), std::string(kLanguagePrefix) + file)) return false;
    run.LogGenerated(target, 0);
    return true;
}

void ListItems(GenerationRun& run) {
    auto items = run.project.ControlList();
    for (const ConfigItem& item : {kConfig, kCss, kLogo, kFavicon}) items->Add(item.id, "", true, item.remark);
    for (const std::string& file : LanguageList(run.project))
        items->Add(std::string(kLanguagePrefix) + file, file, true, kLanguageRemark);
}

}  // namespace

std::string GenerationTimeText() {
    std::time_t when = std::time(nullptr);
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) when = std::strtoll(epoch, nullptr, 10);
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
    return text;
}

bool ProjectConfiguration(GenerationRun& run) {
    if (run.checkMode) {
        ListItems(run);
        return true;
    }
    AGP& project = run.project;
    if (Selected(project, kConfig.id) && !WriteConfiguration(run)) return false;
    if (Selected(project, kCss.id)) {
        run.status.DispStatus("Copying css...");
        CopyUserFile(run, project.CSS(), "_css", "Copying css failed...");
    }
    if (Selected(project, kLogo.id)) {
        run.status.DispStatus("Copying logo...");
        CopyUserFile(run, project.HeaderLogo(), "_images", "Copying logo failed...");
    }
    if (Selected(project, kFavicon.id)) {
        run.status.DispStatus("Copying favicon...");
        CopyUserFile(run, project.FavIcon(), "_images", "Copying favicon failed...");
    }
    for (const std::string& file : LanguageList(project))
        if (Selected(project, std::string(kLanguagePrefix) + file) && !WriteLanguageFile(run, file)) return false;
    if (run.rules.Cancelled()) return Fail("Generation cancelled by user!");
    Engine().ProjErr.clear();  // failed copies were shown; the run goes on
    return true;
}

}  // namespace velmora
