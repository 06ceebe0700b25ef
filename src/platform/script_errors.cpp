#include "platform/script_errors.h"

#include <js/Conversions.h>
#include <js/ErrorReport.h>
#include <js/Exception.h>
#include <jsapi.h>

#include "platform/script_values.h"

namespace velmora::jsengine {
namespace {

constexpr const char* kCompileSource = "JavaScript compilation error";
constexpr const char* kRuntimeSource = "JavaScript runtime error";

const JSErrorFormatString kErrorFormat = {"Error", "{0}", 1, JSEXN_ERR};
const JSErrorFormatString kTypeErrorFormat = {"TypeError", "{0}", 1, JSEXN_TYPEERR};

const JSErrorFormatString* ErrorFormat(void*, unsigned) { return &kErrorFormat; }
const JSErrorFormatString* TypeErrorFormat(void*, unsigned) { return &kTypeErrorFormat; }

std::string LineOf(const SourceTexts& sources, const std::string& fileName, std::int32_t line) {
    auto found = sources.find(fileName);
    if (found == sources.end() || line < 1) return {};
    std::string_view text = found->second;
    for (std::int32_t n = 1; n < line; ++n) {
        auto next = text.find('\n');
        if (next == std::string_view::npos) return {};
        text.remove_prefix(next + 1);
    }
    text = text.substr(0, text.find('\n'));
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    return std::string(text);
}

// The message of an Error object; the text form of anything else thrown (`throw "x"`).
std::string DescriptionOf(JSContext* cx, JS::HandleValue exception, JSErrorReport* report) {
    if (exception.isObject()) {
        JS::RootedObject object(cx, &exception.toObject());
        if (JSErrorReport* own = JS_ErrorFromException(cx, object); own && own->message())
            return own->message().c_str();
    }
    if (!exception.isUndefined()) {
        JS::RootedString text(cx, JS::ToString(cx, exception));
        if (text) return ToUtf8(cx, text);
        JS_ClearPendingException(cx);
    }
    return report && report->message() ? report->message().c_str() : "Unknown script error";
}

}  // namespace

bool ThrowError(JSContext* cx, std::string_view message) {
    JS_ReportErrorNumberUTF8(cx, ErrorFormat, nullptr, 0, std::string(message).c_str());
    return false;
}

bool ThrowTypeError(JSContext* cx, std::string_view message) {
    JS_ReportErrorNumberUTF8(cx, TypeErrorFormat, nullptr, 0, std::string(message).c_str());
    return false;
}

ScriptError TakeScriptError(JSContext* cx, bool compiling, const SourceTexts& sources) {
    ScriptError error;
    error.number = compiling ? kScriptSyntaxError : kScriptRuntimeError;
    error.source = compiling ? kCompileSource : kRuntimeSource;
    if (!JS_IsExceptionPending(cx)) {
        // Failure without an exception: the script was terminated (out of memory, or stopped).
        error.description = "Script execution was terminated";
        return error;
    }
    JS::ExceptionStack stack(cx);
    if (!JS::StealPendingExceptionStack(cx, &stack)) {
        JS_ClearPendingException(cx);
        error.description = "Unknown script error";
        return error;
    }
    JS::ErrorReportBuilder builder(cx);
    JSErrorReport* report = nullptr;
    if (builder.init(cx, stack, JS::ErrorReportBuilder::WithSideEffects))
        report = builder.report();
    else
        JS_ClearPendingException(cx);
    error.description = DescriptionOf(cx, stack.exception(), report);
    if (report) {
        error.fileName = report->filename ? report->filename : "";
        error.line = static_cast<std::int32_t>(report->lineno);
        // Columns of compile errors count from 0, those of run-time errors from 1.
        error.column = static_cast<std::int32_t>(report->column) + (compiling ? 1 : 0);
        error.text = LineOf(sources, error.fileName, error.line);
    }
    return error;
}

ScriptError TimeoutError() {
    ScriptError error;
    error.number = kScriptTimeoutError;
    error.source = kRuntimeSource;
    error.description = "Script execution timed out";
    error.timedOut = true;
    return error;
}

ScriptError PlainError(std::string description) {
    ScriptError error;
    error.number = kScriptRuntimeError;
    error.source = kRuntimeSource;
    error.description = std::move(description);
    return error;
}

}  // namespace velmora::jsengine
