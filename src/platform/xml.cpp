#include "platform/xml.h"

#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <pugixml.hpp>

#include "support/text.h"

namespace velmora {
namespace {

// Comments, instructions and the declaration are kept so that a loaded document saves unchanged;
// whitespace-only text between elements is dropped. Fragment mode keeps text found at the top
// level, which the default mode drops silently, so that it can be reported as an error.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_pi | pugi::parse_comments |
                                   pugi::parse_declaration | pugi::parse_fragment;

constexpr std::size_t kNoOffset = std::string_view::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// XML names, approximately: any non-ASCII byte is accepted as part of a name character.
bool IsXmlName(std::string_view s) {
    if (s.empty()) return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        auto c = static_cast<unsigned char>(s[i]);
        bool start = IsAsciiLetter(c) || c == '_' || c == ':' || c >= 0x80;
        bool inner = (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!(start || (i > 0 && inner))) return false;
    }
    return true;
}

std::string_view LocalName(std::string_view name) {
    auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The node after `n` in document order inside `root`'s subtree, null after the last. Walking this
// way instead of recursing means deep trees cannot exhaust the stack.
pugi::xml_node NextInSubtree(pugi::xml_node n, pugi::xml_node root) {
    if (n.first_child()) return n.first_child();
    while (n && n != root && !n.next_sibling()) n = n.parent();
    return !n || n == root ? pugi::xml_node() : n.next_sibling();
}

void CollectText(pugi::xml_node root, std::string& out) {
    for (pugi::xml_node n = root.first_child(); n; n = NextInSubtree(n, root)) {
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) out += n.value();
    }
}

// Finds an attribute given twice on an element. Elements of project files carry well over a
// hundred attributes each, and sibling elements mostly carry the same names in the same order: an
// element whose names repeat the last element found free of duplicates is free of them too, which
// a plain comparison shows. Other elements go through an open-addressing set of their names.
class DuplicateAttributeCheck {
public:
    bool HasDuplicate(pugi::xml_node element) {
        if (RepeatsVerifiedNames(element)) return false;
        if (HasDuplicateInSet(element)) return true;
        verified_.clear();
        for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute())
            verified_.push_back(a.name());
        return false;
    }

private:
    bool RepeatsVerifiedNames(pugi::xml_node element) const {
        std::size_t i = 0;
        for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute(), ++i)
            if (i == verified_.size() || std::strcmp(a.name(), verified_[i]) != 0) return false;
        return i == verified_.size();
    }

    bool HasDuplicateInSet(pugi::xml_node element) {
        std::size_t count = 0;
        for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) ++count;
        std::size_t size = 16;
        while (size < 2 * count) size *= 2;
        table_.assign(size, std::string_view());
        // FNV-1a: names are short.
        auto hash = [](std::string_view name) {
            std::uint64_t h = 14695981039346656037ull;
            for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
            return static_cast<std::size_t>(h);
        };
        for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
            std::string_view name = a.name();
            for (std::size_t slot = hash(name) & (size - 1);; slot = (slot + 1) & (size - 1)) {
                if (table_[slot].data() == nullptr) {
                    table_[slot] = name;
                    break;
                }
                if (table_[slot] == name) return true;
            }
        }
        return false;
    }

    std::vector<const char*> verified_;  // names of the document, owned by it
    std::vector<std::string_view> table_;
};

struct Malformation {
    std::ptrdiff_t offset = -1;  // -1 when the document is well formed
    const char* reason = "";
};

std::ptrdiff_t NodeOffset(pugi::xml_node node) { return std::max<std::ptrdiff_t>(node.offset_debug(), 0); }

// What pugixml lets pass in fragment mode but a document may not hold: text at the top level, a
// declaration anywhere but at the very start, no element or a second one at the top level, an
// attribute given twice.
Malformation FindMalformation(const pugi::xml_document& doc, std::size_t size) {
    pugi::xml_node element;
    for (pugi::xml_node n : doc.children()) {
        switch (n.type()) {
            case pugi::node_pcdata:
            case pugi::node_cdata: return {NodeOffset(n), "Invalid at the top level of the document."};
            case pugi::node_declaration:
                // offset_debug points at the name, behind "<?".
                if (n.offset_debug() != 2)
                    return {NodeOffset(n), "XML declaration allowed only at the start of the document."};
                break;
            case pugi::node_element:
                if (element) return {NodeOffset(n), "Only one top level element is allowed in an XML document."};
                element = n;
                break;
            default: break;
        }
    }
    if (!element) return {static_cast<std::ptrdiff_t>(size), "No document element found"};
    DuplicateAttributeCheck duplicates;
    for (pugi::xml_node n = element; n; n = NextInSubtree(n, element)) {
        if (n.type() == pugi::node_element && n.first_attribute() && duplicates.HasDuplicate(n))
            return {NodeOffset(n), "Duplicate attribute."};
    }
    return {};
}

