// The reserved words of the generated language, which generated identifiers must avoid.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/variant.h"

namespace velmora {

struct KeywordEntry {
    std::string language;
    std::string keyword;
};

class AGPKeyword : public AutomationObject {
public:
    std::int16_t curIndex() const { return 0; }
    std::int32_t Count() const { return static_cast<std::int32_t>(entries_.size()); }
    // Compared without regard to case; the language is not compared.
    bool IsKeyword(std::string_view word) const;
    // Additive: keywords of earlier loads stay. A file that does not load is reported once (until
    // a load succeeds again) and gives false.
    bool Load(const std::string& file);

private:
    std::vector<KeywordEntry> entries_;
    std::vector<std::string> folded_;  // sorted folded keywords, for lookups
    bool loadErrorRecorded_ = false;
};

}  // namespace velmora
