// velmora generate: loads a project, prepares the generation (page count and item lists) and
// generates the application, or shows what a generation would change without touching the
// destination.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include <unistd.h>

#include "generation/driver.h"
#include "model/agp.h"
#include "model/controls.h"
#include "model/database.h"
#include "model/table.h"
#include "model/tables.h"
#include "persistence/project_reader.h"
#include "platform/prompter.h"
#include "server/commands.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "support/text.h"

namespace velmora::cli {

constexpr std::string_view kShippedPackage = "default";

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

// A file's lines, for the changed-file summary.
std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// "+added -removed" lines, counted as multisets so that moved lines count as unchanged.
std::string DiffSummary(const fs::path& before, const fs::path& after) {
    std::multiset<std::string> old;
    for (std::string& line : Lines(before)) old.insert(std::move(line));
    std::size_t added = 0;
    for (const std::string& line : Lines(after)) {
        auto found = old.find(line);
        if (found == old.end())
            ++added;
        else
            old.erase(found);
    }
    return "+" + std::to_string(added) + " -" + std::to_string(old.size()) + " lines";
}

// Lists what a generation into `scratch` would do to `destination`.
void ReportDryRun(const fs::path& scratch, const fs::path& destination) {
    std::map<std::string, std::string> report;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(scratch, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file()) continue;
        fs::path relative = it->path().lexically_relative(scratch);
        fs::path existing = destination / relative;
        std::string line;
        if (!fs::is_regular_file(existing))
            line = "create     ";
        else if (ReadAll(existing) == ReadAll(it->path()))
            line = "unchanged  ";
        else
            line = "change     ";
        if (line.starts_with("change")) line += relative.generic_string() + " (" + DiffSummary(existing, it->path()) + ")";
        else line += relative.generic_string();
        report.emplace(relative.generic_string(), line);
    }
    for (const auto& [path, line] : report) std::cout << line << "\n";
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
    SetGenerationOptions({overwrite->second});
    InstallCancelHandler();
    ResetCancel();

    auto project = std::make_shared<AGP>();
    if (!Load(*project, options.project, false)) return Failed();
    if (!options.templatePackage.empty()) project->SetTemplate(fs::absolute(options.templatePackage).string());
    // A project that names no package gets the one shipped with the engine.
    if (Trim(project->Template()).empty()) project->SetTemplate(std::string(kShippedPackage));
    fs::path projectFolder = fs::absolute(options.project).parent_path();
    std::string destination = options.dest.empty() ? ReplaceAll(project->Destination(), "\\", "/") : options.dest;
    if (Trim(destination).empty()) {
        std::cerr << "The project names no destination folder; give one with --dest\n";
        return kExitUsage;
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
    if (!options.dryRun) {
        GenScript(project);
        if (!Engine().ProjErr.empty()) return Failed();
        std::cout << "Generated " << project->ProjName() << " into " << target.string() << "\n";
        return kExitOk;
    }

    std::string pattern = (fs::temp_directory_path() / "velmora-dry-run-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::cerr << "Cannot create a scratch folder: " << std::strerror(errno) << "\n";
        return kExitFailure;
    }
    fs::path scratch = pattern;
    project->SetDestination(scratch.string());
    SetGenerationOptions({"O"});
    GenScript(project);
    int rc = kExitOk;
    if (Engine().ProjErr.empty())
        ReportDryRun(scratch, target);
    else
        rc = Failed();
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return rc;
}

}  // namespace velmora::cli
