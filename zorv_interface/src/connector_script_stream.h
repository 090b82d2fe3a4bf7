#pragma once

#include <asio.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "connector_script.h"
#include "script_reply.h"
#include "socket_timeouts.h"

namespace zorv_interface {

struct ScriptLogSite {
    LogLevel level;
    int line;
    const char* text;
};

struct ScriptSendSites {
    ScriptLogSite not_connected;
    ScriptLogSite not_logined;
    ScriptLogSite write_failed;
};

// The log sites and reply rules in which the TCP and local-socket connectors differ.
struct ScriptConnectorTexts {
    const char* source;
    ScriptLogSite already_connected;
    ScriptLogSite login_timeout;
    ScriptLogSite login;
    ScriptLogSite logout;
    ScriptLogSite disconnect_failed;
    ScriptLogSite disconnected;
    ScriptLogSite read_not_connected;
    ScriptLogSite recv_failed;
    ScriptSendSites send;
    ScriptSendSites send_string;
    ScriptSendSites send_file;
    ScriptLogSite string_terminator;
    ScriptLogSite file_terminator;
    ScriptLogSite file_unreadable;
    ScriptReplyRules replies;
};

constexpr int kScriptSendBufferSize = 0xA00000;
constexpr const char* kScriptTerminatorText = "Script send fail! The script contains '\r\n\r\n' at index [";

// What a transport needs, besides the address, to connect a fresh session.
struct ScriptConnectAttempt {
    asio::error_code previous_close;  // from closing the previous session's socket
    LogHandler log_handler;
    SocketDeadline deadline;
    std::function<bool()> abandoned;
};

// One connection: every connect makes a fresh one, so a receiving thread still
// running the previous one never sees its socket or context replaced.
template <class Protocol>
struct ScriptSession {
    asio::io_context io_context;
    typename Protocol::socket socket{io_context};
    std::string reply_text;
    std::array<char, 65536> read_buffer{};
    bool read_pending = false;  // touched by the receiving thread only
};

// The behaviour both script connectors share. Transport supplies the protocol,
// its log texts, how a socket is opened and connected, and what precedes a read.
template <class Transport>
class ConnectorScriptStream : public ConnectorScript {
public:
    using Protocol = typename Transport::Protocol;
    using Session = ScriptSession<Protocol>;

    // io_timeout bounds a TCP connect and every send.
    explicit ConnectorScriptStream(std::chrono::milliseconds io_timeout = kSocketIoTimeout);
    ~ConnectorScriptStream() override;
    ConnectorScriptStream(const ConnectorScriptStream&) = delete;
    ConnectorScriptStream& operator=(const ConnectorScriptStream&) = delete;

    void setLogHandler(LogHandler handler) override;
    int connect(const std::string& host_or_path, int port) override;
    bool hasConnected() override;
    int login(const std::string& user, const std::string& password) override;
    bool hasLogined() override;
    int logout() override;
    int disconnect() override;
    int sendFile(const std::string& path) override;
    int sendString(const std::string& script) override;
    int send(const std::string& name, std::function<int(ScriptWriter&)> fn) override;
    int subscribeVariableUpdate(VariableUpdateHandler handler) override;
    int subscribeScriptError(ScriptErrorTracebackHandler handler) override;
    int subscribeScriptError(ScriptErrorHandler handler) override;
    int setEventHandler(std::function<void(int)> handler) override;

    std::chrono::milliseconds ioTimeout() const { return io_timeout; }

    // Deleter of a shared connector (makeSharedConnector): frees it at once or, when the
    // last owner lets go on the receiving thread, stops it and leaves the freeing to that
    // thread, which does it once the running handler has returned.
    void release();

private:
    void log(const ScriptLogSite& site, const std::string& detail = std::string());
    LogHandler logHandler();
    void notifyEvent(int event);
    void stop();
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

    void run();
    void receiveLoop();
    void poll(Session& polled);
    int doRead(Session& polled);
    void onRead(Session& polled, const asio::error_code& error, std::size_t size);
    void onReadError(Session& polled, const asio::error_code& error);
    void collect(Session& polled, std::size_t size);
    void rearm(Session& polled);

    const ScriptConnectorTexts& texts;
    const std::chrono::milliseconds io_timeout;
    std::recursive_mutex mutex;
    std::condition_variable_any wakeup;
    // Replacing the session and closing its socket hold both mutexes; the
    // liveness probe holds only socket_mutex, so it never waits for a send.
    std::mutex socket_mutex;
    std::shared_ptr<Session> session;
    std::shared_ptr<Session> polled_session;  // guarded by mutex; set while the thread polls
    std::atomic<int> closers{0};              // threads waiting for mutex to end the connection

    std::mutex handlers_mutex;
    LogHandler log_handler;
    ScriptReplyHandlers reply_handlers;
    std::function<void(int)> event_handler;

    std::atomic<bool> running{true};
    std::atomic<bool> connected{false};
    std::atomic<bool> logined{false};
    std::atomic<bool> resumed{false};
    bool orphaned = false;  // receiving thread only: it frees the connector when it ends
    std::thread thread;     // last: it starts once everything above exists
};

// A connector shared by its owners, the last of whom may let go on the connector's own
// receiving thread, as a handler destroying its client does.
template <class Connector>
std::shared_ptr<ConnectorScript> makeSharedConnector() {
    return std::shared_ptr<Connector>(new Connector, [](Connector* connector) { connector->release(); });
}

}  // namespace zorv_interface
