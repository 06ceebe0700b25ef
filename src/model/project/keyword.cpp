#include "model/project/keyword.h"

#include <algorithm>

#include "model/project/code_base.h"
#include "platform/prompter.h"
#include "platform/xml.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {

bool AGPKeyword::IsKeyword(std::string_view word) const {
    return std::binary_search(folded_.begin(), folded_.end(), FoldCase(word));
}

bool AGPKeyword::Load(const std::string& file) {
    XmlDocument doc;
    if (!doc.Load(file)) {
        if (!loadErrorRecorded_) {
            ShowMessage("Load keyword file \"" + file + "\" failed. Please check your keyword file.",
                        std::string(kProductName), MessageKind::Warning);
            loadErrorRecorded_ = true;
        }
        return false;
    }
    loadErrorRecorded_ = false;
    XmlNode root = doc.DocumentElement();
    if (ToLowerAscii(root.BaseName()) != ProductDocumentName(".keyword")) return true;
    for (XmlNode node : root.ChildElements()) {
        if (ToLowerAscii(node.NodeName()) != "keyword") continue;
        std::string value = node.GetAttributeNoCase("value");
        bool known = std::any_of(entries_.begin(), entries_.end(), [&](const KeywordEntry& e) {
            return e.language == "PHP" && e.keyword == value;
        });
        if (known) continue;
        entries_.push_back({"PHP", value});
        std::string folded = FoldCase(value);
        folded_.insert(std::upper_bound(folded_.begin(), folded_.end(), folded), folded);
    }
    return true;
}

}  // namespace velmora
