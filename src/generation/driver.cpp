// GenCheck and GenScript: the steps that take a project and a template package to the point where
// page generation runs the script modules, each with its status line and abort message.
#include "generation/driver.h"

#include <chrono>
#include <filesystem>
#include <utility>
#include <vector>

#include "generation/cache_script_class.h"
#include "generation/extension_merge.h"
#include "generation/generation_run.h"
#include "generation/output_naming.h"
#include "generation/package.h"
#include "generation/page_walk.h"
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/entities/database.h"
#include "model/project/engine_objects.h"
#include "model/extensions/ext_objects.h"
#include "model/project/language.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "persistence/project_reader.h"
#include "platform/prompter.h"
#include "platform/xml.h"
#include "schema/permission_field_check.h"
#include "support/config_paths.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/text.h"
#include "support/text_file.h"
#include "template/engine_objects_script.h"
#include "template/file_cache.h"
#include "template/script_bindings.h"
#include "template/script_files.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

// Survives from GenCheck to the following GenScript.
bool& TemplateUnchanged() {
    static bool unchanged = false;
    return unchanged;
}

// Set by GenCheck when the user keeps the unpacked template of a package that has changed since;
// the following GenScript takes it (clearing it) and generates from the unpacked copy. The
// package's cache entry stays as it was, so the next GenCheck asks again.
bool& TemplateKept() {
    static bool kept = false;
    return kept;
}

GenerationTimings& LastTimings() {
    static GenerationTimings timings;
    return timings;
}

GenerationSummary& LastSummary() {
    static GenerationSummary summary;
    return summary;
}

GenerationOptions& Options() {
    static GenerationOptions options;
    return options;
}

bool Abort(std::string_view text) { return Fail(ProductMessage(text)); }

bool Exists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec);
}

// Controls of these types run no script of their own: they copy, or only feed other controls.
bool IsScriptless(std::string_view type) {
    std::string lower = ToLowerAscii(type);
    return lower == "copy" || lower == "folder" || lower == "system";
}

// The template package: the project's Template as given, else the package of that name shipped
// with the engine (its "templates" folder); a project that names none gets the shipped "default".
std::string LocateTemplate(const AGP& project) {
    std::string package = ReplaceAll(Trim(project.Template()), "\\", "/");
    if (package.empty()) package = "default";
    std::string found = FindTemplatePackage(package);
    return found.empty() ? package : found;
}

// What the "template" cache entry records: a zip package itself; for a folder package only its
// control file, since the driver compares each control's own files with its module anyway.
std::string TemplateStampPath(const std::string& package) {
    return fs::is_directory(package) ? JoinScriptPath(package, "control.xml") : package;
}

// The package's system functions and validation code stand in for settings the user left empty.
void UsePackageScriptFiles(const std::string& scriptFolder) {
    static const std::pair<const char*, const char*> kFiles[] = {{"SYSCODE", "syscode/syscode.xml"},
                                                                 {"SYSCODEPREFIX", "syscode/prefix.txt"},
                                                                 {"SYSCODESUFFIX", "syscode/suffix.txt"},
                                                                 {"VALIDATECODE", "syscode/validate.xml"}};
    for (const auto& [setting, file] : kFiles) {
        std::string path = JoinScriptPath(scriptFolder, file);
        SetPackageScriptFile(setting, Exists(path) ? path : std::string());
    }
}

// Opens the cache of the project's template package and makes its files available (unpacking a
// zip package when `refresh` or when it was never unpacked).
bool OpenTemplate(GenerationRun& run, const std::string& package, bool refresh) {
    std::string folder, error;
    if (!PreparePackage(package, run.cache.TemplateFolder() + "/template", refresh, folder, error))
        return Abort(error);
    run.folders.templateScriptFolder = folder;
    run.folders.extensionsFolder = run.cache.TemplateFolder() + "/extensions";
    run.folders.cacheFolder = run.cache.CacheFolder();
    UsePackageScriptFiles(folder);
    return true;
}

bool OpenCache(GenerationRun& run, const std::string& package) {
    std::string name = fs::path(package).filename().string();
    if (name.empty()) return Abort("Template file not found! Generation aborted!");
    return run.cache.Open(name);
}

