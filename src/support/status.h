// Progress display of long operations (loading a database, synchronising, generating) and the
// user's cancel request. A StatusSink draws the "status window": a progress bar on a terminal,
// plain lines in a log, or JSON events for a host program. AGPStatus is the engine's status
// object on top of the process-wide current sink.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

enum class MessageKind { Info, Warning, Error };

// "info", "warning", "error".
std::string_view MessageKindName(MessageKind kind);

class StatusSink {
public:
    virtual ~StatusSink() = default;
    // Opens the status window with its caption. Style 1 and 2 show a caption and an information
    // line, style 3 also a progress bar.
    virtual void Show(int style, std::string_view message) = 0;
    virtual void SetInfo(std::string_view text) = 0;
    // Percent done, 0 to 100.
    virtual void SetProgress(double value) = 0;
    virtual void Close() = 0;
    virtual void BringToFront() = 0;
    // A message box that needs no answer (warnings), shown without waiting for the user.
    virtual void Message(MessageKind kind, std::string_view title, std::string_view text) = 0;
};

// A progress bar with the information line, redrawn in place on a terminal.
class TerminalStatusSink : public StatusSink {
public:
    // width 0: the terminal's width (stderr), else $COLUMNS, else 80.
    explicit TerminalStatusSink(std::ostream& out, int width = 0);
    void Show(int style, std::string_view message) override;
    void SetInfo(std::string_view text) override;
    void SetProgress(double value) override;
    void Close() override;
    void BringToFront() override {}
    void Message(MessageKind kind, std::string_view title, std::string_view text) override;

private:
    void Redraw();
    void Erase();

    std::ostream& out_;
    int width_;
    bool open_ = false;
    bool withBar_ = false;
    std::string info_;
    int percent_ = 0;
    std::string drawn_;
};

// One line per caption and, when verbose, per change of the information line (the table or page
// at hand); progress only when it enters another tenth (10%, 20%, ...), so that logs stay small.
class LineStatusSink : public StatusSink {
public:
    explicit LineStatusSink(std::ostream& out, bool verbose = false) : out_(out), verbose_(verbose) {}
    void Show(int style, std::string_view message) override;
    void SetInfo(std::string_view text) override;
    void SetProgress(double value) override;
    void Close() override;
    void BringToFront() override {}
    void Message(MessageKind kind, std::string_view title, std::string_view text) override;

private:
    std::ostream& out_;
    bool verbose_;
    std::string info_;
    int printed_ = 0;
};

// One JSON object per line: {"event":"show","style":2,"message":...}, {"event":"info","text":...},
// {"event":"progress","value":42} (on each change of the whole percent), {"event":"close"},
// {"event":"front"}, {"event":"message","kind":"warning","title":...,"text":...}.
class JsonStatusSink : public StatusSink {
public:
    explicit JsonStatusSink(std::ostream& out) : out_(out) {}
    void Show(int style, std::string_view message) override;
    void SetInfo(std::string_view text) override;
    void SetProgress(double value) override;
    void Close() override;
    void BringToFront() override;
    void Message(MessageKind kind, std::string_view title, std::string_view text) override;

private:
    std::ostream& out_;
    int sent_ = -1;
};

class NullStatusSink : public StatusSink {
public:
    void Show(int, std::string_view) override {}
    void SetInfo(std::string_view) override {}
    void SetProgress(double) override {}
    void Close() override {}
    void BringToFront() override {}
    void Message(MessageKind, std::string_view, std::string_view) override {}
};

// The sink every status object uses: a terminal sink when stderr is a terminal, else plain
// lines on stderr, until a host sets another. Setting nullptr goes back to that default.
std::shared_ptr<StatusSink> CurrentStatusSink();
void SetStatusSink(std::shared_ptr<StatusSink> sink);

// Product name + " - " + step text, the form of every status caption.
std::string StatusLine(std::string_view step);

// Cancellation. InstallCancelHandler makes the first Ctrl-C (SIGINT) a cancel request that
// long operations see at their next poll; a second one ends the process with exit code 130.
// The request stays until ResetCancel, which a host calls before starting a new operation.
void InstallCancelHandler();
void RequestCancel();
void ResetCancel();
bool CancelRequested();

// The engine's status object. Calls other than ShowStatus*, StatusIsCancelled and GetGUID do
// nothing while no status window is open.
class AGPStatus {
public:
    using Clock = std::chrono::steady_clock;

    AGPStatus();
    // For tests: the clock that Refresh's one-second rule reads.
    explicit AGPStatus(std::function<Clock::time_point()> now);
    ~AGPStatus();
    AGPStatus(const AGPStatus&) = delete;
    AGPStatus& operator=(const AGPStatus&) = delete;

    void DispStatus(std::string_view text);
    // lhWnd is the host window the status window belongs to.
    void ShowStatus(std::int32_t lhWnd, std::string_view msg);
    void ShowStatus2(std::int32_t lhWnd, std::string_view msg);
    void ShowStatus3(std::int32_t lhWnd, std::string_view msg);
    bool StatusIsCancelled() const;
    void CloseStatus();
    // Percent done. Remembered with the time of the call even when no window is open.
    void SetStatus(double val);
    // Sends the remembered value again when at least a second has passed since it was set, so
    // that a display stays alive through long steps.
    void Refresh();
    void BringStatusToFront();
    std::string GetGUID() const;

    // The open window's handle, 0 when none is open.
    std::int32_t Handle() const { return handle_; }

private:
    void Open(int style, std::string_view msg);

    std::function<Clock::time_point()> now_;
    std::shared_ptr<StatusSink> sink_;
    std::int32_t handle_ = 0;
    double lastValue_ = 0;
    Clock::time_point lastTime_{};
};

}  // namespace velmora
