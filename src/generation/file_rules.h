// The overwrite and backup rule that every write into the destination passes, and the copy and
// folder controls that deliver a template package's files as they stand.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace velmora {

class AGP;
class AGPStatus;
class OutputWriter;

// The overwrite decisions of one generation run. An existing target is replaced only when its
// control allows it and the user agrees; the user's "all" answers and a cancel are remembered
// for the rest of the run. When the user setting BackupFile is on (read at each decision) the
// old target is first kept as path + ".bak".
class OverwriteRules {
public:
    // Starts a run: forgets the answers of the last one and takes the policy, if any.
    void Reset();
    // Whether the file may be written. `existsOnly`: only whether it exists (check mode). A missing
    // file may always be written; an existing one when `overwrite` allows and, with `prompt`, the
    // user agrees (question "overwrite-file"). A cancel answers false and sets ProjErr.
    bool CanWriteFile(std::string_view path, bool overwrite, bool prompt, bool existsOnly);
    // The same for a folder (question "overwrite-folder"); its backup is a copy of the whole folder.
    bool CanWriteFolder(std::string_view path, bool overwrite, bool prompt, bool existsOnly);
    // Before the engine replaces a file the user has not edited: the backup the user setting
    // BackupFile asks for. False, with a message shown, when the backup failed.
    bool BackUpIfWanted(std::string_view path);
    // The user cancelled the run.
    bool Cancelled() const { return remembered_ == "C"; }
    // "" (ask), "O" (overwrite all), "S" (skip all) or "C" (cancelled).
    const std::string& Remembered() const { return remembered_; }
    // The answer every question of every run gets without asking: "O" or "S"; any other text
    // (such as "") asks again. Takes effect at once and at each Reset.
    void SetPolicy(std::string_view remembered);

private:
    bool CanWrite(std::string_view path, bool isFolder, bool overwrite, bool prompt, bool existsOnly);
    bool BackUp(const std::filesystem::path& target, bool isFolder);
    // Asks the user; true for overwrite. Remembers "all" answers and a cancel.
    bool AskOverwrite(std::string_view path, bool isFolder);

    std::string remembered_;
    std::string policy_;
};

// Where the files of the extension of that name are for the current run: the unpacked folder of
// a zip package, or a folder package where it is.
using ExtensionFolderLookup = std::function<std::string(const std::string& name)>;

// Carries out the controls of type "copy" and "folder" in control order, those whose condition
// holds. Sources lie in `templateFolder`, or in the folder `extensionFolder` gives for the
// control's CtrlExt, below the control's CtrlIFolder; a name the package spells in another letter
// case than the disk is still found. Targets are the controls' output folders. Every file goes
// through `writer`, whose rules for files of earlier runs come first; for other existing files,
// CtrlIFiles "*" copies the source folder with its subfolders (the file rule, without questions,
// decides per file), "*.*" replaces the target folder's files with the source folder's (files the
// source lacks are deleted), any other value is a comma-separated list of files (the file rule
// with questions decides for each). A folder control copies its source folder once the folder
// rule, without questions, allows it; a folder generated before is updated file by file. Status
// texts go to `status`; a failing copy is shown and the run goes on. False with ProjErr for a
// missing source file or folder, an extension control whose extension has no folder, an output
// outside the destination, a failing condition function or a cancel. `checkMode` checks the
// sources and targets but copies nothing and asks nothing.
bool CopyControls(AGP& project, OutputWriter& writer, std::string_view templateFolder,
                  const ExtensionFolderLookup& extensionFolder, AGPStatus& status, bool checkMode);

}  // namespace velmora
