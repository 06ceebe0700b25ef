// The process's one engine context and the guard that puts a time limit on script calls.
// Internal to the script engine.
#pragma once

#include <cstdint>

struct JSContext;

namespace velmora::jsengine {

// The context, created on first use on the calling thread; nullptr when it cannot be created or
// has been shut down.
JSContext* AcquireContext();

// Engines count themselves as users; the context is only shut down when none remain.
void RetainContext();
void ReleaseContext();

// False once the context has been shut down; engines left over must then not touch it.
bool ContextAlive();

// True while any script call is running (a native member may be re-entering the engine).
bool ExecutionActive();

// Arms the time limit for a script call. A call made from inside another (a native member calling
// back into an engine) is stopped at the earlier of its own limit and its caller's.
class ExecutionGuard {
public:
    explicit ExecutionGuard(std::int32_t milliseconds);
    ~ExecutionGuard();
    ExecutionGuard(const ExecutionGuard&) = delete;
    ExecutionGuard& operator=(const ExecutionGuard&) = delete;

    // True once the limit has run out; the engine then stops the script at its next check.
    bool TimedOut() const;
};

}  // namespace velmora::jsengine
