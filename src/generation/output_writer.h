// Every file a generation run puts into its destination passes here. What earlier runs wrote is
// known from the destination's manifest, so a run:
// - leaves a file alone when the new content equals what is on disk ("unchanged");
// - replaces without asking a file that is still exactly what the last run wrote ("updated");
// - merges the template's changes into a file the user edited ("merged"), and where both changed
//   the same lines asks the question "merge-conflict" ("conflict");
// - does not re-create a file the user deleted, unless told to restore deleted files;
// - asks the overwrite question only for existing files the manifest does not know.
// A control whose CtrlOverwrite is off never has an existing file replaced.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "generation/manifest.h"

namespace velmora {

class OverwriteRules;
struct EncodedText;
struct MergeOutcome;

enum class FileOutcome { Created, Updated, Merged, Conflict, Unchanged, Skipped };

// The word a summary and a dry run use for an outcome: "create", "update", "merge", ...
std::string_view OutcomeWord(FileOutcome outcome);

struct GeneratedFile {
    std::string path;  // relative to the destination, or absolute when outside it
    FileOutcome outcome = FileOutcome::Skipped;
    std::string detail;  // why a file was skipped, where a conflict's new version went
};

// What one run did to its destination.
struct GenerationSummary {
    std::int32_t created = 0, updated = 0, merged = 0, conflicts = 0, unchanged = 0, skipped = 0;
    std::vector<GeneratedFile> files;  // in the order the run met them
    double seconds = 0;  // the whole GenScript
    bool dryRun = false;

    std::int32_t Written() const { return created + updated + merged; }
    // The counts, the conflicts with their paths and the time, as lines for a person.
    std::string Text() const;
    // The same as a JSON object, with every file and its outcome.
    std::string Json() const;
};

// How an existing file that the manifest does not know is treated.
enum class UnknownFile {
    Ask,      // the overwrite rule with the question
    Rule,     // the overwrite rule without a question
    Replace,  // replaced: the engine's own configuration files
};

class OutputWriter {
public:
    explicit OutputWriter(OverwriteRules& rules) : rules_(rules) {}

    // Starts a run into `destination`. With `dryRun` every file is classified and nothing is
    // written; with `restoreDeleted` files the user deleted are written again.
    void Begin(const std::string& destination, bool dryRun, bool restoreDeleted);
    // Ends the run: saves the manifest (also after a cancel or an abort).
    // False, with ProjErr set, when the manifest cannot be written.
    bool Finish();

    // Writes `content` to `path` by the rules above. False ends the run, with ProjErr set: a
    // cancel, or a file that could not be written.
    bool Write(const std::string& path, const EncodedText& content, std::string_view control, bool overwrite,
               UnknownFile unknown);
    // Copies a file as it stands, by the same rules.
    bool Copy(const std::string& source, const std::string& path, std::string_view control, bool overwrite,
              UnknownFile unknown);
    // The run removed a file it generated earlier.
    void Removed(const std::string& path);

    bool DryRun() const { return dryRun_; }
    // Whether the manifest knows a file below the folder.
    bool KnowsFolder(const std::string& path) const;
    OverwriteRules& Rules() { return rules_; }
    const GenerationSummary& Summary() const { return summary_; }

private:
    // Relative to the destination; empty for a path outside it.
    std::string Relative(const std::string& path) const;
    bool Store(const std::string& path, const EncodedText& content);
    // An existing file whose content differs from the new one.
    bool Settle(const std::string& path, const std::string& relative, const EncodedText& content,
                std::string_view control, bool overwrite, UnknownFile unknown, const std::string& onDisk);
    // A file the user edited, after its three-way merge: a clean merge is written, a conflict asked.
    bool Resolve(const std::string& path, const std::string& relative, const EncodedText& content,
                 std::string_view control, const std::string& onDisk, const MergeOutcome& merge);
    bool Note(const std::string& path, FileOutcome outcome, std::string detail = {});

    OverwriteRules& rules_;
    GenerationManifest manifest_;
    GenerationSummary summary_;
    std::string destination_;
    bool dryRun_ = false;
    bool restoreDeleted_ = false;
    bool started_ = false;
    // Folders this run created or found, so that each is made sure of once.
    std::set<std::string> knownFolders_;
};

}  // namespace velmora
