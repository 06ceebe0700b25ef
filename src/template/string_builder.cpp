#include "template/string_builder.h"

namespace velmora {

void AGPStringBuilder::Clear() {
    slots_.assign(kGrowthStep + 1, std::string());
    count_ = 0;
}

void AGPStringBuilder::Append(std::string_view piece) {
    if (count_ >= Capacity()) slots_.resize(slots_.size() + kGrowthStep);
    slots_[count_++] = piece;
}

std::string AGPStringBuilder::ToString() const {
    std::size_t total = 0;
    for (std::int32_t i = 0; i < count_; ++i) total += slots_[i].size();
    std::string out;
    out.reserve(total);
    for (std::int32_t i = 0; i < count_; ++i) out += slots_[i];
    return out;
}

}  // namespace velmora
