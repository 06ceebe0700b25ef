#include "template/script_host.h"

#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/project/custom_scripts.h"
#include "model/entities/database.h"
#include "model/extensions/extensions.h"
#include "model/project/language.h"
#include "model/entities/master_details.h"
#include "model/project/menus.h"
#include "platform/script_engine.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/password_hash.h"
#include "support/text.h"
#include "template/script_bindings.h"
#include "template/script_files.h"

namespace velmora {

ProfilerState& Profiler() {
    static ProfilerState state;
    return state;
}

AGScript::AGScript() {
    main_ = std::make_unique<ScriptEngine>(ModelScriptClass);
    if (!main_->Valid()) {
        main_.reset();
        return;
    }
    test_ = std::make_unique<ScriptEngine>(ModelScriptClass);
    validation_ = std::make_unique<ScriptEngine>(ModelScriptClass);
}

AGScript::~AGScript() {
    if (auto project = project_.lock()) project->SetScriptFunctionRunner(nullptr);
}

bool AGScript::IsInitialized() const { return main_ != nullptr; }

void AGScript::Reset() {
    for (ScriptEngine* engine : {main_.get(), test_.get(), validation_.get()})
        if (engine) engine->Reset();
}

void AGScript::Publish(ScriptEngine& engine, const std::shared_ptr<AGP>& project) {
    engine.AddObject("PROJ", Variant(project));
    if (auto db = project->DB()) engine.AddObject("DB", Variant(db));
    engine.AddObject("CONTROLS", Variant(project->Controls()));
    engine.AddObject("LANGUAGE", Variant(SharedLanguage()));
    engine.AddObject("EXTS", Variant(SharedExtensions()));
    engine.AddObject("MENULIST", Variant(SharedMenuList()));
    engine.AddObject("MASTERDETAILS", Variant(project->MasterDetails()));
    engine.AddObject("CUSTOMSCRIPTS", Variant(SharedCustomScripts()));
    // Templates store credentials hashed; scripts have no hashing of their own.
    engine.AddFunction("CryptPassword", [](ScriptArgs args) {
        std::string password = args.size() > 0 ? args[0].ToText() : std::string();
        std::string seed = args.size() > 1 ? args[1].ToText() : std::string();
        return Variant(CryptPassword(password, seed));
    });
}

void AGScript::Initialize(const std::shared_ptr<AGP>& project) {
    if (!main_ || !project) return;
    project_ = project;
    // Function clauses of conditions run in the main engine while this host lives.
    project->SetScriptFunctionRunner([this](std::string_view name) {
        FunctionOutcome outcome;
        Variant result;
        // As for RunModule: the function sees the table and field the caller made current.
        bool loaded = !main_->HasProcedure("zv_LoadCurrent", false) || main_->Run("zv_LoadCurrent", {}, result);
        if (loaded && main_->Run(name, {}, result)) {
            outcome.kind = FunctionOutcome::Kind::Value;
            outcome.value = std::move(result);
        } else {
            outcome.kind = FunctionOutcome::Kind::Error;
            outcome.error = ScriptErrorReport(main_->LastError(), loaded ? name : std::string_view("zv_LoadCurrent"));
        }
        return outcome;
    });
    Reset();
    for (ScriptEngine* engine : {main_.get(), test_.get(), validation_.get()}) Publish(*engine, project);
    LoadSystemFunctions();
    if (Engine().ProjErr.empty()) LoadValidationCode();
    if (Engine().ProjErr.empty()) LoadUserCode();
}

std::string AGScript::DebugFolder() const {
    auto project = project_.lock();
    return project ? project->Destination() : std::string();
}

bool AGScript::AddCode(ScriptEngine& engine, std::string_view code, std::string_view name) {
    if (engine.AddCode(code, name)) return true;
    Engine().ProjErr = ScriptErrorReport(engine.LastError(), name);
    return false;
}

void AGScript::LoadSystemFunctions() {
    std::string syscode = GeneralSetting("SYSCODE");
    if (syscode.empty()) {
        if (AddCode(*test_, DefaultSystemCode(), "syscode.js")) AddCode(*main_, DefaultSystemCode(), "syscode.js");
        return;
    }
    SystemLibrary library = AssembleSystemLibrary(syscode, GeneralSetting("SYSCODEPREFIX"),
                                                  GeneralSetting("SYSCODESUFFIX"), *test_, DebugFolder());
    if (!library.complete) return;
    // The report of a file that failed alone names that file; keep it.
    std::string fileReport = Engine().ProjErr;
    if (!AddCode(*main_, library.code, "syscode.txt") && !fileReport.empty()) Engine().ProjErr = fileReport;
}

void AGScript::LoadValidationCode() {
    validationProcedures_.clear();
    std::string path = GeneralSetting("VALIDATECODE");
    if (path.empty()) return;
    std::vector<ScriptFileEntry> files;
    if (!ListScriptFiles(path, files)) {
        Engine().ProjErr = "Load validate file " + path + " failed!";
        return;
    }
    std::string all;
    for (const ScriptFileEntry& file : files) {
        std::string text = ReadScriptFile(file.path);
        if (!Engine().ProjErr.empty()) Engine().ProjErr += ": " + file.value;
        if (!text.empty()) AddCode(*validation_, text, file.value);
        all += text + "\r\n";
    }
    WriteDebugFile(DebugFolder(), "validatecode.txt", all);
    validationProcedures_ = validation_->Procedures();
}

void AGScript::LoadUserCode() {
    std::string path = GeneralSetting("UserCode");
    userCode_ = path.empty() ? std::string("// Please enter your script here") : ReadScriptFile(path);
    AddCode(*main_, userCode_, path.empty() ? std::string_view("UserCode") : std::string_view(path));
}

void AGScript::AddTemplateScript(std::string_view sFile) {
    if (!main_) return;
    std::string text = ReadScriptFile(sFile);
    if (!text.empty()) AddCode(*main_, text, sFile);
}

void AGScript::AddUserCode(std::string_view sFile) { AddTemplateScript(sFile); }

bool AGScript::ModuleExist(std::string_view sModule) const {
    return main_ && main_->HasProcedure(sModule, true);
}

bool AGScript::Validate() {
    Engine().trace.clear();
    if (!validation_ || !Engine().ProjErr.empty()) return false;
    bool valid = true;
    for (const std::string& procedure : validationProcedures_) {
        Variant result;
        if (!validation_->Run(procedure, {}, result)) {
            Engine().ProjErr = ScriptErrorReport(validation_->LastError(), procedure);
            valid = false;
            break;
        }
        if (!ToBoolean(result).value_or(false)) {
            if (Engine().ProjErr.empty())
                Engine().ProjErr = ProductMessage("Validation module (" + procedure + ") failed");
            valid = false;
            break;
        }
    }
    if (EqualsNoCase(GeneralSetting("VALIDATETRACE"), "true") && !Engine().trace.empty())
        WriteDebugFile(DebugFolder(), "validate.trace", Engine().trace);
    return valid;
}

Variant AGScript::RunModule(std::string_view module) {
    if (!main_ || !Engine().ProjErr.empty()) return Variant(std::string());
    Variant ignored;
    if (main_->HasProcedure("zv_LoadCurrent", false) && !main_->Run("zv_LoadCurrent", {}, ignored)) {
        Engine().ProjErr = ScriptErrorReport(main_->LastError(), "zv_LoadCurrent");
        return Variant(std::string());
    }
    Variant result;
    if (!main_->Run(module, {}, result)) {
        Engine().ProjErr = ScriptErrorReport(main_->LastError(), module);
        return Variant(std::string());
    }
    lastResult_ = result;
    return result;
}

std::string AGScript::BuildNewCode(std::string_view sId, std::string_view sScript, std::int32_t bInitType,
                                   std::int32_t lTimeout) {
    if (!main_) return std::string(sScript);
    bool add = bInitType == 0;
    if (!add) {
        add = true;
        for (const auto& [id, script] : codeTable_)
            if (id == sId) add = false;
    }
    main_->SetTimeout(lTimeout);
    if (add) {
        codeTable_.emplace_back(std::string(sId), std::string(sScript));
        if (!AddCode(*main_, sScript, sId)) return {};
    }
    ProfilerState& profiler = Profiler();
    Variant ignored;
    const Variant idArg[] = {Variant(std::string(sId))};
    if (profiler.enabled) main_->Run("StartProfiler", idArg, ignored);
    Variant result;
    bool ran = main_->Run(sId, {}, result);
    if (!ran) Engine().ProjErr = ScriptErrorReport(main_->LastError(), sId);
    if (profiler.enabled) {
        Variant profile;
        if (main_->Run("StopProfiler", idArg, profile)) profiler.text += profile.ToText();
    }
    lastResult_ = result;
    return ran ? result.ToText() : std::string();
}

bool AGUserScript::UserModuleExist(std::string_view sModule) const {
    for (const std::string& module : modules_)
        if (EqualsNoCase(module, sModule)) return true;
    return false;
}

}  // namespace velmora
