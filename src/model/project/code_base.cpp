#include "model/project/code_base.h"

#include "platform/xml.h"
#include "support/engine_state.h"
#include "support/text.h"

namespace velmora {

std::string ProductDocumentName(std::string_view suffix) {
    return ToLowerAscii(ReplaceAll(ReplaceAll(kProductName, "/", ""), " ", "")) + std::string(suffix);
}

const CodeRecord* AGPCodeBase::Find(std::string_view scriptType, std::string_view codeType,
                                    std::string_view name) const {
    for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
        if (EqualsNoCase(it->scriptType, scriptType) && EqualsNoCase(it->codeType, codeType) &&
            EqualsNoCase(it->name, name))
            return &*it;
    }
    return nullptr;
}

bool AGPCodeBase::CodeExist(std::string_view scriptType, std::string_view codeType, std::string_view name) const {
    return Find(scriptType, codeType, name) != nullptr;
}

std::string AGPCodeBase::CodeSource(std::string_view scriptType, std::string_view codeType,
                                    std::string_view name) const {
    const CodeRecord* record = Find(scriptType, codeType, name);
    return record ? ReplaceAll(record->code, "\n", "\r\n") : std::string();
}

bool AGPCodeBase::Load(const std::string& file) {
    XmlDocument doc;
    if (!doc.Load(file)) return false;
    XmlNode root = doc.DocumentElement();
    if (ToLowerAscii(root.BaseName()) != ProductDocumentName(".codebase")) return true;
    records_.clear();
    for (XmlNode node : root.ChildElements()) {
        if (ToLowerAscii(node.NodeName()) != "code") continue;
        CodeRecord record{node.GetAttributeNoCase("scripttype"), node.GetAttributeNoCase("codetype"),
                          node.GetAttributeNoCase("name"), {}};
        // A code element without content is an empty snippet.
        if (XmlNode first = node.FirstChild(); first && (first.IsText() || first.IsCData()))
            record.code = first.NodeValue();
        if (CodeRecord* existing = const_cast<CodeRecord*>(Find(record.scriptType, record.codeType, record.name)))
            existing->code = std::move(record.code);
        else
            records_.push_back(std::move(record));
    }
    return true;
}

}  // namespace velmora
