// The finishing of a generated page before it is written: blank-line handling, the generator
// mark in the page's head and the closing form of empty HTML elements.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

class AGP;

// The page as written for a control.
//
// Short form (`fullForm` false, the control's CtrlSpace off): the blank lines at the start are
// removed; the first non-blank line keeps its indentation. Nothing else changes.
//
// Full form (CtrlSpace on):
// - Lines that hold only blanks and tabs are dropped; every other line is kept byte for byte,
//   with its own line ending (CR LF or LF).
// - One blank line is put back before a comment block and before a line that begins with one of
//   the words Class, Private, Public, Property, Function, Sub (any case) and a blank, unless the
//   line before is itself a comment or such a line, or opens a bracket ("{", "(", "["), or the
//   line starts the page. Comments begin with "'" when the lower-cased `ctrlOExt` is "vb", and
//   with "//" or "/*" for every other page (js, cs and pages of no code language alike); the
//   lines of a "/*" comment belong to its block.
// - PHP here-documents and now-documents pass unchanged, blank lines included: from a line that
//   ends in "<<<ID", "<<<\"ID\"" or "<<<'ID'" to the line whose text after its indentation is ID
//   not followed by a letter, digit or "_".
// - `generatorLine` and a line ending are inserted before every "</head>" (any case), indented
//   like a "</head>" that stands alone on its line. The line ending is CR LF unless the page's
//   lines end in LF alone.
// - When `docType` is exactly "", "HTML" or "NONE", every " />" becomes ">".
std::string PostProcessPage(std::string_view page, bool fullForm, std::string_view ctrlOExt,
                            std::string_view docType, std::string_view generatorLine);

// The generator mark of generated pages: <meta name="generator" content="Velmora v12.0.0" />.
std::string GeneratorMetaLine(const AGP& project);

}  // namespace velmora
