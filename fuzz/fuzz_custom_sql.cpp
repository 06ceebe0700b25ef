// Fuzz target: arbitrary text as a custom view's SELECT statement, read with each quoting style
// the databases use. Every source found names a column or an expression taken from the text, and the
// same text always reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "schema/custom_sql.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

struct Quoting {
    std::string_view start;
    std::string_view end;
    bool doubleQuotedStrings;
};

constexpr Quoting kQuotings[] = {{"\"", "\"", false}, {"`", "`", true}, {"[", "]", false}, {"", "", false}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view sql(reinterpret_cast<const char*>(data), size);
    for (const Quoting& quoting : kQuotings) {
        auto sources = velmora::ParseSelectSources(sql, quoting.start, quoting.end, quoting.doubleQuotedStrings);
        Check(sources.size() <= size);
        for (const auto& source : sources) {
            // Names come from the text; an expression is its tokens joined by single blanks.
            Check(source.outputName.size() <= size);
            Check(source.expression.find("  ") == std::string::npos);
        }
        // The same text gives the same reading.
        Check(velmora::ParseSelectSources(sql, quoting.start, quoting.end, quoting.doubleQuotedStrings).size() ==
              sources.size());
    }
    return 0;
}
