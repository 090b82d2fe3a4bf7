#include "connector_rtde.h"

#include <sys/socket.h>

#include <cerrno>
#include <cmath>
#include <exception>

#include <nlohmann/json.hpp>

#include "input_parser_impl.h"
#include "output_builder_impl.h"

namespace zorv_interface {

namespace {

const char kKeepAlive[] = "__ping__";  // sent with its terminating zero: nine bytes
const char kNonStandardException[] = "exception of a type not derived from std::exception";

nlohmann::json member(const nlohmann::json& object, const char* key) {
    if (object.is_object()) {
        auto it = object.find(key);
        if (it != object.end()) {
            return *it;
        }
    }
    return nullptr;
}

std::string quoted(const nlohmann::json& value) { return "\"" + value.dump() + "\""; }

// A socket as asio's read_until sees it, every read bounded by a deadline and an
// abandon check (asio's own blocking reads ignore the socket's receive time-out).
template <class Socket, class Abandoned>
struct BoundedReads {
    Socket& socket;
    SocketDeadline deadline;
    const Abandoned& abandoned;

    template <class Buffers>
    std::size_t read_some(const Buffers& buffers, std::error_code& error) {
        return readSomeWithin(socket, buffers, deadline, abandoned, error);
    }
};

}  // namespace

// One framed write (or keep-alive) with its own result, settled exactly once.
template <typename Protocol>
struct RtdeConnection<Protocol>::PendingWrite {
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
RtdeConnection<Protocol>::RtdeConnection(const RtdeSites& sites, RtdeTiming timing)
    : sites(sites),
      timing(timing),
      work(ioContext.get_executor()),
      pingTimer(ioContext),
      watchdogTimer(ioContext),
      frameReader([this](char* data, std::size_t size, char) { return parse(data, size); }) {
    reset();
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
    if (sites.tcp) {
        armKeepAlive();
        armWatchdog();
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
        if (doRead() != 0) {
            // Logged in but the connection is going away: let the teardown finish.
            std::unique_lock<std::recursive_mutex> guard(lock);
            wakeUp.wait_for(guard, std::chrono::milliseconds(10));
            continue;
        }
        runWhileLogined();
    }
}

template <typename Protocol>
void RtdeConnection<Protocol>::runWhileLogined() {
    say(Log(logHandler()), LogLevel::Info, sites.pollingStart);
    polling = true;
    // The work guard keeps run_one blocking until a completion, a wake-up or stop.
    while (logined) {
        ioContext.run_one();
    }
    polling = false;
    say(Log(logHandler()), LogLevel::Info, sites.pollingPause);
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
                doRead();
            }
        });
        const auto start = std::chrono::steady_clock::now();
        while (!resumed && !polling) {
            std::this_thread::yield();
            const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count();
            if (elapsed > 1000000) {
                say(Log(logHandler()), LogLevel::Error, sites.loginTimeout) << elapsed << "us";
                return -1;
            }
        }
    }
    say(Log(logHandler()), LogLevel::Info, sites.loginSucceed);
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
        say(Log(logHandler()), LogLevel::Error, sites.disconnectFailed) << cancelError.message();
        return -1;
    }
    say(Log(logHandler()), LogLevel::Info, sites.disconnected);
    wakeUp.notify_one();
    fireEvent(1);
    return 0;
}

template <typename Protocol>
bool RtdeConnection<Protocol>::reportAlreadyConnected() {
    if (!hasConnected()) {
        return false;
    }
    say(Log(logHandler()), LogLevel::Warning, sites.alreadyConnected);
    return true;
}

template <typename Protocol>
bool RtdeConnection<Protocol>::closeSocket(std::error_code* cancelError) {
    std::deque<std::shared_ptr<PendingWrite>> failed;
    bool existed = false;
    {
        std::lock_guard<std::mutex> guard(socketMutex);
        if (socket) {
            existed = true;
            std::error_code error;
            socket->cancel(error);
            if (cancelError) {
                *cancelError = error;
            }
            socket->close(error);
            socket.reset();
        }
        failed.swap(writes);
        writing = false;
        handshakeLeftover.clear();
    }
    for (auto& write : failed) {
        write->finish(false);
    }
    return existed;
}

template <typename Protocol>
RtdeConnection<Protocol>::Abandoned::Abandoned(const RtdeConnection& connection)
    : connection(connection), epoch(connection.disconnectCalls) {}

template <typename Protocol>
bool RtdeConnection<Protocol>::Abandoned::operator()() const {
    return !connection.running || connection.disconnectCalls != epoch;
}

