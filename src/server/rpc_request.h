// Reading the JSON-RPC 2.0 requests of `velmora rpc`: one JSON object per line, and the member
// paths ("DB.Tables.Item(\"orders\").TblCaption") their parameters name.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace velmora::cli {

// Error codes beyond JSON-RPC's own: an unknown handle, and a member that failed (ProjErr).
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kEngineFailure = -32000;
inline constexpr int kUnknownHandle = -32001;

struct RpcError {
    int code;
    std::string message;
    nlohmann::json data = nullptr;
};

struct RpcRequest {
    nlohmann::json id;  // null for a notification, which gets no reply
    std::string method;
    nlohmann::json params;  // an object unless the client sent something else
};

// The request on a line; nullopt with the error reply to send for a line that is none.
std::optional<RpcRequest> ReadRpcRequest(const std::string& line, nlohmann::json& errorReply);

nlohmann::json ErrorReply(const nlohmann::json& id, const RpcError& error);

// One step of a member path: a member, called with the JSON arguments when written Name(...).
struct RpcPathStep {
    std::string name;
    bool called = false;
    nlohmann::json args = nlohmann::json::array();
};

// The steps of a path; throws RpcError (invalid parameters) for one that is not a path.
std::vector<RpcPathStep> ParseRpcPath(const std::string& path);

}  // namespace velmora::cli
