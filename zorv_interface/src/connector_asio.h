#pragma once

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "connector.h"
#include "zorv_interface/codec.h"
#include "zorv_interface/log.h"

namespace zorv_interface {

// Salts of the login digest.
extern const char* const LOGIN_PREFIX_KEY;
extern const char* const LOGIN_SUFFIX_KEY;

// One TCP connection to the controller; each request pumps the I/O context on the
// caller's thread until the reply is in or the request time-out expires.
class ConnectorAsio : public Connector {
public:
    ConnectorAsio();
    ~ConnectorAsio() override;
    ConnectorAsio(const ConnectorAsio&) = delete;
    ConnectorAsio& operator=(const ConnectorAsio&) = delete;

    std::string Send(const std::string& request) override;
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

    // The digest line part for a password: one 1-bit count per salted byte.
    static std::string loginDigest(const std::string& passwd);

private:
    using Socket = asio::ip::tcp::socket;
    using Frame = std::vector<char>;
    // Reply slot: `set` is cleared per request, the error code outlives it.
    struct ReplySlot {
        bool set = false;
        std::error_code error;
    };

    std::string requestWithTimeout(const std::shared_ptr<const Frame>& frame,
                                   const std::chrono::nanoseconds& timeout);
    void writeCallback(const std::error_code& error, std::size_t bytes);
    void read_some();
    void receiveCallback(const std::error_code& error, std::size_t bytes);
    void readCallback(const std::error_code& error, char* data, std::size_t size);
    void completeReply(const std::error_code& error);
    bool probe(Socket& sock);
    void dropAfterFailedProbe(const std::error_code& error);
    void detachConnection(std::shared_ptr<Socket>& sock, std::shared_ptr<asio::io_context>& ctx);
    std::shared_ptr<Socket> currentSocket() const;
    std::shared_ptr<asio::io_context> currentContext() const;
    std::string lastRequestText() const;
    void notifyLost();
    void writeLog(LogLevel level, int line, const std::string& text);

    std::recursive_timed_mutex connMutex;
    std::shared_ptr<asio::io_context> ioContext;
    std::shared_ptr<Socket> socket;
    LogHandler logHandler;
    std::unique_ptr<PackageDispatch> packageDispatch;
    char recvBuffer[10240];
    std::string lastRequest;
    std::string lastReply;
    ReplySlot replyError;
    std::atomic<bool> connected{false};
    std::atomic<bool> logined{false};
    std::atomic<bool> forceSendFlag{false};
    std::atomic<int> requestTimeout{10};
    std::function<void(int)> eventHandler;

    // Guards the pointers, texts and handlers above that other threads may touch
    // while the connMutex owner works; never held across I/O or handler calls.
    mutable std::mutex stateMutex;
    // Owned by the connMutex holder: one receive at most, and the unfinished write.
    bool receivePending = false;
    bool writePending = false;
    // Set by the reply check when a frame was rejected for its id.
    bool rejectedInChunk = false;
};

}  // namespace zorv_interface
