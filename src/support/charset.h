// Character sets and Windows code pages: the names generated pages declare, and conversion of
// "ANSI" text (bytes in a code page) to and from the engine's UTF-8 strings through glibc iconv.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The code page that "ANSI" means when a project names none.
inline constexpr std::string_view kDefaultAnsiCodePage = "1252";

// The character-set name for a code-page number given as text ("932" -> "shift_jis"). NUL
// characters are removed and blanks trimmed first; an unknown code page gives "".
std::string CharsetFromCodePage(std::string_view codePage);

struct DefaultCharsetInfo {
    std::string codePage;  // "1252", "65001", ...
    std::string charset;   // CharsetFromCodePage(codePage)
};

// The process-wide default character set, computed on first use from the code set of the user's
// locale (LC_ALL / LC_CTYPE / LANG): a UTF-8 locale gives "65001" / "utf-8", a known legacy code
// set its Windows code page, and the C locale or anything unknown "1252" / "iso-8859-1".
const DefaultCharsetInfo& DefaultCharset();

// The Windows code page of a locale code set as nl_langinfo(CODESET) names it ("UTF-8",
// "ISO-8859-2", "EUC-JP", ...); "1252" when the code set is unknown.
std::string CodePageFromCodeset(std::string_view codeset);

// The iconv name of a code page ("1252" -> "CP1252", "65001" -> "UTF-8"); an empty or
// unsupported code page gives the name of the default ANSI code page.
std::string IconvNameFromCodePage(std::string_view codePage);

// Bytes in the code page to UTF-8. Bytes the code page leaves undefined become the code points
// U+0080..U+00FF of the same value (so they survive a round trip); a truncated multi-byte
// sequence at the end becomes U+FFFD. Never fails.
std::string DecodeFromCodePage(std::string_view bytes, std::string_view codePage);

// UTF-8 to bytes in the code page. A character the code page cannot hold becomes "?", except
// that U+0080..U+00FF written back to a code page that leaves that byte undefined gives the byte
// itself. Bytes that are not valid UTF-8 are copied unchanged. Never fails.
std::string EncodeToCodePage(std::string_view utf8, std::string_view codePage);

// The text with every invalid UTF-8 sequence replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);

}  // namespace velmora
