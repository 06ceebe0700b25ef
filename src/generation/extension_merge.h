// The generation side of extensions: an extension's package is found and prepared in a working
// folder, its control.xml is merged into the template's control list, view-template extensions
// follow the fields that use them, and extensions of the same type exclude each other.
//
// An extension declares its type in its definition file with a "type" element, anywhere in the
// document (the first one counts, its text trimmed, letter case aside):
//   <extension> <file>grid.zip</file> <type>grid</type> <Project>...</Project> </extension>
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

class AGP;
class AGPCache;
class AGPExtension;

// The cache group of extension packages; the key is the extension's name.
inline constexpr std::string_view kCacheGroupExtension = "extension";

struct ResolvedExtension {
    bool found = false;    // the package exists
    bool changed = false;  // the package differs from its cache entry (or has none)
    std::string folder;    // the folder holding the package's files; "" when it could not be prepared
};

// Locates the extension's package: the folder of its definition file (or, without one, of its
// package) among the settings SourceFolder and SourceFolder2, CustomViewTagsFolder for view
// templates, else the folder the extension already names. The extension's Folder becomes that
// folder. A zip package is unpacked into extensionsFolder/<name> when its entry in the cache group
// "extension" differs (or the folder is missing); the entry is then updated in memory, so the
// caller writes the cache file. found=false when the package is missing; a package that cannot be
// prepared leaves `folder` empty with the reason in ProjErr.
ResolvedExtension ResolveExtension(AGP& project, AGPExtension& extension, std::string_view extensionsFolder,
                                   AGPCache& cache);

// Whether an extension whose control file names `extensionVersion` runs on an engine of
// `engineVersion`: same major version, equal or higher minor version.
bool ExtensionVersionFits(std::string_view extensionVersion, std::string_view engineVersion);

// Merges the control.xml in `folder` of the extension `name` into the project's control list:
// every control is stamped with the extension's name and, by its action, added ("add"; a taken id
// is not), deleted ("delete": same id and type) or changes the sessions of the first control of
// the same id and type ("change"; its sessions add, change or delete by their own action, an added
// session placed by its location). False with ControlFileError 1 (unknown extension, control file
// missing or not loadable), 2 (another product's control file) or 3 (a version the engine does not
// run; `version` receives it), and the reason in ProjErr.
bool MergeExtension(AGP& project, std::string_view name, std::string_view folder, std::string& version);

// Disables every view-template extension, then enables the one each field of a generated table
// names in its view template ("id": "word", the first such member, lower-cased), adding it from
// CustomViewTagsFolder (id.zip, id.xml) when the project does not have it yet.
void EnableViewTemplates(AGP& project);

// Takes the enabled extensions in sequence order and disables each whose type an extension before
// it already declares, telling the user which one it gave way to. Returns how many were disabled.
std::int32_t DisableConflictingExtensions(AGP& project);

}  // namespace velmora
