#include "server/rpc_request.h"

#include <cctype>

namespace velmora::cli {

using Json = nlohmann::json;

std::optional<RpcRequest> ReadRpcRequest(const std::string& line, Json& errorReply) {
    Json request = Json::parse(line, nullptr, false);
    if (request.is_discarded()) {
        errorReply = ErrorReply(nullptr, {kParseError, "Parse error"});
        return std::nullopt;
    }
    Json id = request.is_object() ? request.value("id", Json()) : Json();
    if (!request.is_object() || !request.contains("method") || !request["method"].is_string()) {
        errorReply = ErrorReply(id, {kInvalidRequest, "Invalid request"});
        return std::nullopt;
    }
    return RpcRequest{id, request["method"].get<std::string>(), request.value("params", Json::object())};
}

Json ErrorReply(const Json& id, const RpcError& error) {
    Json body{{"code", error.code}, {"message", error.message}};
    if (!error.data.is_null()) body["data"] = error.data;
    return {{"jsonrpc", "2.0"}, {"id", id}, {"error", body}};
}

std::vector<RpcPathStep> ParseRpcPath(const std::string& path) {
    std::vector<RpcPathStep> steps;
    std::size_t i = 0;
    auto bad = [&] { return RpcError{kInvalidParams, "Bad path " + path}; };
    while (i < path.size()) {
        RpcPathStep step;
        while (i < path.size() && (std::isalnum(static_cast<unsigned char>(path[i])) || path[i] == '_'))
            step.name += path[i++];
        if (step.name.empty()) throw bad();
        if (i < path.size() && path[i] == '(') {
            // The arguments are JSON values; the closing parenthesis is the first outside a string.
            std::size_t start = ++i;
            bool quoted = false;
            int depth = 0;
            for (; i < path.size(); ++i) {
                char c = path[i];
                if (quoted) {
                    if (c == '\\')
                        ++i;
                    else if (c == '"')
                        quoted = false;
                } else if (c == '"') {
                    quoted = true;
                } else if (c == '[' || c == '{') {
                    ++depth;
                } else if (c == ']' || c == '}') {
                    --depth;
                } else if (c == ')' && depth == 0) {
                    break;
                }
            }
            if (i >= path.size()) throw bad();
            step.args = Json::parse("[" + path.substr(start, i - start) + "]", nullptr, false);
            if (step.args.is_discarded()) throw bad();
            step.called = true;
            ++i;
        }
        steps.push_back(std::move(step));
        if (i < path.size() && path[i++] != '.') throw bad();
    }
    return steps;
}

}  // namespace velmora::cli
