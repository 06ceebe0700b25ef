#include "platform/text_merge.h"

#include <git2.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace velmora {
namespace {

void InitLibrary() {
    static std::once_flag once;
    // Never shut down: other threads may merge until the process ends.
    std::call_once(once, [] { git_libgit2_init(); });
}

git_merge_file_input Input(std::string_view text) {
    git_merge_file_input input = GIT_MERGE_FILE_INPUT_INIT;
    input.ptr = text.data();
    input.size = text.size();
    return input;
}

struct ResultFree {
    void operator()(git_merge_file_result* result) const { git_merge_file_result_free(result); }
};

}  // namespace

std::string ContentHash(std::string_view bytes) {
    InitLibrary();
    git_oid id;
    if (git_odb_hash(&id, bytes.data(), bytes.size(), GIT_OBJECT_BLOB) != 0) return {};
    char hex[GIT_OID_HEXSZ + 1] = {};
    git_oid_tostr(hex, sizeof hex, &id);
    return hex;
}

bool LooksBinary(std::string_view bytes) {
    return bytes.substr(0, std::min<std::size_t>(bytes.size(), 8000)).find('\0') != std::string_view::npos;
}

MergeOutcome MergeThreeWay(std::string_view base, std::string_view ours, std::string_view theirs,
                           std::string_view oursLabel, std::string_view theirsLabel) {
    MergeOutcome outcome;
    if (LooksBinary(base) || LooksBinary(ours) || LooksBinary(theirs)) return outcome;
    InitLibrary();
    git_merge_file_input ancestor = Input(base), mine = Input(ours), generated = Input(theirs);
    std::string ourName(oursLabel), theirName(theirsLabel);
    git_merge_file_options options = GIT_MERGE_FILE_OPTIONS_INIT;
    options.our_label = ourName.c_str();
    options.their_label = theirName.c_str();
    git_merge_file_result raw{};
    if (git_merge_file(&raw, &ancestor, &mine, &generated, &options) != 0) return outcome;
    std::unique_ptr<git_merge_file_result, ResultFree> result(&raw);
    outcome.merged = true;
    outcome.clean = raw.automergeable != 0;
    if (raw.ptr) outcome.text.assign(raw.ptr, raw.len);
    return outcome;
}

}  // namespace velmora
