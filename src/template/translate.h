// Translation of templates into generator script. The engine never interprets a template: each
// control's template text becomes one JScript function that rebuilds the output piece by piece
// in a string builder (zvSB) and returns it. Content is declared once as literals of the array
// zvAr at the top of the function, so the body stays a flat list of short statements.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "template/parser.h"
#include "template/string_builder.h"

namespace velmora {

class AGP;
class AGPControl;
class AGPStatus;

// Where a template package's files are: its script folder, the folder holding one folder per
// extension (extensionsFolder/<CtrlExt>), and the cache folder that receives merged templates
// and the script modules.
struct TemplateFolders {
    std::string templateScriptFolder;
    std::string extensionsFolder;
    std::string cacheFolder;
};

// The JScript expression whose value is `text`: one string literal per line (lines end at CR
// LF), joined by +"\r\n"+, backslashes and double quotes escaped, a lone CR or LF written as its
// escape (a literal cannot hold a raw line break), nothing else changed. With a
// non-empty `indent` (a script expression), every line break is followed by +indent.
// The empty text gives "".
std::string ToScriptLiteral(std::string_view text, std::string_view indent);

// "zvEx" + CtrlID + CtrlTagExt with every "." replaced by "_": zvExlist_php.
std::string ControlFunctionName(const AGPControl& control);

// The template text file of a control: `CtrlIFiles` in the extension's folder when `CtrlExt` is
// set, else in the template script folder. Several names (separated by ",") are merged, in list
// order, into "~tmp.tpl" in the cache folder, whose path is returned; names that do not exist
// are skipped (closing the status window, as the merge is reported by the caller).
std::string ResolveTemplateFile(std::string_view CtrlIFiles, std::string_view CtrlExt,
                                const TemplateFolders& folders, AGPStatus* status = nullptr);

// The translation state: the content counter and the declarations, body and wrapper builders.
// One translation is never interleaved with another; each starts with Reset.
class Translator {
public:
    // Content counter to 0, declarations and body emptied.
    void Reset();

    // Parses `text` and appends the statements of its blocks. Appends nothing, and returns
    // false, when ProjErr is set after the parse (the parser's report).
    bool TranslateTemplate(std::string_view text);

    std::string Declarations() const { return declarations_.ToString(); }
    std::string Body() const { return body_.ToString(); }
    std::int32_t ContentCount() const { return contentCount_; }

    // The function `name` around the declarations and body, as a control's module holds it;
    // with `showSessionTime` it also starts the clock that session timings read.
    std::string ControlFunction(std::string_view name, bool showSessionTime);
    // The function zvExParse around the declarations and body, for a template text run at once.
    std::string ParseScriptFunction();

    // Translates the templates of `control` (its whole template, or its sessions whose
    // conditions hold) and writes the function to `modulePath`. False aborts the generation:
    // ProjErr holds the reason; after a template error the module file holds what was built, and
    // ProjErr ends with ": " and the template's path.
    bool TranslateControl(AGP& agp, AGPControl& control, std::string_view modulePath,
                          const TemplateFolders& folders);

    // The status window kept alive during long translations and showing their progress; may be
    // null.
    void SetStatus(AGPStatus* status) { status_ = status; }
    // Progress counts translated controls; with a total it is shown as a share of it.
    void ResetProgress(std::int32_t total);
    std::int32_t Progress() const { return progress_; }

private:
    void AppendContent(std::string_view text);
    void AdvanceProgress();
    void Refresh() const;

    AGParser parser_;
    AGPStringBuilder declarations_;
    AGPStringBuilder body_;
    AGPStringBuilder wrapper_;
    std::int32_t contentCount_ = 0;
    // Scratch for composing one statement, reused so that its capacity is.
    std::string statement_;
    AGPStatus* status_ = nullptr;
    std::int32_t progress_ = 0;
    std::int32_t progressTotal_ = 0;
};

}  // namespace velmora
