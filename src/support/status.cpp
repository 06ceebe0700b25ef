#include "support/status.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fmt/format.h>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sys/ioctl.h>
#include <unistd.h>

#include "support/engine_state.h"
#include "support/guid.h"

namespace velmora {
namespace {

constexpr int kBarWidth = 20;
constexpr int kLineStep = 10;

int Percent(double value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(std::lround(std::clamp(value, 0.0, 100.0)));
}

int TerminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    if (const char* columns = std::getenv("COLUMNS")) {
        int width = std::atoi(columns);
        if (width > 0) return width;
    }
    return 80;
}

// The longest prefix of a UTF-8 text that shows at most `columns` characters.
std::string_view FitColumns(std::string_view text, std::size_t columns) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (count++ == columns) return text.substr(0, i);
    }
    return text;
}

void EmitJson(std::ostream& out, const nlohmann::json& event) {
    out << event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    out.flush();
}

std::mutex sinkMutex;
std::shared_ptr<StatusSink>& SinkSlot() {
    static std::shared_ptr<StatusSink> sink;
    return sink;
}

std::shared_ptr<StatusSink> MakeDefaultSink() {
    if (::isatty(STDERR_FILENO)) return std::make_shared<TerminalStatusSink>(std::cerr);
    return std::make_shared<LineStatusSink>(std::cerr);
}

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the signal handler needs lock-free atomics");
std::atomic<bool> cancelRequested{false};
std::atomic<int> interrupts{0};

extern "C" void OnInterrupt(int) {
    if (interrupts.fetch_add(1) >= 1) ::_exit(130);
    cancelRequested.store(true);
}

std::atomic<std::int32_t> nextHandle{1};

}  // namespace

std::string_view MessageKindName(MessageKind kind) {
    switch (kind) {
        case MessageKind::Info: return "info";
        case MessageKind::Warning: return "warning";
        case MessageKind::Error: return "error";
    }
    return "info";
}

// --- terminal ---

TerminalStatusSink::TerminalStatusSink(std::ostream& out, int width)
    : out_(out), width_(width > 0 ? width : TerminalWidth()) {}

void TerminalStatusSink::Erase() {
    if (drawn_.empty()) return;
    out_ << "\r\x1b[K";
    drawn_.clear();
}

void TerminalStatusSink::Redraw() {
    if (!open_) return;
    std::string line;
    if (withBar_) {
        int filled = percent_ * kBarWidth / 100;
        line = fmt::format("[{}{}] {:3}% ", std::string(filled, '#'),
                           std::string(kBarWidth - filled, '.'), percent_);
    }
    line += info_;
    line = std::string(FitColumns(line, static_cast<std::size_t>(std::max(width_ - 1, 1))));
    if (line == drawn_) return;
    out_ << '\r' << line << "\x1b[K";
    out_.flush();
    drawn_ = std::move(line);
}

void TerminalStatusSink::Show(int style, std::string_view message) {
    Erase();
    out_ << message << '\n';
    open_ = true;
    withBar_ = style == 3;
    info_.clear();
    percent_ = 0;
    Redraw();
    out_.flush();
}

void TerminalStatusSink::SetInfo(std::string_view text) {
    info_ = std::string(text);
    Redraw();
}

void TerminalStatusSink::SetProgress(double value) {
    percent_ = Percent(value);
    Redraw();
}

void TerminalStatusSink::Close() {
    Erase();
    out_.flush();
    open_ = false;
}

void TerminalStatusSink::Message(MessageKind kind, std::string_view, std::string_view text) {
    Erase();
    out_ << MessageKindName(kind) << ": " << text << '\n';
    Redraw();
    out_.flush();
}

// --- plain lines ---

void LineStatusSink::Show(int, std::string_view message) {
    out_ << message << '\n';
    info_.clear();
    printed_ = 0;
    out_.flush();
}

void LineStatusSink::SetInfo(std::string_view text) {
    if (!verbose_ || text == info_) return;
    info_ = std::string(text);
    out_ << info_ << '\n';
    out_.flush();
}

