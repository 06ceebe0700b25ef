// The regeneration rules, file by file: what a run does to a destination file given what the
// last run wrote, what the user did to it since and how the user answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "generation/file_rules.h"
#include "generation/output_writer.h"
#include "platform/prompter.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "support/text_file.h"
#include "test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

constexpr std::string_view kFirst = "<?php\n// one\n$a = 1;\n// two\n$b = 2;\n";

struct Scenario {
    const char* name;
    bool generatedBefore;                 // a first run wrote kFirst
    std::optional<std::string> onDisk;    // then the user left this (nullopt: deleted)
    std::string generated;                // what this run generates
    const char* answer;                   // to "merge-conflict" or "overwrite-file"; "" takes the default
    FileOutcome outcome;
    std::optional<std::string> expected;  // the file afterwards (nullopt: absent)
    bool newVersionBeside = false;
    bool overwrite = true;                // the control's CtrlOverwrite
};

const std::string kEdited = "<?php\n// one, mine\n$a = 1;\n// two\n$b = 2;\n";
const std::string kChanged = "<?php\n// one\n$a = 1;\n// two\n$b = 3;\n";
const std::string kMerged = "<?php\n// one, mine\n$a = 1;\n// two\n$b = 3;\n";
const std::string kClash = "<?php\n// one\n$a = 1;\n// two\n$b = 4;\n";
const std::string kFirstText(kFirst);

const Scenario kScenarios[] = {
    {"identical file is left alone", false, kChanged, kChanged, "", FileOutcome::Unchanged, kChanged},
    {"unknown file asks, overwrite", false, kEdited, kChanged, "overwrite", FileOutcome::Updated, kChanged},
    {"untouched file is updated", true, kFirstText, kChanged, "", FileOutcome::Updated, kChanged},
    {"untouched file, control keeps files", true, kFirstText, kChanged, "", FileOutcome::Skipped, kFirstText,
     false, false},
    {"edit stays when the template is unchanged", true, kEdited, kFirstText, "", FileOutcome::Unchanged, kEdited},
    {"edit elsewhere is merged", true, kEdited, kChanged, "", FileOutcome::Merged, kMerged},
    {"conflict by default keeps mine, new beside", true, kClash, kChanged, "", FileOutcome::Conflict, kClash, true},
};

class OutputWriterTest : public testing::Test {
protected:
    void SetUp() override {
        test::ResetSettingsStores();
        Engine().ProjErr.clear();
        SetStatusSink(std::make_shared<NullStatusSink>());
        SetPrompter(prompter);
    }
    void TearDown() override {
        SetPrompter(nullptr);
        SetStatusSink(nullptr);
    }
    // One run that writes `text` to the page; its outcome.
    FileOutcome Run(const std::string& text, bool overwrite = true, bool dryRun = false) {
        rules.Reset();
        writer.Begin(dest.path().string(), dryRun, false);
        EXPECT_TRUE(writer.Write(page, EncodedText{text, true}, "list", overwrite, UnknownFile::Ask)) << Engine().ProjErr;
        EXPECT_TRUE(writer.Finish()) << Engine().ProjErr;
        return writer.Summary().files.back().outcome;
    }
    void Answer(const std::string& answer) {
        prompter->Set("merge-conflict", answer);
        prompter->Set("overwrite-file", answer);
    }

    test::TempDir dest;
    std::string page = dest / "orderslist.php";
    std::shared_ptr<PolicyPrompter> prompter = std::make_shared<PolicyPrompter>();
    OverwriteRules rules;
    OutputWriter writer{rules};
};

TEST_F(OutputWriterTest, EachFileGetsWhatItsHistoryCallsFor) {
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.name);
        fs::remove_all(dest.path());
        fs::create_directories(dest.path());
        prompter = std::make_shared<PolicyPrompter>();
        SetPrompter(prompter);
        if (scenario.generatedBefore) Run(std::string(kFirst));
        if (scenario.onDisk) {
            WriteFile(page, *scenario.onDisk);
        } else {
            fs::remove(page);
        }
        if (*scenario.answer) Answer(scenario.answer);

        EXPECT_EQ(Run(scenario.generated, scenario.overwrite), scenario.outcome);
        EXPECT_EQ(fs::exists(page) ? std::optional<std::string>(ReadFile(page)) : std::nullopt, scenario.expected);
        EXPECT_EQ(fs::exists(page + ".new"), scenario.newVersionBeside);
        if (scenario.newVersionBeside) {
            EXPECT_EQ(ReadFile(page + ".new"), scenario.generated);
        }
        EXPECT_FALSE(fs::exists(page + ".bak"));
    }
}

// Unanswered conflicts coming back and answered ones settling are followed end to end by
// tests/integration/regenerate.sh; the markers' layout only here.
TEST_F(OutputWriterTest, ConflictMarkersShowBothVersions) {
    Run(std::string(kFirst));
    WriteFile(page, kClash);
    Answer("markers");
    EXPECT_EQ(Run(kChanged), FileOutcome::Conflict);
    std::string marked = ReadFile(page);
    EXPECT_NE(marked.find("<<<<<<< yours\n$b = 4;\n=======\n$b = 3;\n>>>>>>> generated\n"), std::string::npos)
        << marked;
}

TEST_F(OutputWriterTest, DryRunsClassifyWithoutWriting) {
    Run(std::string(kFirst));
    WriteFile(page, kEdited);
    EXPECT_EQ(Run(kChanged, true, true), FileOutcome::Merged);
    EXPECT_EQ(ReadFile(page), kEdited);
    WriteFile(page, kClash);
    EXPECT_EQ(Run(kChanged, true, true), FileOutcome::Conflict);
    EXPECT_FALSE(fs::exists(page + ".new"));

    fs::remove(page);
    EXPECT_EQ(Run(kChanged, true, true), FileOutcome::Skipped);
}

TEST_F(OutputWriterTest, TheRecordSurvivesADamagedManifest) {
    Run(std::string(kFirst));
    WriteFile(dest / ".velmora/manifest.json", "{ not json");
    WriteFile(dest / ".velmora/base.zip", "not a zip");
    // The file is of unknown origin now: asked, and by default kept.
    EXPECT_EQ(Run(kChanged), FileOutcome::Skipped);
    EXPECT_EQ(Run(std::string(kFirst)), FileOutcome::Unchanged);
    // Recorded again, with its content kept for merging.
    WriteFile(page, kEdited);
    EXPECT_EQ(Run(kChanged), FileOutcome::Merged);
    EXPECT_EQ(ReadFile(page), kMerged);
}

}  // namespace
}  // namespace velmora
