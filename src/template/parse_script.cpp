// ParseScript: a template text translated and run at once, for hosts and template scripts.
#include "model/agp.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "template/script_files.h"
#include "template/script_host.h"
#include "template/translate.h"

namespace velmora {

namespace {

void WriteParseError(const AGP& project, std::string_view text) {
    WriteDebugFile(project.Destination(), "parseerror.txt", text);
}

}  // namespace

std::string ParseScript(const std::shared_ptr<AGP>& project, std::string_view str) {
    if (!project) return std::string(str);
    AGScript host;
    host.Initialize(project);
    if (!host.IsInitialized()) {
        WriteParseError(*project, "Script object not initialised\r\n" + std::string(str));
        return std::string(str);
    }
    Translator translator;
    translator.Reset();
    translator.TranslateTemplate(str);
    if (!Engine().ProjErr.empty()) {
        WriteParseError(*project, "Parse script error: " + Engine().ProjErr + "\r\n" + std::string(str));
        return std::string(str);
    }
    std::string code = translator.ParseScriptFunction();
    std::int32_t timeout = ToLong(Variant(GeneralSetting("ScriptEngineTimeout"))).value_or(0);
    std::string result = host.BuildNewCode("zvExParse", code, 0, timeout);
    if (!Engine().ProjErr.empty())
        WriteParseError(*project, "Parse script run error: " + Engine().ProjErr + "\r\n" + code + "\r\n" + result);
    host.Reset();
    return result;
}

}  // namespace velmora
