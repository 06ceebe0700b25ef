// AGParser: cuts a template text into its blocks. Template text is content (copied to the output
// as it stands) with generator script embedded in "<!--##" ... "##-->" blocks; the character
// right behind the opener selects the kind of block:
//   <!--## code ##-->   script statements          <!--##= expr ##-->  output of an expression
//   <!--##~ expr ##-->  output after the indent    <!--##@ id ##-->    PHP echo of a phrase
//   <!--##$ expr ##-->  PHP echo of a computed phrase id
// Nothing is escaped: the opener and the closer can never be literal text of a template.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/variant.h"

namespace velmora {

class AGPStatus;

enum agc_Block_Type : std::int32_t {
    agc_Block_Script = 1,
    agc_Block_Function = 2,
    agc_Block_FunctionIndent = 3,
    agc_Block_Language = 4,
    agc_Block_LanguageDynamic = 5,
    agc_Block_Content = 6,
};

// Longest content (in characters) that may stand before a "~" block: its indentation was
// scanned with a 16-bit index, and templates are written to that limit.
inline constexpr std::size_t kMaxIndentScan = 32767;

class AGParser : public AutomationObject {
public:
    // Cuts `sSrc` into blocks, replacing the previous state; BlockID becomes 0. A syntax error
    // (an opener without closer, an opener inside a block, too long a content before a "~"
    // block) stops the parse with the blocks found so far and its report in ProjErr.
    void Parse(std::string_view sSrc);

    // The current block's data; 0 or "" while BlockID is outside 1..Count. The texts are views
    // into the parsed source, valid until the next Parse.
    std::int32_t BlockType() const { return Current().type; }
    std::string_view BlockName() const { return Slice(Current().nameStart, Current().nameLength); }
    std::string_view BlockValue() const { return Slice(Current().start, Current().length); }
    std::string_view BlockIndent() const { return Slice(Current().indentStart, Current().indentLength); }
    // 1-based byte position of the block text in the source (behind the marker for marker
    // blocks), and its length in bytes.
    std::int32_t BlockStart() const { return blockId_ == 0 ? 0 : static_cast<std::int32_t>(Current().start) + 1; }
    std::int32_t BlockLength() const { return static_cast<std::int32_t>(Current().length); }

    std::int32_t BlockID() const { return blockId_; }
    // Values outside 1..Count are ignored.
    void SetBlockID(std::int32_t id);
    std::int32_t Count() const { return static_cast<std::int32_t>(blocks_.size()) - 1; }

    const std::string& Source() const { return source_; }

    // The session `sSessID` of the template file `sFileID` from the engine's file cache, its
    // include directives expanded: always at least one piece, each to be parsed by itself.
    std::vector<std::string> GetSession(std::string_view sFileID, std::string_view sSessID,
                                        AGPStatus* status = nullptr) const;

private:
    // Offsets are 0-based byte positions in source_.
    struct Block {
        std::int32_t type = 0;
        std::uint32_t start = 0, length = 0;
        std::uint32_t nameStart = 0, nameLength = 0;
        std::uint32_t indentStart = 0, indentLength = 0;
    };

    const Block& Current() const { return blocks_[blockId_]; }
    std::string_view Slice(std::uint32_t start, std::uint32_t length) const {
        return std::string_view(source_).substr(start, length);
    }
    void AddContent(std::size_t start, std::size_t length);
    // False, with the report in ProjErr, when the content before the "~" block at `opener` is
    // too long for the indentation scan.
    bool AddMarkerBlock(std::size_t opener, std::size_t close);
    void AddScriptBlock(std::size_t opener, std::size_t close);

    std::string source_;
    // Position 0 is an empty placeholder, so that BlockID 0 reads as "no block".
    std::vector<Block> blocks_{Block{}};
    std::int32_t blockId_ = 0;
};

// The name of the last function a script block declares, found backwards from its end: the text
// between "Function " (any letter case) and the next "(", when only spaces stand before it on its
// line (lines end at CR LF). One in a line beginning with an apostrophe, or glued to the word
// before it, is passed over; one after other words ("var f = function (") gives "".
std::string_view ScriptFunctionName(std::string_view code);

}  // namespace velmora
