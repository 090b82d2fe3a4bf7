#pragma once

#include <exception>
#include <map>
#include <optional>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

// The JSON-RPC 2.0 envelope: request text out, "result" or error back.
namespace jsonrpccxx {

using json = nlohmann::json;
using id_type = std::variant<int, std::string>;
using named_parameter = std::map<std::string, json>;

// Protocol version; the library speaks JSON-RPC 2.0 only.
enum class version { v2 };

// Transport of the JSON-RPC client: request text in, reply text out.
class IClientConnector {
public:
    virtual ~IClientConnector() = default;
    virtual std::string Send(const std::string& request) = 0;
    // The reply parsed: a transport that parses replies anyway hands over its document
    // instead of the text. Throws what Send or json::parse of its text would.
    virtual json SendParsed(const std::string& request) { return json::parse(Send(request)); }
    // The same for a request whose "id" the caller holds: a transport that matches
    // replies by id need not parse the request to learn it.
    virtual json SendParsed(const std::string& request, const json& /*id*/) { return SendParsed(request); }
};

// An error reply (or a reply that breaks the protocol).
// what(): code ": " message [", data: " compact data], data written whenever the
// error carried it, null included.
class JsonRpcException : public std::exception {
public:
    JsonRpcException(int code, const std::string& message, std::optional<json> data = std::nullopt);

    int Code() const noexcept { return code; }
    const std::string& Message() const noexcept { return message; }
    const std::optional<json>& Data() const noexcept { return data; }
    const char* what() const noexcept override { return text.c_str(); }

private:
    int code;
    std::string message;
    std::optional<json> data;
    std::string text;
};

class JsonRpcClient {
public:
    JsonRpcClient(IClientConnector& connector, version v);
    virtual ~JsonRpcClient() = default;

    // One request with named parameters; returns the reply's "result".
    // Throws JsonRpcException for error replies and whatever the connector throws.
    json CallNamed(const id_type& id, const std::string& name, const named_parameter& params);

    // Compact, keys sorted, UTF-8 unescaped; "params" only when there are some.
    // Throws the JSON library's type_error for text that is not valid UTF-8.
    static std::string RequestText(const id_type& id, const std::string& name,
                                   const named_parameter& params);
    // Applies the reply rules to one reply text, or to a reply already parsed.
    static json ResultOf(const std::string& reply);
    static json ResultOfParsed(json response);

protected:
    IClientConnector& connector;
    version v;
};

}  // namespace jsonrpccxx