bool LoadControlFile(GenerationRun& run) {
    std::string file = JoinScriptPath(run.folders.templateScriptFolder, "control.xml");
    if (run.project.Controls()->LoadControls(file, &run.project)) return true;
    if (ControlFileError() == 2)
        return Abort("Control file is invalid! Please check if the correct template file is in use!");
    return Abort("Load control file failed! Please check if the correct template file is in use!");
}

std::vector<std::shared_ptr<AGPExtension>> EnabledExtensions(AGP& project) {
    std::vector<std::shared_ptr<AGPExtension>> enabled;
    auto extensions = project.Extensions();
    for (std::int32_t seq = 1; seq <= extensions->Count(); ++seq) {
        auto extension = extensions->Seq(static_cast<std::int16_t>(seq));
        if (extension && extension->Enabled()) enabled.push_back(extension);
    }
    return enabled;
}

// Locates and unpacks every enabled extension; a missing one is deleted, ignored for this run or
// ends the run, as the user says. `names` lists the extensions with a template.
bool ResolveExtensions(GenerationRun& run, bool& changed, std::string& names) {
    std::vector<std::string> deleted;
    for (const auto& extension : EnabledExtensions(run.project)) {
        ResolvedExtension resolved = ResolveExtension(run.project, *extension, run.folders.extensionsFolder, run.cache);
        if (!resolved.found) {
            Question question{"extension-missing", "Extension '" + extension->Name() + "' not found!", {},
                              Buttons::Ok, {{"delete", "Delete"}, {"ignore", "Ignore"}, {"cancel", "Cancel"}},
                              "cancel"};
            Answer answer = Ask(question);
            if (answer.Is("cancel"))
                return Fail(std::string(kProductName) + " - Error in loading the '" + extension->Name() +
                            "' extension. Generation aborted.");
            if (answer.Is("delete")) deleted.push_back(extension->Name());
            extension->SetEnabled(false);
            continue;
        }
        changed = changed || resolved.changed;
        run.extensionFolders[extension->Name()] = resolved.folder;
        if (!extension->Template().empty()) names += (names.empty() ? "" : ",") + extension->Name();
    }
    for (const std::string& name : deleted) run.project.DeleteExtension(name);
    Engine().ProjErr.clear();
    return true;
}

std::string ExtensionFolder(const GenerationRun& run, const std::string& name) { return run.ExtensionFolder(name); }

std::string ExtensionPackage(const AGPExtension& extension) {
    return JoinScriptPath(extension.Folder(), extension.Template());
}

// User code and phrases of the enabled extensions with a template.
void LoadExtensionScripts(GenerationRun& run) {
    for (const auto& extension : EnabledExtensions(run.project)) {
        if (extension->Template().empty()) continue;
        std::string folder = ExtensionFolder(run, extension->Name());
        if (std::string code = JoinScriptPath(folder, "usercode.js"); Exists(code)) run.host.AddUserCode(code);
        if (std::string phrases = JoinScriptPath(folder, "lang.xml"); Exists(phrases)) Language().LoadExtension(phrases);
    }
}

bool MergeExtensions(GenerationRun& run) {
    bool failed = false;
    for (const auto& extension : EnabledExtensions(run.project)) {
        if (extension->Template().empty()) continue;
        std::string version;
        if (MergeExtension(run.project, extension->Name(), ExtensionFolder(run, extension->Name()), version)) continue;
        failed = true;
        extension->SetEnabled(false);
        run.cache.DeleteCache("extension", extension->Name());
        const std::string& name = extension->Name();
        switch (ControlFileError()) {
        case 3: ShowMessage("Incorrect version (" + version + ") for extension '" + name + "'. Extension is disabled."); break;
        case 2: ShowMessage("Incorrect extension '" + name + "' used. Extension is disabled."); break;
        default: ShowMessage("Load extension '" + name + "' failed. Extension is disabled."); break;
        }
    }
    Engine().ProjErr.clear();
    if (!failed) return true;
    Question question{"extensions-disabled",
                      "Some extensions are disabled due to error in loading the extensions. Do you want to continue "
                      "generation?",
                      {}, Buttons::YesNo, {}, "no"};
    if (Ask(question).Is("yes")) return true;
    run.cache.DeleteAllCache();
    run.cache.WriteCacheFile();
    return Fail(std::string(kProductName) + " - Error in loading extensions. Generation aborted.");
}

