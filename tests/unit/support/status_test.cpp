#include "support/status.h"

#include <gtest/gtest.h>

#include <csignal>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "support/guid.h"

namespace velmora {
namespace {

// Records the calls it gets, one text per call.
class RecordingSink : public StatusSink {
public:
    std::vector<std::string> calls;
    void Show(int style, std::string_view message) override {
        calls.push_back("show " + std::to_string(style) + " " + std::string(message));
    }
    void SetInfo(std::string_view text) override { calls.push_back("info " + std::string(text)); }
    void SetProgress(double value) override { calls.push_back("progress " + std::to_string(static_cast<int>(value))); }
    void Close() override { calls.push_back("close"); }
    void BringToFront() override { calls.push_back("front"); }
    void Message(MessageKind, std::string_view, std::string_view text) override {
        calls.push_back("message " + std::string(text));
    }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class AGPStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetStatusSink(sink);
        ResetCancel();
    }
    void TearDown() override { SetStatusSink(nullptr); }

    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
    AGPStatus::Clock::time_point now{};
};

TEST_F(AGPStatusTest, CallsNeedAnOpenWindow) {
    AGPStatus status([this] { return now; });
    status.DispStatus("ignored");
    status.SetStatus(10);
    status.BringStatusToFront();
    status.CloseStatus();
    EXPECT_TRUE(sink->calls.empty());
    EXPECT_EQ(status.Handle(), 0);

    status.ShowStatus2(0, StatusLine("Loading Database..."));
    EXPECT_NE(status.Handle(), 0);
    status.DispStatus("Please wait...");
    status.SetStatus(40);
    status.BringStatusToFront();
    status.CloseStatus();
    EXPECT_EQ(status.Handle(), 0);
    EXPECT_EQ(sink->calls, (std::vector<std::string>{"show 2 Velmora - Loading Database...",
                                                     "info Please wait...", "progress 40", "front",
                                                     "close"}));
}

TEST_F(AGPStatusTest, RefreshResendsAfterAWholeSecond) {
    AGPStatus status([this] { return now; });
    status.ShowStatus3(0, "Generating");
    status.SetStatus(25);
    now += std::chrono::milliseconds(999);
    status.Refresh();
    EXPECT_EQ(sink->calls.back(), "progress 25");
    EXPECT_EQ(sink->calls.size(), 2u);
    now += std::chrono::milliseconds(1);
    status.Refresh();
    EXPECT_EQ(sink->calls.size(), 3u);
    status.Refresh();  // the resend counts as a new setting
    EXPECT_EQ(sink->calls.size(), 3u);
}

TEST_F(AGPStatusTest, DestructionClosesAndReopeningClosesFirst) {
    {
        AGPStatus status;
        status.ShowStatus(0, "a");
        status.ShowStatus3(0, "b");
    }
    EXPECT_EQ(sink->calls, (std::vector<std::string>{"show 1 a", "close", "show 3 b", "close"}));
}

TEST(CancelHandler, FirstInterruptCancelsSecondEndsTheProcess) {
    EXPECT_EXIT(
        {
            ResetCancel();
            InstallCancelHandler();
            std::raise(SIGINT);
            if (!CancelRequested()) std::_Exit(1);
            std::raise(SIGINT);
            std::_Exit(2);
        },
        ::testing::ExitedWithCode(130), "");
}

TEST(StatusSinks, JsonEventsAreOneObjectPerLine) {
    std::ostringstream out;
    JsonStatusSink sink(out);
    sink.Show(3, "Velmora - Generating");
    sink.SetInfo("Loading \"orders\" \xFF");  // invalid UTF-8 must not throw
    sink.SetProgress(10.2);
    sink.SetProgress(10.4);  // same whole percent: no event
    sink.SetProgress(250);
    sink.Message(MessageKind::Warning, "Velmora", "Extension disabled.");
    sink.BringToFront();
    sink.Close();

    auto lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 7u);
    std::vector<nlohmann::json> events;
    for (const auto& line : lines) events.push_back(nlohmann::json::parse(line));
    nlohmann::json show{{"event", "show"}, {"style", 3}, {"message", "Velmora - Generating"}};
    EXPECT_EQ(events[0], show);
    EXPECT_EQ(events[1]["event"], "info");
    EXPECT_EQ(events[2], (nlohmann::json{{"event", "progress"}, {"value", 10}}));
    EXPECT_EQ(events[3]["value"], 100);
    EXPECT_EQ(events[4]["kind"], "warning");
    EXPECT_EQ(events[4]["text"], "Extension disabled.");
    EXPECT_EQ(events[5]["event"], "front");
    EXPECT_EQ(events[6]["event"], "close");
}

TEST(StatusSinks, PlainLinesStaySmall) {
    for (bool verbose : {false, true}) {
        std::ostringstream out;
        LineStatusSink sink(out, verbose);
        sink.Show(3, "Velmora - Generating");
        for (int i = 0; i <= 100; ++i) {
            sink.SetInfo(i < 50 ? "first half" : "second half");
            sink.SetProgress(i);
        }
        sink.Message(MessageKind::Warning, "Velmora", "careful");
        std::vector<std::string> expected{"Velmora - Generating"};
        if (verbose) expected.push_back("first half");
        for (int p = 10; p <= 40; p += 10) expected.push_back(std::to_string(p) + "%");
        if (verbose) expected.push_back("second half");
        for (int p = 50; p <= 100; p += 10) expected.push_back(std::to_string(p) + "%");
        expected.push_back("warning: careful");
        EXPECT_EQ(Lines(out.str()), expected) << "verbose " << verbose;
    }
}

TEST(StatusSinks, TerminalRedrawsInPlaceWithinTheWidth) {
    std::ostringstream out;
    TerminalStatusSink sink(out, 40);
    sink.Show(3, "Velmora - Generating");
    sink.SetProgress(50);
    sink.SetProgress(50.1);  // nothing new to draw
    sink.SetInfo("a very long information line that does not fit");
    sink.Close();
    std::string text = out.str();
    EXPECT_EQ(text.find("Velmora - Generating\n"), 0u);
    EXPECT_NE(text.find("\r[##########..........]  50% \x1b[K"), std::string::npos);
    EXPECT_EQ(text.find("50% \x1b[K"), text.rfind("50% \x1b[K"));
    // 39 columns: bar, percent, and the start of the text.
    EXPECT_NE(text.find("\r[##########..........]  50% a very long\x1b[K"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\x1b[K"));
}

TEST(Guid, RegistryFormVersion4AndUnique) {
    const std::regex form(
        "\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        std::string id = GetGUID();
        ASSERT_TRUE(std::regex_match(id, form)) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

}  // namespace
}  // namespace velmora
