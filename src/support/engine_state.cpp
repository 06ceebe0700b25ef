#include "support/engine_state.h"

#include <fmt/format.h>

namespace velmora {

std::string EngineVersion() {
    return fmt::format("{}.{}.{}", kVersionMajor, kVersionMinor, kVersionRevision);
}

std::string DisplayVersion() {
    if (kVersionMajor == 13) return fmt::format("2016.{}.{}", kVersionMinor, kVersionRevision);
    return EngineVersion();
}

std::string ProductMessage(std::string_view text) {
    return fmt::format("{}: {}", kProductName, text);
}

EngineState& Engine() {
    static EngineState state;
    return state;
}

bool Fail(std::string message) {
    Engine().ProjErr = std::move(message);
    return false;
}

}  // namespace velmora