template <typename Protocol>
SocketDeadline RtdeConnection<Protocol>::peerDeadline() const {
    return std::chrono::steady_clock::now() + timing.connectWait;
}

template <typename Protocol>
int RtdeConnection<Protocol>::completeHandshake(SocketPtr fresh, const Abandoned& abandoned) {
    asio::streambuf received(kMaxConnectionInfo);
    std::error_code error;
    BoundedReads<Socket, Abandoned> stream{*fresh, peerDeadline(), abandoned};
    const std::size_t end = asio::read_until(stream, received, "}\n\n", error);
    if (error) {
        say(Log(logHandler()), LogLevel::Error, sites.recvInfoFailed) << error.message();
        return -1;
    }
    const char* begin = static_cast<const char*>(received.data().data());
    const auto info = nlohmann::json::parse(begin, begin + end, nullptr, true, false);
    member(info, "protocol").get<std::string>();
    const int version = member(info, "version").get<int>();
    auto input = member(info, "input").get<std::map<std::string, int>>();
    auto output = member(info, "output").get<std::map<std::string, int>>();
    {
        std::lock_guard<std::mutex> guard(tablesMutex);
        inputMap = std::move(input);
        outputMap = std::move(output);
    }
    protocolVersion = version;
    {
        std::lock_guard<std::mutex> guard(socketMutex);
        socket = std::move(fresh);
        handshakeLeftover.assign(begin + end, begin + received.size());
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
void RtdeConnection<Protocol>::reset() {
    std::lock_guard<std::mutex> guard(tablesMutex);
    freeInputChannels.clear();
    freeOutputChannels.clear();
    for (int channel = 0; channel < kChannels; ++channel) {
        freeInputChannels.insert(channel);
        freeOutputChannels.insert(channel);
    }
    inputRecipes.clear();
    outputRecipes.clear();
    inputMap.clear();
    outputMap.clear();
    protocolVersion = -1;
    subscriptions.clear();
    receivedCounts.clear();
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
// Reading

template <typename Protocol>
int RtdeConnection<Protocol>::doRead() {
    SocketPtr current = currentSocket();
    if (!connected || !current) {
        say(Log(logHandler()), LogLevel::Error, sites.doReadNotConnected);
        return -1;
    }
    if (current != dispatchSocket) {
        feedHandshakeLeftover(current);
    }
    if (readingSocket == current) {
        return 0;
    }
    readingSocket = current;
    std::lock_guard<std::mutex> guard(socketMutex);
    if (sites.tcp) {
        std::error_code ignored;
        current->set_option(asio::ip::tcp::no_delay(true), ignored);
    }
    current->async_read_some(asio::buffer(receiveBuffer),
                             [this, current](const std::error_code& error, std::size_t size) {
                                 onRead(current, error, size);
                             });
    return 0;
}

// Bytes that came with the connection information are the start of the frame stream.
template <typename Protocol>
void RtdeConnection<Protocol>::feedHandshakeLeftover(const SocketPtr& current) {
    frameReader.reset();
    dispatchSocket = current;
    std::vector<char> leftover;
    {
        std::lock_guard<std::mutex> guard(socketMutex);
        if (socket == current) {
            leftover.swap(handshakeLeftover);
        }
    }
    if (!leftover.empty()) {
        frameReader.dispatch(leftover.data(), leftover.size());
    }
}

template <typename Protocol>
void RtdeConnection<Protocol>::onRead(const SocketPtr& source, const std::error_code& error, std::size_t size) {
    if (readingSocket == source) {
        readingSocket.reset();
    }
    silentTicks = 0;
    if (!sites.tcp && !connected) {
        say(Log(logHandler()), LogLevel::Error, sites.completionNotConnected);
        return;
    }
    const bool stale = source != currentSocket();
    if (error && error != asio::error::eof) {
        say(Log(logHandler()), LogLevel::Error, sites.recvPackageFailed) << error.message();
        if (stale) {
            return;  // the read of a connection already closed
        }
        say(Log(logHandler()), LogLevel::Error, sites.recvData) << std::string(receiveBuffer.data(), size);
        // A reset stream never signals the reactor again: only a live peer gets a retry.
        if (++retryCount < 4 && peerAlive()) {
            doRead();
            return;
        }
        if (retryCount < 4) {
            closeConnection();  // gone like an end-of-stream
            return;
        }
        say(Log(logHandler()), LogLevel::Error, sites.recvRetryFail) << "\n";
        closeConnection();
        return;
    }
    if (!connected) {
        say(Log(logHandler()), LogLevel::Error, sites.completionNotConnected);
        return;
    }
    if (stale) {
        return;
    }
    retryCount = 0;
    if (error == asio::error::eof) {
        closeConnection();  // the server closed the stream
        return;
    }
    frameReader.dispatch(receiveBuffer.data(), size);
    doRead();
}

// ---------------------------------------------------------------------------
// Writing

template <typename Protocol>
int RtdeConnection<Protocol>::send(const std::vector<uint8_t>& payload) {
    if (!logined) {
        say(Log(logHandler()), LogLevel::Error, sites.sendNotLogined);
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
    if (onPollingThread()) {
        return 0;
    }
    if (done.wait_for(kSendWait) != std::future_status::ready) {
        say(Log(logHandler()), LogLevel::Error, sites.sendTimeout);
        return -1;
    }
    return done.get() ? 0 : -1;
}

template <typename Protocol>
std::error_code RtdeConnection<Protocol>::enqueue(const std::shared_ptr<PendingWrite>& write) {
    std::lock_guard<std::mutex> guard(socketMutex);
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
void RtdeConnection<Protocol>::reportWriteFailure(const RtdeSite& site, const std::error_code& error) {
    say(Log(logHandler()), LogLevel::Error, site) << error.message();
    if (error != std::errc::not_connected) {
        closeConnection();
    }
}

// Caller holds socketMutex.
template <typename Protocol>
void RtdeConnection<Protocol>::startWrite(const SocketPtr& target, const std::shared_ptr<PendingWrite>& write) {
    target->async_write_some(
        asio::buffer(write->bytes.data() + write->written, write->bytes.size() - write->written),
        [this, target, write](const std::error_code& error, std::size_t written) {
            onWritten(target, write, error, written);
        });
}

template <typename Protocol>
void RtdeConnection<Protocol>::onWritten(const SocketPtr& target, const std::shared_ptr<PendingWrite>& write,
                                         const std::error_code& error, std::size_t written) {
    {
        std::lock_guard<std::mutex> guard(socketMutex);
        if (target != socket) {
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

// ---------------------------------------------------------------------------
// Keep-alive and receive watchdog (TCP)

template <typename Protocol>
void RtdeConnection<Protocol>::armKeepAlive() {
    pingTimer.expires_after(timing.keepAlive);
    pingTimer.async_wait([this](const std::error_code& error) { timeout(error); });
}

template <typename Protocol>
void RtdeConnection<Protocol>::timeout(const std::error_code&) {
    if (silentTicks++ > 1) {
        auto write = std::make_shared<PendingWrite>();
        write->bytes.assign(kKeepAlive, kKeepAlive + sizeof(kKeepAlive));
        write->failureSite = &sites.keepAliveFailed;
        const auto error = enqueue(write);
        if (error && error != std::errc::not_connected) {
            reportWriteFailure(sites.keepAliveFailed, error);
        }
    }
    armKeepAlive();
}

template <typename Protocol>
void RtdeConnection<Protocol>::armWatchdog() {
    watchdogTimer.expires_after(timing.watchdog);
    watchdogTimer.async_wait([this](const std::error_code& error) { timeout1(error); });
}

template <typename Protocol>
void RtdeConnection<Protocol>::timeout1(const std::error_code&) {
    checkReceiveRates();
    armWatchdog();
}

template <typename Protocol>
bool RtdeConnection<Protocol>::hasEnding(const std::string& full, const std::string& ending) {
    return full.size() >= ending.size() && full.compare(full.size() - ending.size(), ending.size(), ending) == 0;
}

template <typename Protocol>
void RtdeConnection<Protocol>::checkReceiveRates() {
    struct Shortfall {
        int channel;
        int received;
        double expected;
    };
    std::vector<Shortfall> shortfalls;
    {
        std::lock_guard<std::mutex> guard(tablesMutex);
        for (auto& [channel, count] : receivedCounts) {
            const auto recipe = outputRecipes.find(channel);
            if (recipe != outputRecipes.end()) {
                const double frequency = recipe->second.frequency;
                int threshold = static_cast<int>(std::ceil(frequency * 5.0 * 0.8));
                const auto& segments = recipe->second.segments;
                if (segments.size() == 1 && hasEnding(segments.front(), "_message")) {
                    threshold = 0;
                }
                if (count < threshold) {
                    shortfalls.push_back({channel, count, frequency * 5.0});
                }
            }
            count = 0;
        }
    }
    for (const auto& shortfall : shortfalls) {
        say(Log(logHandler()), LogLevel::Warning, sites.watchdog)
            << shortfall.channel << " of RTDE received " << shortfall.received << " packages "
            << "less than " << shortfall.expected << " in " << 5 << " seconds";
    }
}

// ---------------------------------------------------------------------------
// Topics

template <typename Protocol>
bool RtdeConnection<Protocol>::checkRecipe(const std::vector<std::string>& names,
                                           const std::map<std::string, int>& map) {
    for (const auto& name : names) {
        if (map.count(name) == 0) {
            say(Log(logHandler()), LogLevel::Error, sites.cannotFind) << name << " in input/output map";
            return false;
        }
    }
    return true;
}

template <typename Protocol>
int RtdeConnection<Protocol>::setTopic(bool to_server, const std::vector<std::string>& names, double frequency,
                                       int channel) {
    if (!hasConnected()) {
        say(Log(logHandler()), LogLevel::Error, sites.setTopicNotConnected);
        return -1;
    }
    if (!logined) {
        say(Log(logHandler()), LogLevel::Error, sites.setTopicNotLogined);
        return -1;
    }
    std::lock_guard<std::recursive_mutex> guard(lock);
    RtdeRecipe recipe;
    recipe.to_server = to_server;
    recipe.segments = names;
    recipe.frequency = frequency;
    if (!checkRecipe(names, to_server ? getInputMaps() : getOutputMaps())) {
        say(Log(logHandler()), LogLevel::Error, sites.checkRecipeFailed);
        return -1;
    }
    {
        std::lock_guard<std::mutex> tables(tablesMutex);
        auto& pool = to_server ? freeInputChannels : freeOutputChannels;
        if (!pool.empty()) {
            auto chosen = pool.find(channel);
            if (chosen == pool.end()) {
                chosen = pool.begin();  // the lowest free channel
            }
            recipe.chanel = *chosen;
            pool.erase(chosen);
            (to_server ? inputRecipes : outputRecipes)[recipe.chanel] = recipe;
        } else {
            recipe.chanel = -1;
        }
    }
    if (recipe.chanel < 0) {
        say(Log(logHandler()), LogLevel::Error, to_server ? sites.runOutInput : sites.runOutOutput);
        return -2;
    }
    if (publish(kControlChannel, [recipe](OutputBuilder& builder) { builder.push(recipe); }) != 0) {
        return -1;
    }
    return recipe.chanel;
}

template <typename Protocol>
int RtdeConnection<Protocol>::removeTopic(bool to_server, int channel) {
    if (!hasConnected()) {
        say(Log(logHandler()), LogLevel::Error, sites.removeNotConnected);
        return 1;
    }
    if (!logined) {
        say(Log(logHandler()), LogLevel::Error, sites.removeNotLogined);
        return 1;
    }
    {
        std::lock_guard<std::mutex> tables(tablesMutex);
        auto& recipes = to_server ? inputRecipes : outputRecipes;
        const bool registered = recipes.erase(channel) > 0;
        if (registered && channel >= 0 && channel < kChannels) {
            (to_server ? freeInputChannels : freeOutputChannels).insert(channel);
        }
        if (!to_server) {
            subscriptions.erase(channel);
            receivedCounts.erase(channel);
        }
    }
    RtdeRecipe recipe;
    recipe.to_server = to_server;
    recipe.chanel = channel;
    recipe.frequency = 0.0;
    publish(kControlChannel, [recipe](OutputBuilder& builder) { builder.push(recipe); });
    return 0;
}

template <typename Protocol>
int RtdeConnection<Protocol>::subscribe(int channel, Subscription handler) {
    std::lock_guard<std::mutex> tables(tablesMutex);
    subscriptions[channel] = std::move(handler);
    if (sites.tcp) {
        receivedCounts[channel] = 0;
    }
    return 0;
}

template <typename Protocol>
int RtdeConnection<Protocol>::publish(int channel, Builder builder) {
    if (!hasConnected()) {
        say(Log(logHandler()), LogLevel::Error, sites.publishNotConnected);
        return -1;
    }
    if (!logined) {
        say(Log(logHandler()), LogLevel::Error, sites.publishNotLogined);
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
        say(Log(logHandler()), LogLevel::Error, sites.payloadNotUtf8) << error.what();
        return -1;
    }
    say(Log(logHandler()), LogLevel::Info, sites.publish) << text;
    const std::vector<uint8_t> payload = nlohmann::json::to_cbor(message);
    if (payload.size() > kMaxType0Payload) {
        say(Log(logHandler()), LogLevel::Error, sites.payloadTooLong) << payload.size() << " bytes";
        return -1;
    }
    return send(payload) == 0 ? 0 : -1;
}

// ---------------------------------------------------------------------------
// Receiving

template <typename Protocol>
int RtdeConnection<Protocol>::parse(char* data, std::size_t size) {
    if (!logined) {
        return 0;
    }
    try {
        auto value = nlohmann::json::from_cbor(data, data + size, true, false);
        if (value.is_discarded()) {
            value = nlohmann::json::parse(data, data + size);
        }
        if (!value.is_array()) {
            say(Log(logHandler()), LogLevel::Error, sites.notArray) << quoted(value);
            return 0;
        }
        const int channel = value.at(0).template get<int>();
        Subscription handler;
        {
            std::lock_guard<std::mutex> tables(tablesMutex);
            auto found = subscriptions.find(channel);
            if (found != subscriptions.end()) {
                handler = found->second;
            }
        }
        if (!handler) {
            say(Log(logHandler()), LogLevel::Error, sites.unknownChannel)
                << channel << (sites.tcp ? ": " + quoted(value) : std::string());
            return 0;
        }
        InputParser parser;
        parser.impl().setJsonData(std::move(value));
        handler(parser);
        if (sites.tcp) {
            std::lock_guard<std::mutex> tables(tablesMutex);
            auto count = receivedCounts.find(channel);
            if (count != receivedCounts.end()) {
                ++count->second;
            }
        }
        return 0;
    } catch (const nlohmann::json::parse_error& error) {
        logDecodeFailure(sites.parseError, sites.parseErrorDump, error.what(), data, size);
    } catch (const nlohmann::json::type_error& error) {
        logDecodeFailure(sites.typeError, sites.typeErrorDump, error.what(), data, size);
    } catch (const std::exception& error) {
        logDecodeFailure(sites.unknownError, sites.unknownErrorDump, error.what(), data, size);
    } catch (...) {
        logDecodeFailure(sites.unknownError, sites.unknownErrorDump, kNonStandardException, data, size);
    }
    return -1;
}

template <typename Protocol>
void RtdeConnection<Protocol>::logDecodeFailure(const RtdeSite& site, const RtdeSite& dump, const char* what,
                                                char* data, std::size_t size) {
    say(Log(logHandler()), LogLevel::Error, site) << what;
    print(say(Log(logHandler()), LogLevel::Error, dump), data, size);
}

// ---------------------------------------------------------------------------
// Accessors and handlers

template <typename Protocol>
int RtdeConnection<Protocol>::getProtocolVersion() const {
    return protocolVersion;
}

template <typename Protocol>
std::map<std::string, int> RtdeConnection<Protocol>::getInputMaps() {
    std::lock_guard<std::mutex> tables(tablesMutex);
    return inputMap;
}

template <typename Protocol>
std::map<std::string, int> RtdeConnection<Protocol>::getOutputMaps() {
    std::lock_guard<std::mutex> tables(tablesMutex);
    return outputMap;
}

template <typename Protocol>
std::unordered_map<int, RtdeRecipe> RtdeConnection<Protocol>::getRegisteredInputRecipe() {
    std::lock_guard<std::mutex> tables(tablesMutex);
    return inputRecipes;
}

template <typename Protocol>
std::unordered_map<int, RtdeRecipe> RtdeConnection<Protocol>::getRegisteredOutputRecipe() {
    std::lock_guard<std::mutex> tables(tablesMutex);
    return outputRecipes;
}

template <typename Protocol>
int RtdeConnection<Protocol>::setEventHandler(std::function<void(int)> handler) {
    std::lock_guard<std::mutex> guard(handlersMutex);
    eventHandler = std::move(handler);
    return 0;
}

template <typename Protocol>
void RtdeConnection<Protocol>::setLogHandler(LogHandler handler) {
    if (!handler) {
        return;
    }
    std::lock_guard<std::mutex> guard(handlersMutex);
    logHandler_ = std::move(handler);
}

template <typename Protocol>
LogHandler RtdeConnection<Protocol>::logHandler() {
    std::lock_guard<std::mutex> guard(handlersMutex);
    return logHandler_;
}

template <typename Protocol>
std::ostream& RtdeConnection<Protocol>::say(Log&& log, LogLevel level, const RtdeSite& site) {
    return log.Get(level, sites.file, site.line) << site.text;
}

template class RtdeConnection<asio::ip::tcp>;
template class RtdeConnection<asio::local::stream_protocol>;

}  // namespace zorv_interface