// Script-function controls whose condition holds go into the script host as template scripts.
bool AddScriptFunctionControls(GenerationRun& run) {
    auto controls = run.project.Controls();
    for (std::int32_t i = 1; i <= controls->Count(); ++i) {
        auto control = controls->Item(Variant(i));
        if (!control || ToLowerAscii(control->CtrlType) != "function") continue;
        if (!run.project.EvaluateCondition(control->CtrlCond)) {
            if (!Engine().ProjErr.empty()) return false;
            continue;
        }
        std::string path = OnDiskPath(JoinScriptPath(run.InputFolder(*control), control->CtrlIFiles));
        if (!fs::is_regular_file(path))
            return Abort("Script file does not exist - \"" + control->CtrlIFiles + "\"! Check if correct template.");
        run.host.AddTemplateScript(path);
        if (!Engine().ProjErr.empty()) return false;
    }
    return true;
}

bool InitializeScriptHost(GenerationRun& run) {
    run.project.MasterDetails()->CheckSequence();
    run.ShowStep(" - Initializing " + Engine().scriptLanguage + " Engine...");
    run.host.Initialize(run.shared);
    return Engine().ProjErr.empty() && run.host.IsInitialized();
}

// Language files of the project: the list, each loaded from the language folder (or the
// package's "languages" folder) with its version checked, and the fallback question.
bool LoadLanguageFiles(GenerationRun& run) {
    AGP& project = run.project;
    std::string list = project.MultiLanguage() ? project.LanguageFiles() : project.DefaultLanguageFile();
    std::vector<std::string> files;
    for (const std::string& file : Split(list, ','))
        if (!Trim(file).empty()) files.push_back(Trim(file));
    if (files.empty()) return Abort("No language file specified in project! Generation aborted!");

    auto locate = [&](const std::string& file) {
        std::string path = OnDiskPath(JoinScriptPath(GetConfigPath("LanguageFolder"), file));
        if (Exists(path)) return path;
        return OnDiskPath(JoinScriptPath(JoinScriptPath(run.folders.templateScriptFolder, "languages"), file));
    };
    std::string fullVersion = EngineVersion();
    for (const std::string& file : files) {
        if (Language().Load(locate(file))) {
            const std::string& version = Language().LanguageFileVersion();
            if (CompareVersion(version, fullVersion) != 0)
                return Abort("Language file '" + file + "' version (" + version +
                             ") not matched with the software version (" + fullVersion + ")! Generation aborted!");
            continue;
        }
        std::string fallback = GeneralSetting("DefaultLanguageFile");
        std::string loadError = std::string(kProductName) + " - Error in loading the language file '" + file +
                                "'. Generation aborted.";
        if (fallback.empty() || !Language().Load(locate(fallback))) return Fail(loadError);
        std::string text = "Load language file '" + file +
                           "' failed! Do you want to use the default language file to continue generation?";
        if (project.MultiLanguage()) text += " The multi-language setting will be reset.";
        if (!Ask(Question{"language-fallback", text, {}, Buttons::YesNo, {}, "no"}).Is("yes")) return Fail(loadError);
        project.SetDefaultLanguageFile(fallback);
        project.SetMultiLanguage(false);
        break;
    }
    Engine().ProjErr.clear();
    return true;
}

// Files a control's translation depends on: its input files, the files they include and the
// files of its "key" sessions. A session an extension supplied has its file in that extension's
// folder (below the control's input folder), as have the files that file includes. Empty, with
// ProjErr set, when one is missing.
bool ControlInputs(const GenerationRun& run, const AGPControl& control, std::vector<std::string>& inputs) {
    // `shown` is the folder a message names when the file is missing.
    struct Pending {
        std::string folder, name, shown;
    };
    std::string folder = run.InputFolder(control);
    std::vector<Pending> pending;
    for (const std::string& name : Split(control.CtrlIFiles, ','))
        pending.push_back({folder, name, run.folders.templateScriptFolder});
    auto sessions = control.Sessions();
    for (std::int32_t i = 1; i <= sessions->Count(); ++i) {
        auto session = sessions->Item(i);
        if (ToLowerAscii(session->SessType) != "key" || session->SessIFile.empty()) continue;
        if (session->SessExt.empty() || session->SessExt == control.CtrlExt) {
            pending.push_back({folder, session->SessIFile, run.folders.templateScriptFolder});
            continue;
        }
        std::string extensionFolder = run.ExtensionFolder(session->SessExt);
        std::string sessionFolder = control.CtrlIFolder.empty() ? extensionFolder
                                                                : JoinScriptPath(extensionFolder, control.CtrlIFolder);
        pending.push_back({sessionFolder, session->SessIFile, extensionFolder});
    }
    for (std::size_t i = 0; i < pending.size(); ++i) {
        Pending file = pending[i];
        file.name = Trim(file.name);
        if (file.name.empty()) continue;
        std::string path = OnDiskPath(JoinScriptPath(file.folder, file.name));
        if (!fs::is_regular_file(path))
            return Abort("Missing \"" + file.name + "\" in template folder \"" + file.shown +
                         "\". Generation aborted.");
        bool seen = false;
        for (const std::string& input : inputs) seen = seen || input == path;
        if (seen) continue;
        inputs.push_back(path);
        for (const std::string& included : Split(ListIncludedFiles(ReadTextFile(path)), ','))
            if (!included.empty()) pending.push_back({file.folder, included, file.shown});
    }
    return true;
}

