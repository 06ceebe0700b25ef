// Fuzz target: arbitrary text as a custom view's SELECT statement, read with each quoting style
// the databases use: it must not fail, names come from the text, and the same text reads the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "schema/custom_sql.h"
#include "fuzz_support.h"

using velmora::fuzz::Check;

namespace {

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
        for (const auto& source : sources) Check(source.outputName.size() <= size);  // names come from the text
        // The same text gives the same reading.
        auto again = velmora::ParseSelectSources(sql, quoting.start, quoting.end, quoting.doubleQuotedStrings);
        Check(again.size() == sources.size());
        for (std::size_t i = 0; i < again.size(); ++i)
            Check(again[i].expression == sources[i].expression && again[i].table == sources[i].table &&
                  again[i].field == sources[i].field);
    }
    return 0;
}
