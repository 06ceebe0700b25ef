#include "platform/prompter.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "test_support.h"

namespace velmora {
namespace {

Question Overwrite() {
    Question q;
    q.id = "overwrite-file";
    q.message = "File /tmp/x already exists!";
    q.choices = {{"overwrite", "Overwrite"}, {"skip", "Skip"}, {"cancel", "Cancel"},
                 {"overwrite-all", "Overwrite all"}, {"skip-all", "Skip all"}};
    q.defaultAnswer = "skip";
    return q;
}

Question YesNo(std::string id, Buttons buttons = Buttons::YesNo) {
    Question q;
    q.id = std::move(id);
    q.message = "Continue?";
    q.buttons = buttons;
    return q;
}

TEST(Questions, SafeDefaultsAndMatching) {
    EXPECT_EQ(SafeDefault(YesNo("q")), "no");
    EXPECT_EQ(SafeDefault(YesNo("q", Buttons::YesNoCancel)), "cancel");
    EXPECT_EQ(SafeDefault(YesNo("q", Buttons::OkCancel)), "cancel");
    EXPECT_EQ(SafeDefault(YesNo("q", Buttons::Ok)), "ok");
    EXPECT_EQ(SafeDefault(Overwrite()), "skip");
    Question q = YesNo("q");
    q.defaultAnswer = "maybe";  // not an answer of the question
    EXPECT_EQ(SafeDefault(q), "no");

    EXPECT_EQ(MatchAnswer(YesNo("q"), " Y "), "yes");
    EXPECT_EQ(MatchAnswer(YesNo("q"), "NO"), "no");
    EXPECT_EQ(MatchAnswer(YesNo("q"), "cancel"), "");
    EXPECT_EQ(MatchAnswer(Overwrite(), "overwrite"), "overwrite");  // exact beats prefix
    EXPECT_EQ(MatchAnswer(Overwrite(), "o"), "");                   // ambiguous
    EXPECT_EQ(MatchAnswer(Overwrite(), "Skip ALL"), "skip-all");    // by label
    EXPECT_EQ(MatchAnswer(Overwrite(), "3"), "cancel");
    EXPECT_EQ(MatchAnswer(Overwrite(), "6"), "");
}

class PrompterTest : public ::testing::Test {
protected:
    void SetUp() override { SetStatusSink(std::make_shared<JsonStatusSink>(events)); }
    void TearDown() override {
        SetStatusSink(nullptr);
        SetPrompter(nullptr);
    }
    std::ostringstream events;
};

TEST_F(PrompterTest, PolicyAnswersKnownIdsAndRecordsEveryQuestion) {
    auto policy = std::make_shared<PolicyPrompter>();
    EXPECT_TRUE(policy->Set("Overwrite-File = overwrite-all"));
    EXPECT_TRUE(policy->Set("sync-keep-or-update=maybe"));
    EXPECT_FALSE(policy->Set("primary-key"));
    EXPECT_FALSE(policy->Set("=yes"));
    SetPrompter(policy);

    Answer a = Ask(Overwrite());
    EXPECT_EQ(a.value, "overwrite-all");
    EXPECT_FALSE(a.byDefault);
    Answer b = Ask(YesNo("language-fallback"));
    EXPECT_TRUE(b.Is("no"));
    EXPECT_TRUE(b.byDefault);
    // An answer the question does not offer takes the default and says so.
    Answer c = Ask(YesNo("sync-keep-or-update", Buttons::YesNoCancel));
    EXPECT_TRUE(c.Is("cancel"));
    EXPECT_TRUE(c.byDefault);
    EXPECT_NE(events.str().find("'maybe' is no answer to the question 'sync-keep-or-update'"), std::string::npos);

    ASSERT_EQ(policy->Asked().size(), 3u);
    EXPECT_EQ(policy->Asked()[1].answer, "no");
    EXPECT_TRUE(policy->Asked()[2].byDefault);
}

TEST_F(PrompterTest, AnswersFileGivesTextsEveryTimeAndListsInOrder) {
    test::TempDir dir;
    test::WriteFile(dir / "answers.json", R"({"overwrite-file": "skip", "language-fallback": ["no", "yes"]})");
    AnswersFilePrompter prompter;
    ASSERT_TRUE(prompter.Load(dir / "answers.json")) << prompter.LastError();

    const Question fallback = YesNo("language-fallback");
    EXPECT_EQ(prompter.Ask(fallback).value, "no");
    EXPECT_EQ(prompter.Ask(fallback).value, "yes");
    Answer third = prompter.Ask(fallback);
    EXPECT_EQ(third.value, "no");
    EXPECT_TRUE(third.byDefault);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(prompter.Ask(Overwrite()).value, "skip");
    EXPECT_EQ(prompter.Asked().size(), 6u);
}

TEST_F(PrompterTest, BadAnswersFilesNameTheirPath) {
    test::TempDir dir;
    const std::pair<std::string, std::string_view> cases[] = {
        {"{not json", "is not a JSON object of answers"},
        {R"(["yes"])", "is not a JSON object of answers"},
        {R"({"overwrite-file": 1})", "the answer to 'overwrite-file' must be a text or a list of texts"},
        {R"({"overwrite-file": ["yes", true]})", "must be a text or a list of texts"},
    };
    for (const auto& [content, error] : cases) {
        std::string path = dir / "answers.json";
        test::WriteFile(path, content);
        AnswersFilePrompter prompter;
        EXPECT_FALSE(prompter.Load(path)) << content;
        EXPECT_NE(prompter.LastError().find("'" + path + "'"), std::string::npos) << prompter.LastError();
        EXPECT_NE(prompter.LastError().find(error), std::string::npos) << prompter.LastError();
        EXPECT_EQ(prompter.Ask(Overwrite()).value, "skip");
    }
    AnswersFilePrompter prompter;
    EXPECT_FALSE(prompter.Load(dir / "missing.json"));
    EXPECT_EQ(prompter.LastError(), "Answers file '" + (dir / "missing.json") + "' cannot be read.");
}

TEST_F(PrompterTest, TerminalRepeatsOnBadInputAndDefaultsOnEnd) {
    std::istringstream in("maybe\n4\n");
    std::ostringstream out;
    TerminalPrompter terminal(in, out);
    Answer a = terminal.Ask(Overwrite());
    EXPECT_EQ(a.value, "overwrite-all");
    EXPECT_FALSE(a.byDefault);
    EXPECT_NE(out.str().find("Velmora: File /tmp/x already exists!"), std::string::npos);
    EXPECT_NE(out.str().find("1) Overwrite / 2) Skip / 3) Cancel"), std::string::npos);
    EXPECT_NE(out.str().find("Please answer one of:"), std::string::npos);

    Answer atEnd = terminal.Ask(YesNo("q"));
    EXPECT_EQ(atEnd.value, "no");
    EXPECT_TRUE(atEnd.byDefault);

    std::istringstream empty("\n");
    TerminalPrompter enter(empty, out);
    EXPECT_TRUE(enter.Ask(YesNo("q", Buttons::YesNoCancel)).Is("cancel"));
}

TEST_F(PrompterTest, MessagesNeverBlockAndAreRecorded) {
    auto quiet = std::make_shared<NonInteractivePrompter>();
    SetPrompter(quiet);
    ShowMessage("Incorrect table sequence for table: orders. Reorder from 0 to 1.");
    ASSERT_EQ(quiet->Shown().size(), 1u);
    EXPECT_EQ(quiet->Shown()[0].title, "Velmora");
    EXPECT_EQ(quiet->Shown()[0].kind, MessageKind::Warning);
    auto event = nlohmann::json::parse(events.str());
    EXPECT_EQ(event["event"], "message");
    EXPECT_EQ(event["text"], "Incorrect table sequence for table: orders. Reorder from 0 to 1.");
}

}  // namespace
}  // namespace velmora