// Which of the control's sessions the current project selects, one digit per session: a
// translation made for another selection must be made again.
std::string SessionSelection(AGP& project, const AGPControl& control) {
    std::string selection;
    auto sessions = control.Sessions();
    for (std::int32_t i = 1; i <= sessions->Count(); ++i) {
        bool holds = project.EvaluateCondition(sessions->Item(i)->SessCond);
        selection += holds ? '1' : '0';
    }
    Engine().ProjErr.clear();
    return selection;
}

// Decides CtrlGen of every control that runs a script: its module is missing or older than one
// of its inputs, or the project selects other sessions than the module was made with.
bool ValidateControls(GenerationRun& run) {
    run.ShowStep(" - Validating control.xml...");
    auto controls = run.project.Controls();
    for (std::int32_t i = 1; i <= controls->Count(); ++i) {
        auto control = controls->Item(Variant(i));
        std::string type = ToLowerAscii(control->CtrlType);
        if (IsScriptless(type) || type == "function") continue;
        control->CtrlGen = false;
        std::string folder = run.InputFolder(*control);
        if (!control->CtrlIFolder.empty() && !fs::is_directory(folder))
            return Abort("Missing \"" + control->CtrlIFolder + "\" in template folder \"" +
                         run.folders.templateScriptFolder + "\". Generation aborted.");
        std::vector<std::string> inputs;
        if (!ControlInputs(run, *control, inputs)) return false;
        std::string module = fs::path(run.ModulePath(*control)).filename().string();
        Variant cachedDate = run.cache.GetCacheDate("tpl", module);
        std::string cached = CacheDateText(cachedDate);
        bool notCached = cachedDate.Type() != VarType::Date || cachedDate.AsDate().serial == 0;
        if (notCached || !Exists(run.ModulePath(*control)) ||
            run.cache.CheckCache("sessions", module, Variant(), Variant(SessionSelection(run.project, *control))) != 0) {
            control->CtrlGen = true;
            continue;
        }
        for (const std::string& input : inputs)
            if (CacheDateText(FileDateTime(input)) > cached) control->CtrlGen = true;
    }
    return true;
}

// The session store gets the input files of every control that runs a script.
void LoadTemplateFiles(GenerationRun& run) {
    run.ShowStep(" - Loading template...");
    FileCache().Clear();
    for (const auto& control : run.project.Controls()->Items()) {
        if (IsScriptless(control->CtrlType)) continue;
        std::vector<std::string> inputs;
        if (!ControlInputs(run, *control, inputs)) {
            Engine().ProjErr.clear();  // reported by validation for controls that need it
            continue;
        }
        for (const std::string& path : inputs) FileCache().AddFile(path, fs::path(path).filename().string(), &run.status);
    }
}

