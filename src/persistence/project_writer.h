// Writing a project into its project file: the document in the file's element order, numbered
// backups of the previous file, and the dirty flag and current-file bookkeeping.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace velmora {

class AGP;

struct ProjectWriteOptions {
    // The Project element alone: no database, links, extensions, relations, scripts, menu or phrases.
    bool projectOnly = false;
    // Every bag entry, saved or not, with Booleans written as "true"/"false".
    bool allEntries = false;
    // Elements indented by one tab per level (the General setting FormatProjectFile).
    bool format = false;
    // When set, the finished text goes here instead of into the file: no backup, no bookkeeping.
    // Its result is the result of the write.
    std::function<bool(std::string_view text)> exportText;
};

// The text of the project file: the XML declaration, then the Project element with everything
// below it. Each child element starts on a line of its own (CR LF before it and before its
// parent's closing tag); tables, fields, charts and the other numbered lists follow their
// sequence numbers. The same model always gives the same bytes.
std::string WriteProjectDocument(AGP& proj, const ProjectWriteOptions& options);

// The writer behind Save: sequence repair, document, backup of the previous file, then the text
// is written to a temporary file that replaces projFile only once complete. Success clears the
// dirty flag and makes projFile the current project file. Failures leave their text in ProjErr.
bool WriteProjectFile(AGP& proj, std::string_view projFile, const ProjectWriteOptions& options);

// Saves the project, formatted when the General setting FormatProjectFile is on.
bool Save(AGP& proj, std::string_view projFile);

}  // namespace velmora
