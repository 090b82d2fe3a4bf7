#pragma once

#include "connector_rtde.h"

#include <string>

#include "rtde_client_impl.h"

namespace zorv_interface {

// RTDE over a local stream socket: no options, no keep-alive, no watchdog (the
// timing's connect wait alone applies).
class RtdeClient::Impl::AsioUds : public RtdeConnection<asio::local::stream_protocol> {
public:
    explicit AsioUds(RtdeTiming timing = RtdeTiming());

    // 0 connected, 1 already connected, -1 failure; nlohmann's exceptions for a
    // malformed connection information.
    int connect(const std::string& path);
};

}  // namespace zorv_interface