// Translates the controls marked for regeneration into their script modules.
bool TranslateControls(GenerationRun& run) {
    auto controls = run.project.Controls();
    std::int32_t marked = 0;
    for (const auto& control : controls->Items()) marked += control->CtrlGen ? 1 : 0;
    if (marked == 0) return true;
    LoadTemplateFiles(run);
    run.ShowStep(" - Creating Cache Files...", true);
    Translator translator;
    translator.SetStatus(&run.status);
    translator.ResetProgress(marked);
    for (std::int32_t i = 1; i <= controls->Count(); ++i) {
        auto control = controls->Item(Variant(i));
        if (IsScriptless(control->CtrlType)) continue;
        if (run.status.StatusIsCancelled() || CancelRequested()) return Fail("Generation cancelled by user!");
        if (!control->CtrlGen) continue;
        run.status.DispStatus("Loading " + control->CtrlID + " script...");
        // The input folder is resolved here, extension controls included.
        TemplateFolders folders{run.InputFolder(*control), run.folders.extensionsFolder, run.folders.cacheFolder};
        std::string extension = std::exchange(control->CtrlExt, std::string());
        bool translated = false;
        {
            ScopedTimer timer(run.timings.translate);
            translated = translator.TranslateControl(run.project, *control, run.ModulePath(*control), folders);
        }
        control->CtrlExt = std::move(extension);
        if (!translated) return false;
        std::string module = fs::path(run.ModulePath(*control)).filename().string();
        run.cache.AddCache("sessions", module, Variant(), Variant(SessionSelection(run.project, *control)));
    }
    return true;
}

// Drops the translated modules unless the template, the extensions and the control file are
// all as the cache last saw them; records what changed.
void ResetCache(GenerationRun& run, bool extensionsChanged, bool controlChanged, const std::string& package) {
    if (!TemplateUnchanged() || extensionsChanged || controlChanged) {
        run.cache.DropModules();
        run.cache.DeleteCacheGroup("sessions");
    }
    if (!TemplateUnchanged()) run.cache.UpdateFile("template", "template", TemplateStampPath(package));
    if (extensionsChanged) {
        run.cache.DeleteCacheGroup("extension");
        run.cache.DeleteCacheGroup("extensionfiles");
        for (const auto& extension : EnabledExtensions(run.project)) {
            if (extension->Template().empty()) continue;
            run.cache.UpdateFile("extension", extension->Name(), ExtensionPackage(*extension));
            std::string control = JoinScriptPath(ExtensionFolder(run, extension->Name()), "control.xml");
            run.cache.UpdateFile("extensionfiles", extension->Name() + "/control.xml", control);
        }
    }
    if (controlChanged)
        run.cache.UpdateFile("control", "control", JoinScriptPath(run.folders.templateScriptFolder, "control.xml"));
}

// The item lists' selections, saved as "id=flags" entries.
std::string SelectionText(AGControlItems& items) {
    std::string text;
    for (const auto& item : items.Items()) {
        int flags = (item->ItemGen ? 1 : 0) + (item->ItemSkipHeaderFooter ? 2 : 0);
        text += (text.empty() ? "" : ",") + item->ItemId + "=" + std::to_string(flags);
    }
    return text;
}

void SaveSelections(AGP& project) {
    if (project.ControlList()->Count() > 0) {
        std::string text = SelectionText(*project.ControlList());
        if (text != project.OtherGenList()) project.SetOtherGenList(text);
    }
    if (!project.DB()) return;
    for (const auto& table : project.DB()->Tables()->Items()) {
        if (table->ControlList()->Count() == 0) continue;
        std::string text = SelectionText(*table->ControlList());
        if (text != table->TblGenList()) table->SetTblGenList(text);
    }
}

// The related project's major version, for templates that generate for it.
void ReadRelatedProjectVersion(AGP& project) {
    std::string related = project.AppRelatedProject();
    if (related.empty() || !Exists(related)) return;
    XmlDocument document;
    if (!document.Load(related)) return;
    std::string version = document.DocumentElement().GetAttribute("Version");
    std::string major = Split(version, '.').empty() ? std::string() : Split(version, '.').front();
    // The project property, which templates read, and the engine-wide copy with it.
    project.SetAppCompatVersion(static_cast<std::int16_t>(ToLong(Variant(major)).value_or(0)));
}

bool CheckDatabase(AGP& project) {
    if (!project.DB()) return Abort("Database not loaded! Generation aborted!");
    if (project.DB()->Tables()->Count() == 0) return Abort("No tables found in the Database! Generation aborted!");
    return true;
}

// The permission table of dynamic user levels must hold every table name (it may be widened
// in the database on the way).
bool CheckPermissionTable(AGP& project) {
    std::string problem = CheckPermissionField(project);
    return problem.empty() || Abort(problem);
}

