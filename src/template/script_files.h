// What the script host reads and writes: index files that list script files, the script files
// themselves, debug copies of assembled code, and the system-function library.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class ScriptEngine;

// A "file" element of a system-function or validation index file.
struct ScriptFileEntry {
    std::string value;  // the file name as written
    std::string path;   // the index file's folder joined with value
    bool function = false;
    bool override = false;
    bool multiline = false;
    bool indent = false;
    std::string id;
    std::string parm;
};

// A value of the user's General preferences, as text. A script-file setting the user left empty
// (SYSCODE, SYSCODEPREFIX, SYSCODESUFFIX, VALIDATECODE) falls back to the file the template
// package being generated brings for it.
std::string GeneralSetting(std::string_view name);
// The package's file for a script-file setting; an empty path removes the fallback.
void SetPackageScriptFile(std::string_view name, std::string_view path);
void ClearPackageScriptFiles();
bool PathExists(std::string_view path);
// `name` below `folder`; "\" in either becomes "/".
std::string JoinScriptPath(std::string_view folder, std::string_view name);
// A package may name a file in another letter case than the one on disk: the folder's entry of
// that name without regard to case, when the exact one does not exist; else `path` itself.
std::string OnDiskPath(const std::string& path);
// The "file" elements with a value, in document order; false when the index does not load.
bool ListScriptFiles(std::string_view indexPath, std::vector<ScriptFileEntry>& files);
// The file's text; a missing file shows "Script file ... not found!" and gives "".
std::string ReadScriptFile(std::string_view path);
// Writes a debug copy of assembled code into `folder` (nothing when the folder is not set).
void WriteDebugFile(std::string_view folder, std::string_view name, std::string_view text);
// While held back (a dry run, which must leave the destination alone), no debug copy is written.
void HoldBackDebugFiles(bool holdBack);

// A system-function file's text (template mark-up) as script statements that build `zvOut`.
std::string TranslateSystemFunction(std::string_view text, bool multiline, bool indent);

struct SystemLibrary {
    std::string code;
    bool complete = false;  // false: the index did not load, or the prefix or suffix is missing
};
// Assembles the library from the index `syscode`, compiling each file alone in `test` first so
// that a failure names its file; writes "syscode.txt" (and failing files) to `debugFolder`.
SystemLibrary AssembleSystemLibrary(std::string_view syscode, std::string_view prefixPath,
                                    std::string_view suffixPath, ScriptEngine& test, std::string_view debugFolder);

}  // namespace velmora
