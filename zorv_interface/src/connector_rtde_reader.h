#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <system_error>

#include "connector_rtde_sites.h"
#include "zorv_interface/codec.h"

namespace zorv_interface {

template <typename Protocol>
class RtdeConnection;

// The read side of one connection: at most one read in flight, the frame splitter fed
// from it, and each frame decoded and handed to its channel's subscription. Runs on
// the polling thread.
template <typename Protocol>
class RtdeReader {
public:
    static constexpr std::size_t kReceiveBufferSize = 10240;

    explicit RtdeReader(RtdeConnection<Protocol>& connection);
    RtdeReader(const RtdeReader&) = delete;
    RtdeReader& operator=(const RtdeReader&) = delete;

    // Arms a read of the current socket unless one is in flight: 0, or -1 when not connected.
    int doRead();
    // The frame handler: 0 handled or ignored, -1 on a decode or handler error.
    int parse(char* data, std::size_t size);

private:
    using Socket = RtdeSocket<Protocol>;
    using SocketPtr = std::shared_ptr<Socket>;

    void feedHandshakeLeftover(const SocketPtr& current);
    void onRead(const SocketPtr& source, const std::error_code& error, std::size_t size);
    void onReadError(bool stale, const std::error_code& error, std::size_t size);
    void logDecodeFailure(const RtdeSite& site, const RtdeSite& dump, const char* what, char* data, std::size_t size);

    RtdeConnection<Protocol>& connection;
    const RtdeLog& log;
    const RtdeSites& sites;

    // Touched by the polling thread only.
    int retryCount = 0;
    std::array<char, kReceiveBufferSize> receiveBuffer{};
    SocketPtr readingSocket;   // the socket with a read in flight
    SocketPtr dispatchSocket;  // the socket whose bytes the splitter holds
    PackageDispatch frameReader;
};

}  // namespace zorv_interface
