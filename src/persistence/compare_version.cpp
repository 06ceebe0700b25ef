#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "persistence/project_reader.h"
#include "support/convert.h"
#include "support/text.h"

namespace velmora {

namespace {

// A part that is not a number counts as 0.
std::int64_t Part(const std::vector<std::string>& parts, std::size_t i) {
    auto value = ParseNumber(parts[i]);
    return value ? static_cast<std::int64_t>(*value) : 0;
}

}  // namespace

int CompareVersion(std::string_view a, std::string_view b) {
    std::vector<std::string> pa = Split(a, '.');
    std::vector<std::string> pb = Split(b, '.');
    if (pa.empty() || pb.empty()) return 0;
    std::size_t n = std::min(pa.size(), pb.size()) - 1;
    if (Part(pa, 0) > Part(pb, 0)) return 2;
    if (Part(pa, 0) == Part(pb, 0) && n >= 1 && Part(pa, 1) > Part(pb, 1)) return 1;
    n = std::min<std::size_t>(n, 2);
    for (std::size_t i = 0; i <= n; ++i)
        if (Part(pa, i) < Part(pb, i)) return -1;
    return 0;
}

}  // namespace velmora
