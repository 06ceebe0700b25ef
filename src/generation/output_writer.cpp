#include "generation/output_writer.h"

#include <filesystem>
#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <set>

#include "generation/file_rules.h"
#include "platform/prompter.h"
#include "platform/text_merge.h"
#include "support/engine_state.h"
#include "support/text.h"
#include "support/text_file.h"

namespace velmora {
namespace fs = std::filesystem;
namespace {

struct OutcomeName {
    FileOutcome outcome;
    std::string_view word;
};
constexpr OutcomeName kOutcomeNames[] = {
    {FileOutcome::Created, "create"},     {FileOutcome::Updated, "update"},
    {FileOutcome::Merged, "merge"},       {FileOutcome::Conflict, "conflict"},
    {FileOutcome::Unchanged, "unchanged"}, {FileOutcome::Skipped, "skip"},
};

// The answers of the question about a file both the user and the template changed in one place.
constexpr std::string_view kKeepMine = "keep";
constexpr std::string_view kTakeNew = "new";
constexpr std::string_view kMarkers = "markers";
constexpr std::string_view kNewSuffix = ".new";

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    for (const std::string& line : Split(text, '\n')) lines.push_back(line);
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

// "+added -removed lines", counted as multisets so that moved lines count as unchanged.
std::string LineChanges(std::string_view before, std::string_view after) {
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
    return fmt::format("+{} -{} lines", added, old.size());
}

}  // namespace

std::string_view OutcomeWord(FileOutcome outcome) {
    for (const auto& name : kOutcomeNames)
        if (name.outcome == outcome) return name.word;
    return {};
}

std::string GenerationSummary::Text() const {
    std::string text = fmt::format("{}{} created, {} updated, {} merged, {} conflicts, {} unchanged, {} skipped in {:.2f} s\n",
                                   dryRun ? "Dry run: " : "", created, updated, merged, conflicts, unchanged,
                                   skipped, seconds);
    for (const auto& file : files) {
        if (file.outcome == FileOutcome::Conflict)
            text += "conflict  " + file.path + (file.detail.empty() ? "" : " (" + file.detail + ")") + "\n";
    }
    return text;
}

std::string GenerationSummary::Json() const {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    nlohmann::ordered_json conflictList = nlohmann::ordered_json::array();
    for (const auto& file : files) {
        nlohmann::ordered_json entry = {{"path", file.path}, {"outcome", OutcomeWord(file.outcome)}};
        if (!file.detail.empty()) entry["detail"] = file.detail;
        if (file.outcome == FileOutcome::Conflict) conflictList.push_back(entry);
        list.push_back(std::move(entry));
    }
    nlohmann::ordered_json document = {
        {"dry_run", dryRun},   {"created", created},     {"updated", updated},
        {"merged", merged},    {"conflicts", conflicts}, {"unchanged", unchanged},
        {"skipped", skipped},  {"seconds", seconds},     {"conflict_files", std::move(conflictList)},
        {"files", std::move(list)}};
    return document.dump(1);
}

void OutputWriter::Begin(const std::string& destination, bool dryRun, bool restoreDeleted) {
    destination_ = fs::absolute(fs::path(ReplaceAll(destination, "\\", "/"))).lexically_normal().generic_string();
    while (destination_.size() > 1 && destination_.back() == '/') destination_.pop_back();
    dryRun_ = dryRun;
    restoreDeleted_ = restoreDeleted;
    summary_ = {};
    summary_.dryRun = dryRun;
    knownFolders_.clear();
    started_ = true;
    std::string error;
    if (!manifest_.Open(destination_, error)) ShowMessage(error);
}

bool OutputWriter::Finish() {
    if (!started_) return true;
    started_ = false;
    if (dryRun_) return true;
    std::string previous = Engine().ProjErr;
    Engine().ProjErr.clear();
    bool saved = manifest_.Save();
    if (!saved) {
        std::string reason = Engine().ProjErr;
        Engine().ProjErr = previous.empty() ? ProductMessage("The generation manifest was not saved") + "\r\n" + reason
                                            : previous;
    } else {
        Engine().ProjErr = previous;
    }
    return saved;
}

std::string OutputWriter::Relative(const std::string& path) const {
    if (!started_) return {};
    // Paths the run composes are normal already; only others need the path library.
    bool plain = path.starts_with(destination_) && path.find_first_of("\\") == std::string::npos &&
                 path.find("/.") == std::string::npos && path.find("//") == std::string::npos;
    std::string normal =
        plain ? path : fs::absolute(fs::path(ReplaceAll(path, "\\", "/"))).lexically_normal().generic_string();
    if (normal.size() <= destination_.size() + 1 || !normal.starts_with(destination_) ||
        normal[destination_.size()] != '/')
        return {};
    std::string relative = normal.substr(destination_.size() + 1);
    if (relative.starts_with(std::string(kManifestFolder) + "/")) return {};
    return relative;
}

bool OutputWriter::Note(const std::string& path, FileOutcome outcome, std::string detail) {
    // In the order of FileOutcome.
    std::int32_t* counters[] = {&summary_.created,  &summary_.updated,   &summary_.merged,
                                &summary_.conflicts, &summary_.unchanged, &summary_.skipped};
    ++*counters[static_cast<int>(outcome)];
    summary_.files.push_back({path, outcome, std::move(detail)});
    return true;
}

bool OutputWriter::Store(const std::string& path, const EncodedText& content) {
    std::string folder = fs::path(path).parent_path().string();
    if (!knownFolders_.count(folder)) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        knownFolders_.insert(folder);
    }
    return WriteEncodedFile(path, content);
}