// Whether two names may be equal without regard to case, judged by their first bytes: ASCII
// letters that differ rule a match out without measuring the name.
bool MayEqualNoCase(const char* attribute, std::string_view name) {
    const auto a = static_cast<unsigned char>(attribute[0]);
    const auto b = static_cast<unsigned char>(name.empty() ? '\0' : name[0]);
    if ((a | b) & 0x80) return true;
    return (a | 0x20) == (b | 0x20);
}

pugi::xml_attribute FindAttribute(pugi::xml_node node, std::string_view name, bool noCase) {
    for (pugi::xml_attribute a : node.attributes()) {
        const char* attribute = a.name();
        if (noCase ? MayEqualNoCase(attribute, name) && EqualsNoCase(attribute, name)
                   : std::string_view(attribute) == name)
            return a;
    }
    return {};
}

bool CanHoldChildren(pugi::xml_node node) {
    return node.type() == pugi::node_element || node.type() == pugi::node_document;
}

// Line, column and source line of a byte offset. A line ends at LF, CR LF or a lone CR; the column
// counts UTF-8 characters.
void SetPosition(XmlParseError& error, std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    long line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i) {
        bool lineBreak = text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'));
        if (lineBreak) {
            ++line;
            lineStart = i + 1;
        }
    }
    long column = 1;
    for (std::size_t i = lineStart; i < offset; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++column;
    }
    std::size_t lineEnd = text.find_first_of("\r\n", lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = text.size();
    error.line = line;
    error.column = column;
    error.sourceText = std::string(text.substr(lineStart, lineEnd - lineStart));
}

bool StartsWith(std::string_view s, std::string_view bytes) { return s.substr(0, bytes.size()) == bytes; }

// Parses `name="value"` pairs as written in an XML declaration.
bool ParsePseudoAttributes(std::string_view data, std::vector<XmlAttribute>& out) {
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < data.size() && IsBlank(data[i])) ++i;
    };
    for (skipBlanks(); i < data.size(); skipBlanks()) {
        std::size_t nameStart = i;
        while (i < data.size() && data[i] != '=' && !IsBlank(data[i])) ++i;
        std::string_view name = data.substr(nameStart, i - nameStart);
        skipBlanks();
        if (!IsXmlName(name) || i >= data.size() || data[i] != '=') return false;
        ++i;
        skipBlanks();
        if (i >= data.size() || (data[i] != '"' && data[i] != '\'')) return false;
        auto end = data.find(data[i], i + 1);
        if (end == std::string_view::npos) return false;
        out.push_back({std::string(name), std::string(data.substr(i + 1, end - i - 1))});
        i = end + 1;
    }
    return true;
}

// The encoding named by the XML declaration at the start of ASCII-compatible text; "" for none.
std::string DeclaredEncoding(std::string_view text) {
    if (!StartsWith(text, "<?xml")) return {};
    auto end = text.find("?>");
    if (end == std::string_view::npos) return {};
    std::string_view inner = text.substr(5, end - 5);
    std::vector<XmlAttribute> attributes;
    if (inner.empty() || !IsBlank(inner[0]) || !ParsePseudoAttributes(inner, attributes)) return {};
    for (const auto& a : attributes) {
        if (a.name == "encoding") return a.value;
    }
    return {};
}

struct SourceEncoding {
    std::string name;           // iconv name; "" when the text is UTF-8 already
    std::size_t bomSize = 0;
    bool asciiCompatible = true;
};