void LineStatusSink::SetProgress(double value) {
    int percent = Percent(value);
    if (percent / kLineStep == printed_ / kLineStep) return;
    printed_ = percent;
    out_ << percent << "%\n";
    out_.flush();
}

void LineStatusSink::Close() {
    info_.clear();
    printed_ = 0;
}

void LineStatusSink::Message(MessageKind kind, std::string_view, std::string_view text) {
    out_ << MessageKindName(kind) << ": " << text << '\n';
    out_.flush();
}

// --- JSON events ---

void JsonStatusSink::Show(int style, std::string_view message) {
    sent_ = -1;
    EmitJson(out_, {{"event", "show"}, {"style", style}, {"message", message}});
}

void JsonStatusSink::SetInfo(std::string_view text) {
    EmitJson(out_, {{"event", "info"}, {"text", text}});
}

void JsonStatusSink::SetProgress(double value) {
    int percent = Percent(value);
    if (percent == sent_) return;
    sent_ = percent;
    EmitJson(out_, {{"event", "progress"}, {"value", percent}});
}

void JsonStatusSink::Close() { EmitJson(out_, {{"event", "close"}}); }

void JsonStatusSink::BringToFront() { EmitJson(out_, {{"event", "front"}}); }

void JsonStatusSink::Message(MessageKind kind, std::string_view title, std::string_view text) {
    EmitJson(
        out_,
        {{"event", "message"}, {"kind", MessageKindName(kind)}, {"title", title}, {"text", text}});
}

// --- current sink, captions, cancellation ---

std::shared_ptr<StatusSink> CurrentStatusSink() {
    std::lock_guard lock(sinkMutex);
    auto& sink = SinkSlot();
    if (!sink) sink = MakeDefaultSink();
    return sink;
}

void SetStatusSink(std::shared_ptr<StatusSink> sink) {
    std::lock_guard lock(sinkMutex);
    SinkSlot() = std::move(sink);
}

std::string StatusLine(std::string_view step) { return fmt::format("{} - {}", kProductName, step); }

void InstallCancelHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
}

void RequestCancel() { cancelRequested.store(true); }

void ResetCancel() {
    cancelRequested.store(false);
    interrupts.store(0);
}

bool CancelRequested() { return cancelRequested.load(); }

// --- AGPStatus ---

AGPStatus::AGPStatus() : AGPStatus([] { return Clock::now(); }) {}

AGPStatus::AGPStatus(std::function<Clock::time_point()> now) : now_(std::move(now)) {}

AGPStatus::~AGPStatus() { CloseStatus(); }

void AGPStatus::Open(int style, std::string_view msg) {
    if (handle_ != 0) sink_->Close();
    sink_ = CurrentStatusSink();
    do {
        handle_ = nextHandle.fetch_add(1);
    } while (handle_ == 0);
    sink_->Show(style, msg);
}

void AGPStatus::DispStatus(std::string_view text) {
    if (handle_ != 0) sink_->SetInfo(text);
}

void AGPStatus::ShowStatus(std::int32_t, std::string_view msg) { Open(1, msg); }
void AGPStatus::ShowStatus2(std::int32_t, std::string_view msg) { Open(2, msg); }
void AGPStatus::ShowStatus3(std::int32_t, std::string_view msg) { Open(3, msg); }

bool AGPStatus::StatusIsCancelled() const { return CancelRequested(); }

void AGPStatus::CloseStatus() {
    if (handle_ == 0) return;
    sink_->Close();
    sink_.reset();
    handle_ = 0;
}

void AGPStatus::SetStatus(double val) {
    if (handle_ != 0) sink_->SetProgress(val);
    lastValue_ = val;
    lastTime_ = now_();
}

void AGPStatus::Refresh() {
    if (now_() - lastTime_ >= std::chrono::seconds(1)) SetStatus(lastValue_);
}

void AGPStatus::BringStatusToFront() {
    if (handle_ != 0) sink_->BringToFront();
}

std::string AGPStatus::GetGUID() const { return velmora::GetGUID(); }

}  // namespace velmora
