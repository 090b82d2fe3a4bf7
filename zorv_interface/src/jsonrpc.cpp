#include "jsonrpc.h"

#include <limits>
#include <utility>

namespace jsonrpccxx {

namespace {

constexpr int kParseError = -32700;
constexpr int kInternalError = -32603;

std::string describe(int code, const std::string& message, const std::optional<json>& data) {
    std::string text = std::to_string(code) + ": " + message;
    if (data) {
        text += ", data: " + data->dump();
    }
    return text;
}

std::optional<json> dataOf(const json& error) {
    const auto data = error.find("data");
    return data != error.end() ? std::optional<json>(*data) : std::nullopt;
}

// Only a negative integer code (a written minus sign) that fits an int, with a text
// message, qualifies.
bool isWellFormedError(const json& error) {
    const auto code = error.find("code");
    const auto message = error.find("message");
    return code != error.end() && code->is_number_integer() && !code->is_number_unsigned() &&
           code->get<long long>() < 0 && code->get<long long>() >= std::numeric_limits<int>::min() &&
           message != error.end() && message->is_string();
}

[[noreturn]] void throwParseError(const std::string& cause) {
    throw JsonRpcException(kParseError, "invalid JSON response from server: " + cause);
}

json idOf(const id_type& id) {
    return std::visit([](const auto& value) { return json(value); }, id);
}

}  // namespace

JsonRpcException::JsonRpcException(int code, const std::string& message, std::optional<json> data)
    : code(code), message(message), data(std::move(data)), text(describe(code, message, this->data)) {}

JsonRpcClient::JsonRpcClient(IClientConnector& connector, version v) : connector(connector), v(v) {}

std::string JsonRpcClient::RequestText(const id_type& id, const std::string& name,
                                       const named_parameter& params) {
    json request = {{"id", idOf(id)}, {"jsonrpc", "2.0"}, {"method", name}};
    if (!params.empty()) {
        request["params"] = json(params);
    }
    return request.dump();
}

json JsonRpcClient::ResultOf(const std::string& reply) {
    json response;
    try {
        response = json::parse(reply);
    } catch (const json::parse_error& e) {
        throwParseError(e.what());
    }
    return ResultOfParsed(std::move(response));
}

json JsonRpcClient::ResultOfParsed(json response) {
    // find and contains see nothing in a reply that is not an object.
    const auto error = response.find("error");
    if (error != response.end() && error->is_object()) {
        if (!isWellFormedError(*error)) {
            throw JsonRpcException(
                kInternalError,
                "invalid error response: \"code\" (negative number) and \"message\" (string) are required");
        }
        throw JsonRpcException(error->at("code").get<int>(), error->at("message").get<std::string>(),
                               dataOf(*error));
    }
    if (error != response.end() && error->is_string()) {
        throw JsonRpcException(kInternalError, error->get<std::string>());
    }
    const auto result = response.find("result");
    if (result != response.end() && response.contains("id")) {
        return std::move(*result);
    }
    throw JsonRpcException(kInternalError,
                           "invalid server response: neither \"result\" nor \"error\" fields found");
}

json JsonRpcClient::CallNamed(const id_type& id, const std::string& name, const named_parameter& params) {
    json response;
    try {
        response = connector.SendParsed(RequestText(id, name, params), idOf(id));
    } catch (const json::parse_error& e) {
        // The connector's verdict on the reply text counts as ours.
        throwParseError(e.what());
    }
    return ResultOfParsed(std::move(response));
}

}  // namespace jsonrpccxx
