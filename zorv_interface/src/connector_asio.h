#pragma once

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "connector.h"
#include "socket_timeouts.h"
#include "zorv_interface/codec.h"
#include "zorv_interface/log.h"

namespace zorv_interface {

// Salts of the login digest.
extern const char* const LOGIN_PREFIX_KEY;
extern const char* const LOGIN_SUFFIX_KEY;

// Recursive mutex with a deadline. libstdc++'s timed mutexes lock through a call that
// ThreadSanitizer does not see, which makes every unlock look wrong to it.
class RecursiveTimedMutex {
public:
    void lock() {
        std::unique_lock<std::mutex> guard(mutex);
        released.wait(guard, [this] { return available(); });
        take();
    }
    bool try_lock() {
        std::lock_guard<std::mutex> guard(mutex);
        return available() && (take(), true);
    }
    template <typename Clock, typename Duration>
    bool try_lock_until(const std::chrono::time_point<Clock, Duration>& deadline) {
        std::unique_lock<std::mutex> guard(mutex);
        if (!released.wait_until(guard, deadline, [this] { return available(); })) {
            return false;
        }
        take();
        return true;
    }
    void unlock() {
        std::lock_guard<std::mutex> guard(mutex);
        if (--depth == 0) {
            owner = std::thread::id();
            released.notify_all();
        }
    }

private:
    bool available() const { return depth == 0 || owner == std::this_thread::get_id(); }
    void take() {
        owner = std::this_thread::get_id();
        ++depth;
    }

    std::mutex mutex;
    std::condition_variable released;
    std::thread::id owner;
    unsigned depth = 0;
};

// One TCP connection to the controller; each request pumps the I/O context on the
// caller's thread until the reply is in or the request time-out expires.
class ConnectorAsio : public Connector {
public:
    // connectBound: how long connect waits for a peer that neither accepts nor refuses.
    explicit ConnectorAsio(std::chrono::milliseconds connectBound = kSocketIoTimeout);
    ~ConnectorAsio() override;
    ConnectorAsio(const ConnectorAsio&) = delete;
    ConnectorAsio& operator=(const ConnectorAsio&) = delete;

    std::string Send(const std::string& request) override;
    nlohmann::json SendParsed(const std::string& request) override;
    nlohmann::json SendParsed(const std::string& request, const nlohmann::json& id) override;
    void setLogHandler(LogHandler handler) override;
    int setEventHandler(std::function<void(int)> handler) override;
    int connect(const std::string& ip, int port) override;
    bool hasConnected() override;
    int login(const std::string& user, const std::string& passwd) override;
    bool hasLogined() override;
    int setRequestTimeout(int ms) override;
    int logout() override;
    int disconnect() override;
    void forceSend(bool on) override;
    LogHandler getLogHandler() override;

    // The login line's digest of a password: the 1-bit count of each salted byte.
    static std::string loginDigest(const std::string& passwd);

    std::chrono::milliseconds connectBound() const { return connectWait; }

private:
    using Socket = asio::ip::tcp::socket;
    using Frame = std::vector<char>;
    // The accepted reply; the document is absent when none was parsed (a login verdict,
    // or a pump that ended without a reply).
    struct Reply {
        std::string text;
        std::optional<nlohmann::json> document;
    };
    // Reply slot: `set` is cleared per request, the error code outlives it.
    struct ReplySlot {
        bool set = false;
        std::error_code error;
    };

    Reply transact(const std::string& request, std::optional<nlohmann::json> id);
    static nlohmann::json documentOf(Reply reply);
    Reply requestWithTimeout(const std::shared_ptr<const Frame>& frame, const std::chrono::nanoseconds& timeout);
    void writeCallback(const std::error_code& error, std::size_t bytes);
    void read_some();
    void receiveCallback(const std::error_code& error, std::size_t bytes);
    void readCallback(const std::error_code& error, char* data, std::size_t size);
    const nlohmann::json& currentRequestId();
    void completeReply(const std::error_code& error);
    bool probe(Socket& sock);
    void dropAfterFailedProbe(const std::error_code& error);
    void detachConnection(std::shared_ptr<Socket>& sock, std::shared_ptr<asio::io_context>& ctx);
    std::shared_ptr<Socket> currentSocket() const;
    std::shared_ptr<asio::io_context> currentContext() const;
    std::string lastRequestText() const;
    void notifyLost();
    void writeLog(LogLevel level, int line, const std::string& text);

    const std::chrono::milliseconds connectWait;
    RecursiveTimedMutex connMutex;
    std::shared_ptr<asio::io_context> ioContext;
    std::shared_ptr<Socket> socket;
    LogHandler logHandler;
    std::unique_ptr<PackageDispatch> packageDispatch;
    char recvBuffer[10240];
    std::string lastRequest;
    std::string lastReply;
    std::optional<nlohmann::json> replyDocument;
    // The "id" of lastRequest (null when it has none): as the caller gave it, or
    // parsed from the text once a reply frame needed it.
    std::optional<nlohmann::json> requestId;
    ReplySlot replyError;
    std::atomic<bool> connected{false};
    std::atomic<bool> logined{false};
    std::atomic<bool> forceSendFlag{false};
    std::atomic<int> requestTimeout{10};
    std::function<void(int)> eventHandler;

    // Guards the pointers, texts and handlers above that other threads may touch
    // while the connMutex owner works; never held across I/O or handler calls.
    mutable std::mutex stateMutex;
    // Owned by the connMutex holder: at most one receive is armed per connection.
    bool receivePending = false;
    // Set by the reply check when a frame was rejected for its id.
    bool rejectedInChunk = false;
};

}  // namespace zorv_interface
