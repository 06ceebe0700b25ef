#include "support/charset.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <map>
#include <mutex>

#include "support/text.h"

namespace velmora {
namespace {

struct CharsetRow {
    std::string_view charset;
    std::string_view codePages;  // separated by ", "
};

// The character set each code page declares; the first row listing a code page wins.
constexpr std::array<CharsetRow, 19> kCharsetTable{{
    {"iso-8859-1",
     "29001, 20106, 20277, 1142, 20278, 1143, 1147, 20273, 1141, 20871, 1149, 1148, 20280, 1144, "
     "20284, 1145, 20285, 1146, 37, 1140, 861, 10079, 20108, 437, 20107, 20127, 850, 20105, 28591, "
     "10000, 1252"},
    {"iso-8859-2", "852, 28592, 10029, 1250, 870"},
    {"iso-8859-3", "28593"},
    {"iso-8859-4", "775, 28594, 1257"},
    {"iso-8859-5", "866, 28595, 20866, 21866, 10007, 1251, 20880, 21025, 1026"},
    {"iso-8859-6", "708, 720, 28596, 10004, 1256, 20420"},
    {"iso-8859-7", "737, 28597, 10006, 1253, 869, 875, 20423"},
    {"iso-8859-8", "862, 38598, 28598, 10005, 1255, 20424"},
    {"iso-8859-9", "20905, 857, 28599, 10081, 1254"},
    {"iso-8859-15", "28605"},
    {"gb2312", "51936, 936, 52936, 10008, 50935"},
    {"big5", "950, 20000, 20002, 10002, 50937"},
    {"shift_jis", "50930, 20290, 50931, 51932, 50220, 50222, 50221, 10001, 932, 50939"},
    {"euc-kr", "50933, 20833, 949, 51949, 50225, 1361, 10003"},
    {"windows-874", "20838, 874"},
    {"windows-1258", "1258"},
    {"utf-16", "1200, 1201"},
    {"utf-7", "65000"},
    {"utf-8", "65001"},
}};

// Code pages whose iconv name is not simply "CP" + number.
constexpr std::array<std::pair<std::string_view, std::string_view>, 32> kIconvNames{{
    {"65001", "UTF-8"},       {"65000", "UTF-7"},       {"1200", "UTF-16LE"},
    {"1201", "UTF-16BE"},     {"12000", "UTF-32LE"},    {"12001", "UTF-32BE"},
    {"20127", "ASCII"},       {"28591", "ISO-8859-1"},  {"28592", "ISO-8859-2"},
    {"28593", "ISO-8859-3"},  {"28594", "ISO-8859-4"},  {"28595", "ISO-8859-5"},
    {"28596", "ISO-8859-6"},  {"28597", "ISO-8859-7"},  {"28598", "ISO-8859-8"},
    {"28599", "ISO-8859-9"},  {"28603", "ISO-8859-13"}, {"28605", "ISO-8859-15"},
    {"38598", "ISO-8859-8"},  {"708", "ISO-8859-6"},    {"20866", "KOI8-R"},
    {"21866", "KOI8-U"},      {"20932", "EUC-JP"},      {"51932", "EUC-JP"},
    {"51949", "EUC-KR"},      {"51936", "EUC-CN"},      {"54936", "GB18030"},
    {"50220", "ISO-2022-JP"}, {"50221", "ISO-2022-JP"}, {"50222", "ISO-2022-JP"},
    {"50225", "ISO-2022-KR"}, {"10000", "MACINTOSH"},
}};

// Locale code sets (upper case, without "-" and "_") and their Windows code pages.
constexpr std::array<std::pair<std::string_view, std::string_view>, 26> kCodesetCodePages{{
    {"UTF8", "65001"},     {"ISO88591", "1252"},  {"ISO88592", "28592"},  {"ISO88593", "28593"},
    {"ISO88594", "28594"}, {"ISO88595", "28595"}, {"ISO88596", "28596"},  {"ISO88597", "28597"},
    {"ISO88598", "28598"}, {"ISO88599", "28599"}, {"ISO885913", "28603"}, {"ISO885915", "28605"},
    {"EUCJP", "51932"},    {"SHIFTJIS", "932"},   {"SJIS", "932"},        {"GB2312", "936"},
    {"GBK", "936"},        {"GB18030", "54936"},  {"BIG5", "950"},        {"BIG5HKSCS", "950"},
    {"EUCKR", "949"},      {"KOI8R", "20866"},    {"KOI8U", "21866"},     {"CP1251", "1251"},
    {"CP1255", "1255"},    {"TIS620", "874"},
}};

constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD";

class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of `in` as possible, appending to out. Returns 0 when all was consumed,
    // otherwise the errno that stopped it (EILSEQ or EINVAL), with `in` at the offending byte.
    int Feed(std::string_view& in, std::string& out) {
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        int error = 0;
        while (true) {
            std::array<char, 4096> buffer;
            char* dst = buffer.data();
            std::size_t dstLeft = buffer.size();
            std::size_t rc = iconv(cd_, srcLeft ? &src : nullptr, &srcLeft, &dst, &dstLeft);
            int saved = errno;
            out.append(buffer.data(), static_cast<std::size_t>(dst - buffer.data()));
            if (rc != static_cast<std::size_t>(-1)) {
                if (srcLeft == 0) break;
                continue;
            }
            if (saved == E2BIG) continue;
            error = saved;
            break;
        }
        in = std::string_view(src, srcLeft);
        return error;
    }

