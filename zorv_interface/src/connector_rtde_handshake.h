#pragma once

#include <atomic>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "socket_timeouts.h"

namespace zorv_interface {

// Made by connect before it takes the connection's lock: true once `disconnect` has
// been called since, or the connection is stopping, so that connect stops waiting on
// its peer and frees the lock.
class RtdeConnectAbandon {
public:
    RtdeConnectAbandon(const std::atomic<bool>& running, const std::atomic<unsigned>& disconnectCalls)
        : running(running), disconnectCalls(disconnectCalls), epoch(disconnectCalls) {}

    bool operator()() const { return !running || disconnectCalls != epoch; }

private:
    const std::atomic<bool>& running;
    const std::atomic<unsigned>& disconnectCalls;
    unsigned epoch;
};

// What the server sends first on a connection.
struct RtdeConnectionInfo {
    int version = -1;
    std::map<std::string, int> input;
    std::map<std::string, int> output;
    // Bytes read past the closing "}\n\n": the start of the frame stream.
    std::vector<char> leftover;
};

// Reads the connection information, waiting no later than the deadline and only
// while not abandoned. A read error (time-out and abandon included) is returned; a
// malformed text throws nlohmann's exceptions.
template <typename Socket>
std::error_code readConnectionInfo(Socket& socket, SocketDeadline deadline, const RtdeConnectAbandon& abandoned,
                                   RtdeConnectionInfo& info);

}  // namespace zorv_interface
