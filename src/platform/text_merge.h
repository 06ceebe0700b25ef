// Content identity and three-way merging of text, for regenerating files that users may have
// edited by hand. Backed by libgit2's file merge, so results match what git would do.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// A stable hash of the bytes: the hexadecimal SHA-1 object id git gives a blob of them.
std::string ContentHash(std::string_view bytes);

// Whether the bytes look binary (a NUL among the first 8,000 bytes, as git decides); such
// files are never merged.
bool LooksBinary(std::string_view bytes);

struct MergeOutcome {
    bool merged = false;  // false: the merge itself failed (out of memory, binary input)
    bool clean = false;   // no conflicting changes; `text` holds the merged file
    std::string text;     // with conflict markers when not clean
};

// Merges the changes from `base` to `ours` and from `base` to `theirs`. Conflicting regions are
// marked with "<<<<<<< ours", "=======" and ">>>>>>> theirs" lines under the given labels.
MergeOutcome MergeThreeWay(std::string_view base, std::string_view ours, std::string_view theirs,
                           std::string_view oursLabel, std::string_view theirsLabel);

}  // namespace velmora