    // Ends a stateful output (ISO-2022 shift sequences) and resets the state.
    void Finish(std::string& out) {
        std::array<char, 64> buffer;
        char* dst = buffer.data();
        std::size_t dstLeft = buffer.size();
        iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer.data(), static_cast<std::size_t>(dst - buffer.data()));
    }

private:
    iconv_t cd_;
};

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the valid UTF-8 sequence at s[i] (overlong forms, surrogates and values above
// U+10FFFF are invalid), 0 when there is none; the code point goes to cp.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i, char32_t& cp) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    auto cont = [&](std::size_t k, unsigned lo = 0x80, unsigned hi = 0xBF) {
        return i + k < s.size() && byte(k) >= lo && byte(k) <= hi;
    };
    unsigned b0 = byte(0);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
        cp = ((b0 & 0x1F) << 6) | (byte(1) & 0x3F);
        return 2;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        unsigned lo = b0 == 0xE0 ? 0xA0 : 0x80;
        unsigned hi = b0 == 0xED ? 0x9F : 0xBF;
        if (!cont(1, lo, hi) || !cont(2)) return 0;
        cp = ((b0 & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        unsigned lo = b0 == 0xF0 ? 0x90 : 0x80;
        unsigned hi = b0 == 0xF4 ? 0x8F : 0xBF;
        if (!cont(1, lo, hi) || !cont(2) || !cont(3)) return 0;
        cp = ((b0 & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
             (byte(3) & 0x3F);
        return 4;
    }
    return 0;
}

std::string CleanCodePage(std::string_view codePage) {
    std::string text(codePage);
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    return Trim(text);
}

bool IconvKnows(const std::string& name) { return Converter("UTF-8", name).ok(); }

std::string ResolveIconvName(const std::string& codePage) {
    for (const auto& [number, name] : kIconvNames) {
        if (number == codePage) return std::string(name);
    }
    bool numeric = !codePage.empty() && std::all_of(codePage.begin(), codePage.end(),
                                                    [](char c) { return c >= '0' && c <= '9'; });
    if (numeric && codePage.size() <= 5) {
        int number = std::stoi(codePage);
        // 20xxx are the EBCDIC pages of IBM number xxx.
        std::string ebcdic;
        if (number > 20000 && number < 30000) ebcdic = "IBM" + std::to_string(number - 20000);
        std::string candidates[] = {"CP" + codePage, "IBM" + codePage, ebcdic};
        for (const auto& name : candidates) {
            if (!name.empty() && IconvKnows(name)) return name;
        }
    } else if (!numeric && !codePage.empty() && IconvKnows(codePage)) {
        return ToUpperAscii(codePage);
    }
    return "CP" + std::string(kDefaultAnsiCodePage);
}

// Whether the code page leaves the single byte b undefined.
bool ByteUndefined(const std::string& iconvName, unsigned char b) {
    Converter decoder("UTF-8", iconvName);
    if (!decoder.ok()) return false;
    std::string byte(1, static_cast<char>(b));
    std::string_view in = byte;
    std::string ignored;
    return decoder.Feed(in, ignored) == EILSEQ;
}

}  // namespace

std::string CharsetFromCodePage(std::string_view codePage) {
    std::string key = CleanCodePage(codePage);
    if (key.empty()) return {};
    for (const auto& row : kCharsetTable) {
        for (const auto& entry : Split(row.codePages, ',')) {
            if (Trim(entry) == key) return std::string(row.charset);
        }
    }
    return {};
}

std::string CodePageFromCodeset(std::string_view codeset) {
    std::string key;
    for (char c : ToUpperAscii(codeset)) {
        if (c != '-' && c != '_') key += c;
    }
    for (const auto& [name, codePage] : kCodesetCodePages) {
        if (name == key) return std::string(codePage);
    }
    return std::string(kDefaultAnsiCodePage);
}

const DefaultCharsetInfo& DefaultCharset() {
    static const DefaultCharsetInfo info = [] {
        // A private locale object, so the process locale stays as it is.
        std::string codeset;
        if (locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr))) {
            codeset = nl_langinfo_l(CODESET, loc);
            freelocale(loc);
        }
        DefaultCharsetInfo result;
        result.codePage = CodePageFromCodeset(codeset);
        result.charset = CharsetFromCodePage(result.codePage);
        return result;
    }();
    return info;
}

