#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "connector_script_session.h"
#include "zorv_interface/script_writer.h"

namespace zorv_interface {

// The connection side of a script connector: the session, the state flags, the handlers
// and the log, with connect, the liveness probe, disconnect and the three sends. Login
// and the receiving thread reach the flags and the session through lock() and the
// accessors. Transport supplies the protocol, its log texts and how a socket connects.
template <class Transport>
class ScriptConnection {
public:
    using Protocol = typename Transport::Protocol;
    using Session = ScriptSession<Protocol>;

    // io_timeout bounds a TCP connect and every send.
    explicit ScriptConnection(std::chrono::milliseconds io_timeout);

    int connect(const std::string& host_or_path, int port);
    bool hasConnected();
    int disconnect();
    int sendFile(const std::string& path);
    int sendString(const std::string& script);
    int send(const std::string& name, std::function<int(ScriptWriter&)> fn);

    std::chrono::milliseconds ioTimeout() const { return io_timeout; }
    const ScriptConnectorTexts& texts() const { return connector_texts; }

    // Serialises connect, disconnect, the sends, the login flag change and the
    // receiving thread's sleep.
    std::unique_lock<std::recursive_mutex> lock() { return std::unique_lock<std::recursive_mutex>(mutex); }
    bool isRunning() const { return running; }
    bool isConnected() const { return connected; }
    bool isLogined() const { return logined; }
    void setLogined(bool value) { logined = value; }
    // Under lock(): the session of the moment, if any.
    std::shared_ptr<Session> current() const { return session; }
    bool isCurrent(const Session& polled);
    // A read on polled failed: a loss when it is the current connection.
    void onReceiveFailed(const Session& polled, const asio::error_code& error);
    // No longer running; closes the session and makes a waiting send or connect give up.
    void stop();

    void log(const ScriptLogSite& site, const std::string& detail = std::string());
    ScriptReplyContext replyContext();

    void setLogHandler(LogHandler handler);
    void subscribeVariableUpdate(VariableUpdateHandler handler);
    void subscribeScriptError(ScriptErrorTracebackHandler handler);
    void subscribeScriptError(ScriptErrorHandler handler);
    void setEventHandler(std::function<void(int)> handler);

private:
    LogHandler logHandler();
    void notifyEvent(int event);
    std::unique_lock<std::recursive_mutex> lockToClose();
    bool sendAbandoned() const;
    SocketDeadline deadline() const;
    void publish(std::shared_ptr<Session> fresh);
    asio::error_code closeSession();
    void closeAfterFailedWrite();
    bool peerAlive();

    bool ready(const ScriptSendSites& sites);
    bool terminatorAllowed(const ScriptLogSite& site, const std::string& script);
    int writeScript(const ScriptSendSites& sites, const std::string& script);

    const ScriptConnectorTexts& connector_texts;
    const std::chrono::milliseconds io_timeout;
    std::recursive_mutex mutex;
    // Replacing the session and closing its socket hold both mutexes; the liveness
    // probe holds only socket_mutex, so it never waits for a send.
    std::mutex socket_mutex;
    std::shared_ptr<Session> session;
    std::atomic<int> closers{0};  // threads waiting for mutex to end the connection

    std::mutex handlers_mutex;
    LogHandler log_handler;
    ScriptReplyHandlers reply_handlers;
    std::function<void(int)> event_handler;

    std::atomic<bool> running{true};
    std::atomic<bool> connected{false};
    std::atomic<bool> logined{false};
};

}  // namespace zorv_interface
