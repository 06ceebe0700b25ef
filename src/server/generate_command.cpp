// velmora generate: loads a project, prepares the generation (page count and item lists) and
// generates the application, or shows what a generation would change without touching the
// destination.
#include <filesystem>
#include <fmt/format.h>
#include <iostream>
#include <map>

#include "generation/driver.h"
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "model/entities/database.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"
#include "persistence/project_reader.h"
#include "platform/prompter.h"
#include "server/commands.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "support/text.h"

namespace velmora::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kExitCancelled = 130;

// Answers every yes/no question the same way (--yes, --no); the rest take their safe default.
class YesNoPrompter : public NonInteractivePrompter {
public:
    explicit YesNoPrompter(std::string answer) : answer_(std::move(answer)) {}

protected:
    std::optional<std::string> Lookup(const Question& question) override {
        for (const std::string& allowed : AllowedAnswers(question))
            if (allowed == answer_) return answer_;
        return std::nullopt;
    }

private:
    std::string answer_;
};

// Each file of a dry run with what the run would do to it, by path.
void PrintDryRun(const GenerationSummary& summary) {
    std::map<std::string, const GeneratedFile*> byPath;
    for (const auto& file : summary.files) byPath[file.path] = &file;
    for (const auto& [path, file] : byPath) {
        std::string line = fmt::format("{:<10} {}", OutcomeWord(file->outcome), path);
        if (!file->detail.empty()) line += " (" + file->detail + ")";
        std::cout << line << "\n";
    }
}

void PrintItems(AGP& project) {
    for (const auto& table : project.DB()->Tables()->Items()) {
        auto items = table->ControlList();
        if (items->Count() == 0) continue;
        std::cout << table->TblName() << ":\n";
        for (const auto& item : items->Items())
            std::cout << "  " << (item->ItemGen ? "[x] " : "[ ] ") << item->ItemId << "  " << item->ItemFn << "\n";
    }
    if (project.ControlList()->Count() == 0) return;
    std::cout << "project:\n";
    for (const auto& item : project.ControlList()->Items())
        std::cout << "  " << (item->ItemGen ? "[x] " : "[ ] ") << item->ItemId << "  " << item->ItemFn << "\n";
}

int Failed() {
    std::cerr << Engine().ProjErr << "\n";
    return Engine().ProjErr == "Generation cancelled by user!" ? kExitCancelled : kExitFailure;
}

bool SetUpPrompter(const GenerateOptions& options) {
    if (!options.answers.empty()) {
        auto prompter = std::make_shared<AnswersFilePrompter>();
        if (!prompter->Load(options.answers)) {
            std::cerr << prompter->LastError() << "\n";
            return false;
        }
        SetPrompter(prompter);
    } else if (options.yes || options.no) {
        SetPrompter(std::make_shared<YesNoPrompter>(options.yes ? "yes" : "no"));
    }
    return true;
}

}  // namespace

int Generate(const GenerateOptions& options) {
    static const std::map<std::string, std::string> kOverwrite{{"ask", ""}, {"all", "O"}, {"skip", "S"}};
    auto overwrite = kOverwrite.find(ToLowerAscii(options.overwrite));
    if (overwrite == kOverwrite.end()) {
        std::cerr << "--overwrite takes ask, all or skip\n";
        return kExitUsage;
    }
    if (options.yes && options.no) {
        std::cerr << "--yes and --no exclude each other\n";
        return kExitUsage;
    }
    if (!SetUpPrompter(options)) return kExitUsage;
    SetGenerationOptions({overwrite->second, options.dryRun, options.restoreDeleted});
    InstallCancelHandler();
    ResetCancel();

    auto project = std::make_shared<AGP>();
    if (!Load(*project, options.project, false)) return Failed();
    if (!options.templatePackage.empty()) project->SetTemplate(fs::absolute(options.templatePackage).string());
    fs::path projectFolder = fs::absolute(options.project).parent_path();
    std::string destination = options.dest.empty() ? ReplaceAll(project->Destination(), "\\", "/") : options.dest;
    if (Trim(destination).empty()) {
        // A new project names no destination yet: its application goes beside it.
        destination = fs::path(options.project).stem().string() + "-app";
        std::cerr << "The project names no destination folder; generating into " << destination
                  << " beside it (--dest chooses another)\n";
    }
    // A destination written in the project is relative to the project file.
    fs::path target = options.dest.empty() ? projectFolder / destination : fs::absolute(destination);
    target = target.lexically_normal();
    project->SetDestination(target.string());

    std::int32_t pages = GenCheck(project);
    if (!Engine().ProjErr.empty()) return Failed();
    if (options.check) {
        std::cout << pages << " pages\n";
        PrintItems(*project);
        return kExitOk;
    }
    GenScript(project);
    const GenerationSummary& summary = LastGenerationSummary();
    // A run that ended before its first file has nothing to sum up, only its message.
    if (Engine().ProjErr.empty() || !summary.files.empty()) {
        if (options.json) {
            std::cout << summary.Json() << "\n";
        } else {
            if (options.dryRun) PrintDryRun(summary);
            std::cout << summary.Text();
        }
    }
    if (!Engine().ProjErr.empty()) return Failed();
    if (!options.json && !options.dryRun)
        std::cout << "Generated " << project->ProjName() << " into " << target.string() << "\n";
    return kExitOk;
}

}  // namespace velmora::cli
