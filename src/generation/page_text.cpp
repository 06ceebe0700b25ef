#include "generation/page_text.h"

#include <array>
#include <optional>
#include <vector>

#include "model/project/agp.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {
namespace {

// The words that open a declaration worth a blank line before it.
constexpr std::array<std::string_view, 6> kDeclarationWords{"class",    "private",  "public",
                                                           "property", "function", "sub"};

// Comment openers by the page's extension (lower case); other pages use kDefaultComments.
struct CommentStyle {
    std::string_view extension;
    std::array<std::string_view, 2> openers;
};
constexpr std::array<std::string_view, 2> kDefaultComments{"//", "/*"};
constexpr std::array<CommentStyle, 1> kCommentStyles{{{"vb", {"'", ""}}}};

constexpr std::array<std::string_view, 3> kDocTypesWithoutSelfClosing{"", "HTML", "NONE"};

struct Line {
    std::string_view text;        // without its ending
    std::string_view terminator;  // "\r\n", "\n", or "" for a last line without one
};

std::vector<Line> SplitLines(std::string_view page) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < page.size()) {
        std::size_t newline = page.find('\n', start);
        if (newline == std::string_view::npos) {
            lines.push_back({page.substr(start), {}});
            break;
        }
        std::size_t end = newline > start && page[newline - 1] == '\r' ? newline - 1 : newline;
        lines.push_back({page.substr(start, end - start), page.substr(end, newline + 1 - end)});
        start = newline + 1;
    }
    return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipIndent(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return text.substr(i);
}

bool IsBlankLine(std::string_view text) {
    for (char c : text) {
        if (!IsBlank(c) && c != '\r') return false;
    }
    return true;
}

// Letters, digits, "_" and the bytes of non-ASCII characters, as PHP identifiers have them.
bool IsIdentifierChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u >= 0x80;
}

// The identifier of a here-document the line opens: "<<<", optional blanks, ID, "ID" or 'ID',
// then only blanks to the end of the line.
std::optional<std::string> HereDocumentOpened(std::string_view text) {
    for (std::size_t at = text.find("<<<"); at != std::string_view::npos; at = text.find("<<<", at + 1)) {
        std::size_t i = at + 3;
        while (i < text.size() && IsBlank(text[i])) ++i;
        char quote = i < text.size() && (text[i] == '"' || text[i] == '\'') ? text[i] : '\0';
        if (quote) ++i;
        std::size_t idStart = i;
        if (i < text.size() && text[i] >= '0' && text[i] <= '9') continue;
        while (i < text.size() && IsIdentifierChar(text[i])) ++i;
        if (i == idStart) continue;
        std::string_view id = text.substr(idStart, i - idStart);
        if (quote) {
            if (i >= text.size() || text[i] != quote) continue;
            ++i;
        }
        if (IsBlankLine(text.substr(i))) return std::string(id);
    }
    return std::nullopt;
}

bool ClosesHereDocument(std::string_view text, std::string_view id) {
    std::string_view rest = SkipIndent(text);
    return rest.starts_with(id) && (rest.size() == id.size() || !IsIdentifierChar(rest[id.size()]));
}

bool IsDeclaration(std::string_view text) {
    std::string_view rest = SkipIndent(text);
    for (std::string_view word : kDeclarationWords) {
        if (rest.size() > word.size() && IsBlank(rest[word.size()]) && EqualsNoCase(rest.substr(0, word.size()), word))
            return true;
    }
    return false;
}

bool OpensBracket(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && (IsBlank(text[end - 1]) || text[end - 1] == '\r')) --end;
    if (end == 0) return false;
    char last = text[end - 1];
    return last == '{' || last == '(' || last == '[';
}

std::array<std::string_view, 2> CommentOpeners(std::string_view ctrlOExt) {
    std::string extension = ToLowerAscii(ctrlOExt);
    for (const auto& style : kCommentStyles) {
        if (style.extension == extension) return style.openers;
    }
    return kDefaultComments;
}

