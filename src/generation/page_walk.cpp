#include "generation/page_walk.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "generation/generation_run.h"
#include "generation/output_naming.h"
#include "generation/page_text.h"
#include "generation/project_config.h"
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/entities/database.h"
#include "model/entities/databases.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "platform/prompter.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/text.h"
#include "support/text_file.h"
#include "template/script_files.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

template <class Collection>
auto InSequence(const Collection& collection) {
    std::vector<decltype(collection.Seq(1))> items;
    for (std::int32_t seq = 1; seq <= collection.Count(); ++seq)
        if (auto item = collection.Seq(static_cast<std::int16_t>(seq))) items.push_back(item);
    return items;
}

bool IsOneOf(std::string_view type, std::initializer_list<std::string_view> types) {
    std::string lower = ToLowerAscii(type);
    for (std::string_view candidate : types)
        if (lower == candidate) return true;
    return false;
}

void ClearItems(AGControlItems& items) {
    while (items.Count() > 0) items.Delete(Variant(std::int32_t{1}));
}

// The saved selections ("id=flags" entries) applied to an item list.
void ApplySelections(AGControlItems& items, std::string_view saved) {
    for (const std::string& entry : Split(saved, ',')) {
        std::size_t equals = entry.find('=');
        if (equals == std::string::npos) continue;
        auto item = items.Item(Variant(entry.substr(0, equals)));
        if (!item) continue;
        std::int32_t flags = ToLong(Variant(entry.substr(equals + 1))).value_or(1);
        item->ItemGen = (flags & 1) != 0;
        item->ItemSkipHeaderFooter = (flags & 2) != 0;
    }
}

// A field's part of a field page's name.
std::string FieldParm(AGPField& field) {
    const AGProperties& bag = *field.Properties();
    std::size_t position = bag.IndexOf("FldParm");
    std::string text = position == AGProperties::npos ? std::string() : bag.ValueAt(position).ToText();
    return text.empty() ? MakeVarName(field.FldName()) : text;
}

using Clock = std::chrono::steady_clock;

