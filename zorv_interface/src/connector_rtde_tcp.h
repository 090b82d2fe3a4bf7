#pragma once

#include "connector_rtde.h"

#include <string>

#include "rtde_client_impl.h"

namespace zorv_interface {

// RTDE over TCP: socket options, 1 s keep-alive and 5 s receive watchdog.
class RtdeClient::Impl::AsioTcp : public RtdeConnection<asio::ip::tcp> {
public:
    explicit AsioTcp(RtdeTiming timing = RtdeTiming());

    // 0 connected, 1 already connected, -1 failure (also when the peer does not accept
    // or send its connection information in time). Throws asio::system_error for a
    // host that is not a numeric address and nlohmann's exceptions for a malformed
    // connection information.
    int connect(const std::string& host, int port);
};

}  // namespace zorv_interface