bool LoadCodeBaseFile() {
    std::string file = GetConfigPath("CodeBase");
    if (Exists(file)) CodeBase().Load(file);
    Language().InitSettings();
    return true;
}

bool CheckTemplateVersion(GenerationRun& run) {
    const std::string& version = run.project.Controls()->ProdVersion();
    std::string engine = EngineTwoPartVersion();
    int compared = CompareVersion(version, engine);
    if (compared == 2)
        return Abort("Template version (" + version + ") newer than software version (" + engine +
                     ")! Generation aborted!");
    if (compared == -1)
        return Abort("Template version (" + version + ") older than minimum required (" + engine +
                     ")! Generation aborted!");
    return true;
}

void CreateFolderControlFolders(GenerationRun& run) {
    auto controls = run.project.Controls();
    for (const auto& control : controls->Items()) {
        if (ToLowerAscii(control->CtrlType) != "folder" || control->CtrlOFolder.empty() ||
            EqualsNoCase(control->CtrlOFolder, "_security"))
            continue;
        std::string path;
        if (!ResolveOutputPath(run.project, *control, OutputFolder(run.project, *controls, *control), "", path)) {
            Engine().ProjErr.clear();  // page generation reports escapes when the folder is used
            continue;
        }
        std::error_code ec;
        fs::create_directories(path, ec);
    }
}

bool RunGenScript(GenerationRun& run) {
    AGP& project = run.project;
    if (ToLowerAscii(GeneralSetting("ProfilerLog")) == "true" && !Options().dryRun) {
        run.profilerLog = JoinScriptPath(project.Destination(), ToLowerAscii(kProductName) + "_profiler.log");
        std::error_code ec;
        fs::remove(run.profilerLog, ec);
    }
    ReadRelatedProjectVersion(project);
    SaveSelections(project);
    if (!CheckDatabase(project) || !CheckPermissionTable(project)) return false;

    std::string package = LocateTemplate(project);
    if (!OpenCache(run, package)) return false;
    std::int32_t templateState = run.cache.CheckFile("template", "template", TemplateStampPath(package));
    bool kept = std::exchange(TemplateKept(), false);
    if (templateState == -1) return Abort("Template file not found! Generation aborted!");
    bool refresh = templateState != 0 && !kept;
    if (refresh) TemplateUnchanged() = false;
    if (!OpenTemplate(run, package, refresh)) return false;

    EnableViewTemplates(project);
    bool extensionsChanged = false;
    std::string names;
    if (!ResolveExtensions(run, extensionsChanged, names)) return false;
    if (!run.cache.MatchCacheGroup("extension", names)) {
        run.cache.DeleteCacheGroup("extension");
        extensionsChanged = true;
    }

    std::string controlFile = JoinScriptPath(run.folders.templateScriptFolder, "control.xml");
    std::int32_t controlState = run.cache.CheckFile("control", "control", controlFile);
    if (controlState == -1) return Abort("control file not found! Generation aborted!");
    if (!LoadControlFile(run) || !CheckTemplateVersion(run)) return false;
    LoadCodeBaseFile();
    if (!LoadLanguageFiles(run)) return false;
    ResetCache(run, extensionsChanged, controlState != 0, package);
    TemplateUnchanged() = true;

    if (!InitializeScriptHost(run)) return false;
    LoadExtensionScripts(run);
    run.ShowStep(" - Merging extensions...");
    if (!MergeExtensions(run) || !AddScriptFunctionControls(run)) return false;
    run.ShowStep(" - Validating project settings...");
    if (!run.host.Validate()) {
        if (Engine().ProjErr.empty()) Abort("Validation failed! Generation aborted!");
        return false;
    }
    if (!ValidateControls(run) || !TranslateControls(run)) return false;
    run.cache.RecordModules();
    if (!run.cache.WriteCacheFile()) return false;

    run.ShowStep(" - Generating " + Engine().scriptLanguage + " Scripts...", true);
    run.writer.Begin(project.Destination(), Options().dryRun, Options().restoreDeleted);
    if (!Options().dryRun) CreateFolderControlFolders(run);
    MenuList().Sort();
    std::int32_t count = 0;
    return GeneratePages(run, count);
}

