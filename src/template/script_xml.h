// A small XML document object for scripts, over the engine's XML layer: scripts load a file or a
// text, walk its nodes and hand them to the members that read an XML element (AGPMenu.Load,
// AGPControl.Load, AddExtendedField, ...).
#pragma once

#include <memory>
#include <string>

#include "platform/xml.h"
#include "support/variant.h"

namespace velmora {

class ScriptXmlDocument : public AutomationObject {
public:
    ScriptXmlDocument() : document_(std::make_shared<XmlDocument>()) {}
    const std::shared_ptr<XmlDocument>& Document() const { return document_; }

private:
    std::shared_ptr<XmlDocument> document_;
};

// A node of a document; it keeps its document alive.
class ScriptXmlNode : public AutomationObject {
public:
    ScriptXmlNode(std::shared_ptr<XmlDocument> document, XmlNode node)
        : document_(std::move(document)), node_(node) {}
    const XmlNode& Node() const { return node_; }
    const std::shared_ptr<XmlDocument>& Document() const { return document_; }

private:
    std::shared_ptr<XmlDocument> document_;
    XmlNode node_;
};

// An attribute as a node: its name and value.
class ScriptXmlAttribute : public AutomationObject {
public:
    ScriptXmlAttribute(std::string name, std::string value) : name_(std::move(name)), value_(std::move(value)) {}
    const std::string& Name() const { return name_; }
    const std::string& Value() const { return value_; }

private:
    std::string name_;
    std::string value_;
};

}  // namespace velmora
