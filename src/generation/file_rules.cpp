#include "generation/file_rules.h"

#include <algorithm>
#include <filesystem>
#include <fmt/format.h>
#include <optional>
#include <set>
#include <unistd.h>
#include <vector>

#include "generation/output_naming.h"
#include "generation/output_writer.h"
#include "model/project/agp.h"
#include "model/controls/controls.h"
#include "platform/prompter.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/settings_store.h"
#include "support/status.h"
#include "support/text.h"

namespace velmora {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kCancelled = "Generation cancelled by user!";

// The answers of the overwrite question: whether the target is written, and what the run then
// remembers for the questions still to come.
struct OverwriteChoice {
    std::string_view key;
    std::string_view label;
    bool overwrite;
    std::string_view remembers;
};

constexpr OverwriteChoice kOverwriteChoices[] = {
    {"overwrite", "Overwrite", true, ""}, {"overwrite-all", "Overwrite all", true, "O"},
    {"skip", "Skip", false, ""},          {"skip-all", "Skip all", false, "S"},
    {"cancel", "Cancel", false, "C"},
};

std::string Slashes(std::string_view text) { return ReplaceAll(text, "\\", "/"); }

bool BackupWanted() {
    return ToBoolean(GetRegValue("HKCU", SettingsSection("General"), "BackupFile")).value_or(false);
}

// Copies `from` over `to` through a temporary file beside the target, so that a failed copy
// leaves the previous target as it was. Empty on success, else the reason.
std::string CopyFileAtomically(const fs::path& from, const fs::path& to) {
    static unsigned counter = 0;
    fs::path temp = to.parent_path() / fmt::format(".{}.{}.{}.tmp", to.filename().string().substr(0, 64),
                                                   ::getpid(), counter++);
    std::error_code ec;
    fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(temp, to, ec);
    if (!ec) return {};
    std::error_code ignored;
    fs::remove(temp, ignored);
    return to.generic_string() + ": " + ec.message();
}

// Keeps the current target as path + ".bak", replacing an older backup. Empty on success.
std::string Backup(const fs::path& target, bool isFolder) {
    fs::path backup = target;
    backup += ".bak";
    if (!isFolder) return CopyFileAtomically(target, backup);
    std::error_code ec;
    fs::remove_all(backup, ec);
    if (!ec) fs::copy(target, backup, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    return ec ? backup.generic_string() + ": " + ec.message() : std::string();
}

// `relative` below `base`, where each part not found as spelt is matched without regard to case
// among the entries of its folder; parts that match nothing stay as written.
fs::path FindNoCase(const fs::path& base, std::string_view relative) {
    fs::path found = base;
    for (const auto& part : Split(relative, '/')) {
        if (part.empty() || part == ".") continue;
        fs::path exact = found / part;
        std::error_code ec;
        if (part == ".." || fs::exists(exact, ec)) {
            found = exact;
            continue;
        }
        fs::path match = exact;
        for (fs::directory_iterator it(found, ec), end; !ec && it != end; it.increment(ec)) {
            if (EqualsNoCase(it->path().filename().string(), part)) {
                match = it->path();
                break;
            }
        }
        found = match;
    }
    return found;
}

std::string Shown(const fs::path& path) {
    std::string text = path.generic_string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

// The entries of a folder, files and folders apart, in name order so that runs repeat.
struct FolderEntries {
    std::vector<fs::path> files;
    std::vector<fs::path> folders;
};

FolderEntries ReadFolder(const fs::path& folder, std::error_code& ec) {
    FolderEntries entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (it->is_directory(kind)) {
            entries.folders.push_back(it->path());
        } else if (it->is_regular_file(kind)) {
            entries.files.push_back(it->path());
        }
    }
    std::sort(entries.files.begin(), entries.files.end());
    std::sort(entries.folders.begin(), entries.folders.end());
    return entries;
}

// Carries out one copy or folder control.
class ControlCopier {
public:
    ControlCopier(AGP& project, const AGPControls& controls, const AGPControl& control, OutputWriter& writer,
                  AGPStatus& status, bool checkMode, fs::path source)
        : project_(project),
          control_(control),
          writer_(writer),
          rules_(writer.Rules()),
          status_(status),
          checkMode_(checkMode),
          source_(std::move(source)),
          folder_(OutputFolder(project, controls, control)) {}

    bool CopyFolderControl() {
        std::error_code ec;
        if (!fs::is_directory(source_, ec)) {
            return Fail(ProductMessage("Source folder does not exist - \"" + Shown(source_) +
                                       "\"! Check if correct template."));
        }
        std::string target;
        if (!ResolveOutputPath(project_, control_, folder_, "", target)) return false;
        if (checkMode_) return true;
        // A folder generated before is updated file by file. Otherwise no question: the driver
        // creates the output folders of folder controls beforehand, so the target nearly always
        // exists and the control's overwrite flag decides.
        UnknownFile unknown = UnknownFile::Rule;
        if (!writer_.KnowsFolder(target) && !writer_.DryRun()) {
            if (!rules_.CanWriteFolder(target, control_.CtrlOverwrite, false, false)) return !rules_.Cancelled();
            unknown = UnknownFile::Replace;
        }
        std::string action = "Copying folder " + Shown(source_);
        status_.DispStatus(action + "...");
        return CopyTree(source_, target, action, unknown);
    }

    bool CopyFileControl() {
        std::string files = Trim(control_.CtrlIFiles);
        if (files == "*") return CopyWholeFolder();
        if (files == "*.*") return CopyFolderFiles();
        return CopyListedFiles(files);
    }

private:
    // "*": the source folder with its subfolders; files of the target that the source lacks stay.
    bool CopyWholeFolder() {
        std::string target;
        if (!ResolveOutputPath(project_, control_, folder_, "", target)) return false;
        if (checkMode_) return true;
        std::string action = "Copying folder " + Shown(source_);
        status_.DispStatus(action + "...");
        std::error_code ec;
        if (!fs::is_directory(source_, ec)) {
            Failed(action, Shown(source_) + ": the folder does not exist");
            return true;
        }
        return CopyTree(source_, target, action, UnknownFile::Rule);
    }

    // "*.*": the files of the source folder replace every file of the target folder; files the
    // source does not have are deleted.
    bool CopyFolderFiles() {
        std::string target;
        if (!ResolveOutputPath(project_, control_, folder_, "", target)) return false;
        if (checkMode_) return true;
        std::string name = Shown(source_);
        std::string action = "Copying files from folder " + name;
        status_.DispStatus(action + "...");
        std::error_code ec;
        FolderEntries sources = ReadFolder(source_, ec);
        if (ec) {
            Failed(action, name + ": " + ec.message());
            return true;
        }

        std::set<std::string> delivered;
        for (const auto& file : sources.files) delivered.insert(file.filename().string());
        FolderEntries existing = ReadFolder(target, ec);
        for (const auto& file : existing.files) {
            if (delivered.count(file.filename().string()) || writer_.DryRun()) continue;
            std::error_code removed;
            fs::remove(file, removed);
            if (removed) Failed("Deleting files from folder " + name, Shown(file) + ": " + removed.message());
            else writer_.Removed(file.string());
        }
        if (!writer_.DryRun()) fs::create_directories(target, ec);
        if (ec) {
            Failed(action, target + ": " + ec.message());
            return true;
        }
        for (const auto& file : sources.files) {
            if (!CopyOne(file, target, file.filename().string(), UnknownFile::Replace, action)) return false;
        }
        return true;
    }

    // A list of files, each of which must exist; each target passes the file rule with questions.
    bool CopyListedFiles(std::string_view list) {
        std::vector<std::pair<fs::path, std::string>> files;
        for (const auto& item : Split(list, ',')) {
            std::string name = Slashes(Trim(item));
            if (name.empty()) continue;
            fs::path file = FindNoCase(source_, name);
            std::error_code ec;
            if (!fs::is_regular_file(file, ec)) {
                return Fail(ProductMessage("Source file does not exist - \"" + Shown(source_ / name) +
                                           "\"! Check if correct template."));
            }
            files.emplace_back(file, name);
        }
        for (const auto& [file, name] : files) {
            // Each file of a list is named as if it were the control's only input file.
            AGPControl single;
            CopyControlAttributes(control_, single);
            single.CtrlIFiles = name;
            std::string target;
            if (!ResolveOutputPath(project_, control_, folder_, OutputFileName(project_, single, {}), target))
                return false;
            if (checkMode_) continue;
            std::string action = "Copying file " + name;
            status_.DispStatus(action + "...");
            if (!CopyThrough(file, target, control_.CtrlOverwrite, UnknownFile::Ask, action)) return false;
        }
        return true;
    }

    // Copies the files of `from`, then its subfolders in the same way, into `to`. `unknown` decides
    // for existing files that no earlier run wrote.
    bool CopyTree(const fs::path& from, const fs::path& to, const std::string& action, UnknownFile unknown) {
        std::error_code ec;
        if (!writer_.DryRun()) fs::create_directories(to, ec);
        if (ec) {
            Failed(action, Shown(to) + ": " + ec.message());
            return true;
        }
        FolderEntries entries = ReadFolder(from, ec);
        if (ec) {
            Failed(action, Shown(from) + ": " + ec.message());
            return true;
        }
        for (const auto& file : entries.files) {
            if (!CopyOne(file, to, file.filename().string(), unknown, action)) return false;
        }
        for (const auto& folder : entries.folders) {
            std::string target;
            if (!ResolveOutputPath(project_, control_, Shown(to), folder.filename().string(), target)) return false;
            if (!CopyTree(folder, target, action, unknown)) return false;
        }
        return true;
    }

    // False only when the run must end (an output outside the destination, a cancel).
    bool CopyOne(const fs::path& file, const fs::path& folder, const std::string& name, UnknownFile unknown,
                 const std::string& action) {
        std::string target;
        if (!ResolveOutputPath(project_, control_, Shown(folder), name, target)) return false;
        return CopyThrough(file, target, unknown == UnknownFile::Replace || control_.CtrlOverwrite, unknown, action);
    }

    // A failing copy is shown and the run goes on; false only for a cancel.
    bool CopyThrough(const fs::path& file, const std::string& target, bool overwrite, UnknownFile unknown,
                     const std::string& action) {
        if (writer_.Copy(file.string(), target, control_.CtrlID, overwrite, unknown)) return true;
        if (rules_.Cancelled()) return false;
        Failed(action, Engine().ProjErr);
        Engine().ProjErr.clear();
        return true;
    }

    void Failed(const std::string& action, const std::string& description) {
        std::string text = action + " failed: " + description;
        status_.DispStatus(text);
        ShowMessage(text);
    }

    AGP& project_;
    const AGPControl& control_;
    OutputWriter& writer_;
    OverwriteRules& rules_;
    AGPStatus& status_;
    bool checkMode_;
    fs::path source_;
    std::string folder_;
};

// The control's source folder; nullopt, with ProjErr set, for an extension the run has no folder for.
std::optional<fs::path> SourceFolder(const AGPControl& control, std::string_view templateFolder,
                                     const ExtensionFolderLookup& extensionFolder) {
    std::string inner = Slashes(control.CtrlIFolder);
    if (control.CtrlExt.empty()) return FindNoCase(fs::path(Slashes(templateFolder)), inner);
    fs::path base(extensionFolder ? Slashes(extensionFolder(control.CtrlExt)) : std::string());
    if (base.empty()) {
        Fail(ProductMessage("No folder for extension '" + control.CtrlExt + "' of control '" + control.CtrlID +
                            "'. Generation aborted."));
        return std::nullopt;
    }
    // An unpacked extension's folder may be spelt in another letter case than the extension.
    std::error_code ec;
    if (!fs::exists(base, ec)) base = FindNoCase(base.parent_path(), base.filename().string());
    return FindNoCase(base, inner);
}

}  // namespace

void OverwriteRules::Reset() { remembered_ = policy_; }

void OverwriteRules::SetPolicy(std::string_view remembered) {
    policy_ = remembered == "O" || remembered == "S" ? std::string(remembered) : std::string();
    remembered_ = policy_;
}

bool OverwriteRules::CanWriteFile(std::string_view path, bool overwrite, bool prompt, bool existsOnly) {
    return CanWrite(path, false, overwrite, prompt, existsOnly);
}

bool OverwriteRules::CanWriteFolder(std::string_view path, bool overwrite, bool prompt, bool existsOnly) {
    return CanWrite(path, true, overwrite, prompt, existsOnly);
}

bool OverwriteRules::CanWrite(std::string_view path, bool isFolder, bool overwrite, bool prompt, bool existsOnly) {
    fs::path target(Slashes(path));
    std::error_code ec;
    bool exists = isFolder ? fs::is_directory(target, ec) : fs::exists(target, ec);
    if (existsOnly) return exists;
    if (!exists) return true;
    if (remembered_ == "S") return false;

    bool decision = false;
    if (remembered_ == "O") {
        decision = overwrite;
    } else if (remembered_.empty()) {
        decision = overwrite && (!prompt || AskOverwrite(target.generic_string(), isFolder));
    }
    if (remembered_ == "C") return Fail(std::string(kCancelled));
    if (!decision) return false;

    return BackUp(target, isFolder);
}

bool OverwriteRules::BackUpIfWanted(std::string_view path) { return BackUp(fs::path(Slashes(path)), false); }

bool OverwriteRules::BackUp(const fs::path& target, bool isFolder) {
    if (!BackupWanted()) return true;
    // Without the backup the user asked for, the target is not replaced.
    std::string failure = Backup(target, isFolder);
    if (failure.empty()) return true;
    ShowMessage("Backing up " + target.generic_string() + " failed: " + failure + ". It is left as it is.");
    return false;
}

bool OverwriteRules::AskOverwrite(std::string_view path, bool isFolder) {
    Question question;
    question.id = isFolder ? "overwrite-folder" : "overwrite-file";
    question.message = (isFolder ? "Folder " : "File ") + std::string(path) + " already exists!";
    for (const auto& choice : kOverwriteChoices)
        question.choices.push_back({std::string(choice.key), std::string(choice.label)});
    question.defaultAnswer = "skip";
    Answer answer = Ask(question);
    for (const auto& choice : kOverwriteChoices) {
        if (!answer.Is(choice.key)) continue;
        if (!choice.remembers.empty()) remembered_ = std::string(choice.remembers);
        return choice.overwrite;
    }
    return false;
}

bool CopyControls(AGP& project, OutputWriter& writer, std::string_view templateFolder,
                  const ExtensionFolderLookup& extensionFolder, AGPStatus& status, bool checkMode) {
    if (writer.Rules().Cancelled()) return Fail(std::string(kCancelled));
    auto controls = project.Controls();
    // A snapshot: conditions may run script functions.
    const auto list = controls->Items();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const AGPControl& control = *list[i];
        std::string type = ToLowerAscii(control.CtrlType);
        if (type != "copy" && type != "folder") continue;
        if (status.StatusIsCancelled()) return Fail(std::string(kCancelled));

        // By position, so that the control the condition reads is this one even among equal ids.
        controls->Item(Variant(static_cast<std::int32_t>(i + 1)));
        ConditionResult condition = project.EvaluateConditionDetailed(control.CtrlCond);
        if (condition.status == CondStatus::FunctionError) return false;
        if (!condition.holds) continue;

        std::optional<fs::path> source = SourceFolder(control, templateFolder, extensionFolder);
        if (!source) return false;
        ControlCopier copier(project, *controls, control, writer, status, checkMode, std::move(*source));
        bool carriedOut = type == "folder" ? copier.CopyFolderControl() : copier.CopyFileControl();
        if (!carriedOut) return false;
    }
    return true;
}

}  // namespace velmora