std::int32_t RunGenCheck(GenerationRun& run) {
    AGP& project = run.project;
    run.ShowStep(" - Preparing for generation...");
    TemplateKept() = false;
    std::string package = LocateTemplate(project);
    if (!OpenCache(run, package)) return 0;
    std::int32_t state = run.cache.CheckFile("template", "template", TemplateStampPath(package));
    if (state == -1) {
        Abort("Template file not found! Generation aborted!");
        return 0;
    }
    bool unchanged = state == 0;
    bool kept = false;
    std::string unpacked = run.cache.TemplateFolder() + "/template";
    if (!unchanged && fs::is_regular_file(package) && Exists(unpacked)) {
        Question question{"template-changed",
                          "The template " + fs::path(package).filename().string() +
                              " has changed since it was unpacked. Keep the unpacked template, or overwrite it "
                              "with the new one?",
                          {}, Buttons::Ok, {{"keep", "Keep"}, {"overwrite", "Overwrite"}},
                          // The unpacked copy is the engine's own; keeping it silently would
                          // generate from a package the user has replaced.
                          "overwrite"};
        kept = Ask(question).Is("keep");
        unchanged = kept;
    }
    TemplateUnchanged() = unchanged;
    TemplateKept() = kept;
    if (!OpenTemplate(run, package, !unchanged)) return 0;
    if (!kept && state != 0) {
        run.cache.UpdateFile("template", "template", TemplateStampPath(package));
        if (!run.cache.WriteCacheFile()) return 0;
    }
    if (!unchanged) {
        run.cache.DropModules();
        run.cache.DeleteCacheGroup("sessions");
        run.cache.WriteCacheFile();
    }
    if (!LoadControlFile(run)) return 0;

    EnableViewTemplates(project);
    bool changed = false;
    std::string names;
    if (!ResolveExtensions(run, changed, names)) return 0;
    DisableConflictingExtensions(project);
    Engine().ProjErr.clear();

    if (!InitializeScriptHost(run)) return 0;
    LoadExtensionScripts(run);
    if (!run.host.Validate()) {
        if (Engine().ProjErr.empty()) Abort("Validation failed! Generation aborted!");
        return 0;
    }
    if (!AddScriptFunctionControls(run)) return 0;
    std::int32_t count = 0;
    if (!GeneratePages(run, count)) return 0;
    return count;
}

}  // namespace

void SetGenerationOptions(GenerationOptions options) { Options() = std::move(options); }
const GenerationOptions& CurrentGenerationOptions() { return Options(); }

GenerationTimings LastGenerationTimings() { return LastTimings(); }
const GenerationSummary& LastGenerationSummary() { return LastSummary(); }

std::string EngineTwoPartVersion() { return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor); }

void PublishGenerationMembers() {
    static bool running = false;
    // Guards the members scripts call: a template script must not start a generation inside one.
    auto guarded = [](auto operation) {
        return [operation](const std::shared_ptr<AGP>& project) {
            if (running) {
                Abort("A generation is running already.");
                return decltype(operation(project))();
            }
            running = true;
            struct Reset {
                ~Reset() { running = false; }
            } reset;
            return operation(project);
        };
    };
    SetGenerationMembers({guarded([](const std::shared_ptr<AGP>& project) { return GenCheck(project); }),
                          guarded([](const std::shared_ptr<AGP>& project) { GenScript(project); }),
                          [] { return LastGenerationSummary().Json(); }});
    static bool cacheBound = false;
    if (cacheBound) return;
    cacheBound = true;
    AddScriptClasses(BindGenerationCache);
    AddEngineObjectClass("AGPCache", [] { return std::make_shared<AGPCache>(); });
}

std::int32_t GenCheck(const std::shared_ptr<AGP>& project) {
    Engine().ProjErr.clear();
    if (!project) return 0;
    GenerationRun run(project);
    run.checkMode = true;
    std::int32_t count = RunGenCheck(run);
    return Engine().ProjErr.empty() ? count : 0;
}

void GenScript(const std::shared_ptr<AGP>& project) {
    Engine().ProjErr.clear();
    if (!project) return;
    auto start = std::chrono::steady_clock::now();
    GenerationRun run(project);
    if (!RunGenScript(run) && Engine().ProjErr.empty()) Abort("Generation failed!");
    // What was written stays recorded, also after a cancel or an abort.
    run.writer.Finish();
    LastTimings() = run.timings;
    LastSummary() = run.writer.Summary();
    LastSummary().seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace velmora
