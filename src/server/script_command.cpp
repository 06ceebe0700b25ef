// velmora script: runs a script in which `new AGP()` creates a root object as a host would.
#include <iostream>

#include "generation/driver.h"
#include "model/project/agp.h"
#include "platform/script_engine.h"
#include "server/commands.h"
#include "support/engine_state.h"
#include "support/text_file.h"
#include "template/script_bindings.h"
#include "template/script_files.h"
#include "template/script_host.h"
#include "template/engine_objects_script.h"

namespace velmora::cli {

namespace {

int RunScriptIn(ScriptEngine& engine, const std::string& file, const std::vector<std::string>& args) {
    if (!PathExists(file)) {
        std::cerr << ProductMessage("Script file " + file + " not found!") << '\n';
        return kExitFailure;
    }
    for (std::string_view name : {"AGP", "AGPSchema", "XmlDocument", "AGParser", "AGPFileCache", "AGPCache",
                                  "AGPStatus", "AGPSettings", "cRegistry"}) {
        engine.AddConstructor(std::string(name), [name](ScriptArgs) { return CreateEngineObject(name); });
    }
    engine.AddFunction("print", [](ScriptArgs values) {
        std::string line;
        for (const Variant& value : values) {
            if (!line.empty()) line += ' ';
            line += value.ToText();
        }
        std::cout << line << '\n';
        return Variant();
    });
    Variant::Array scriptArgs;
    for (const std::string& arg : args) scriptArgs.emplace_back(arg);
    engine.AddObject("scriptArgs", Variant(std::move(scriptArgs)));
    if (!engine.AddCode(ReadScriptText(file), file)) {
        std::cout.flush();
        std::cerr << ScriptErrorReport(engine.LastError(), file) << '\n';
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

int RunScript(const std::string& file, const std::vector<std::string>& args) {
    PublishGenerationMembers();
    int rc = kExitFailure;
    {
        ScriptEngine engine(ModelScriptClass);
        if (!engine.Valid()) {
            std::cerr << ProductMessage("The script engine could not be started.") << '\n';
        } else {
            rc = RunScriptIn(engine, file, args);
        }
    }
    ShutDownScriptEngines();
    return rc;
}

}  // namespace velmora::cli
