// Fuzz target: arbitrary bytes as a --answers file. A file that loads answers each question with
// one of the answers the question allows, whatever text it holds, and a list runs out into the
// safe default; a file that does not load says why.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/prompter.h"
#include "fuzz_support.h"

using velmora::fuzz::Check;

namespace {

std::filesystem::path AnswersFile() { return velmora::fuzz::PrivateFolder() / "answers.json"; }

const velmora::Question kQuestions[] = {
    {"overwrite-file", "", "", velmora::Buttons::YesNoCancel, {}, "no"},
    {"merge-conflict",
     "",
     "",
     velmora::Buttons::Ok,
     {{"keep", "Keep"}, {"new", "New"}, {"markers", "Markers"}},
     "keep"},
    {"sync-keep-or-update", "", "", velmora::Buttons::OkCancel, {}, ""},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velmora::fuzz::WriteInput(AnswersFile(), data, size);
    velmora::AnswersFilePrompter prompter;
    if (!prompter.Load(AnswersFile().string())) {
        Check(!prompter.LastError().empty());
        return 0;
    }
    for (int round = 0; round < 3; ++round) {
        for (const velmora::Question& question : kQuestions) {
            velmora::Answer answer = prompter.Ask(question);
            auto allowed = velmora::AllowedAnswers(question);
            Check(std::find(allowed.begin(), allowed.end(), answer.value) != allowed.end());
            Check(!answer.byDefault || answer.value == velmora::SafeDefault(question));
        }
    }
    return 0;
}