SourceEncoding DetectEncoding(std::string_view bytes) {
    using namespace std::string_view_literals;
    if (StartsWith(bytes, "\xEF\xBB\xBF"sv)) return {"", 3, true};
    if (StartsWith(bytes, "\x00\x00\xFE\xFF"sv)) return {"UTF-32BE", 4, false};
    if (StartsWith(bytes, "\xFF\xFE\x00\x00"sv)) return {"UTF-32LE", 4, false};
    if (StartsWith(bytes, "\xFE\xFF"sv)) return {"UTF-16BE", 2, false};
    if (StartsWith(bytes, "\xFF\xFE"sv)) return {"UTF-16LE", 2, false};
    if (StartsWith(bytes, "\x00\x00\x00<"sv)) return {"UTF-32BE", 0, false};
    if (StartsWith(bytes, "<\x00\x00\x00"sv)) return {"UTF-32LE", 0, false};
    if (StartsWith(bytes, "\x00<\x00?"sv)) return {"UTF-16BE", 0, false};
    if (StartsWith(bytes, "<\x00?\x00"sv)) return {"UTF-16LE", 0, false};
    std::string declared = ToLowerAscii(DeclaredEncoding(bytes));
    // A UTF-16 or UTF-32 label on bytes laid out as ASCII is taken as UTF-8, as the bytes show.
    if (declared.empty() || declared == "utf-8" || declared == "utf8" || declared.starts_with("utf-16") ||
        declared.starts_with("utf-32") || declared == "ucs-2" || declared == "unicode")
        return {};
    return {declared, 0, true};
}

