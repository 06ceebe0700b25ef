#include "platform/script_engine.h"

#include <js/CompilationAndEvaluation.h>
#include <js/PropertyAndElement.h>
#include <js/PropertyDescriptor.h>
#include <js/SourceText.h>
#include <jsfriendapi.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <tuple>

#include "platform/script_context.h"
#include "platform/script_errors.h"
#include "platform/script_global.h"
#include "platform/script_natives.h"
#include "platform/script_values.h"
#include "support/text.h"

namespace velmora {

using namespace jsengine;

namespace {

ScriptError Unavailable() { return PlainError("The script engine is not available"); }

// Calls `visit(name, function)` for each own enumerable property of the global holding a
// function: the script's procedures.
template <class Visit>
void ForEachGlobalFunction(JSContext* cx, JS::HandleObject global, Visit&& visit) {
    JS::Rooted<JS::IdVector> ids(cx, JS::IdVector(cx));
    if (!JS_Enumerate(cx, global, &ids)) {
        JS_ClearPendingException(cx);
        return;
    }
    JS::RootedId id(cx);
    JS::Rooted<mozilla::Maybe<JS::PropertyDescriptor>> descriptor(cx);
    JS::RootedString name(cx);
    for (std::size_t i = 0; i < ids.length(); ++i) {
        id = ids[i];
        if (!id.isString()) continue;
        if (!JS_GetOwnPropertyDescriptorById(cx, global, id, &descriptor)) {
            JS_ClearPendingException(cx);
            continue;
        }
        if (descriptor.isNothing() || !descriptor->isDataDescriptor()) continue;
        const JS::Value value = descriptor->value();
        if (!value.isObject() || !JS_ObjectIsFunction(&value.toObject())) continue;
        name = id.toString();
        JS::RootedObject function(cx, &value.toObject());
        visit(ToUtf8(cx, name), function);
    }
}

// Gives functions not seen before the next batch number, in property order.
void RecordDefinitions(JSContext* cx, JS::HandleObject global, GlobalState& state) {
    const std::uint32_t batch = state.batches++;
    std::uint32_t order = 0;
    ForEachGlobalFunction(cx, global, [&](std::string name, JS::HandleObject) {
        state.definitions.try_emplace(std::move(name), GlobalState::Definition{batch, order++});
    });
}

std::uint32_t DefinitionLine(JSContext* cx, JS::HandleObject function) {
    JS::RootedFunction fun(cx, JS_GetObjectFunction(function));
    JSScript* script = fun ? JS_GetFunctionScript(cx, fun) : nullptr;
    if (!script) {
        JS_ClearPendingException(cx);
        return std::numeric_limits<std::uint32_t>::max();
    }
    return JS_GetScriptBaseLineNumber(cx, script);
}

}  // namespace

struct ScriptEngine::Impl {
    JSContext* cx = nullptr;
    ScriptClassResolver resolver;
    std::unique_ptr<JS::PersistentRootedObject> global;
    ScriptError lastError;
    std::int32_t timeout = 0;

    explicit Impl(ScriptClassResolver r) : cx(AcquireContext()), resolver(std::move(r)) {
        if (!cx) return;
        RetainContext();
        CreateGlobal();
    }

    ~Impl() {
        DropGlobal();
        if (cx) ReleaseContext();
    }

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void CreateGlobal() {
        JS::RootedObject created(cx, NewGlobal(cx, resolver));
        if (!created) {
            JS_ClearPendingException(cx);
            return;
        }
        global = std::make_unique<JS::PersistentRootedObject>(cx, created);
    }

    // A context shut down at exit has already unrooted the global.
    bool Usable() const { return global && ContextAlive(); }

    void DropGlobal() {
        if (!Usable()) {
            global.reset();
            return;
        }
        // Native objects go now rather than at some later collection; not while a script runs,
        // as a native member in progress may be using one.
        if (GlobalState* state = StateOf(*global); state && !ExecutionActive())
            ReleaseWrappers(*state);
        global.reset();
    }

    bool Fail(ScriptError error) {
        lastError = std::move(error);
        return false;
    }

    // After a failed call: the time-out, or the pending exception.
    bool FailCall(const ExecutionGuard& guard, const GlobalState& state, bool compiling) {
        if (guard.TimedOut()) {
            JS_ClearPendingException(cx);
            return Fail(TimeoutError());
        }
        return Fail(TakeScriptError(cx, compiling, state.sources));
    }