// Runs the control's module for the current objects and writes the page. A page the overwrite
// rule keeps is skipped (true); false ends the walk with ProjErr set.
bool GeneratePage(GenerationRun& run, AGPControl& control, const std::string& fileName, AGControlItem* item) {
    AGP& project = run.project;
    std::string path;
    if (!ResolveOutputPath(project, control, OutputFolder(project, *project.Controls(), control), fileName, path))
        return false;
    run.status.DispStatus("Generating " + fileName + "...");

    Clock::time_point start = Clock::now();
    std::string module = run.ModulePath(control);
    auto cached = run.modules.find(module);
    if (cached == run.modules.end()) {
        if (!fs::is_regular_file(module)) return Fail("File " + module + " not found. Generation aborted.");
        cached = run.modules.emplace(module, ReadTextFile(module)).first;
    }
    std::int32_t timeout = ToLong(Variant(GeneralSetting("ScriptEngineTimeout"))).value_or(0);
    std::string page;
    {
        ScopedTimer timer(run.timings.script);
        page = run.host.BuildNewCode(ControlFunctionName(control), cached->second, 2, timeout);
    }
    if (!Engine().ProjErr.empty()) return false;
    page = PostProcessPage(page, control.CtrlSpace, control.CtrlOExt, project.DocType(), GeneratorMetaLine(project));

    {
        ScopedTimer timer(run.timings.write);
        EncodedText encoded = EncodeTextFile(page, false, project.CharSet(), std::to_string(project.CodePage()));
        if (!run.writer.Write(path, encoded, control.CtrlID, control.CtrlOverwrite, UnknownFile::Ask)) return false;
    }
    if (item) item->ItemDest = path;
    run.LogGenerated(path, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    ++run.pagesDone;
    if (run.pagesPlanned > 0) run.status.SetStatus(100.0 * run.pagesDone / run.pagesPlanned);
    return true;
}

bool Cancelled(GenerationRun& run) {
    if (!run.status.StatusIsCancelled() && !CancelRequested()) return false;
    return !Fail("Generation cancelled by user!");
}

// Planning: each table's item list rebuilt (check mode), its saved selections applied, and the
// planned table pages counted.
void PlanTables(GenerationRun& run) {
    AGP& project = run.project;
    auto controls = project.Controls();
    for (const auto& table : InSequence(*project.DB()->Tables())) {
        auto items = table->ControlList();
        if (run.checkMode) ClearItems(*items);
        for (std::int32_t i = 1; i <= controls->Count(); ++i) {
            auto control = controls->Item(Variant(i));
            if (!IsOneOf(control->CtrlType, {"table", "report"})) continue;
            if (!ControlAppliesToTable(run, *table, *control)) continue;
            ++run.pagesPlanned;
            if (!run.checkMode) continue;
            std::string fileName = OutputFileName(project, *control, table->TblVar(), {}, table->TblName());
            items->Add(control->CtrlID, fileName, true, control->CtrlRemark);
            if (auto item = items->Item(Variant(control->CtrlID))) {
                item->ItemHasHeaderFooter = control->CtrlID == "custom"
                                                ? EndsWithNoCase(fileName, ".php") && table->IncludeFiles()
                                                : control->CtrlHasHeaderFooter();
            }
        }
        Engine().ProjErr.clear();
        ApplySelections(*items, table->TblGenList());
    }
}

// The files of a database that lives in files: a SQLite or Access file, or the data file and its
// log of a SQL Server Express database attached by file name. Missing files are left out.
std::vector<std::string> DatabaseFiles(AGPDatabase& database) {
    std::string type = ToUpperAscii(database.DBType());
    std::vector<std::string> files;
    if (type == "SQLITE" || type == "ACCESS") {
        files.push_back(database.DBPhyPath().empty() ? database.DBPath() : database.DBPhyPath());
    } else {
        std::string connection = database.DBConnstr();
        std::string lower = ToLowerAscii(connection);
        std::size_t attach = lower.find("attachdbfilename");
        if (attach != std::string::npos && lower.find("\\sqlexpress") != std::string::npos) {
            std::size_t equals = connection.find('=', attach);
            std::size_t end = connection.find(';', equals);
            std::string data = equals == std::string::npos ? std::string() : Trim(connection.substr(equals + 1, end - equals - 1));
            if (data.size() >= 2 && data.front() == '"' && data.back() == '"') data = data.substr(1, data.size() - 2);
            if (EndsWithNoCase(data, ".mdf")) {
                files.push_back(data);
                files.push_back(data.substr(0, data.size() - 4) + "_log.ldf");
            }
        }
    }
    std::vector<std::string> found;
    for (std::string file : files) {
        file = ReplaceAll(file, "\\", "/");
        // A relative database path belongs to the project, so that a project and its database move together.
        if (!file.empty() && fs::path(file).is_relative() && !Engine().currentProjectFile.empty())
            file = (fs::path(Engine().currentProjectFile).parent_path() / file).lexically_normal().string();
        std::error_code ec;
        if (!file.empty() && fs::is_regular_file(file, ec)) found.push_back(file);
    }
    return found;
}

// The files of a database that lives in files, copied into the application's "db" folder.
bool CopyDatabaseFile(GenerationRun& run, AGPDatabase& database) {
    std::vector<std::string> sources = DatabaseFiles(database);
    if (sources.empty()) return true;
    AGP& project = run.project;
    std::string base = project.AppRootFolder().empty() ? project.Destination()
                                                         : JoinScriptPath(project.Destination(), project.AppRootFolder());
    std::string folder = JoinScriptPath(base, "db");
    if (!fs::is_directory(folder) && !run.writer.DryRun()) {
        Question question{"create-db-folder", "Folder \"" + folder + "\" does not exist! Do you want to create it?", {},
                          Buttons::YesNoCancel, {}, "yes"};
        Answer answer = Ask(question);
        if (answer.Is("cancel")) return Fail("Generation cancelled by user!");
        if (answer.Is("no")) {
            ShowMessage("Database Folder \"" + folder + "\" not created! Database will not be copied. Make sure you "
                        "set up the correct database path for the " + Engine().scriptLanguage +
                        " scripts to work correctly!");
            return true;
        }
        std::error_code ec;
        fs::create_directories(folder, ec);
    }
    for (const std::string& source : sources) {
        std::string target = JoinScriptPath(folder, fs::path(source).filename().string());
        run.status.DispStatus("Copy database " + fs::path(source).filename().string() + "...");
        // The application changes its copy of the data; the writer keeps those changes unless the
        // project's database changed too, and then asks.
        if (run.writer.Copy(source, target, "@database", true, UnknownFile::Ask)) continue;
        if (run.rules.Cancelled()) return false;
        ShowMessage("Copy database " + source + " failed: " + Engine().ProjErr);
        Engine().ProjErr.clear();
    }
    return true;
}

bool PrepareDestination(GenerationRun& run) {
    AGP& project = run.project;
    for (const std::string& folder : {project.AppRootFolder(), project.UploadPath(), project.AuditTrailPath()}) {
        if (Trim(folder).empty() || run.writer.DryRun()) continue;
        std::string path = JoinScriptPath(project.Destination(), ReplaceAll(folder, "\\", "/"));
        std::error_code ec;
        fs::create_directories(path, ec);
    }
    if (!CopyDatabaseFile(run, *project.DB())) return false;
    for (const auto& linked : InSequence(*project.LINKDBS()))
        if (!CopyDatabaseFile(run, *linked)) return false;
    return true;
}

std::string TablePageError(const AGPTable& table, const AGPControl& control) {
    return ProductMessage("Generate Table " + table.TblName() + " page error (control " + control.CtrlID + ")") +
           "\r\n" + Engine().ProjErr;
}

bool GenerateTablePages(GenerationRun& run, AGPTable& table) {
    AGP& project = run.project;
    auto controls = project.Controls();
    // Settings that only some template packages add to the project.
    bool auditTable = ToBoolean(project.GetV("AuditTrailToDB")).value_or(false) &&
                      table.TblName() == project.GetV("AuditTrailTable").ToText();
    for (std::int32_t i = 1; i <= controls->Count(); ++i) {
        auto control = controls->Item(Variant(i));
        if (!IsOneOf(control->CtrlType, {"table", "report"})) continue;
        if (!ControlAppliesToTable(run, table, *control)) {
            if (!Engine().ProjErr.empty()) return false;
            continue;
        }
        control->CtrlSkipHeaderFooter = false;
        auto item = table.ControlList()->Item(Variant(control->CtrlID));
        if (item) control->CtrlSkipHeaderFooter = item->ItemSkipHeaderFooter;
        if (!((item && item->ItemGen) || auditTable)) continue;
        if (Cancelled(run)) return false;
        std::string fileName = OutputFileName(project, *control, table.TblVar(), {}, table.TblName());
        if (!GeneratePage(run, *control, fileName, item.get())) {
            if (Engine().ProjErr != "Generation cancelled by user!") Engine().ProjErr = TablePageError(table, *control);
            return false;
        }
    }
    return true;
}

bool GenerateFieldPages(GenerationRun& run, AGPTable& table) {
    AGP& project = run.project;
    auto controls = project.Controls();
    for (const auto& field : InSequence(*table.Fields())) {
        if (!field->FldGenerate()) continue;
        table.Fields()->Item(Variant(field->FldName()));
        for (std::int32_t i = 1; i <= controls->Count(); ++i) {
            auto control = controls->Item(Variant(i));
            if (ToLowerAscii(control->CtrlType) != "field") continue;
            if (!project.EvaluateCondition(control->CtrlCond)) {
                if (!Engine().ProjErr.empty()) return false;
                continue;
            }
            std::string fileName = OutputFileName(project, *control, table.TblVar(), FieldParm(*field));
            if (!GeneratePage(run, *control, fileName, nullptr)) {
                Engine().ProjErr = ProductMessage("Generate Table " + table.TblName() + " Field " + field->FldName() +
                                                  " page error") +
                                   "\r\n" + Engine().ProjErr;
                return false;
            }
        }
    }
    return true;
}

bool IsProjectLevel(std::string_view type) {
    return !IsOneOf(type, {"function", "folder", "field", "table", "report", "chart"});
}

bool ProjectPages(GenerationRun& run) {
    AGP& project = run.project;
    auto controls = project.Controls();
    auto items = project.ControlList();
    for (std::int32_t i = 1; i <= controls->Count(); ++i) {
        auto control = controls->Item(Variant(i));
        bool listed = run.checkMode ? IsProjectLevel(control->CtrlType)
                                    : IsOneOf(control->CtrlType, {"other", "simple", "system"});
        if (!listed) continue;
        if (!project.EvaluateCondition(control->CtrlCond)) {
            if (!Engine().ProjErr.empty()) return false;
            continue;
        }
        std::string fileName = OutputFileName(project, *control, {}, {});
        if (run.checkMode) {
            items->Add(control->CtrlID, fileName, true, control->CtrlRemark);
            if (auto item = items->Item(Variant(control->CtrlID))) item->ItemHasHeaderFooter = control->CtrlHasHeaderFooter();
            continue;
        }
        auto item = items->Item(Variant(control->CtrlID));
        if (item && !item->ItemGen) continue;
        if (Cancelled(run)) return false;
        control->CtrlSkipHeaderFooter = item && item->ItemSkipHeaderFooter;
        if (!GeneratePage(run, *control, fileName, item.get())) {
            if (Engine().ProjErr != "Generation cancelled by user!")
                Engine().ProjErr = ProductMessage("Generate page error (control " + control->CtrlID + ")") + "\r\n" +
                                   Engine().ProjErr;
            return false;
        }
    }
    return true;
}

// Without a related project there is no report menu to keep.
void RemoveReportMenu(GenerationRun& run) {
    AGP& project = run.project;
    if (!project.AppRelatedProject().empty()) return;
    auto control = project.Controls()->Item(Variant("reportmenu"));
    if (!control) return;
    std::string path;
    if (!run.writer.DryRun() && ResolveOutputPath(project, *control, OutputFolder(project, *project.Controls(), *control),
                                                  OutputFileName(project, *control, {}, {}), path)) {
        std::error_code ec;
        if (fs::remove(path, ec)) run.writer.Removed(path);
    }
    Engine().ProjErr.clear();
}

}  // namespace