class Iconv {
public:
    explicit Iconv(const std::string& from) : cd_(iconv_open("UTF-8", from.c_str())) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Converts `in` to UTF-8. On failure `reason` is set and `badOffset` is the input offset of an
// unconvertible byte (kNoOffset when the encoding itself is unknown).
bool ConvertToUtf8(std::string_view in, const std::string& encoding, std::string& out, std::string& reason,
                   std::size_t& badOffset) {
    Iconv converter(encoding);
    badOffset = kNoOffset;
    if (!converter.ok()) {
        reason = "unsupported encoding '" + encoding + "'";
        return false;
    }
    out.assign(in.size() * 2 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t written = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + written;
        std::size_t dstLeft = out.size() - written;
        std::size_t rc = iconv(converter.get(), &src, &srcLeft, &dst, &dstLeft);
        written = out.size() - dstLeft;
        if (rc != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        badOffset = in.size() - srcLeft;
        reason = "invalid character for encoding '" + encoding + "'";
        return false;
    }
    out.resize(written);
    return true;
}

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
    std::string text;
};

bool Serialise(const pugi::xml_document& doc, bool indent, std::string& out) {
    try {
        StringWriter writer;
        unsigned flags = pugi::format_no_declaration | (indent ? pugi::format_indent : pugi::format_raw);
        doc.save(writer, "\t", flags, pugi::encoding_utf8);
        out = std::move(writer.text);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

// ---- XmlNode -------------------------------------------------------------------------------

XmlNodeType XmlNode::Type() const {
    switch (pugi::xml_node(node_).type()) {
        case pugi::node_document: return XmlNodeType::Document;
        case pugi::node_element: return XmlNodeType::Element;
        case pugi::node_pcdata: return XmlNodeType::Text;
        case pugi::node_cdata: return XmlNodeType::CData;
        case pugi::node_comment: return XmlNodeType::Comment;
        case pugi::node_pi:
        case pugi::node_declaration: return XmlNodeType::ProcessingInstruction;
        default: return XmlNodeType::Null;
    }
}

std::string XmlNode::NodeName() const {
    pugi::xml_node n(node_);
    switch (n.type()) {
        case pugi::node_document: return "#document";
        case pugi::node_pcdata: return "#text";
        case pugi::node_cdata: return "#cdata-section";
        case pugi::node_comment: return "#comment";
        case pugi::node_declaration: return "xml";
        case pugi::node_element:
        case pugi::node_pi: return n.name();
        default: return {};
    }
}

std::string XmlNode::BaseName() const {
    pugi::xml_node n(node_);
    switch (n.type()) {
        case pugi::node_element:
        case pugi::node_pi: return std::string(LocalName(n.name()));
        case pugi::node_declaration: return "xml";
        default: return {};
    }
}

std::string XmlNode::NodeValue() const {
    pugi::xml_node n(node_);
    switch (n.type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata:
        case pugi::node_comment:
        case pugi::node_pi: return n.value();
        case pugi::node_declaration: {
            std::string text;
            for (pugi::xml_attribute a : n.attributes()) {
                if (!text.empty()) text += ' ';
                text += std::string(a.name()) + "=\"" + a.value() + '"';
            }
            return text;
        }
        default: return {};
    }
}

std::string XmlNode::Text() const {
    pugi::xml_node n(node_);
    if (!CanHoldChildren(n)) return NodeValue();
    std::string text;
    CollectText(n, text);
    return text;
}

bool XmlNode::SetText(std::string_view text) {
    pugi::xml_node n(node_);
    std::string value(text);
    switch (n.type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata:
        case pugi::node_comment: return n.set_value(value.c_str());
        case pugi::node_element:
            while (n.first_child()) n.remove_child(n.first_child());
            return text.empty() || n.append_child(pugi::node_pcdata).set_value(value.c_str());
        default: return false;
    }
}

XmlNode XmlNode::Parent() const { return XmlNode(pugi::xml_node(node_).parent().internal_object()); }

XmlNode XmlNode::FirstChild() const { return XmlNode(pugi::xml_node(node_).first_child().internal_object()); }

XmlNode XmlNode::NextSibling() const { return XmlNode(pugi::xml_node(node_).next_sibling().internal_object()); }

std::vector<XmlNode> XmlNode::Children() const {
    std::vector<XmlNode> nodes;
    for (pugi::xml_node c : pugi::xml_node(node_).children()) nodes.push_back(XmlNode(c.internal_object()));
    return nodes;
}

std::vector<XmlNode> XmlNode::ChildElements() const {
    std::vector<XmlNode> nodes;
    for (pugi::xml_node c : pugi::xml_node(node_).children()) {
        if (c.type() == pugi::node_element) nodes.push_back(XmlNode(c.internal_object()));
    }
    return nodes;
}

XmlNode XmlNode::ChildNoCase(std::string_view name) const {
    for (pugi::xml_node c : pugi::xml_node(node_).children()) {
        if (c.type() == pugi::node_element && EqualsNoCase(c.name(), name)) return XmlNode(c.internal_object());
    }
    return {};
}

std::vector<XmlNode> XmlNode::ChildrenNoCase(std::string_view name) const {
    std::vector<XmlNode> nodes;
    for (pugi::xml_node c : pugi::xml_node(node_).children()) {
        if (c.type() == pugi::node_element && EqualsNoCase(c.name(), name))
            nodes.push_back(XmlNode(c.internal_object()));
    }
    return nodes;
}

void XmlNode::ForEachAttribute(const std::function<void(std::string_view, std::string_view)>& visit) const {
    for (pugi::xml_attribute a : pugi::xml_node(node_).attributes()) visit(a.name(), a.value());
}

std::vector<XmlAttribute> XmlNode::Attributes() const {
    std::vector<XmlAttribute> attributes;
    for (pugi::xml_attribute a : pugi::xml_node(node_).attributes()) attributes.push_back({a.name(), a.value()});
    return attributes;
}

bool XmlNode::HasAttribute(std::string_view name) const {
    return static_cast<bool>(FindAttribute(pugi::xml_node(node_), name, false));
}

bool XmlNode::HasAttributeNoCase(std::string_view name) const {
    return static_cast<bool>(FindAttribute(pugi::xml_node(node_), name, true));
}

std::string XmlNode::GetAttribute(std::string_view name) const {
    return FindAttribute(pugi::xml_node(node_), name, false).value();
}

std::string XmlNode::GetAttributeNoCase(std::string_view name) const {
    return FindAttribute(pugi::xml_node(node_), name, true).value();
}

bool XmlNode::SetAttribute(std::string_view name, std::string_view value) {
    pugi::xml_node n(node_);
    if (n.type() != pugi::node_element || !IsXmlName(name)) return false;
    pugi::xml_attribute a = FindAttribute(n, name, false);
    if (!a) a = n.append_attribute(std::string(name).c_str());
    return a && a.set_value(std::string(value).c_str());
}

bool XmlNode::RemoveAttribute(std::string_view name) {
    pugi::xml_node n(node_);
    return n.remove_attribute(FindAttribute(n, name, false));
}

XmlNode XmlNode::AppendElement(std::string_view name) {
    pugi::xml_node n(node_);
    if (!CanHoldChildren(n) || !IsXmlName(name)) return {};
    return XmlNode(n.append_child(std::string(name).c_str()).internal_object());
}

XmlNode XmlNode::AppendText(std::string_view text) {
    pugi::xml_node n(node_);
    if (n.type() != pugi::node_element) return {};
    pugi::xml_node child = n.append_child(pugi::node_pcdata);
    child.set_value(std::string(text).c_str());
    return XmlNode(child.internal_object());
}

XmlNode XmlNode::AppendCData(std::string_view text) {
    pugi::xml_node n(node_);
    if (n.type() != pugi::node_element) return {};
    pugi::xml_node child = n.append_child(pugi::node_cdata);
    child.set_value(std::string(text).c_str());
    return XmlNode(child.internal_object());
}

XmlNode XmlNode::AppendCopy(XmlNode source) {
    pugi::xml_node n(node_);
    if (!CanHoldChildren(n)) return {};
    return XmlNode(n.append_copy(pugi::xml_node(source.node_)).internal_object());
}

bool XmlNode::RemoveChild(XmlNode child) {
    pugi::xml_node c(child.node_);
    return c && c.parent() == pugi::xml_node(node_) && pugi::xml_node(node_).remove_child(c);
}

std::vector<XmlNode> XmlNode::SelectNodes(std::string_view xpath) const {
    std::vector<XmlNode> nodes;
    if (!node_) return nodes;
    try {
        pugi::xpath_node_set found = pugi::xml_node(node_).select_nodes(std::string(xpath).c_str());
        found.sort();
        for (const pugi::xpath_node& x : found) {
            if (x.node() && !x.attribute()) nodes.push_back(XmlNode(x.node().internal_object()));
        }
    } catch (...) {
        nodes.clear();
    }
    return nodes;
}

XmlNode XmlNode::SelectSingleNode(std::string_view xpath) const {
    if (!node_) return {};
    try {
        pugi::xpath_node first = pugi::xml_node(node_).select_node(std::string(xpath).c_str());
        if (!first.attribute()) return XmlNode(first.node().internal_object());
    } catch (...) {
        return {};
    }
    auto nodes = SelectNodes(xpath);
    return nodes.empty() ? XmlNode() : nodes.front();
}

// ---- XmlDocument ---------------------------------------------------------------------------

XmlDocument::XmlDocument() : doc_(std::make_unique<pugi::xml_document>()) {}
XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;

void XmlDocument::Clear() {
    if (!doc_) doc_ = std::make_unique<pugi::xml_document>();
    doc_->reset();
}

namespace {

// After a successful parse: the text is UTF-8 now, and so is everything saved from it.
void DeclareUtf8(pugi::xml_document& doc) {
    pugi::xml_attribute declared =
        doc.first_child().type() == pugi::node_declaration ? doc.first_child().attribute("encoding") : pugi::xml_attribute();
    if (declared && !EqualsNoCase(declared.value(), "utf-8") && !EqualsNoCase(declared.value(), "utf8"))
        declared.set_value("utf-8");
}

// A whole file in a buffer of pugixml's allocator, so that the document can take it over.
struct PugiBuffer {
    struct Free {
        void operator()(char* p) const { pugi::get_memory_deallocation_function()(p); }
    };
    std::unique_ptr<char, Free> data;
    std::size_t size = 0;
};

// nullopt with `reason` set when the file cannot be read.
std::optional<PugiBuffer> ReadWholeFile(const std::string& path, std::string& reason) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        reason = "cannot open file";
        return std::nullopt;
    }
    struct stat st {};
    if (fstat(fileno(file.get()), &st) != 0) {
        reason = "cannot read file";
        return std::nullopt;
    }
    PugiBuffer buffer;
    std::size_t capacity = static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)) + 1;
    buffer.data.reset(static_cast<char*>(pugi::get_memory_allocation_function()(capacity)));
    if (!buffer.data) {
        reason = "out of memory";
        return std::nullopt;
    }
    // The size may change while reading; read what is there, growing if the file grew.
    for (;;) {
        buffer.size += std::fread(buffer.data.get() + buffer.size, 1, capacity - buffer.size, file.get());
        if (std::ferror(file.get())) {
            reason = "cannot read file";
            return std::nullopt;
        }
        if (buffer.size < capacity) break;
        std::size_t grown = capacity * 2;
        std::unique_ptr<char, PugiBuffer::Free> larger(static_cast<char*>(pugi::get_memory_allocation_function()(grown)));
        if (!larger) {
            reason = "out of memory";
            return std::nullopt;
        }
        std::memcpy(larger.get(), buffer.data.get(), buffer.size);
        buffer.data = std::move(larger);
        capacity = grown;
    }
    return buffer;
}

}  // namespace

