#include "template/translate.h"

#include <initializer_list>

#include "support/engine_state.h"
#include "support/status.h"

namespace velmora {
namespace {

constexpr std::string_view kCrLf = "\r\n";
// The separator of two lines of a literal: plus, the JScript string of CR LF, plus.
constexpr std::string_view kLineJoin = "+\"\\r\\n\"+";

void AppendScriptLiteral(std::string& out, std::string_view text, std::string_view indent) {
    if (text.empty()) return;
    out += '"';
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\' && c != '"' && c != '\r' && c != '\n') continue;
        out.append(text.data() + run, i - run);
        run = i + 1;
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += '"';
            out += kLineJoin;
            if (!indent.empty()) {
                out += indent;
                out += '+';
            }
            out += '"';
            ++i;
            run = i + 1;
        } else {
            // A line break of another kind (templates written on Linux end their lines with LF)
            // cannot stand in a string literal: it is written as its escape, same value.
            out += c == '\r' ? "\\r" : "\\n";
        }
    }
    out.append(text.data() + run, text.size() - run);
    out += '"';
}

void AppendLines(AGPStringBuilder& builder, std::initializer_list<std::string_view> lines) {
    for (std::string_view line : lines) {
        builder.Append(line);
        builder.Append(kCrLf);
    }
}

}  // namespace

std::string ToScriptLiteral(std::string_view text, std::string_view indent) {
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 2);
    AppendScriptLiteral(out, text, indent);
    return out;
}

void Translator::Reset() {
    contentCount_ = 0;
    declarations_.Clear();
    body_.Clear();
}

void Translator::Refresh() const {
    if (status_ != nullptr) status_->Refresh();
}

void Translator::AppendContent(std::string_view text) {
    // Only the empty text has an empty literal: it declares nothing and keeps the counter.
    if (text.empty()) return;
    std::string index = std::to_string(++contentCount_);
    statement_.assign("zvAr[");
    statement_ += index;
    statement_ += "] = ";
    AppendScriptLiteral(statement_, text, {});
    statement_ += ";\r\n";
    declarations_.Append(statement_);

    statement_.assign("zvSB.Append(zvAr[");
    statement_ += index;
    statement_ += "]);\r\n";
    body_.Append(statement_);
}

bool Translator::TranslateTemplate(std::string_view text) {
    parser_.Parse(text);
    if (!Engine().ProjErr.empty()) return false;
    for (std::int32_t id = 1; id <= parser_.Count(); ++id) {
        Refresh();
        parser_.SetBlockID(id);
        std::string_view name = parser_.BlockName();
        switch (parser_.BlockType()) {
            case agc_Block_Script:
                statement_.assign(parser_.BlockValue());
                statement_ += kCrLf;
                break;
            case agc_Block_Function:
                statement_.assign("zvSB.Append(");
                statement_ += name;
                statement_ += ");\r\n";
                break;
            case agc_Block_FunctionIndent:
                statement_.assign("zv_IndentWrk = \"");
                statement_ += parser_.BlockIndent();
                statement_ += "\";\r\nzvSB.Append(\"\\r\\n\"+zv_IndentWrk);\r\nzvSB.Append(";
                statement_ += name;
                statement_ += ");\r\n";
                break;
            case agc_Block_Language:
                statement_.assign("zvSB.Append(\"<?php echo $Language->Phrase(\\\"");
                statement_ += name;
                statement_ += "\\\") ?>\");\r\n";
                break;
            case agc_Block_LanguageDynamic:
                statement_.assign("zvSB.Append(\"<?php echo $Language->Phrase(\\\"\" + ");
                statement_ += name;
                statement_ += " + \"\\\") ?>\");\r\n";
                break;
            case agc_Block_Content:
                AppendContent(parser_.BlockValue());
                continue;
            default:
                continue;
        }
        body_.Append(statement_);
    }
    return true;
}

std::string Translator::ControlFunction(std::string_view name, bool showSessionTime) {
    wrapper_.Clear();
    wrapper_.Append("function ");
    wrapper_.Append(name);
    wrapper_.Append("() {\r\n");
    if (showSessionTime) AppendLines(wrapper_, {"var zvStartTime = new Date();"});
    std::string declarations = declarations_.ToString();
    std::string body = body_.ToString();
    AppendLines(wrapper_, {" try {", "var zvAr = new Array();", "var zvSB = new StringBuilder();", "zv_SetLocale();",
                           "zv_LoadCurrent();", declarations, body, "return zvSB.ToString();", " } catch(e) {",
                           "  throw e;", " }", "}"});
    return wrapper_.ToString();
}

std::string Translator::ParseScriptFunction() {
    wrapper_.Clear();
    std::string declarations = declarations_.ToString();
    std::string body = body_.ToString();
    AppendLines(wrapper_, {"function zvExParse() {", " try {", "var zvAr = new Array();", "var zvSB = new StringBuilder();",
                           declarations, body, "return zvSB.ToString();", " } catch(e) {", "  throw e;", " }", "}"});
    return wrapper_.ToString();
}

void Translator::ResetProgress(std::int32_t total) {
    progress_ = 0;
    progressTotal_ = total;
}

void Translator::AdvanceProgress() {
    ++progress_;
    if (status_ == nullptr) return;
    status_->SetStatus(progressTotal_ > 0 ? 100.0 * progress_ / progressTotal_ : progress_);
    status_->Refresh();
}

}  // namespace velmora