    bool Execute(std::string_view code, std::string_view fileName, Variant* result) {
        lastError = {};
        if (!Usable()) return Fail(Unavailable());
        // The global of this call, even if a native member resets the engine meanwhile.
        JS::RootedObject self(cx, *global);
        JSAutoRealm realm(cx, self);
        GlobalState& state = *StateOf(self);
        const std::string name(fileName);
        state.sources[name] = std::string(code);
        ExecutionGuard guard(timeout);
        JS::CompileOptions options(cx);
        options.setFileAndLine(name.c_str(), 1);
        JS::SourceText<mozilla::Utf8Unit> source;
        if (!source.init(cx, code.empty() ? "" : code.data(), code.size(),
                         JS::SourceOwnership::Borrowed))
            return FailCall(guard, state, false);
        JS::RootedScript script(cx, JS::Compile(cx, options, source));
        if (!script) return FailCall(guard, state, true);
        JS::RootedValue value(cx);
        const bool ok = JS_ExecuteScript(cx, script, &value);
        // Even a failed run may have defined functions before it stopped.
        RecordDefinitions(cx, self, state);
        if (!ok) return FailCall(guard, state, false);
        if (result) *result = FromScript(cx, value);
        return true;
    }
};

ScriptEngine::ScriptEngine(ScriptClassResolver resolver)
    : impl_(std::make_unique<Impl>(std::move(resolver))) {}

ScriptEngine::~ScriptEngine() = default;

bool ScriptEngine::Valid() const { return impl_->Usable(); }

void ScriptEngine::Reset() {
    impl_->lastError = {};
    if (!impl_->cx || !ContextAlive()) return;
    impl_->DropGlobal();
    impl_->CreateGlobal();
}

void ScriptEngine::AddObject(std::string_view name, const Variant& value) {
    Impl& impl = *impl_;
    if (!impl.Usable()) return;
    JSContext* cx = impl.cx;
    JSAutoRealm realm(cx, *impl.global);
    JS::RootedId id(cx);
    JS::RootedValue converted(cx);
    if (!ToId(cx, name, &id) || !ToScript(cx, value, &converted) ||
        !JS_DefinePropertyById(cx, *impl.global, id, converted, JSPROP_ENUMERATE))
        impl.Fail(TakeScriptError(cx, false, {}));
}

void ScriptEngine::AddFunction(std::string_view name, NativeFunction function) {
    Impl& impl = *impl_;
    if (!impl.Usable()) return;
    JSAutoRealm realm(impl.cx, *impl.global);
    if (!DefineNativeFunction(impl.cx, *impl.global, name, std::move(function)))
        impl.Fail(TakeScriptError(impl.cx, false, {}));
}

void ScriptEngine::AddConstructor(std::string_view name, NativeConstructor create) {
    Impl& impl = *impl_;
    if (!impl.Usable()) return;
    JSAutoRealm realm(impl.cx, *impl.global);
    if (!DefineNativeConstructor(impl.cx, *impl.global, name, std::move(create)))
        impl.Fail(TakeScriptError(impl.cx, false, {}));
}

bool ScriptEngine::AddCode(std::string_view code, std::string_view fileName) {
    return impl_->Execute(code, fileName, nullptr);
}

bool ScriptEngine::Eval(std::string_view code, Variant& result, std::string_view fileName) {
    result = Variant();
    return impl_->Execute(code, fileName, &result);
}

std::vector<std::string> ScriptEngine::Procedures() const {
    Impl& impl = *impl_;
    if (!impl.Usable()) return {};
    JSContext* cx = impl.cx;
    JSAutoRealm realm(cx, *impl.global);
    GlobalState& state = *StateOf(*impl.global);
    // Functions created by calls since the last code batch count as a batch of their own.
    RecordDefinitions(cx, *impl.global, state);
    // Within a batch, declarations are created before var-assigned functions; the line of each
    // function restores the order in which the code defines them.
    using Key = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>;
    std::vector<std::pair<Key, std::string>> found;
    ForEachGlobalFunction(cx, *impl.global, [&](std::string name, JS::HandleObject function) {
        const GlobalState::Definition definition = state.definitions[name];
        found.emplace_back(Key{definition.batch, DefinitionLine(cx, function), definition.order},
                           std::move(name));
    });
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    names.reserve(found.size());
    for (auto& entry : found) names.push_back(std::move(entry.second));
    return names;
}

bool ScriptEngine::HasProcedure(std::string_view name, bool ignoreCase) const {
    Impl& impl = *impl_;
    if (!impl.Usable()) return false;
    JSAutoRealm realm(impl.cx, *impl.global);
    bool found = false;
    ForEachGlobalFunction(
        impl.cx, *impl.global, [&](const std::string& candidate, JS::HandleObject) {
            found = found || (ignoreCase ? EqualsNoCase(candidate, name) : candidate == name);
        });
    return found;
}

bool ScriptEngine::Run(std::string_view name, ScriptArgs args, Variant& result) {
    Impl& impl = *impl_;
    result = Variant();
    impl.lastError = {};
    if (!impl.Usable()) return impl.Fail(Unavailable());
    JSContext* cx = impl.cx;
    JS::RootedObject self(cx, *impl.global);
    JSAutoRealm realm(cx, self);
    const GlobalState& state = *StateOf(self);
    ExecutionGuard guard(impl.timeout);
    JS::RootedId id(cx);
    JS::RootedValue function(cx);
    if (!ToId(cx, name, &id) || !JS_GetPropertyById(cx, self, id, &function))
        return impl.FailCall(guard, state, false);
    if (!function.isObject() || !JS::IsCallable(&function.toObject()))
        return impl.Fail(PlainError(std::string(name).append(" is not a procedure of the script")));
    JS::RootedValueVector values(cx);
    JS::RootedValue value(cx);
    for (const Variant& arg : args)
        if (!ToScript(cx, arg, &value) || !values.append(value))
            return impl.FailCall(guard, state, false);
    JS::RootedValue returned(cx);
    if (!JS_CallFunctionValue(cx, self, function, values, &returned))
        return impl.FailCall(guard, state, false);
    result = FromScript(cx, returned);
    return true;
}

void ScriptEngine::SetTimeout(std::int32_t milliseconds) { impl_->timeout = milliseconds; }

const ScriptError& ScriptEngine::LastError() const { return impl_->lastError; }

}  // namespace velmora
