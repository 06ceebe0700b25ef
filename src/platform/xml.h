// XML documents: a small DOM over pugixml with what the engine needs of an XML parser (load with
// error position, navigation with and without regard to case, simple XPath, building and saving).
// Nothing here throws. Text is UTF-8 inside; files in other encodings are converted when loaded.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
struct xml_node_struct;
class xml_document;
}  // namespace pugi

namespace velmora {

enum class XmlNodeType {
    Null,
    Document,
    Element,
    Text,
    CData,
    Comment,
    ProcessingInstruction,  // also the XML declaration, whose target is "xml"
};

struct XmlAttribute {
    std::string name;
    std::string value;
};

// Why the last load or save failed. line and column are 1-based (the column counts characters);
// both are 0 where no position applies, as for a missing file.
struct XmlParseError {
    long line = 0;
    long column = 0;
    std::string reason;
    std::string sourceText;  // the line holding the error, without its line break
};

// A handle to a node of an XmlDocument, cheap to copy; valid while the node is in its document.
// A null handle answers every query with an empty result and ignores every change.
class XmlNode {
public:
    XmlNode() = default;

    explicit operator bool() const { return node_ != nullptr; }
    bool IsNull() const { return node_ == nullptr; }
    XmlNodeType Type() const;
    bool IsElement() const { return Type() == XmlNodeType::Element; }
    bool IsText() const { return Type() == XmlNodeType::Text; }
    bool IsCData() const { return Type() == XmlNodeType::CData; }

    // Element or processing-instruction name; "#text", "#cdata-section", "#comment", "#document"
    // for the other kinds.
    std::string NodeName() const;
    // The name without its namespace prefix; "" for nodes other than elements and instructions.
    std::string BaseName() const;
    // Content of a text, CDATA, comment or instruction node; "" for elements and documents.
    std::string NodeValue() const;
    // NodeValue for character data; for elements and documents all descendant text in order.
    std::string Text() const;
    // Replaces the content of character data, or all children of an element with one text node.
    bool SetText(std::string_view text);

    XmlNode Parent() const;
    XmlNode FirstChild() const;
    XmlNode NextSibling() const;
    std::vector<XmlNode> Children() const;
    std::vector<XmlNode> ChildElements() const;
    // Child elements whose name equals `name` without regard to case.
    XmlNode ChildNoCase(std::string_view name) const;
    std::vector<XmlNode> ChildrenNoCase(std::string_view name) const;

    std::vector<XmlAttribute> Attributes() const;
    // Every attribute in document order, without copying names or values.
    void ForEachAttribute(const std::function<void(std::string_view name, std::string_view value)>& visit) const;
    bool HasAttribute(std::string_view name) const;
    bool HasAttributeNoCase(std::string_view name) const;
    // The attribute's value; "" when it is missing.
    std::string GetAttribute(std::string_view name) const;
    std::string GetAttributeNoCase(std::string_view name) const;
    // Sets or adds the attribute; false on a null or non-element node or an invalid name.
    bool SetAttribute(std::string_view name, std::string_view value);
    bool RemoveAttribute(std::string_view name);

    // Appenders return the new node, or a null node where it cannot be added (invalid name, or
    // this node cannot hold it).
    XmlNode AppendElement(std::string_view name);
    XmlNode AppendText(std::string_view text);
    XmlNode AppendCData(std::string_view text);
    // Appends a deep copy of `source`, which may belong to another document.
    XmlNode AppendCopy(XmlNode source);
    // Removes a direct child with its subtree; handles into that subtree become invalid.
    bool RemoveChild(XmlNode child);

    // Element, text and other node results of an XPath 1.0 expression in document order (attribute
    // results are left out). A malformed expression or one that gives no node set yields nothing.
    std::vector<XmlNode> SelectNodes(std::string_view xpath) const;
    XmlNode SelectSingleNode(std::string_view xpath) const;

    bool operator==(const XmlNode&) const = default;

private:
    friend class XmlDocument;
    explicit XmlNode(pugi::xml_node_struct* node) : node_(node) {}

    pugi::xml_node_struct* node_ = nullptr;
};

// An XML document. Moving it keeps node handles valid.
class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(XmlDocument&&) noexcept;
    XmlDocument& operator=(XmlDocument&&) noexcept;

    // Replace the content with a parsed file or text. On failure the document is empty and Error()
    // tells why. The encoding comes from a byte-order mark or the XML declaration (UTF-8 if none);
    // text in another encoding is converted and its declaration then names UTF-8.
    bool Load(const std::string& path);
    bool LoadString(std::string_view text);
    const XmlParseError& Error() const { return error_; }

    void Clear();
    XmlNode DocumentNode() const;
    XmlNode DocumentElement() const;
    // Replaces the document element by a new, empty one.
    XmlNode CreateDocumentElement(std::string_view name);
    // Target "xml" sets the XML declaration (data like `version="1.0" encoding="utf-8"`), placed
    // first; other instructions go before the document element. Null on invalid input.
    XmlNode AddProcessingInstruction(std::string_view target, std::string_view data);

    // UTF-8 text of the document, without a byte-order mark; with indent, one node per line
    // indented by tabs. No declaration is added that the document does not hold.
    std::string ToString(bool indent = false) const;
    // Writes ToString(indent) to a temporary file beside `path` and renames it over `path`, so
    // that a failed save leaves the old file intact. On failure Error().reason tells why.
    bool Save(const std::string& path, bool indent = false);

private:
    std::unique_ptr<pugi::xml_document> doc_;
    XmlParseError error_;
};

}  // namespace velmora
