#include "generation/generation_run.h"

#include <ctime>
#include <filesystem>
#include <fstream>

#include "generation/driver.h"
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "support/engine_state.h"
#include "support/text.h"
#include "template/script_files.h"

namespace velmora {

GenerationRun::GenerationRun(std::shared_ptr<AGP> project) : shared(std::move(project)), project(*shared) {
    rules.Reset();
    rules.SetPolicy(CurrentGenerationOptions().overwrite);
    writeGenLog = ToLowerAscii(GeneralSetting("WriteGenLog")) == "true";
    HoldBackDebugFiles(CurrentGenerationOptions().dryRun);
    KeepAuxiliaryHost(true);
}

GenerationRun::~GenerationRun() {
    status.CloseStatus();
    host.Reset();
    KeepAuxiliaryHost(false);
    ClearPackageScriptFiles();
    HoldBackDebugFiles(false);
}

std::string GenerationRun::InputFolder(const AGPControl& control) const {
    std::string base = control.CtrlExt.empty() ? folders.templateScriptFolder : ExtensionFolder(control.CtrlExt);
    return control.CtrlIFolder.empty() ? base : JoinScriptPath(base, control.CtrlIFolder);
}

std::string GenerationRun::ExtensionFolder(const std::string& name) const {
    auto resolved = extensionFolders.find(name);
    if (resolved != extensionFolders.end() && !resolved->second.empty()) return resolved->second;
    return JoinScriptPath(folders.extensionsFolder, name);
}

std::string GenerationRun::ModulePath(const AGPControl& control) const {
    return JoinScriptPath(folders.cacheFolder,
                          control.CtrlID + control.CtrlTagExt + "_" + ToLowerAscii(control.CtrlType) + ".tpl");
}

void GenerationRun::LogGenerated(std::string_view path, double elapsedMs) {
    if ((!writeGenLog && profilerLog.empty()) || writer.DryRun()) return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S", &local);
    std::string line = std::string(path) + "\t(" + stamp + " " + std::to_string(static_cast<long long>(elapsedMs)) +
                       " ms)\r\n";
    auto append = [&](const std::string& file) {
        std::ofstream out(file, std::ios::binary | std::ios::app);
        out << line;
    };
    if (writeGenLog) append(JoinScriptPath(project.Destination(), std::string(kProductName) + ".log"));
    if (!profilerLog.empty()) append(profilerLog);
}

void GenerationRun::ShowStep(std::string_view step, bool withProgress) {
    std::string caption = std::string(kProductName) + std::string(step);
    if (withProgress)
        status.ShowStatus3(project.hwnd(), caption);
    else
        status.ShowStatus2(project.hwnd(), caption);
    status.DispStatus("Please wait...");
}

}  // namespace velmora
