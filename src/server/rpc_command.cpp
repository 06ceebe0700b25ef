// velmora rpc: the engine as an automation server for programs in any language, by JSON-RPC 2.0
// over stdin and stdout, one JSON object per line. Clients create root objects, read and write
// members by path ("DB.Tables.Item(\"orders\").TblCaption") and call them; objects travel as
// handles the client releases. Status lines and progress come as notifications, questions as
// requests the client answers (or the question's safe default after a time-out).
#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "generation/driver.h"
#include "platform/prompter.h"
#include "platform/script_engine.h"
#include "server/commands.h"
#include "server/rpc_request.h"
#include "support/convert.h"
#include "support/engine_state.h"
#include "support/status.h"
#include "support/text.h"
#include "template/script_bindings.h"
#include "template/engine_objects_script.h"

namespace velmora::cli {
namespace {

using Json = nlohmann::json;

void Send(const Json& message) {
    std::cout << message.dump() << '\n';
    std::cout.flush();
}

// Lines from stdin, with a time-out for the answers to questions.
class LineReader {
public:
    // A line without its end; nullopt at the end of input or when `timeoutMs` (>= 0) passes.
    std::optional<std::string> Next(int timeoutMs = -1) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (true) {
            if (std::size_t end = buffer_.find('\n'); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return line;
            }
            if (closed_) {
                if (buffer_.empty()) return std::nullopt;
                return std::exchange(buffer_, std::string());
            }
            int wait = -1;
            if (timeoutMs >= 0) {
                auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) return std::nullopt;
                wait = static_cast<int>(left.count());
            }
            pollfd fd{STDIN_FILENO, POLLIN, 0};
            int ready = ::poll(&fd, 1, wait);
            if (ready == 0) return std::nullopt;
            if (ready < 0) continue;
            char chunk[4096];
            ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (got <= 0)
                closed_ = true;
            else
                buffer_.append(chunk, static_cast<std::size_t>(got));
        }
    }

private:
    std::string buffer_;
    bool closed_ = false;
};

