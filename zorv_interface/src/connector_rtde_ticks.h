#pragma once

#include <system_error>

#include <asio.hpp>

#include "connector_rtde_sites.h"

namespace zorv_interface {

template <typename Protocol>
class RtdeConnection;

// The TCP transport's timers on the connection's I/O context: the keep-alive tick,
// which writes a keep-alive from the third tick without a read completion on, and the
// receive watchdog. Both run on the polling thread.
template <typename Protocol>
class RtdeTicks {
public:
    RtdeTicks(RtdeConnection<Protocol>& connection, const RtdeTiming& timing);
    RtdeTicks(const RtdeTicks&) = delete;
    RtdeTicks& operator=(const RtdeTicks&) = delete;

    void start();
    // A read completion: the keep-alive count starts again.
    void dataArrived() { silentTicks = 0; }

private:
    void armKeepAlive();
    void timeout(const std::error_code& error);  // keep-alive tick
    void armWatchdog();
    void timeout1(const std::error_code& error);  // watchdog tick

    RtdeConnection<Protocol>& connection;
    const RtdeTiming timing;
    asio::steady_timer pingTimer;
    asio::steady_timer watchdogTimer;
    int silentTicks = 0;
};

}  // namespace zorv_interface
