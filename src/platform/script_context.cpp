#include "platform/script_context.h"

#include <js/Initialization.h>
#include <js/Interrupt.h>
#include <js/Stack.h>
#include <jsapi.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/script_engine.h"

namespace velmora::jsengine {
namespace {

using Clock = std::chrono::steady_clock;

// Template scripts build large object graphs; the default heap limit is far too small.
constexpr std::uint32_t kHeapBytes = 1u << 30;
// How often an expired call is asked again to stop: a request consumed by a nested call must not
// let the outer one run on.
constexpr std::chrono::milliseconds kRepeatInterval{20};
constexpr std::size_t kMaxStackQuota = 4u << 20;

class Watchdog {
public:
    explicit Watchdog(JSContext* cx) : cx_(cx), thread_([this] { Loop(); }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // The earliest deadline of the calls running now; none: nothing to watch. A deadline that has
    // passed already (an outer call's, when an inner one ends) stops the script at its next check.
    // The thread is woken only when it must act sooner than it planned to wake anyway; a later
    // deadline or none is found when it wakes, so short calls cost no thread switch.
    void Watch(std::optional<Clock::time_point> deadline) {
        bool sooner = false;
        {
            std::lock_guard lock(mutex_);
            armed_ = deadline.has_value();
            expired_ = armed_ && Clock::now() >= *deadline;
            if (armed_) deadline_ = *deadline;
            sooner = armed_ && deadline_ < sleepingUntil_;
        }
        if (sooner) wake_.notify_all();
    }

    bool Expired() const { return expired_.load(std::memory_order_acquire); }

private:
    void Loop() {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            Clock::time_point now = Clock::now();
            if (!armed_) {
                sleepingUntil_ = Clock::time_point::max();
                wake_.wait(lock);
                continue;
            }
            if (!expired_ && now < deadline_) {
                sleepingUntil_ = deadline_;
                wake_.wait_until(lock, deadline_);
                continue;
            }
            expired_ = true;
            JS_RequestInterruptCallback(cx_);
            sleepingUntil_ = now + kRepeatInterval;
            wake_.wait_until(lock, sleepingUntil_);
        }
    }

    JSContext* cx_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool armed_ = false;
    Clock::time_point deadline_;
    Clock::time_point sleepingUntil_ = Clock::time_point::max();
    std::atomic<bool> expired_{false};
    std::thread thread_;  // last: it starts running when constructed
};

enum class Phase { Idle, Running, Failed, ShutDown };

struct ContextState {
    Phase phase = Phase::Idle;
    JSContext* cx = nullptr;
    std::thread::id owner;
    std::unique_ptr<Watchdog> watchdog;
    int users = 0;
    int depth = 0;
    // The deadlines of the calls running now, outermost first; calls without a limit have none.
    std::vector<std::optional<Clock::time_point>> deadlines;
};

void WatchEarliestDeadline(ContextState& state) {
    if (!state.watchdog) return;
    std::optional<Clock::time_point> earliest;
    for (const auto& deadline : state.deadlines)
        if (deadline && (!earliest || *deadline < *earliest)) earliest = deadline;
    state.watchdog->Watch(earliest);
}

// Never destroyed: engines in static storage may be destroyed after any static of this file.
ContextState& State() {
    static ContextState& state = *new ContextState();
    return state;
}

bool OnInterrupt(JSContext*) {
    const auto& watchdog = State().watchdog;
    return !(watchdog && watchdog->Expired());
}

// SpiderMonkey has no stack limit of its own: without one, runaway recursion would overflow the
// thread's stack instead of raising "too much recursion".
std::size_t StackQuota() {
    std::size_t size = 0;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstacksize(&attr, &size);
        pthread_attr_destroy(&attr);
    }
    if (size == 0) size = 2 * kMaxStackQuota;
    return std::min(size / 2, kMaxStackQuota);
}

// With engines alive (or on a foreign thread) the context normally stays. At exit it goes even
// with engines alive: a process that ends with the engine running crashes in the engine's own
// static destructors.
void ShutDown(bool evenWithEngines) {
    ContextState& state = State();
    if (state.phase != Phase::Running || state.depth > 0 ||
        state.owner != std::this_thread::get_id() || (state.users > 0 && !evenWithEngines))
        return;
    state.watchdog.reset();
    JS_DestroyContext(state.cx);
    state.cx = nullptr;
    JS_ShutDown();
    state.phase = Phase::ShutDown;
}

void ShutDownAtExit() { ShutDown(true); }

}  // namespace

JSContext* AcquireContext() {
    ContextState& state = State();
    // The context belongs to the thread that created it.
    if (state.phase == Phase::Running)
        return state.owner == std::this_thread::get_id() ? state.cx : nullptr;
    if (state.phase != Phase::Idle) return nullptr;
    state.phase = Phase::Failed;
    if (!JS_Init()) return nullptr;
    JSContext* cx = JS_NewContext(kHeapBytes);
    if (!cx) {
        JS_ShutDown();
        return nullptr;
    }
    JS_SetNativeStackQuota(cx, StackQuota());
    if (!JS::InitSelfHostedCode(cx) || !JS_AddInterruptCallback(cx, OnInterrupt)) {
        JS_DestroyContext(cx);
        JS_ShutDown();
        return nullptr;
    }
    state.watchdog = std::make_unique<Watchdog>(cx);
    state.cx = cx;
    state.owner = std::this_thread::get_id();
    state.phase = Phase::Running;
    // Hosts that forget the shutdown still exit cleanly once their engines are gone.
    std::atexit(ShutDownAtExit);
    return cx;
}

void RetainContext() { ++State().users; }

void ReleaseContext() { --State().users; }

bool ContextAlive() { return State().phase == Phase::Running; }

bool ExecutionActive() { return State().depth > 0; }

// Each call, nested ones too, keeps its own limit: a native that calls back into an engine (a
// template running another template) can be stopped without stopping its caller.
ExecutionGuard::ExecutionGuard(std::int32_t milliseconds) {
    ContextState& state = State();
    ++state.depth;
    std::optional<Clock::time_point> deadline;
    if (milliseconds > 0) deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    state.deadlines.push_back(deadline);
    WatchEarliestDeadline(state);
}

ExecutionGuard::~ExecutionGuard() {
    ContextState& state = State();
    --state.depth;
    state.deadlines.pop_back();
    WatchEarliestDeadline(state);
}

bool ExecutionGuard::TimedOut() const {
    const auto& watchdog = State().watchdog;
    return watchdog && watchdog->Expired();
}

}  // namespace velmora::jsengine

namespace velmora {

void ShutDownScriptEngines() { jsengine::ShutDown(false); }

}  // namespace velmora
