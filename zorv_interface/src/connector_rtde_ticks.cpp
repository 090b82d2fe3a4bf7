#include "connector_rtde_ticks.h"

#include "connector_rtde.h"

namespace zorv_interface {

template <typename Protocol>
RtdeTicks<Protocol>::RtdeTicks(RtdeConnection<Protocol>& connection, const RtdeTiming& timing)
    : connection(connection), timing(timing), pingTimer(connection.ioContext), watchdogTimer(connection.ioContext) {}

template <typename Protocol>
void RtdeTicks<Protocol>::start() {
    armKeepAlive();
    armWatchdog();
}

template <typename Protocol>
void RtdeTicks<Protocol>::armKeepAlive() {
    pingTimer.expires_after(timing.keepAlive);
    pingTimer.async_wait([this](const std::error_code& error) { timeout(error); });
}

template <typename Protocol>
void RtdeTicks<Protocol>::timeout(const std::error_code&) {
    if (silentTicks++ > 1) {
        connection.writer.sendKeepAlive();
    }
    armKeepAlive();
}

template <typename Protocol>
void RtdeTicks<Protocol>::armWatchdog() {
    watchdogTimer.expires_after(timing.watchdog);
    watchdogTimer.async_wait([this](const std::error_code& error) { timeout1(error); });
}

template <typename Protocol>
void RtdeTicks<Protocol>::timeout1(const std::error_code&) {
    connection.topics.checkReceiveRates();
    armWatchdog();
}

template class RtdeTicks<asio::ip::tcp>;
template class RtdeTicks<asio::local::stream_protocol>;

}  // namespace zorv_interface
