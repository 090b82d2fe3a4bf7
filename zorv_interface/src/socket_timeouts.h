#pragma once

#include <sys/socket.h>
#include <sys/time.h>

#include <chrono>
#include <cstddef>
#include <system_error>

namespace zorv_interface {

// The receive and send time-outs every new TCP socket gets. They bound blocking
// system calls on the handle; asio's own operations do not consult them.
constexpr std::chrono::milliseconds kSocketIoTimeout{10000};

// SO_RCVTIMEO / SO_SNDTIMEO in the form asio's set_option expects (asio has no type for them).
template <int Name>
class SocketTimeoutOption {
public:
    explicit SocketTimeoutOption(std::chrono::milliseconds timeout)
        : value{static_cast<time_t>(timeout.count() / 1000), static_cast<suseconds_t>(timeout.count() % 1000 * 1000)} {}
    template <class P> int level(const P&) const { return SOL_SOCKET; }
    template <class P> int name(const P&) const { return Name; }
    template <class P> const void* data(const P&) const { return &value; }
    template <class P> std::size_t size(const P&) const { return sizeof(value); }

private:
    timeval value;
};

// Failures are ignored: a socket without them still works, only less bounded.
template <class Socket>
void setSocketTimeouts(Socket& socket, std::chrono::milliseconds timeout = kSocketIoTimeout) {
    std::error_code ignored;
    socket.set_option(SocketTimeoutOption<SO_RCVTIMEO>(timeout), ignored);
    socket.set_option(SocketTimeoutOption<SO_SNDTIMEO>(timeout), ignored);
}

}  // namespace zorv_interface
