#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <system_error>
#include <vector>

#include "connector_rtde_sites.h"
#include "zorv_interface/output_builder.h"

namespace zorv_interface {

template <typename Protocol>
class RtdeConnection;

// The write side of one connection: publish, framed sends waited for up to 100 ms,
// the TCP keep-alive, and the queue of writes a full socket holds back. A write goes
// out at once when nothing is queued; otherwise the queue drains in order on the
// polling thread. The queue is guarded by the connection's socket mutex, as is the
// socket it writes to.
template <typename Protocol>
class RtdeWriter {
public:
    using Builder = std::function<void(OutputBuilder&)>;

    static constexpr std::chrono::milliseconds kSendWait{100};

    explicit RtdeWriter(RtdeConnection<Protocol>& connection);
    RtdeWriter(const RtdeWriter&) = delete;
    RtdeWriter& operator=(const RtdeWriter&) = delete;

    int publish(int channel, Builder builder);
    int send(const std::vector<uint8_t>& payload);
    void sendKeepAlive();

    // Caller holds the socket mutex and is closing the socket: every queued write fails.
    void failQueue();

private:
    struct PendingWrite;
    using Write = std::shared_ptr<PendingWrite>;
    using Socket = RtdeSocket<Protocol>;
    using SocketPtr = std::shared_ptr<Socket>;

    // The error of a write that failed at once.
    std::error_code enqueue(const Write& write);
    void reportWriteFailure(const RtdeSite& site, const std::error_code& error);
    void startWrite(const SocketPtr& target, const Write& write);
    void onWritten(const SocketPtr& target, const Write& write, const std::error_code& error, std::size_t written);

    RtdeConnection<Protocol>& connection;
    const RtdeLog& log;
    const RtdeSites& sites;

    std::deque<Write> writes;
    bool writing = false;
};

}  // namespace zorv_interface