std::string IconvNameFromCodePage(std::string_view codePage) {
    static std::mutex mutex;
    static std::map<std::string, std::string, std::less<>> cache;
    std::string key = CleanCodePage(codePage);
    if (key.empty()) key = kDefaultAnsiCodePage;
    std::lock_guard lock(mutex);
    auto found = cache.find(key);
    if (found == cache.end()) found = cache.emplace(key, ResolveIconvName(key)).first;
    return found->second;
}

std::string SanitizeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        std::size_t length = Utf8SequenceAt(bytes, i, cp);
        if (length == 0) {
            out += kReplacementChar;
            ++i;
        } else {
            out.append(bytes.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::string DecodeFromCodePage(std::string_view bytes, std::string_view codePage) {
    std::string name = IconvNameFromCodePage(codePage);
    if (name == "UTF-8") return SanitizeUtf8(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    Converter decoder("UTF-8", name);
    if (!decoder.ok()) {
        for (char c : bytes) AppendUtf8(static_cast<unsigned char>(c), out);
        return out;
    }
    std::string_view in = bytes;
    while (!in.empty()) {
        int error = decoder.Feed(in, out);
        if (error == 0) break;
        if (error == EILSEQ) {
            AppendUtf8(static_cast<unsigned char>(in.front()), out);
            in.remove_prefix(1);
        } else {
            out += kReplacementChar;
            in = {};
        }
    }
    return out;
}

std::string EncodeToCodePage(std::string_view utf8, std::string_view codePage) {
    std::string name = IconvNameFromCodePage(codePage);
    if (name == "UTF-8") return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    Converter encoder(name, "UTF-8");
    if (!encoder.ok()) return std::string(utf8);
    std::string_view in = utf8;
    while (!in.empty()) {
        int error = encoder.Feed(in, out);
        if (error == 0) break;
        char32_t cp = 0;
        std::size_t length = Utf8SequenceAt(in, 0, cp);
        if (length == 0) {
            out += in.front();
            in.remove_prefix(1);
            continue;
        }
        if (cp >= 0x80 && cp <= 0xFF && ByteUndefined(name, static_cast<unsigned char>(cp))) {
            out += static_cast<char>(cp);
        } else {
            std::string_view question = "?";
            encoder.Feed(question, out);
        }
        in.remove_prefix(length);
    }
    encoder.Finish(out);
    return out;
}

}  // namespace velmora
