// The outputs every generation produces besides the control file's pages: the project
// configuration file (an XML description of the generated application, shared by related
// projects), the security folder's blank page, the user's style sheet, logo and favicon, and one
// language file per language of the project with the project's own phrases.
#pragma once

#include <string>

namespace velmora {

struct GenerationRun;

// Check mode: lists the outputs as items of the project's ControlList ("@config", "@cssfile",
// "@logo", "@favicon", "@lang_" & file). Generation mode: produces those whose item is
// selected. False, with ProjErr set, when a file cannot be written.
bool ProjectConfiguration(GenerationRun& run);

// The time written into generated files: $SOURCE_DATE_EPOCH when set (so that a generation can
// be repeated byte for byte), else now; "yyyy/mm/dd hh:nn:ss", local time.
std::string GenerationTimeText();

}  // namespace velmora
