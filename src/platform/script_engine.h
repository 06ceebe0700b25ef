// Script engines: JavaScript (the engine's JScript role) on an embedded JIT engine.
//
// One engine context per process serves every ScriptEngine; each ScriptEngine is its own global
// object, so code and published objects of one never reach another. Native objects are published
// through ScriptClass descriptions (data: member names with getters, setters and calls), which
// the layers above register for their classes; the engine knows nothing of them otherwise.
//
// Values cross as Variants: empty <-> undefined, null <-> null, Boolean, numbers (an integral
// number in 32-bit range arrives as Long, any other as Double), dates <-> Date, text <-> string,
// arrays <-> arrays, native objects <-> one wrapper per object per global. Nothing here throws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/variant.h"

namespace velmora {

using ScriptArgs = std::span<const Variant>;

// Thrown by native members to raise a script error (a catchable JavaScript Error whose message
// is the text).
class ScriptThrow : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ScriptMember {
    enum class Kind : std::uint8_t { Property, Method };
    std::string name;
    Kind kind = Kind::Property;
    // Property: `get` always; without `set` an assignment raises "<name> is read-only".
    std::function<Variant(AutomationObject&)> get;
    std::function<void(AutomationObject&, const Variant&)> set;
    // Method.
    std::function<Variant(AutomationObject&, ScriptArgs)> call;
};

// How scripts see one native class. Wrappers of its objects refuse properties it does not
// declare (a misspelt property name raises an error instead of creating a script property).
struct ScriptClass {
    std::string name;
    std::vector<ScriptMember> members;
    // For collections: the items, for for..of and Enumerator. Empty for other classes.
    std::function<std::vector<Variant>(AutomationObject&)> enumerate;
};

// Finds the description of an object's class; nullptr for objects scripts may not see (they
// arrive in scripts as null). Engines keep pointers to the descriptions: they must outlive every
// engine (static tables do).
using ScriptClassResolver = std::function<const ScriptClass*(const AutomationObject&)>;

// A script error as the engine reports it. Line and column are 1-based (0: unknown); `text` is
// the offending source line.
struct ScriptError {
    std::int32_t number = 0;
    std::string source;
    std::string description;
    std::string text;
    std::int32_t line = 0;
    std::int32_t column = 0;
    std::string fileName;
    bool timedOut = false;
};

// Error numbers the engine reports.
inline constexpr std::int32_t kScriptSyntaxError = static_cast<std::int32_t>(0x800A03EA);
inline constexpr std::int32_t kScriptRuntimeError = static_cast<std::int32_t>(0x800A138F);
inline constexpr std::int32_t kScriptTimeoutError = static_cast<std::int32_t>(0x800A1393);

using NativeFunction = std::function<Variant(ScriptArgs)>;
using NativeConstructor = std::function<ObjectRef(ScriptArgs)>;

// Engines belong to the thread that created the first one; on another thread Valid() is false.
class ScriptEngine {
public:
    // A new global with the standard library and a JScript-style Enumerator (atEnd, moveNext,
    // item, moveFirst over arrays and enumerable native objects). `Valid()` is false when the
    // engine could not be created.
    explicit ScriptEngine(ScriptClassResolver resolver);
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    bool Valid() const;
    // Drops all code and published objects: a fresh global.
    void Reset();

    // Publishes a value (a native object, an array, ...) as a global variable.
    void AddObject(std::string_view name, const Variant& value);
    void AddFunction(std::string_view name, NativeFunction function);
    // A global constructor: `new name(args)` wraps what `create` returns.
    void AddConstructor(std::string_view name, NativeConstructor create);

    // Compiles and runs `code` at the top level. False with LastError() on a syntax or run-time
    // error. `fileName` names the code in reports.
    bool AddCode(std::string_view code, std::string_view fileName = {});
    // Evaluates an expression or statements and gives the completion value.
    bool Eval(std::string_view code, Variant& result, std::string_view fileName = {});
    // The functions of the global's own properties (top-level function declarations and vars
    // holding functions), in definition order.
    std::vector<std::string> Procedures() const;
    bool HasProcedure(std::string_view name, bool ignoreCase) const;
    // Calls the global function `name`. False with LastError() when it does not exist, raises an
    // error, or runs past the time-out.
    bool Run(std::string_view name, ScriptArgs args, Variant& result);

    // Time limit of each AddCode, Eval and Run, in milliseconds; 0 or less: none.
    void SetTimeout(std::int32_t milliseconds);
    const ScriptError& LastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Releases the process's engine context; engines must all be gone and none may be created
// afterwards. Hosts that created engines call it once before exit.
void ShutDownScriptEngines();

}  // namespace velmora