// Status lines and progress as notifications.
class RpcStatusSink : public StatusSink {
public:
    void Show(int, std::string_view message) override { Notify("status", {{"caption", std::string(message)}}); }
    void SetInfo(std::string_view text) override { Notify("status", {{"info", std::string(text)}}); }
    void SetProgress(double value) override {
        int percent = static_cast<int>(value);
        if (percent == lastPercent_) return;
        lastPercent_ = percent;
        Notify("progress", {{"percent", percent}});
    }
    void Close() override { lastPercent_ = -1; }
    void BringToFront() override {}
    void Message(MessageKind kind, std::string_view title, std::string_view text) override {
        Notify(
            "message",
            {{"kind", std::string(MessageKindName(kind))}, {"title", std::string(title)}, {"text", std::string(text)}});
    }

private:
    static void Notify(const char* method, Json params) {
        Send({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
    }
    int lastPercent_ = -1;
};

// Questions as requests to the client; its answer or, after the time-out, the safe default.
class RpcPrompter : public Prompter {
public:
    RpcPrompter(LineReader& reader, int timeoutMs) : reader_(reader), timeoutMs_(timeoutMs) {}

    Answer Ask(const Question& question) override {
        std::string id = "question-" + std::to_string(++asked_);
        Send({{"jsonrpc", "2.0"},
              {"id", id},
              {"method", "question"},
              {"params",
               {{"id", question.id},
                {"message", question.message},
                {"answers", AllowedAnswers(question)},
                {"default", SafeDefault(question)}}}});
        while (auto line = reader_.Next(timeoutMs_)) {
            Json reply = Json::parse(*line, nullptr, false);
            if (reply.is_object() && reply.value("id", Json()) == id) {
                std::string answer = reply.contains("result") && reply["result"].is_string()
                                         ? MatchAnswer(question, reply["result"].get<std::string>())
                                         : std::string();
                if (!answer.empty()) return {answer, false};
                break;
            }
            // A request while a question is open cannot run: the engine is busy with another.
            if (reply.is_object() && reply.contains("id") && reply.contains("method"))
                Send({{"jsonrpc", "2.0"},
                      {"id", reply["id"]},
                      {"error", {{"code", kInvalidRequest}, {"message", "A question is waiting for its answer"}}}});
        }
        return {SafeDefault(question), true};
    }

private:
    LineReader& reader_;
    int timeoutMs_;
    int asked_ = 0;
};

// Runs a member; a script error it raises becomes an engine failure for the client.
template <class F>
auto Guard(F body) {
    try {
        return body();
    } catch (const ScriptThrow& error) {
        throw RpcError{
            kEngineFailure, error.what(), {{"ProjErr", Engine().ProjErr}, {"ProjErrDb", Engine().ProjErrDb}}};
    }
}

// One connection: the objects the client holds, by handle.
class RpcSession {
public:
    Json Dispatch(const std::string& method, const Json& params) {
        if (method == "create") return Create(params);
        if (method == "release") return Release(params);
        if (method == "get" || method == "call") return Evaluate(params, method == "call");
        if (method == "set") return Assign(params);
        throw RpcError{kMethodNotFound, "Unknown method " + method};
    }

private:
    Json Create(const Json& params) {
        std::string name = params.value("class", std::string("AGP"));
        ObjectRef object = CreateEngineObject(name);
        if (!object) {
            throw RpcError{kInvalidParams, "No class " + name +
                                               " (AGP, AGPSchema, XmlDocument, AGParser, "
                                               "AGPFileCache, AGPCache, AGPStatus, AGPSettings, cRegistry)"};
        }
        return HandleOf(object);
    }

    Json Release(const Json& params) {
        std::int64_t handle = HandleParam(params);
        ObjectFor(handle);
        auto found = objects_.find(handle);
        ids_.erase(found->second.get());
        objects_.erase(found);
        return true;
    }

    Json Evaluate(const Json& params, bool call) {
        ObjectRef object = ObjectFor(HandleParam(params));
        std::string path = params.value("path", std::string());
        std::vector<RpcPathStep> steps = ParseRpcPath(path);
        if (call) {
            if (steps.empty()) throw RpcError{kInvalidParams, "Empty path"};
            Json args = params.value("args", Json::array());
            if (!args.is_array()) throw RpcError{kInvalidParams, "args must be an array"};
            steps.back().called = true;
            steps.back().args = args;
        }
        Variant value(object);
        Engine().ProjErr.clear();
        Engine().ProjErrDb.clear();
        for (const RpcPathStep& step : steps) value = Apply(value, step, path);
        if (Failed(value)) {
            throw RpcError{
                kEngineFailure,
                Engine().ProjErr,
                {{"ProjErr", Engine().ProjErr}, {"ProjErrDb", Engine().ProjErrDb}, {"result", ToJson(value)}}};
        }
        return ToJson(value);
    }

    Json Assign(const Json& params) {
        ObjectRef object = ObjectFor(HandleParam(params));
        std::string path = params.value("path", std::string());
        std::vector<RpcPathStep> steps = ParseRpcPath(path);
        if (steps.empty() || steps.back().called) throw RpcError{kInvalidParams, "Set needs a property: " + path};
        Variant owner(object);
        for (std::size_t i = 0; i + 1 < steps.size(); ++i) owner = Apply(owner, steps[i], path);
        const ScriptMember& member = MemberOf(owner, steps.back().name, path);
        if (member.kind != ScriptMember::Kind::Property || !member.set)
            throw RpcError{kInvalidParams, steps.back().name + " cannot be set"};
        Guard([&] { member.set(*owner.AsObject(), FromJson(params.value("value", Json()))); });
        return nullptr;
    }

    Variant Apply(const Variant& owner, const RpcPathStep& step, const std::string& path) {
        const ScriptMember& member = MemberOf(owner, step.name, path);
        AutomationObject& object = *owner.AsObject();
        if (member.kind == ScriptMember::Kind::Property) {
            if (step.called) throw RpcError{kInvalidParams, step.name + " is a property, not a method"};
            return Guard([&] { return member.get(object); });
        }
        std::vector<Variant> args;
        for (const Json& arg : step.args) args.push_back(FromJson(arg));
        return Guard([&] { return member.call(object, ScriptArgs(args)); });
    }

    static const ScriptMember& MemberOf(const Variant& owner, const std::string& name, const std::string& path) {
        if (!owner.IsObject() || !owner.AsObject())
            throw RpcError{kInvalidParams, "No object before " + name + " in " + path};
        const ScriptClass* type = ModelScriptClass(*owner.AsObject());
        if (type)
            for (const ScriptMember& member : type->members)
                if (EqualsNoCase(member.name, name)) return member;
        throw RpcError{kInvalidParams, "No member " + name + (type ? " on " + type->name : std::string())};
    }

    // A member failed when it says so (false, nothing, a negative number) and ProjErr tells why.
    static bool Failed(const Variant& value) {
        if (Engine().ProjErr.empty()) return false;
        switch (value.Type()) {
            case VarType::Empty:
                return true;
            case VarType::Boolean:
                return !ToBoolean(value).value_or(true);
            case VarType::Integer:
            case VarType::Long:
            case VarType::Double:
                return ToDouble(value).value_or(0) < 0;
            default:
                return false;
        }
    }

    std::int64_t HandleParam(const Json& params) const {
        if (!params.is_object() || !params.contains("handle") || !params["handle"].is_number_integer())
            throw RpcError{kInvalidParams, "A handle is needed"};
        return params["handle"].get<std::int64_t>();
    }

    ObjectRef ObjectFor(std::int64_t handle) const {
        auto found = objects_.find(handle);
        if (found == objects_.end()) throw RpcError{kUnknownHandle, "Unknown handle " + std::to_string(handle)};
        return found->second;
    }

    Json HandleOf(const ObjectRef& object) {
        auto known = ids_.find(object.get());
        std::int64_t id = known != ids_.end() ? known->second : ++lastHandle_;
        objects_[id] = object;
        ids_[object.get()] = id;
        const ScriptClass* type = ModelScriptClass(*object);
        return {{"handle", id}, {"class", type ? type->name : std::string()}};
    }

    Json ToJson(const Variant& value) {
        switch (value.Type()) {
            case VarType::Empty:
            case VarType::Null:
                return nullptr;
            case VarType::Boolean:
                return ToBoolean(value).value_or(false);
            case VarType::Integer:
            case VarType::Long:
                return ToLong(value).value_or(0);
            case VarType::Single:
            case VarType::Double:
                return ToDouble(value).value_or(0);
            case VarType::Object:
                return value.AsObject() ? HandleOf(value.AsObject()) : Json(nullptr);
            case VarType::Array: {
                Json list = Json::array();
                for (const Variant& item : value.AsArray()) list.push_back(ToJson(item));
                return list;
            }
            default:
                return value.ToText();
        }
    }

    Variant FromJson(const Json& value) {
        if (value.is_null()) return Variant();
        if (value.is_boolean()) return Variant(value.get<bool>());
        if (value.is_number_integer()) {
            auto number = value.get<std::int64_t>();
            if (number >= INT32_MIN && number <= INT32_MAX) return Variant(static_cast<std::int32_t>(number));
            return Variant(static_cast<double>(number));
        }
        if (value.is_number()) return Variant(value.get<double>());
        if (value.is_string()) return Variant(value.get<std::string>());
        if (value.is_object() && value.contains("handle")) return Variant(ObjectFor(HandleParam(value)));
        if (value.is_array()) {
            Variant::Array items;
            for (const Json& item : value) items.push_back(FromJson(item));
            return Variant(std::move(items));
        }
        throw RpcError{kInvalidParams, "No engine value for " + value.dump()};
    }

    std::map<std::int64_t, ObjectRef> objects_;
    std::map<const AutomationObject*, std::int64_t> ids_;
    std::int64_t lastHandle_ = 0;
};

}  // namespace

int Rpc(int questionTimeoutSeconds) {
    PublishGenerationMembers();
    LineReader reader;
    SetStatusSink(std::make_shared<RpcStatusSink>());
    SetPrompter(std::make_shared<RpcPrompter>(reader, questionTimeoutSeconds * 1000));
    RpcSession session;
    while (auto line = reader.Next()) {
        if (Trim(*line).empty()) continue;
        Json reply;
        std::optional<RpcRequest> request = ReadRpcRequest(*line, reply);
        if (!request) {
            Send(reply);
            continue;
        }
        const Json& id = request->id;
        try {
            Json result = session.Dispatch(request->method, request->params);
            if (!id.is_null()) Send({{"jsonrpc", "2.0"}, {"id", id}, {"result", result}});
        } catch (const RpcError& error) {
            if (!id.is_null()) Send(ErrorReply(id, error));
        }
    }
    SetPrompter(nullptr);
    ShutDownScriptEngines();
    return kExitOk;
}

}  // namespace velmora::cli
