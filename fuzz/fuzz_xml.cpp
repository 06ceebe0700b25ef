// Fuzz target: loading arbitrary bytes as XML, then walking, querying and serialising what loaded.
// A loaded document must serialise to text that loads again and serialises identically.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xml.h"
#include "fuzz_support.h"

using velmora::fuzz::Check;

namespace {

using velmora::XmlDocument;
using velmora::XmlNode;

// Every node once, without recursion: deep documents must not need a deep stack.
void Walk(XmlNode root) {
    std::vector<XmlNode> pending{root};
    while (!pending.empty()) {
        XmlNode node = pending.back();
        pending.pop_back();
        std::string name = node.NodeName();
        Check(node.BaseName().size() <= name.size());
        if (node.IsElement()) {
            Check(!node.Parent().ChildNoCase(name).IsNull());
            for (const auto& attribute : node.Attributes()) {
                Check(node.GetAttribute(attribute.name) == attribute.value);
                Check(node.HasAttributeNoCase(attribute.name));
            }
        } else {
            (void)node.NodeValue();
        }
        auto children = node.Children();
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            Check(it->Parent() == node);
            pending.push_back(*it);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    XmlDocument doc;
    if (!doc.LoadString(input)) {
        Check(!doc.Error().reason.empty() && doc.Error().line >= 0 && doc.Error().column >= 0);
        Check(!doc.DocumentElement());
        return 0;
    }
    XmlNode root = doc.DocumentElement();
    Check(!root.IsNull());
    Walk(doc.DocumentNode());
    (void)root.Text();
    (void)root.SelectNodes("//*[@name]");
    // The input's first line doubles as an XPath expression, mostly a malformed one.
    (void)root.SelectNodes(input.substr(0, input.find('\n')).substr(0, 128));

    std::string flat = doc.ToString(false);
    (void)doc.ToString(true);
    XmlDocument again;
    Check(again.LoadString(flat));
    Check(again.ToString(false) == flat);
    return 0;
}
