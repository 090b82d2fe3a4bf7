#include "connector_rtde_writer.h"

#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <future>

#include <nlohmann/json.hpp>

#include "connector_rtde.h"
#include "output_builder_impl.h"
#include "zorv_interface/codec.h"

namespace zorv_interface {

namespace {

const char kKeepAlive[] = "__ping__";  // sent with its terminating zero: nine bytes

}  // namespace

// One framed write (or keep-alive) with its own result, settled exactly once.
template <typename Protocol>
struct RtdeWriter<Protocol>::PendingWrite {
    std::vector<char> bytes;
    std::size_t written = 0;
    const RtdeSite* failureSite = nullptr;
    std::promise<bool> done;
    std::atomic<bool> settled{false};

    void finish(bool ok) {
        if (!settled.exchange(true)) {
            done.set_value(ok);
        }
    }
};

template <typename Protocol>
RtdeWriter<Protocol>::RtdeWriter(RtdeConnection<Protocol>& connection)
    : connection(connection), log(connection.log), sites(connection.log.sites) {}

template <typename Protocol>
int RtdeWriter<Protocol>::publish(int channel, Builder builder) {
    if (!connection.connectedAndLogined(sites.publishNotConnected, sites.publishNotLogined)) {
        return -1;
    }
    nlohmann::json message = nlohmann::json::array({channel});
    if (!builder) {
        return -1;
    }
    OutputBuilder output;
    output.impl().setJsonData(&message);
    builder(output);
    std::string text;
    try {
        text = message.dump();
    } catch (const nlohmann::json::type_error& error) {  // a pushed string that is not UTF-8
        log(LogLevel::Error, sites.payloadNotUtf8) << error.what();
        return -1;
    }
    log(LogLevel::Info, sites.publish) << text;
    const std::vector<uint8_t> payload = nlohmann::json::to_cbor(message);
    if (payload.size() > kMaxType0Payload) {
        log(LogLevel::Error, sites.payloadTooLong) << payload.size() << " bytes";
        return -1;
    }
    return send(payload) == 0 ? 0 : -1;
}

template <typename Protocol>
int RtdeWriter<Protocol>::send(const std::vector<uint8_t>& payload) {
    if (!connection.logined) {
        log(LogLevel::Error, sites.sendNotLogined);
        return -1;
    }
    auto write = std::make_shared<PendingWrite>();
    encode(0, payload, write->bytes);
    write->failureSite = &sites.writeFailed;
    auto done = write->done.get_future();
    if (const auto error = enqueue(write)) {
        reportWriteFailure(sites.writeFailed, error);
        return -1;
    }
    // Completions run on the polling thread: waiting there could never succeed.
    if (connection.onPollingThread()) {
        return 0;
    }
    if (done.wait_for(kSendWait) != std::future_status::ready) {
        log(LogLevel::Error, sites.sendTimeout);
        return -1;
    }
    return done.get() ? 0 : -1;
}

template <typename Protocol>
void RtdeWriter<Protocol>::sendKeepAlive() {
    auto write = std::make_shared<PendingWrite>();
    write->bytes.assign(kKeepAlive, kKeepAlive + sizeof(kKeepAlive));
    write->failureSite = &sites.keepAliveFailed;
    const auto error = enqueue(write);
    if (error && error != std::errc::not_connected) {
        reportWriteFailure(sites.keepAliveFailed, error);
    }
}

template <typename Protocol>
void RtdeWriter<Protocol>::failQueue() {
    for (auto& write : writes) {
        write->finish(false);
    }
    writes.clear();
    writing = false;
}

template <typename Protocol>
std::error_code RtdeWriter<Protocol>::enqueue(const Write& write) {
    std::lock_guard<std::mutex> guard(connection.socketMutex);
    const SocketPtr& socket = connection.socket;
    if (!socket) {
        return std::make_error_code(std::errc::not_connected);
    }
    if (!writing) {
        // Most frames fit the socket's buffer: no round trip through the polling thread.
        const auto sent = ::send(socket->native_handle(), write->bytes.data(), write->bytes.size(),
                                 MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return std::error_code(errno, std::system_category());
        }
        write->written = sent > 0 ? static_cast<std::size_t>(sent) : 0;
        if (write->written == write->bytes.size()) {
            write->finish(true);
            return {};
        }
        writing = true;
        startWrite(socket, write);
    }
    writes.push_back(write);
    return {};
}

template <typename Protocol>
void RtdeWriter<Protocol>::reportWriteFailure(const RtdeSite& site, const std::error_code& error) {
    log(LogLevel::Error, site) << error.message();
    if (error != std::errc::not_connected) {
        connection.closeConnection();
    }
}

// Caller holds the socket mutex.
template <typename Protocol>
void RtdeWriter<Protocol>::startWrite(const SocketPtr& target, const Write& write) {
    target->async_write_some(
        asio::buffer(write->bytes.data() + write->written, write->bytes.size() - write->written),
        [this, target, write](const std::error_code& error, std::size_t written) {
            onWritten(target, write, error, written);
        });
}

template <typename Protocol>
void RtdeWriter<Protocol>::onWritten(const SocketPtr& target, const Write& write, const std::error_code& error,
                                     std::size_t written) {
    {
        std::lock_guard<std::mutex> guard(connection.socketMutex);
        if (target != connection.socket) {
            write->finish(false);  // its connection was closed and its queue failed
            return;
        }
        write->written += written;
        if (!error && write->written < write->bytes.size()) {
            startWrite(target, write);
            return;
        }
        if (!writes.empty() && writes.front() == write) {
            writes.pop_front();
        }
        writing = !error && !writes.empty();
        if (writing) {
            startWrite(target, writes.front());
        }
    }
    if (error) {
        reportWriteFailure(*write->failureSite, error);
    }
    write->finish(!error);
}

template class RtdeWriter<asio::ip::tcp>;
template class RtdeWriter<asio::local::stream_protocol>;

}  // namespace zorv_interface
