// Template and extension packages. A package is either a zip archive or a plain folder; the
// generation reads its files (control.xml, the templates, the files it copies) from a folder, so
// an archive is unpacked into a working folder first and kept there until it changes.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Unpacks the zip archive into `target`. The files are written into a temporary folder beside
// the target, which then takes the target's place, so a failed unpack leaves the previous
// contents as they were. An entry that would land outside the target (an absolute name, a drive
// letter, a ".." part, also with "\" as separator) or that is a symbolic link refuses the whole
// archive. Folders are created as needed; files keep the times the archive gives them. False with
// the reason (naming the archive and, where one is at fault, the entry) in `error`.
bool UnpackArchive(std::string_view archive, std::string_view target, std::string& error);

// The folder that holds a package's files, in `folder`: a folder package is used where it is; a
// zip package is unpacked into `workFolder` when `refresh` is set or that folder does not exist
// yet. False, with `folder` empty and the reason in `error`, for a missing package or an archive
// that cannot be unpacked.
bool PreparePackage(std::string_view package, std::string_view workFolder, bool refresh, std::string& folder,
                    std::string& error);

}  // namespace velmora