bool XmlDocument::LoadString(std::string_view text) {
    Clear();
    error_ = {};
    try {
        SourceEncoding encoding = DetectEncoding(text);
        std::string_view body = text.substr(encoding.bomSize);
        std::string converted;
        if (!encoding.name.empty()) {
            std::size_t badOffset = kNoOffset;
            if (!ConvertToUtf8(body, encoding.name, converted, error_.reason, badOffset)) {
                if (badOffset != kNoOffset && encoding.asciiCompatible) SetPosition(error_, body, badOffset);
                return false;
            }
            body = converted;
        }
        pugi::xml_parse_result result = doc_->load_buffer(body.data(), body.size(), kParseOptions, pugi::encoding_utf8);
        if (!result) {
            error_.reason = result.description();
            SetPosition(error_, body, static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0)));
            Clear();
            return false;
        }
        DeclareUtf8(*doc_);
        Malformation malformation = FindMalformation(*doc_, body.size());
        if (malformation.offset >= 0) {
            error_.reason = malformation.reason;
            SetPosition(error_, body, static_cast<std::size_t>(malformation.offset));
            Clear();
            return false;
        }
        return true;
    } catch (...) {
        Clear();
        error_ = {};
        error_.reason = "out of memory";
        return false;
    }
}

bool XmlDocument::Load(const std::string& path) {
    Clear();
    error_ = {};
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        error_.reason = "file not found";
        return false;
    }
    if (std::filesystem::is_directory(status)) {
        error_.reason = "not a file";
        return false;
    }
    std::optional<PugiBuffer> buffer = ReadWholeFile(path, error_.reason);
    if (!buffer) return false;
    const std::string_view text(buffer->data.get(), buffer->size);
    SourceEncoding encoding = DetectEncoding(text);
    if (!encoding.name.empty() || encoding.bomSize > 0) return LoadString(text);
    // UTF-8 without a mark, the usual case: parsed in place, so that the text is held only once.
    const std::size_t size = buffer->size;
    pugi::xml_parse_result result =
        doc_->load_buffer_inplace_own(buffer->data.release(), size, kParseOptions, pugi::encoding_utf8);
    if (result && FindMalformation(*doc_, size).offset < 0) {
        DeclareUtf8(*doc_);
        return true;
    }
    // The parse changed the text in place: the error's position is found on a fresh read.
    Clear();
    buffer = ReadWholeFile(path, error_.reason);
    return buffer && LoadString(std::string_view(buffer->data.get(), buffer->size));
}

