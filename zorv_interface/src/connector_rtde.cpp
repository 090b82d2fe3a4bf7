#include "connector_rtde.h"

#include <sys/socket.h>

#include <cerrno>
#include <chrono>

namespace zorv_interface {

template <typename Protocol>
RtdeConnection<Protocol>::RtdeConnection(const RtdeSites& sites, RtdeTiming timing)
    : log(sites),
      timing(timing),
      work(ioContext.get_executor()),
      topics(*this),
      writer(*this),
      reader(*this),
      ticks(*this, timing) {
    pollingThread = std::thread([this] {
        pollingLoop();
        const auto last = std::move(retiredOwner);  // may run the destructor, this thread's last act
    });
}

template <typename Protocol>
RtdeConnection<Protocol>::~RtdeConnection() {
    stop();
    if (onPollingThread()) {
        pollingThread.detach();
    } else {
        pollingThread.join();
    }
}

template <typename Protocol>
void RtdeConnection<Protocol>::retire(std::shared_ptr<RtdeConnection> owner) {
    if (owner && owner->onPollingThread()) {
        owner->stop();
        RtdeConnection& connection = *owner;
        connection.retiredOwner = std::move(owner);
    }
}

template <typename Protocol>
void RtdeConnection<Protocol>::stop() {
    running = false;  // first: a connect waiting on its peer gives up and frees the lock
    {
        std::lock_guard<std::mutex> guard(socketMutex);
        if (socket) {
            std::error_code ignored;
            socket->close(ignored);
        }
    }
    ioContext.stop();
    std::lock_guard<std::recursive_mutex> guard(lock);
    logined = false;
    wakeUp.notify_all();
}

// ---------------------------------------------------------------------------
// Polling thread

template <typename Protocol>
void RtdeConnection<Protocol>::pollingLoop() {
    pollerId = std::this_thread::get_id();
    if (log.sites.tcp) {
        ticks.start();
    }
    while (running) {
        {
            std::unique_lock<std::recursive_mutex> guard(lock);
            if (running && !logined) {
                wakeUp.wait(guard);
            }
            resumed = true;
        }
        if (!running) {
            return;
        }
        if (!logined) {
            continue;
        }
        if (reader.doRead() != 0) {
            // Logged in but the connection is going away: let the teardown finish,
            // unless it already has (its wake-up may have come before this wait).
            std::unique_lock<std::recursive_mutex> guard(lock);
            wakeUp.wait_for(guard, std::chrono::milliseconds(10), [this] { return !running || !logined; });
            continue;
        }
        runWhileLogined();
    }
}

template <typename Protocol>
void RtdeConnection<Protocol>::runWhileLogined() {
    log(LogLevel::Info, log.sites.pollingStart);
    polling = true;
    // The work guard keeps run_one blocking until a completion, a wake-up or stop.
    while (logined) {
        ioContext.run_one();
    }
    polling = false;
    log(LogLevel::Info, log.sites.pollingPause);
}

template <typename Protocol>
bool RtdeConnection<Protocol>::onPollingThread() const {
    return pollerId.load() == std::this_thread::get_id();
}

template <typename Protocol>
void RtdeConnection<Protocol>::wakePoller() {
    asio::post(ioContext, [] {});
}

// ---------------------------------------------------------------------------
// Login and connection state

template <typename Protocol>
int RtdeConnection<Protocol>::login(const std::string&, const std::string&) {
    if (!hasConnected()) {
        return -1;
    }
    bool alreadyPolling = false;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        alreadyPolling = logined && polling;
        if (!alreadyPolling) {
            logined = true;
            resumed = false;
            wakeUp.notify_all();
        }
    }
    if (!alreadyPolling) {
        // A poller still inside its loop after a quick logout keeps running: make sure
        // it reads the current socket.
        asio::post(ioContext, [this] {
            if (connected) {
                reader.doRead();
            }
        });
        const auto start = std::chrono::steady_clock::now();
        while (!resumed && !polling) {
            std::this_thread::yield();
            const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count();
            if (elapsed > 1000000) {
                log(LogLevel::Error, log.sites.loginTimeout) << elapsed << "us";
                return -1;
            }
        }
    }
    log(LogLevel::Info, log.sites.loginSucceed);
    return 0;
}

