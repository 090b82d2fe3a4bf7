#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <system_error>

#include <asio.hpp>

namespace zorv_interface {

// The receive and send time-outs every new TCP socket gets. They bound blocking
// system calls on the handle; asio's own operations do not consult them, so the
// waits below bound connect, handshake reads and script writes by the same figure.
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

using SocketDeadline = std::chrono::steady_clock::time_point;

// How often a bounded wait asks whether its caller has given up.
constexpr std::chrono::milliseconds kAbandonCheck{50};

// Waits until `handle` is ready for `events` (POLLIN, POLLOUT; an error or hang-up
// counts as ready, the next operation reports it). Gives asio::error::timed_out once
// the deadline has passed and asio::error::operation_aborted as soon as `abandoned()`
// is true (another thread disconnecting or destroying the connection).
template <class Abandoned>
std::error_code awaitSocket(int handle, short events, SocketDeadline deadline, const Abandoned& abandoned) {
    for (;;) {
        if (abandoned()) {
            return asio::error::operation_aborted;
        }
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= left.zero()) {
            return asio::error::timed_out;
        }
        const auto slice = std::min(std::chrono::ceil<std::chrono::milliseconds>(left), kAbandonCheck);
        pollfd watched{handle, events, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(slice.count()));
        if (ready > 0) {
            return {};
        }
        if (ready < 0 && errno != EINTR) {
            return std::error_code(errno, std::system_category());
        }
    }
}

// Puts a socket in non-blocking mode for a scope, so that asio's synchronous calls
// return would_block instead of waiting without limit.
template <class Socket>
class NonBlockingScope {
public:
    explicit NonBlockingScope(Socket& socket) : socket(socket) { socket.non_blocking(true, error); }
    ~NonBlockingScope() {
        std::error_code ignored;
        socket.non_blocking(false, ignored);
    }
    NonBlockingScope(const NonBlockingScope&) = delete;
    NonBlockingScope& operator=(const NonBlockingScope&) = delete;

    // Why the switch failed, if it did.
    std::error_code error;

private:
    Socket& socket;
};

// A stream connect that gives up at the deadline (timed_out) or when abandoned
// (operation_aborted). asio's blocking connect waits for the kernel, which takes
// minutes with a peer that neither accepts nor refuses.
template <class Socket, class Abandoned>
std::error_code connectWithin(Socket& socket, const typename Socket::endpoint_type& endpoint,
                              SocketDeadline deadline, const Abandoned& abandoned) {
    NonBlockingScope<Socket> scope(socket);
    if (scope.error) {
        return scope.error;
    }
    const int handle = socket.native_handle();
    if (::connect(handle, endpoint.data(), static_cast<socklen_t>(endpoint.size())) == 0) {
        return {};
    }
    if (errno != EINPROGRESS && errno != EINTR) {
        return std::error_code(errno, std::system_category());
    }
    if (const auto error = awaitSocket(handle, POLLOUT, deadline, abandoned)) {
        return error;
    }
    int result = 0;
    socklen_t length = sizeof result;
    if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &result, &length) != 0) {
        return std::error_code(errno, std::system_category());
    }
    return std::error_code(result, std::system_category());
}

// One read of what is there, waiting for data no later than the deadline.
template <class Socket, class Buffer, class Abandoned>
std::size_t readSomeWithin(Socket& socket, const Buffer& buffer, SocketDeadline deadline,
                           const Abandoned& abandoned, std::error_code& error) {
    NonBlockingScope<Socket> scope(socket);
    if ((error = scope.error)) {
        return 0;
    }
    for (;;) {
        const std::size_t received = socket.read_some(buffer, error);
        if (error != asio::error::would_block) {
            return received;
        }
        if ((error = awaitSocket(socket.native_handle(), POLLIN, deadline, abandoned))) {
            return 0;
        }
    }
}

// Writes every byte, waiting for room in the send buffer no later than the deadline.
template <class Socket, class Abandoned>
std::error_code writeAllWithin(Socket& socket, asio::const_buffer bytes, SocketDeadline deadline,
                               const Abandoned& abandoned) {
    NonBlockingScope<Socket> scope(socket);
    if (scope.error) {
        return scope.error;
    }
    while (bytes.size() > 0) {
        std::error_code error;
        bytes += socket.write_some(bytes, error);
        if (error && error != asio::error::would_block) {
            return error;
        }
        if (bytes.size() > 0) {
            if ((error = awaitSocket(socket.native_handle(), POLLOUT, deadline, abandoned))) {
                return error;
            }
        }
    }
    return {};
}

}  // namespace zorv_interface