bool OutputWriter::Copy(const std::string& source, const std::string& path, std::string_view control,
                        bool overwrite, UnknownFile unknown) {
    auto bytes = ReadFileBytes(source);
    if (!bytes) return Fail("Cannot read " + source);
    return Write(path, EncodedText{std::move(*bytes), true}, control, overwrite, unknown);
}

bool OutputWriter::KnowsFolder(const std::string& path) const {
    std::string relative = Relative(path);
    while (!relative.empty() && relative.back() == '/') relative.pop_back();
    if (relative.empty()) return false;
    relative += "/";
    auto next = manifest_.Entries().lower_bound(relative);
    return next != manifest_.Entries().end() && next->first.starts_with(relative);
}

void OutputWriter::Removed(const std::string& path) {
    std::string relative = Relative(path);
    if (!relative.empty() && !dryRun_) manifest_.Forget(relative);
}

bool OutputWriter::Write(const std::string& path, const EncodedText& content, std::string_view control,
                         bool overwrite, UnknownFile unknown) {
    std::string relative = Relative(path);
    std::string shown = relative.empty() ? path : relative;
    auto onDisk = ReadFileBytes(path);
    std::error_code ec;
    bool exists = onDisk ? true : fs::is_regular_file(path, ec);
    const ManifestEntry* entry = relative.empty() ? nullptr : manifest_.Find(relative);
    if (!exists) {
        if (entry && !restoreDeleted_) return Note(shown, FileOutcome::Skipped, "deleted by the user");
        if (!dryRun_) {
            if (!Store(path, content)) return false;
            if (!relative.empty()) manifest_.Record(relative, control, content.bytes);
        }
        return Note(shown, FileOutcome::Created);
    }
    if (onDisk && *onDisk == content.bytes) {
        if (!relative.empty() && !dryRun_) manifest_.Record(relative, control, content.bytes);
        return Note(shown, FileOutcome::Unchanged);
    }
    return Settle(path, relative, content, control, overwrite, unknown, onDisk.value_or(std::string()));
}

