// One generation run: what the driver, page generation and the configuration writer share while
// GenCheck or GenScript runs. The run owns the cache, the overwrite decisions and the status
// window, and releases the script host on every way out.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "generation/driver.h"
#include "generation/file_rules.h"
#include "generation/gen_cache.h"
#include "generation/output_writer.h"
#include "support/status.h"
#include "template/script_host.h"
#include "template/translate.h"

namespace velmora {

class AGP;
class AGPControl;

// Adds the time from its construction to its end to `total` (seconds).
class ScopedTimer {
public:
    explicit ScopedTimer(double& total) : total_(total), start_(std::chrono::steady_clock::now()) {}
    ~ScopedTimer() { total_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }
    ScopedTimer(const ScopedTimer&) = delete;
    ScopedTimer& operator=(const ScopedTimer&) = delete;

private:
    double& total_;
    std::chrono::steady_clock::time_point start_;
};

struct GenerationRun {
    explicit GenerationRun(std::shared_ptr<AGP> project);
    ~GenerationRun();
    GenerationRun(const GenerationRun&) = delete;
    GenerationRun& operator=(const GenerationRun&) = delete;

    // The folder a control's input files are in: the template script folder, or its extension's
    // folder, with the control's input folder below it.
    std::string InputFolder(const AGPControl& control) const;
    // Where an extension's files are: as resolved for this run (a folder package is used where
    // it is), else its folder below the extensions folder.
    std::string ExtensionFolder(const std::string& name) const;
    // The control's script module in the cache folder: CtrlID & CtrlTagExt & "_" & type & ".tpl".
    std::string ModulePath(const AGPControl& control) const;
    // A line of the generation log (and of the profiler log when profiling).
    void LogGenerated(std::string_view path, double elapsedMs);
    // Status caption: product name & step text, "Please wait..." as its information line.
    void ShowStep(std::string_view step, bool withProgress = false);

    std::shared_ptr<AGP> shared;
    AGP& project;
    AGPCache cache;
    TemplateFolders folders;
    OverwriteRules rules;
    OutputWriter writer{rules};
    AGPStatus status;
    AGScript host;
    bool checkMode = false;
    std::int32_t pagesPlanned = 0;
    std::int32_t pagesDone = 0;
    bool writeGenLog = false;
    std::string profilerLog;
    std::map<std::string, std::string> extensionFolders;
    GenerationTimings timings;
    // Module texts read once per run, by module path.
    std::map<std::string, std::string> modules;
};

}  // namespace velmora
