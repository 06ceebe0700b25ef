// ParseScript: a template text translated and run at once, for hosts and template scripts.
#include <memory>

#include "model/project/agp.h"
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

struct AuxiliaryHost {
    std::unique_ptr<AGScript> host;
    const AGP* project = nullptr;
    bool kept = false;
};

AuxiliaryHost& Auxiliary() {
    static AuxiliaryHost auxiliary;
    return auxiliary;
}

void ReleaseAuxiliaryHost() {
    AuxiliaryHost& auxiliary = Auxiliary();
    if (auxiliary.host) auxiliary.host->Reset();
    auxiliary.host.reset();
    auxiliary.project = nullptr;
}

}  // namespace

void KeepAuxiliaryHost(bool keep) {
    Auxiliary().kept = keep;
    if (!keep) ReleaseAuxiliaryHost();
}

std::string ParseScript(const std::shared_ptr<AGP>& project, std::string_view str) {
    if (!project) return std::string(str);
    AuxiliaryHost& auxiliary = Auxiliary();
    if (auxiliary.host && auxiliary.project != project.get()) ReleaseAuxiliaryHost();
    if (!auxiliary.host) {
        auxiliary.host = std::make_unique<AGScript>();
        auxiliary.project = project.get();
        auxiliary.host->Initialize(project);
        if (!auxiliary.host->IsInitialized()) {
            ReleaseAuxiliaryHost();
            WriteParseError(*project, "Script object not initialised\r\n" + std::string(str));
            return std::string(str);
        }
    }
    std::string result(str);
    Translator translator;
    translator.Reset();
    translator.TranslateTemplate(str);
    if (!Engine().ProjErr.empty()) {
        WriteParseError(*project, "Parse script error: " + Engine().ProjErr + "\r\n" + std::string(str));
    } else {
        std::string code = translator.ParseScriptFunction();
        std::int32_t timeout = ToLong(Variant(GeneralSetting("ScriptEngineTimeout"))).value_or(0);
        result = auxiliary.host->BuildNewCode("zvExParse", code, 0, timeout);
        if (!Engine().ProjErr.empty())
            WriteParseError(*project, "Parse script run error: " + Engine().ProjErr + "\r\n" + code + "\r\n" + result);
    }
    if (!auxiliary.kept) ReleaseAuxiliaryHost();
    return result;
}

}  // namespace velmora
