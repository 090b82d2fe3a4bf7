#pragma once

#include <string>

namespace jsonrpccxx {

// Transport of the JSON-RPC client: request text in, reply text out.
class IClientConnector {
public:
    virtual ~IClientConnector() = default;
    virtual std::string Send(const std::string& request) = 0;
};

}  // namespace jsonrpccxx
