// The code base: named code snippets that templates and custom scripts fetch by script type,
// code type and name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/variant.h"

namespace velmora {

struct CodeRecord {
    std::string scriptType;
    std::string codeType;
    std::string name;
    std::string code;
};

class AGPCodeBase : public AutomationObject {
public:
    std::int16_t curIndex() const { return 0; }
    std::int32_t Count() const { return static_cast<std::int32_t>(records_.size()); }
    // All three values are compared without regard to case.
    bool CodeExist(std::string_view scriptType, std::string_view codeType, std::string_view name) const;
    // The code of the last matching record with LF turned into CR LF; "" when none matches.
    std::string CodeSource(std::string_view scriptType, std::string_view codeType, std::string_view name) const;
    // False when the file does not load (the records stay as they were); true otherwise, also for a
    // document of another kind, which leaves the records unchanged.
    bool Load(const std::string& file);

private:
    const CodeRecord* Find(std::string_view scriptType, std::string_view codeType, std::string_view name) const;
    std::vector<CodeRecord> records_;
};

// The document element's expected name: the product name in lower case without "/" and blanks,
// followed by the given suffix (".codebase", ".keyword").
std::string ProductDocumentName(std::string_view suffix);

}  // namespace velmora
