#include "connector_asio.h"

#include <sys/socket.h>

#include <bitset>
#include <cstring>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>
#include <string_view>

#include "zorv_interface/zorv_exception.h"

namespace jsonrpccxx {

std::string get_uuid() {
    static const char alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static std::mutex generatorMutex;
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, 61);
    std::string id;
    id.reserve(18);
    std::lock_guard<std::mutex> lock(generatorMutex);
    for (int step = 0; step < 8; ++step) {
        if (step == 4 || step == 6) {
            id += '-';
        }
        id += alphabet[pick(generator)];
        id += alphabet[pick(generator)];
    }
    return id;
}

}  // namespace jsonrpccxx

namespace zorv_interface {

const char* const LOGIN_PREFIX_KEY = "Qm7#pV2!xR9&tL4^wZ8k";
const char* const LOGIN_SUFFIX_KEY = "Hd3$Kq8@Np1!Wc6^Yf0&Tg5*Lb2%Vs9#Mx4+Jr7=Ez1?Ua6~Oi";

namespace {

using TimedLock = std::unique_lock<RecursiveTimedMutex>;

constexpr std::chrono::milliseconds kLockWait{100};

TimedLock lockWithin(RecursiveTimedMutex& mutex) {
    return TimedLock(mutex, std::chrono::steady_clock::now() + kLockWait);
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

ConnectorAsio::ConnectorAsio(std::chrono::milliseconds connectBound)
    : connectWait(connectBound), packageDispatch(std::make_unique<PackageDispatch>()) {}

// Members go in reverse order: the socket closes before its I/O context goes.
ConnectorAsio::~ConnectorAsio() = default;

std::string ConnectorAsio::loginDigest(const std::string& passwd) {
    const std::string salted = LOGIN_PREFIX_KEY + passwd + LOGIN_SUFFIX_KEY;
    std::string digest;
    digest.reserve(salted.size());
    for (const unsigned char byte : salted) {
        digest += static_cast<char>('0' + std::bitset<8>(byte).count());
    }
    return digest;
}

void ConnectorAsio::setLogHandler(LogHandler handler) {
    if (handler) {
        std::lock_guard<std::mutex> guard(stateMutex);
        logHandler = std::move(handler);
    }
}

LogHandler ConnectorAsio::getLogHandler() {
    std::lock_guard<std::mutex> guard(stateMutex);
    return logHandler;
}

int ConnectorAsio::setEventHandler(std::function<void(int)> handler) {
    std::lock_guard<std::mutex> guard(stateMutex);
    eventHandler = std::move(handler);
    return 0;
}

int ConnectorAsio::setRequestTimeout(int ms) {
    if (ms > 0) {
        requestTimeout = ms;
    }
    return 0;
}

void ConnectorAsio::forceSend(bool on) { forceSendFlag = on; }

bool ConnectorAsio::hasLogined() { return logined; }

int ConnectorAsio::logout() {
    logined = false;
    writeLog(LogLevel::Info, 180, "RPC Client logout");
    return 0;
}

int ConnectorAsio::connect(const std::string& ip, int port) {
    std::lock_guard<RecursiveTimedMutex> lock(connMutex);
    const std::string target = ip + ":" + std::to_string(port);
    std::shared_ptr<Socket> stale;
    {
        std::lock_guard<std::mutex> guard(stateMutex);
        stale = std::move(socket);
    }
    if (stale) {
        std::error_code ignored;
        stale->close(ignored);
        writeLog(LogLevel::Debug, 57, "Disconnect before connect to " + target);
        stale.reset();
    }

    auto context = std::make_shared<asio::io_context>();
    auto sock = std::make_shared<Socket>(*context);
    sock->open(asio::ip::tcp::v4());
    sock->set_option(asio::socket_base::keep_alive(true));
    sock->set_option(asio::ip::tcp::no_delay(true));
    setSocketTimeouts(*sock);
    {
        std::lock_guard<std::mutex> guard(stateMutex);
        socket = sock;
        ioContext = context;  // handlers queued on the old context die with it unrun
    }
    receivePending = false;

    const asio::ip::tcp::endpoint peer(asio::ip::make_address(ip), static_cast<unsigned short>(port));
    // Nothing abandons a connect: it holds connMutex, and disconnect leaves an
    // unconnected socket alone.
    const std::error_code error =
        connectWithin(*sock, peer, std::chrono::steady_clock::now() + connectWait, [] { return false; });
    if (error) {
        writeLog(LogLevel::Error, 95, "Connect to " + target + " FAILED: " + error.message());
        return -8;
    }
    writeLog(LogLevel::Info, 98, "Connect to " + target);
    connected = true;
    return 0;
}

int ConnectorAsio::login(const std::string& user, const std::string& passwd) {
    if (!connected) {
        return -1;
    }
    logined = true;  // lets Send pass its login check
    const std::string line = "__login__\n" + user + "\n" + loginDigest(passwd) + "\n" +
                             std::to_string(SDK_INTERFACE_VERSION) + "\n";
    try {
        Send(line);
    } catch (const ZorvException&) {
        throw;
    } catch (...) {
        logined = false;  // answered with something that is not a login verdict
        throw;
    }
    writeLog(LogLevel::Info, 159, "RPC Client login");
    return 0;
}

std::string ConnectorAsio::Send(const std::string& request) { return transact(request, std::nullopt).text; }

nlohmann::json ConnectorAsio::SendParsed(const std::string& request) {
    return documentOf(transact(request, std::nullopt));
}

nlohmann::json ConnectorAsio::SendParsed(const std::string& request, const nlohmann::json& id) {
    return documentOf(transact(request, id));
}

nlohmann::json ConnectorAsio::documentOf(Reply reply) {
    return reply.document ? std::move(*reply.document) : nlohmann::json::parse(reply.text);
}

ConnectorAsio::Reply ConnectorAsio::transact(const std::string& request, std::optional<nlohmann::json> id) {
    TimedLock lock = lockWithin(connMutex);
    if (!connected) {
        logined = false;
        throw ZorvException(-1, "RPC client has not connected");
    }
    if (!forceSendFlag && !logined) {
        throw ZorvException(-2, "RPC client has not logined");
    }
    if (!currentSocket()) {
        connected = false;
        logined = false;
        throw ZorvException(-3, "RPC client socket has not open");
    }
    if (!lock.owns_lock()) {
        throw ZorvException(-4, "RPC client is busy(" + lastRequestText() + ")");
    }
    {
        std::lock_guard<std::mutex> guard(stateMutex);
        lastRequest = request;
    }
    requestId = std::move(id);
    auto frame = std::make_shared<Frame>();
    encode(1, request, *frame);
    packageDispatch->reset();
    return requestWithTimeout(frame, std::chrono::milliseconds(requestTimeout.load()));
}

ConnectorAsio::Reply ConnectorAsio::requestWithTimeout(const std::shared_ptr<const Frame>& frame,
                                                       const std::chrono::nanoseconds& timeout) {
    // Local shares keep both alive even if another thread disconnects meanwhile.
    const auto context = currentContext();
    const auto sock = currentSocket();
    lastReply.clear();
    replyDocument.reset();
    replyError.set = false;
    if (!context || !sock) {
        return {};
    }
    context->restart();
    const auto deadline = std::chrono::steady_clock::now() + timeout;

    // Per request: a late completion of an earlier write must not speak for this one.
    auto written = std::make_shared<bool>(false);
    asio::async_write(*sock, asio::buffer(*frame),
                      [this, frame, written](const std::error_code& error, std::size_t bytes) {
                          *written = true;
                          writeCallback(error, bytes);
                      });

    // The pump waits for the deadline even with nothing in flight (an ended stream, a
    // refused login); only a stop from another thread ends it early.
    const auto waiting = asio::make_work_guard(*context);
    while (!replyError.set) {
        if (context->run_one_until(deadline) != 0) {
            continue;
        }
        if (context->stopped()) {
            break;  // another thread disconnected
        }
        if (!*written) {
            disconnect();  // a half-written frame would corrupt every later request
        }
        hasConnected();
        throw ZorvException(-6, "RPC request timeout.");
    }
    if (replyError.error) {
        throw ZorvException(-7, "RPC read failed: " + replyError.error.message());
    }
    return {std::move(lastReply), std::move(replyDocument)};
}

void ConnectorAsio::writeCallback(const std::error_code& error, std::size_t /*bytes*/) {
    if (error) {
        disconnect();
        throw ZorvException(-5, "RPC send failed: " + error.message());
    }
    read_some();
}

void ConnectorAsio::read_some() {
    const auto sock = currentSocket();
    if (receivePending || !sock) {
        return;  // one receive per connection: a timed-out request may have left one armed
    }
    std::memset(recvBuffer, 0, sizeof recvBuffer);
    receivePending = true;
    sock->async_receive(asio::buffer(recvBuffer), 0,
                        [this](const std::error_code& error, std::size_t bytes) {
                            receiveCallback(error, bytes);
                        });
}

void ConnectorAsio::receiveCallback(const std::error_code& error, std::size_t bytes) {
    receivePending = false;
    if (error == asio::error::eof) {
        return;  // the time-out's probe reports the closed connection
    }
    if (error) {
        disconnect();
        replyError = {true, error};
        throw ZorvException(-7, "RPC client recv package failed: " + error.message());
    }
    bool gotFrame = false;
    rejectedInChunk = false;
    packageDispatch->dispatch(recvBuffer, bytes, [this, &gotFrame](char* data, std::size_t size, char) {
        gotFrame = true;
        readCallback(std::error_code(), data, size);
        return 0;
    });
    // Re-arm only once the whole chunk is split: arming zeroes the buffer being split.
    if (replyError.set) {
        return;
    }
    if (!gotFrame) {
        if (connected) {
            writeLog(LogLevel::Debug, 385, "Read more ...");
            read_some();
        }
    } else if (rejectedInChunk) {
        read_some();
    }
}

void ConnectorAsio::readCallback(const std::error_code& error, char* data, std::size_t size) {
    if (replyError.set) {
        return;  // frames behind the accepted reply in the same chunk answer nothing
    }
    const std::string_view payload(data, size);
    if (payload.compare(0, 9, "__login__") == 0) {
        if (endsWith(payload, "SUCCEED")) {
            completeReply(error);
            return;
        }
        if (endsWith(payload, "FAILED")) {
            logined = false;
            writeLog(LogLevel::Warning, 279, "login failed");
            return;
        }
    }
    if (payload.empty()) {
        return;
    }
    const nlohmann::json& expectedId = currentRequestId();
    nlohmann::json reply = nlohmann::json::parse(payload.begin(), payload.end());
    const auto replyId = reply.find("id");  // end() for anything but an object
    if (replyId != reply.end() && *replyId != expectedId) {
        writeLog(LogLevel::Debug, 292,
                 "JsonRPC id unmatch request: " + lastRequestText() + " reply: " + std::string(payload));
        rejectedInChunk = true;
        return;
    }
    lastReply.assign(payload);
    replyDocument = std::move(reply);
    completeReply(error);
}

// Parsed once per request, on its first reply frame: a request that is not JSON fails
// there, as the reply check's own parse.
const nlohmann::json& ConnectorAsio::currentRequestId() {
    if (!requestId) {
        const auto request = nlohmann::json::parse(lastRequestText());
        const auto id = request.find("id");
        requestId = id != request.end() ? *id : nlohmann::json(nullptr);
    }
    return *requestId;
}

void ConnectorAsio::completeReply(const std::error_code& error) {
    replyError.set = true;
    replyError.error = error;
}

bool ConnectorAsio::hasConnected() {
    TimedLock lock = lockWithin(connMutex);
    if (!connected) {
        return false;
    }
    if (!lock.owns_lock()) {
        return true;  // the socket belongs to the request in flight; trust the flag
    }
    const auto sock = currentSocket();
    return sock && probe(*sock);
}

bool ConnectorAsio::probe(Socket& sock) {
    sock.non_blocking(true);
    char byte = 0;
    std::error_code error;
    // A peek: a waiting byte belongs to the next reply frame.
    sock.receive(asio::buffer(&byte, 1), asio::socket_base::message_peek, error);
    if (!error || error == asio::error::would_block) {
        sock.non_blocking(false);
        return true;
    }
    dropAfterFailedProbe(error);
    return false;
}

void ConnectorAsio::dropAfterFailedProbe(const std::error_code& error) {
    writeLog(LogLevel::Debug, 115, "Check connection with server FAILED: " + error.message());
    const bool wasConnected = connected.exchange(false);
    std::shared_ptr<asio::io_context> context;
    std::shared_ptr<Socket> sock;
    detachConnection(sock, context);
    if (sock) {
        std::error_code ignored;
        sock->cancel(ignored);
        sock.reset();
    }
    logined = false;
    if (context) {
        context->stop();
    }
    if (wasConnected) {
        notifyLost();
    }
}

int ConnectorAsio::disconnect() {
    TimedLock lock = lockWithin(connMutex);
    if (!connected.exchange(false)) {
        return 0;  // exchange: two racing calls signal the loss once
    }
    std::shared_ptr<asio::io_context> context;
    std::shared_ptr<Socket> sock;
    detachConnection(sock, context);
    std::error_code error;
    if (sock) {
        if (lock.owns_lock()) {
            sock->cancel(error);
        } else {
            // The request in flight owns the socket object; only the descriptor is shared.
            ::shutdown(sock->native_handle(), SHUT_RDWR);
        }
        sock.reset();
    }
    logined = false;
    if (context) {
        context->stop();
    }
    if (error) {
        return -1;
    }
    writeLog(LogLevel::Info, 208, "RPC client disconnected.");
    notifyLost();
    return 0;
}

void ConnectorAsio::detachConnection(std::shared_ptr<Socket>& sock,
                                     std::shared_ptr<asio::io_context>& context) {
    std::lock_guard<std::mutex> guard(stateMutex);
    context = ioContext;
    sock = std::move(socket);
}

std::shared_ptr<ConnectorAsio::Socket> ConnectorAsio::currentSocket() const {
    std::lock_guard<std::mutex> guard(stateMutex);
    return socket;
}

std::shared_ptr<asio::io_context> ConnectorAsio::currentContext() const {
    std::lock_guard<std::mutex> guard(stateMutex);
    return ioContext;
}

std::string ConnectorAsio::lastRequestText() const {
    std::lock_guard<std::mutex> guard(stateMutex);
    return lastRequest;
}

void ConnectorAsio::notifyLost() {
    std::function<void(int)> handler;
    {
        std::lock_guard<std::mutex> guard(stateMutex);
        handler = eventHandler;
    }
    if (handler) {
        handler(1);
    }
}

void ConnectorAsio::writeLog(LogLevel level, int line, const std::string& text) {
    Log(getLogHandler()).Get(level, file_name(__FILE__), line) << text;
}

}  // namespace zorv_interface
