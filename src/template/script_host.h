// AGScript: the script host. It owns the script engines in which generator script runs (the
// main engine: system functions, template scripts, user code and control functions; the test
// engine, in which each system-function file is compiled alone first so that a failure names its
// file; the validation engine), publishes the object model to them, assembles the system-function
// library, runs control functions with a time limit and turns every script error into one report
// in ProjErr.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/variant.h"

namespace velmora {

class AGP;
class ScriptEngine;
struct ScriptError;

// The engine-wide profiling switch and the text the profiler hooks return.
struct ProfilerState {
    bool enabled = false;
    std::string text;
};
ProfilerState& Profiler();

// The error report: product name, " (file)", ": source (NUMBER)", ", line L", ", column C", CR LF,
// "Description: ..." CR LF, "Text: ...". `name` is a file or function name ("" when unknown).
std::string ScriptErrorReport(const ScriptError& error, std::string_view name);

// The script library used when no system-function file is configured: StringBuilder,
// zv_SetLocale, zv_LoadCurrent and SYSTEMFUNCTIONS.IncludeFile.
std::string_view DefaultSystemCode();

class AGScript : public AutomationObject {
public:
    AGScript();
    ~AGScript() override;

    // Resets the engines, publishes PROJ, DB, CONTROLS, LANGUAGE, EXTS, MENULIST, MASTERDETAILS
    // and CUSTOMSCRIPTS (those that exist) and loads the system functions, then the validation
    // code, then the user code, each only while ProjErr is empty.
    void Initialize(const std::shared_ptr<AGP>& project);
    std::string Language() const { return language_; }
    bool IsInitialized() const;
    void Reset();
    void AddTemplateScript(std::string_view sFile);
    void AddUserCode(std::string_view sFile);
    bool ModuleExist(std::string_view sModule) const;
    bool UserModuleExist(std::string_view sModule) const { return ModuleExist(sModule); }
    bool Validate();
    Variant RunModule(std::string_view module);
    std::string BuildNewCode(std::string_view sId, std::string_view sScript, std::int32_t bInitType,
                             std::int32_t lTimeout);

    // The procedures the validation code defined, in order.
    const std::vector<std::string>& ValidationProcedures() const { return validationProcedures_; }
    // The main engine, for hosts that publish more (nullptr when not initialised).
    ScriptEngine* MainEngine() const { return main_.get(); }

private:
    void Publish(ScriptEngine& engine, const std::shared_ptr<AGP>& project);
    void LoadSystemFunctions();
    void LoadValidationCode();
    void LoadUserCode();
    // Adds code to an engine; on failure the error report (naming `name`) goes to ProjErr.
    bool AddCode(ScriptEngine& engine, std::string_view code, std::string_view name);
    std::string DebugFolder() const;

    std::string language_ = "JScript";
    std::unique_ptr<ScriptEngine> main_;
    std::unique_ptr<ScriptEngine> test_;
    std::unique_ptr<ScriptEngine> validation_;
    std::weak_ptr<AGP> project_;
    std::string prefix_;
    std::string suffix_;
    std::string userCode_;
    std::vector<std::string> validationProcedures_;
    std::vector<std::pair<std::string, std::string>> codeTable_;
    Variant lastResult_;
};

class AGUserScript : public AutomationObject {
public:
    void AddUserModule(std::string_view sModule) { modules_.emplace_back(sModule); }
    bool UserModuleExist(std::string_view sModule) const;

private:
    std::vector<std::string> modules_;
};

// Translates a template text and runs it at once in an auxiliary script host; failures are written
// to "parseerror.txt" in the project's Destination folder and the input (or the partial result)
// is returned.
// The auxiliary host is made by the first call and, while a generation keeps it, reused by the
// calls after it.
std::string ParseScript(const std::shared_ptr<AGP>& project, std::string_view str);
// A generation keeps the auxiliary host from its start (true) to its end (false, which releases
// it), so that templates that call ParseScript on every page do not start a host each time.
void KeepAuxiliaryHost(bool keep);

}  // namespace velmora