bool ControlAppliesToTable(GenerationRun& run, AGPTable& table, const AGPControl& control) {
    bool applies = table.TblGen();
    for (const std::string& unit : Split(table.TblSysGenUnits(), ','))
        if (unit == control.CtrlID) applies = true;
    if (!applies) return false;
    std::string kind = ToUpperAscii(table.TblType());
    std::string type = ToLowerAscii(control.CtrlType);
    bool tableKind = kind == "TABLE" || kind == "VIEW" || kind == "CUSTOMVIEW" || kind == "LINKTABLE";
    if (!((tableKind && type == "table") || (kind == "REPORT" && type == "report"))) return false;
    run.project.DB()->Tables()->Item(Variant(table.TblName()));
    return run.project.EvaluateCondition(control.CtrlCond);
}

bool GeneratePages(GenerationRun& run, std::int32_t& count) {
    AGP& project = run.project;
    count = 0;
    run.pagesPlanned = 0;
    run.pagesDone = 0;
    if (run.checkMode) ClearItems(*project.ControlList());
    PlanTables(run);
    for (const auto& control : project.Controls()->Items())
        if (IsOneOf(control->CtrlType, {"other", "simple", "system"})) ++run.pagesPlanned;

    if (!run.checkMode && !PrepareDestination(run)) return false;
    auto extensionFolder = [&run](const std::string& name) { return run.ExtensionFolder(name); };
    bool copied = false;
    {
        ScopedTimer timer(run.timings.write);
        copied = CopyControls(project, run.writer, run.folders.templateScriptFolder, extensionFolder, run.status,
                              run.checkMode);
    }
    if (!copied) return false;

    if (!run.checkMode) {
        for (const auto& table : InSequence(*project.DB()->Tables())) {
            if (!table->TblGen() && table->TblSysGenUnits().empty()) continue;
            if (!GenerateTablePages(run, *table)) return false;
            if (table->TblGen() && !GenerateFieldPages(run, *table)) return false;
        }
    }
    if (!run.checkMode) ApplySelections(*project.ControlList(), project.OtherGenList());
    if (!ProjectConfiguration(run) || !ProjectPages(run)) return false;
    if (run.checkMode) ApplySelections(*project.ControlList(), project.OtherGenList());
    if (!run.checkMode) RemoveReportMenu(run);

    if (run.checkMode) {
        for (const auto& table : project.DB()->Tables()->Items()) count += table->ControlList()->Count();
        count += project.ControlList()->Count();
    } else {
        count = run.pagesDone;
    }
    return true;
}

}  // namespace velmora
