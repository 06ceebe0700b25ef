// AGPStringBuilder: collects text pieces and joins them once, so building a long generated text
// costs one allocation per thousand pieces instead of one per concatenation.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/variant.h"

namespace velmora {

class AGPStringBuilder : public AutomationObject {
public:
    static constexpr std::int16_t kGrowthStep = 1000;

    AGPStringBuilder() { Clear(); }

    void Clear();
    void Append(std::string_view piece);
    std::string ToString() const;

    std::int32_t PieceCount() const { return count_; }
    // Number of slots; grows by the step whenever the pieces fill it.
    std::int32_t Capacity() const { return static_cast<std::int32_t>(slots_.size()); }

private:
    std::vector<std::string> slots_;
    std::int32_t count_ = 0;
};

}  // namespace velmora