XmlNode XmlDocument::DocumentNode() const { return XmlNode(doc_ ? doc_->internal_object() : nullptr); }

XmlNode XmlDocument::DocumentElement() const {
    return XmlNode(doc_ ? doc_->document_element().internal_object() : nullptr);
}

XmlNode XmlDocument::CreateDocumentElement(std::string_view name) {
    if (!IsXmlName(name)) return {};
    if (!doc_) Clear();
    for (pugi::xml_node old = doc_->document_element(); old; old = doc_->document_element()) doc_->remove_child(old);
    return XmlNode(doc_->append_child(std::string(name).c_str()).internal_object());
}

XmlNode XmlDocument::AddProcessingInstruction(std::string_view target, std::string_view data) {
    if (!doc_ || !IsXmlName(target) || data.find("?>") != std::string_view::npos) return {};
    if (EqualsNoCase(target, "xml")) {
        std::vector<XmlAttribute> attributes;
        if (!ParsePseudoAttributes(data, attributes)) return {};
        for (pugi::xml_node n = doc_->first_child(); n;) {
            pugi::xml_node next = n.next_sibling();
            if (n.type() == pugi::node_declaration) doc_->remove_child(n);
            n = next;
        }
        pugi::xml_node decl = doc_->prepend_child(pugi::node_declaration);
        for (const auto& a : attributes) decl.append_attribute(a.name.c_str()).set_value(a.value.c_str());
        return XmlNode(decl.internal_object());
    }
    pugi::xml_node root = doc_->document_element();
    pugi::xml_node pi = root ? doc_->insert_child_before(pugi::node_pi, root) : doc_->append_child(pugi::node_pi);
    pi.set_name(std::string(target).c_str());
    pi.set_value(std::string(data).c_str());
    return XmlNode(pi.internal_object());
}

std::string XmlDocument::ToString(bool indent) const {
    std::string text;
    return doc_ && Serialise(*doc_, indent, text) ? text : std::string();
}

bool XmlDocument::Save(const std::string& path, bool indent) {
    error_ = {};
    std::string text;
    if (doc_ && !Serialise(*doc_, indent, text)) {
        error_.reason = "out of memory";
        return false;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(path);
    fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        error_.reason = "cannot create a file in '" + folder.string() + "'";
        return false;
    }
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat old {};
    fchmod(fd, stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    bool written = true;
    for (std::size_t done = 0; done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            written = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0) written = false;
    if (!written || std::rename(temp.c_str(), path.c_str()) != 0) {
        error_.reason = written ? "cannot replace '" + path + "'" : "cannot write '" + path + "'";
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

}  // namespace velmora
