// Reading and writing the engine's text files: templates, control files, scripts, project files
// and generated pages. Reading decides the encoding from the first bytes; writing uses UTF-8
// (without a byte-order mark) or the project's ANSI code page. None of these throw.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The four encoding tags DetectEncoding gives.
inline constexpr std::string_view kEncodingUtf8 = "UTF-8";
inline constexpr std::string_view kEncodingUnicodeBig = "UNICODE BIG";
inline constexpr std::string_view kEncodingUnicode = "UNICODE";
inline constexpr std::string_view kEncodingNone = "";

// The tag of the file's first three bytes: they are read as one number, most significant byte
// first, and written as upper-case hexadecimal without leading zeros; "EFBBBF" is "UTF-8", and
// otherwise a text beginning "FEFF" is "UNICODE BIG" and one beginning "FFFE" is "UNICODE".
// A missing, unreadable or shorter file gives "".
std::string DetectEncoding(std::string_view path);

// The whole file as UTF-8. A file marked UTF-8 is read as UTF-8 without its mark; any other file
// is decoded from the ANSI code page (UTF-16 files included: only the UTF-8 mark switches the
// decoder). A missing or unreadable file gives "".
std::string ReadTextFile(std::string_view path);
std::string ReadTextFile(std::string_view path, std::string_view codePage);

// A script of the user's (velmora script): UTF-8 with or without its mark, or UTF-16 when a
// byte-order mark says so; invalid UTF-8 sequences become U+FFFD. A missing file gives "".
std::string ReadScriptText(std::string_view path);

// Rewrites the file without its UTF-8 mark; a file without the mark is left alone. Returns false
// only when the file could not be read or rewritten.
bool StripUtf8Bom(std::string_view path);

// Writes a generated or saved file. UTF-8 (no mark) is used when the user setting General
// UTF8Output is on or charSet is "utf-8" (any case), unless forceAnsi; otherwise the text is
// converted to codePage (empty: 1252). The text goes to a temporary file in the same folder that
// is then renamed over the target, so a failed write leaves the previous file as it was. A file
// whose name differs from the requested one only in letter case is replaced, so the result
// carries the requested name. On failure Engine().ProjErr holds the reason and false is returned.
bool WriteTextFile(std::string_view path, std::string_view text, bool forceAnsi = false,
                   std::string_view charSet = {}, std::string_view codePage = {});

// The bytes WriteTextFile would write, for callers that compare or hash them first.
struct EncodedText {
    std::string bytes;
    bool utf8 = true;  // decides the form of a failure message
};
EncodedText EncodeTextFile(std::string_view text, bool forceAnsi = false, std::string_view charSet = {},
                           std::string_view codePage = {});
// Writes bytes as WriteTextFile writes text: atomically, under the requested letter case.
bool WriteEncodedFile(std::string_view path, const EncodedText& encoded);

// The whole file, byte for byte; nullopt when it cannot be read.
std::optional<std::string> ReadFileBytes(std::string_view path);

// For tests of what callers do when a disk fills up: given the path a file is written to, the
// injector answers 0 to let the write go on, or an errno value (such as ENOSPC) with which the
// write then fails after half of the bytes are written. An empty function (the default) injects
// nothing.
using WriteFaultInjector = std::function<int(std::string_view path)>;
void SetWriteFaultInjector(WriteFaultInjector injector);

}  // namespace velmora