template <typename Protocol>
int RtdeConnection<Protocol>::logout() {
    logined = false;
    wakePoller();
    return 0;
}

template <typename Protocol>
bool RtdeConnection<Protocol>::hasLogined() const {
    return logined;
}

template <typename Protocol>
bool RtdeConnection<Protocol>::hasConnected() {
    if (!connected) {
        return false;
    }
    if (peerAlive()) {
        return true;
    }
    connectionLost();
    return false;
}

template <typename Protocol>
bool RtdeConnection<Protocol>::connectedAndLogined(const RtdeSite& notConnected, const RtdeSite& notLogined) {
    if (!hasConnected()) {
        log(LogLevel::Error, notConnected);
        return false;
    }
    if (!logined) {
        log(LogLevel::Error, notLogined);
        return false;
    }
    return true;
}

template <typename Protocol>
bool RtdeConnection<Protocol>::hasConnected(std::function<void(bool)> callback) {
    {
        std::lock_guard<std::mutex> guard(handlersMutex);
        connectionCallback = std::move(callback);
    }
    return hasConnected();
}

// Peeks, so a byte waiting for the receive loop stays in the stream.
template <typename Protocol>
bool RtdeConnection<Protocol>::peerAlive() {
    std::lock_guard<std::mutex> guard(socketMutex);
    if (!socket || !socket->is_open()) {
        return false;
    }
    char byte = 0;
    const auto received = ::recv(socket->native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (received > 0) {
        return true;
    }
    return received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
}

template <typename Protocol>
void RtdeConnection<Protocol>::connectionLost() {
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (!connected.exchange(false)) {
        return;
    }
    closeSocket();
    logined = false;
    wakePoller();
    reset();
    fireEvent(1);
}

template <typename Protocol>
int RtdeConnection<Protocol>::disconnect() {
    ++disconnectCalls;
    return closeConnection();
}

template <typename Protocol>
int RtdeConnection<Protocol>::closeConnection() {
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (!connected.exchange(false)) {
        return 0;
    }
    std::error_code cancelError;
    closeSocket(&cancelError);
    logined = false;
    wakePoller();
    reset();
    if (cancelError) {
        log(LogLevel::Error, log.sites.disconnectFailed) << cancelError.message();
        return -1;
    }
    log(LogLevel::Info, log.sites.disconnected);
    wakeUp.notify_one();
    fireEvent(1);
    return 0;
}

template <typename Protocol>
bool RtdeConnection<Protocol>::reportAlreadyConnected() {
    if (!hasConnected()) {
        return false;
    }
    log(LogLevel::Warning, log.sites.alreadyConnected);
    return true;
}

template <typename Protocol>
bool RtdeConnection<Protocol>::closeSocket(std::error_code* cancelError) {
    std::lock_guard<std::mutex> guard(socketMutex);
    const bool existed = socket != nullptr;
    if (socket) {
        std::error_code error;
        socket->cancel(error);
        if (cancelError) {
            *cancelError = error;
        }
        socket->close(error);
        socket.reset();
    }
    writer.failQueue();
    handshakeLeftover.clear();
    return existed;
}

template <typename Protocol>
RtdeConnectAbandon RtdeConnection<Protocol>::connectAbandon() const {
    return RtdeConnectAbandon(running, disconnectCalls);
}

template <typename Protocol>
SocketDeadline RtdeConnection<Protocol>::peerDeadline() const {
    return std::chrono::steady_clock::now() + timing.connectWait;
}

template <typename Protocol>
int RtdeConnection<Protocol>::completeHandshake(SocketPtr fresh, const RtdeConnectAbandon& abandoned) {
    RtdeConnectionInfo info;
    if (const auto error = readConnectionInfo(*fresh, peerDeadline(), abandoned, info)) {
        log(LogLevel::Error, log.sites.recvInfoFailed) << error.message();
        return -1;
    }
    topics.adoptMaps(std::move(info.input), std::move(info.output));
    protocolVersion = info.version;
    {
        std::lock_guard<std::mutex> guard(socketMutex);
        socket = std::move(fresh);
        handshakeLeftover = std::move(info.leftover);
    }
    connected = true;
    return 0;
}

template <typename Protocol>
typename RtdeConnection<Protocol>::SocketPtr RtdeConnection<Protocol>::currentSocket() {
    std::lock_guard<std::mutex> guard(socketMutex);
    return socket;
}

template <typename Protocol>
bool RtdeConnection<Protocol>::isCurrent(const SocketPtr& candidate) {
    std::lock_guard<std::mutex> guard(socketMutex);
    return candidate == socket;
}

template <typename Protocol>
std::vector<char> RtdeConnection<Protocol>::takeLeftover(const SocketPtr& current) {
    std::vector<char> leftover;
    std::lock_guard<std::mutex> guard(socketMutex);
    if (socket == current) {
        leftover.swap(handshakeLeftover);
    }
    return leftover;
}

template <typename Protocol>
void RtdeConnection<Protocol>::reset() {
    topics.reset();
    protocolVersion = -1;
}

template <typename Protocol>
void RtdeConnection<Protocol>::fireEvent(int code) {
    std::function<void(int)> handler;
    {
        std::lock_guard<std::mutex> guard(handlersMutex);
        handler = eventHandler;
    }
    if (!handler) {
        return;
    }
    if (!onPollingThread()) {
        handler(code);
        return;
    }
    try {
        handler(code);
    } catch (...) {
        // A throwing handler must not end the polling thread.
    }
}

// ---------------------------------------------------------------------------
// The collaborators' operations and the tables

template <typename Protocol>
int RtdeConnection<Protocol>::doRead() {
    return reader.doRead();
}

template <typename Protocol>
int RtdeConnection<Protocol>::parse(char* data, std::size_t size) {
    return reader.parse(data, size);
}

template <typename Protocol>
int RtdeConnection<Protocol>::send(const std::vector<uint8_t>& payload) {
    return writer.send(payload);
}

template <typename Protocol>
int RtdeConnection<Protocol>::publish(int channel, Builder builder) {
    return writer.publish(channel, std::move(builder));
}

template <typename Protocol>
int RtdeConnection<Protocol>::setTopic(bool to_server, const std::vector<std::string>& names, double frequency,
                                       int channel) {
    return topics.setTopic(to_server, names, frequency, channel);
}

template <typename Protocol>
int RtdeConnection<Protocol>::removeTopic(bool to_server, int channel) {
    return topics.removeTopic(to_server, channel);
}

template <typename Protocol>
int RtdeConnection<Protocol>::subscribe(int channel, Subscription handler) {
    return topics.subscribe(channel, std::move(handler));
}

template <typename Protocol>
bool RtdeConnection<Protocol>::checkRecipe(const std::vector<std::string>& names,
                                           const std::map<std::string, int>& map) {
    return topics.checkRecipe(names, map);
}

template <typename Protocol>
void RtdeConnection<Protocol>::checkReceiveRates() {
    topics.checkReceiveRates();
}

template <typename Protocol>
int RtdeConnection<Protocol>::getProtocolVersion() const {
    return protocolVersion;
}

template <typename Protocol>
std::map<std::string, int> RtdeConnection<Protocol>::getInputMaps() {
    return topics.inputMap();
}

template <typename Protocol>
std::map<std::string, int> RtdeConnection<Protocol>::getOutputMaps() {
    return topics.outputMap();
}

template <typename Protocol>
std::unordered_map<int, RtdeRecipe> RtdeConnection<Protocol>::getRegisteredInputRecipe() {
    return topics.inputRecipes();
}

template <typename Protocol>
std::unordered_map<int, RtdeRecipe> RtdeConnection<Protocol>::getRegisteredOutputRecipe() {
    return topics.outputRecipes();
}

template <typename Protocol>
int RtdeConnection<Protocol>::setEventHandler(std::function<void(int)> handler) {
    std::lock_guard<std::mutex> guard(handlersMutex);
    eventHandler = std::move(handler);
    return 0;
}

template <typename Protocol>
void RtdeConnection<Protocol>::setLogHandler(LogHandler handler) {
    log.setHandler(std::move(handler));
}

template class RtdeConnection<asio::ip::tcp>;
template class RtdeConnection<asio::local::stream_protocol>;

}  // namespace zorv_interface
