// The one report every script error becomes.
#include <fmt/format.h>

#include "platform/script_engine.h"
#include "support/engine_state.h"
#include "template/script_host.h"

namespace velmora {

std::string ScriptErrorReport(const ScriptError& error, std::string_view name) {
    std::string report(kProductName);
    if (!name.empty()) {
        std::size_t slash = name.find_last_of("\\/");
        report += fmt::format(" ({})", slash == std::string_view::npos ? name : name.substr(slash + 1));
    }
    report += fmt::format(": {} ({:X})", error.source, static_cast<std::uint32_t>(error.number));
    if (error.line != 0) report += fmt::format(", line {}", error.line);
    if (error.column != 0) report += fmt::format(", column {}", error.column);
    report += "\r\n";
    if (!error.description.empty()) report += fmt::format("Description: {}\r\n", error.description);
    if (!error.text.empty()) report += fmt::format("Text: {}", error.text);
    return report;
}

}  // namespace velmora