bool OutputWriter::Settle(const std::string& path, const std::string& relative, const EncodedText& content,
                          std::string_view control, bool overwrite, UnknownFile unknown, const std::string& onDisk) {
    std::string shown = relative.empty() ? path : relative;
    const ManifestEntry* entry = relative.empty() ? nullptr : manifest_.Find(relative);
    if (entry) {
        if (!overwrite) return Note(shown, FileOutcome::Skipped, "its control does not overwrite");
        if (ContentHash(onDisk) == entry->hash) {
            if (dryRun_) return Note(shown, FileOutcome::Updated, LineChanges(onDisk, content.bytes));
            if (!rules_.BackUpIfWanted(path)) return Note(shown, FileOutcome::Skipped, "its backup failed");
            if (!Store(path, content)) return false;
            manifest_.Record(relative, control, content.bytes);
            return Note(shown, FileOutcome::Updated);
        }
        // Edited by hand: when the template's output did not change, the edit simply stays.
        if (ContentHash(content.bytes) == entry->hash) return Note(shown, FileOutcome::Unchanged, "edited by hand");
        if (auto base = manifest_.Base(relative)) {
            MergeOutcome merge = MergeThreeWay(*base, onDisk, content.bytes, "yours", "generated");
            if (merge.merged) return Resolve(path, relative, content, control, onDisk, merge);
        }
        // Nothing to merge with: the user decides, as for a file of unknown origin.
        unknown = UnknownFile::Ask;
    }

    bool decision = unknown == UnknownFile::Replace;
    if (!decision && dryRun_) {
        const std::string& remembered = rules_.Remembered();
        if (remembered == "S" || !overwrite) return Note(shown, FileOutcome::Skipped, "not written by the engine");
        return Note(shown, FileOutcome::Updated,
                    LineChanges(onDisk, content.bytes) + (remembered == "O" ? "" : ", asks first"));
    }
    if (!decision) decision = rules_.CanWriteFile(path, overwrite, unknown == UnknownFile::Ask, false);
    if (rules_.Cancelled()) return false;
    if (!decision) return Note(shown, FileOutcome::Skipped, "not written by the engine");
    if (!dryRun_) {
        if (!Store(path, content)) return false;
        if (!relative.empty()) manifest_.Record(relative, control, content.bytes);
    }
    return Note(shown, FileOutcome::Updated);
}

bool OutputWriter::Resolve(const std::string& path, const std::string& relative, const EncodedText& content,
                           std::string_view control, const std::string& onDisk, const MergeOutcome& merge) {
    if (merge.clean) {
        if (dryRun_) return Note(relative, FileOutcome::Merged, LineChanges(onDisk, merge.text));
        if (!rules_.BackUpIfWanted(path)) return Note(relative, FileOutcome::Skipped, "its backup failed");
        if (!Store(path, EncodedText{merge.text, content.utf8})) return false;
        manifest_.Record(relative, control, content.bytes);
        return Note(relative, FileOutcome::Merged);
    }
    if (dryRun_) return Note(relative, FileOutcome::Conflict);

    Question question;
    question.id = "merge-conflict";
    question.message = "File " + path +
                       " was edited by hand, and the new version changes the same lines. Keep your file (the new "
                       "version is written beside it as " + fs::path(path).filename().string() +
                       std::string(kNewSuffix) + "), take the new version, or write both with conflict markers?";
    question.choices = {{std::string(kKeepMine), "Keep mine"},
                        {std::string(kTakeNew), "Take new"},
                        {std::string(kMarkers), "Write with conflict markers"}};
    question.defaultAnswer = kKeepMine;
    Answer answer = Ask(question);
    if (answer.Is(kTakeNew) || answer.Is(kMarkers)) {
        bool markers = answer.Is(kMarkers);
        if (!rules_.BackUpIfWanted(path)) return Note(relative, FileOutcome::Skipped, "its backup failed");
        if (!Store(path, markers ? EncodedText{merge.text, content.utf8} : content)) return false;
        manifest_.Record(relative, control, content.bytes);
        return Note(relative, FileOutcome::Conflict, markers ? "written with conflict markers" : "the new version taken");
    }
    if (!Store(path + std::string(kNewSuffix), content)) return false;
    // Unanswered, the conflict stays open and comes back on the next run; a user who chose their
    // own file has settled it.
    if (!answer.byDefault) manifest_.Record(relative, control, content.bytes);
    return Note(relative, FileOutcome::Conflict, "yours kept; the new version is " + relative + std::string(kNewSuffix));
}

}  // namespace velmora
