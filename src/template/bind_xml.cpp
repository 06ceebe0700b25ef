// The XML document object of scripts, and the members that read an XML element from one.
#include <memory>
#include <vector>

#include "model/project/agp.h"
#include "model/project/app_settings.h"
#include "model/controls/controls.h"
#include "model/project/menus.h"
#include "support/engine_state.h"
#include "template/bind_helpers.h"
#include "template/script_xml.h"

namespace velmora::bind {
namespace {

std::shared_ptr<ScriptXmlNode> NodeOf(const std::shared_ptr<XmlDocument>& document, XmlNode node) {
    return node ? std::make_shared<ScriptXmlNode>(document, node) : nullptr;
}

std::vector<std::shared_ptr<ScriptXmlNode>> NodesOf(const std::shared_ptr<XmlDocument>& document,
                                                    const std::vector<XmlNode>& nodes) {
    std::vector<std::shared_ptr<ScriptXmlNode>> result;
    for (const XmlNode& node : nodes) result.push_back(NodeOf(document, node));
    return result;
}

// The node's markup, as a document holding a copy of it writes it.
std::string MarkupOf(const XmlNode& node) {
    XmlDocument copy;
    copy.DocumentNode().AppendCopy(node);
    return copy.ToString();
}

// The element a node-reading member is given; a script error for anything else.
XmlNode ElementArg(const Args& args, std::size_t index) {
    auto node = args.As<std::shared_ptr<ScriptXmlNode>>(index);
    return node ? node->Node() : XmlNode();
}

}  // namespace

void BindXml(ClassMap& classes) {
    ClassBuilder<ScriptXmlDocument>(classes, "XmlDocument")
        .Method("load", 1, [](ScriptXmlDocument& doc, const Args& args) { return doc.Document()->Load(args.Text(0)); })
        .Method("loadXML", 1,
                [](ScriptXmlDocument& doc, const Args& args) { return doc.Document()->LoadString(args.Text(0)); })
        .Get("documentElement",
             [](ScriptXmlDocument& doc) { return NodeOf(doc.Document(), doc.Document()->DocumentElement()); })
        .Get("xml", [](ScriptXmlDocument& doc) { return doc.Document()->ToString(); })
        .Get("parseError", [](ScriptXmlDocument& doc) { return doc.Document()->Error().reason; })
        .Method("selectNodes", 1,
                [](ScriptXmlDocument& doc, const Args& args) {
                    return NodesOf(doc.Document(), doc.Document()->DocumentNode().SelectNodes(args.Text(0)));
                })
        .Method("selectSingleNode", 1, [](ScriptXmlDocument& doc, const Args& args) {
            return NodeOf(doc.Document(), doc.Document()->DocumentNode().SelectSingleNode(args.Text(0)));
        });

    ClassBuilder<ScriptXmlNode>(classes, "XmlNode")
        .Get("nodeName", [](ScriptXmlNode& node) { return node.Node().NodeName(); })
        .Get("baseName", [](ScriptXmlNode& node) { return node.Node().BaseName(); })
        .Get("nodeValue", [](ScriptXmlNode& node) { return node.Node().NodeValue(); })
        .Get("text", [](ScriptXmlNode& node) { return node.Node().Text(); })
        .Get("xml", [](ScriptXmlNode& node) { return MarkupOf(node.Node()); })
        .Get("parentNode", [](ScriptXmlNode& node) { return NodeOf(node.Document(), node.Node().Parent()); })
        .Get("childNodes", [](ScriptXmlNode& node) { return NodesOf(node.Document(), node.Node().Children()); })
        .Get("attributes",
             [](ScriptXmlNode& node) {
                 std::vector<std::shared_ptr<ScriptXmlAttribute>> attributes;
                 for (const XmlAttribute& a : node.Node().Attributes())
                     attributes.push_back(std::make_shared<ScriptXmlAttribute>(a.name, a.value));
                 return attributes;
             })
        .Method("getAttribute", 1,
                [](ScriptXmlNode& node, const Args& args) { return node.Node().GetAttribute(args.Text(0)); })
        .Method("selectNodes", 1,
                [](ScriptXmlNode& node, const Args& args) {
                    return NodesOf(node.Document(), node.Node().SelectNodes(args.Text(0)));
                })
        .Method("selectSingleNode", 1, [](ScriptXmlNode& node, const Args& args) {
            return NodeOf(node.Document(), node.Node().SelectSingleNode(args.Text(0)));
        });

    ClassBuilder<ScriptXmlAttribute>(classes, "XmlAttribute")
        .Get("nodeName", &ScriptXmlAttribute::Name)
        .Get("baseName", &ScriptXmlAttribute::Name)
        .Get("nodeValue", &ScriptXmlAttribute::Value)
        .Get("text", &ScriptXmlAttribute::Value);
}

void BindXmlReaders(ClassMap& classes) {
    ClassBuilder<AGPMenu>(classes, "AGPMenu").Method("Load", 1, [](AGPMenu& menu, const Args& args) {
        menu.Load(ElementArg(args, 0));
    });
    ClassBuilder<AGPSession>(classes, "AGPSession").Method("Load", 1, [](AGPSession& session, const Args& args) {
        session.Load(ElementArg(args, 0));
    });
    ClassBuilder<AGPSessions>(classes, "AGPSessions").Method("Load", 1, [](AGPSessions& sessions, const Args& args) {
        sessions.Load(ElementArg(args, 0));
    });
    ClassBuilder<AGPAppSetting>(classes, "AGPAppSetting").Method("Load", 1, [](AGPAppSetting& s, const Args& args) {
        s.Load(ElementArg(args, 0));
    });
    ClassBuilder<AGPControl>(classes, "AGPControl").Method("Load", 3, [](AGPControl& control, const Args& args) {
        std::string error;
        bool loaded = control.Load(ElementArg(args, 0), args.Text(1), args.Text(2), error);
        if (!loaded) Fail(error);
        return loaded;
    });
}

}  // namespace velmora::bind