// What a kept line is, for the decision whether a blank line goes before the next one.
enum class LineKind { Code, Opener, Comment, Declaration };

std::string CompactLines(std::string_view page, std::string_view ctrlOExt) {
    auto openers = CommentOpeners(ctrlOExt);
    std::string out;
    out.reserve(page.size());
    std::optional<std::string> hereDocument;
    bool inBlockComment = false;
    bool first = true;
    LineKind previous = LineKind::Code;
    std::string_view previousTerminator;

    for (const Line& line : SplitLines(page)) {
        if (hereDocument) {
            if (ClosesHereDocument(line.text, *hereDocument)) hereDocument.reset();
            out.append(line.text).append(line.terminator);
            previous = LineKind::Code;
            previousTerminator = line.terminator;
            continue;
        }
        if (IsBlankLine(line.text)) continue;

        std::string_view rest = SkipIndent(line.text);
        LineKind kind = OpensBracket(line.text) ? LineKind::Opener : LineKind::Code;
        bool startsComment = false;
        if (inBlockComment) {
            kind = LineKind::Comment;
            if (line.text.find("*/") != std::string_view::npos) inBlockComment = false;
        } else {
            for (std::string_view opener : openers) {
                if (opener.empty() || !rest.starts_with(opener)) continue;
                kind = LineKind::Comment;
                startsComment = true;
                if (opener == "/*") inBlockComment = rest.find("*/", 2) == std::string_view::npos;
                break;
            }
            if (!startsComment && IsDeclaration(line.text)) kind = LineKind::Declaration;
        }

        bool separated = startsComment || kind == LineKind::Declaration;
        if (separated && !first && (previous == LineKind::Code)) out.append(previousTerminator);

        out.append(line.text).append(line.terminator);
        if (kind != LineKind::Comment) hereDocument = HereDocumentOpened(line.text);
        first = false;
        previous = kind;
        previousTerminator = line.terminator;
    }
    return out;
}

std::string_view PageLineEnding(std::string_view page) {
    bool lf = page.find('\n') != std::string_view::npos;
    return lf && page.find("\r\n") == std::string_view::npos ? "\n" : "\r\n";
}

std::string InsertGeneratorLine(const std::string& page, std::string_view generatorLine) {
    constexpr std::string_view kHeadEnd = "</head>";
    std::string lower = ToLowerAscii(page);
    std::string_view ending = PageLineEnding(page);
    std::string out;
    std::size_t copied = 0;
    for (std::size_t at = lower.find(kHeadEnd); at != std::string::npos; at = lower.find(kHeadEnd, at + 1)) {
        std::size_t lineStart = page.rfind('\n', at);
        lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
        std::string_view before = std::string_view(page).substr(lineStart, at - lineStart);
        out.append(page, copied, at - copied);
        out.append(generatorLine).append(ending);
        if (IsBlankLine(before)) out.append(before);
        copied = at;
    }
    out.append(page, copied, std::string::npos);
    return out;
}

}  // namespace

std::string PostProcessPage(std::string_view page, bool fullForm, std::string_view ctrlOExt,
                            std::string_view docType, std::string_view generatorLine) {
    if (!fullForm) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < page.size(); ++i) {
            if (page[i] == '\r' || page[i] == '\n') {
                start = i + 1;
            } else if (!IsBlank(page[i])) {
                break;
            }
        }
        return std::string(page.substr(start));
    }

    std::string text = InsertGeneratorLine(CompactLines(page, ctrlOExt), generatorLine);
    for (std::string_view plain : kDocTypesWithoutSelfClosing) {
        if (docType == plain) return ReplaceAll(text, " />", ">");
    }
    return text;
}

std::string GeneratorMetaLine(const AGP& project) {
    return "<meta name=\"generator\" content=\"" + std::string(kProductName) + " v" + project.DisplayVersion() +
           "\" />";
}

}  // namespace velmora
