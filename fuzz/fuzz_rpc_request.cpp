// Fuzz target: arbitrary bytes as a line of `velmora rpc` input. The line is a request or gets an
// error reply; a request's path (and the line itself read as a path) gives steps with names of
// word characters and argument lists, or a refusal.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "server/rpc_request.h"
#include "fuzz_support.h"

using velmora::fuzz::Check;

namespace {

void ReadPath(const std::string& path) {
    try {
        for (const auto& step : velmora::cli::ParseRpcPath(path)) {
            Check(!step.name.empty() && step.name.size() <= path.size());
            for (unsigned char c : step.name) Check(std::isalnum(c) || c == '_');
            Check(step.args.is_array() && (step.called || step.args.empty()));
        }
    } catch (const velmora::cli::RpcError& error) {
        Check(error.code == velmora::cli::kInvalidParams);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    nlohmann::json reply;
    if (auto request = velmora::cli::ReadRpcRequest(line, reply)) {
        Check(reply.is_null());
        if (request->params.is_object() && request->params.contains("path") && request->params["path"].is_string())
            ReadPath(request->params["path"].get<std::string>());
    } else {
        Check(reply.is_object() && reply["error"]["code"].is_number_integer());
        (void)reply.dump();
    }
    ReadPath(line);
    return 0;
}
