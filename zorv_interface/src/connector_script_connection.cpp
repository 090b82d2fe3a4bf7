#include "connector_script_connection.h"

#include <cerrno>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "connector_script_tcp.h"
#include "connector_script_uds.h"
#include "script_writer_detail.h"
#include "zorv_interface/codec.h"

namespace zorv_interface {
namespace {

bool readFile(const std::string& path, std::string& text) {
    std::ifstream in(path);
    if (!in) {
        return false;
    }
    std::array<char, 512> block;
    while (in.read(block.data(), block.size()) || in.gcount() > 0) {
        text.append(block.data(), static_cast<std::size_t>(in.gcount()));
    }
    return !in.bad();
}

}  // namespace

template <class Transport>
ScriptConnection<Transport>::ScriptConnection(std::chrono::milliseconds io_timeout)
    : connector_texts(Transport::texts()), io_timeout(io_timeout) {}

template <class Transport>
int ScriptConnection<Transport>::connect(const std::string& host_or_path, int port) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (hasConnected()) {
        log(connector_texts.already_connected);
        return 1;
    }
    const ScriptConnectAttempt attempt{closeSession(), logHandler(), deadline(), [this] { return !running; }};
    auto fresh = std::make_shared<Session>();
    const int result = Transport::establish(*fresh, host_or_path, port, attempt);
    if (result != 0) {
        return result;
    }
    publish(std::move(fresh));
    connected = true;
    return 0;
}

template <class Transport>
bool ScriptConnection<Transport>::hasConnected() {
    if (!connected) {
        return false;
    }
    if (peerAlive()) {
        return true;
    }
    const auto lock = lockToClose();
    if (!connected) {
        return false;
    }
    if (peerAlive()) {
        return true;  // connected again meanwhile
    }
    connected = false;
    logined = false;
    closeSession();
    notifyEvent(1);
    return false;
}

template <class Transport>
int ScriptConnection<Transport>::disconnect() {
    const auto lock = lockToClose();
    if (!connected) {
        return 0;
    }
    asio::error_code cancel_error;
    session->socket.cancel(cancel_error);
    logined = false;
    connected = false;
    closeSession();
    if (cancel_error) {
        log(connector_texts.disconnect_failed, cancel_error.message());
        return -1;
    }
    log(connector_texts.disconnected);
    notifyEvent(1);
    return 0;
}

template <class Transport>
int ScriptConnection<Transport>::send(const std::string& name, std::function<int(ScriptWriter&)> fn) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (!ready(connector_texts.send)) {
        return -1;
    }
    detail::ScriptWriter writer(name);
    fn(writer);
    writer.end();
    return writeScript(connector_texts.send, writer.text());
}

template <class Transport>
int ScriptConnection<Transport>::sendString(const std::string& script) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (!ready(connector_texts.send_string) || !terminatorAllowed(connector_texts.string_terminator, script)) {
        return -1;
    }
    return writeScript(connector_texts.send_string, script);
}

template <class Transport>
int ScriptConnection<Transport>::sendFile(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (!ready(connector_texts.send_file)) {
        return -1;
    }
    std::string script;
    if (!readFile(path, script)) {
        log(connector_texts.file_unreadable, path);
        return -1;
    }
    if (!terminatorAllowed(connector_texts.file_terminator, script)) {
        return -1;
    }
    return writeScript(connector_texts.send_file, script);
}

template <class Transport>
bool ScriptConnection<Transport>::isCurrent(const Session& polled) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return connected && session.get() == &polled;
}

// End of stream means the service closed the connection: it is lost, not idle.
template <class Transport>
void ScriptConnection<Transport>::onReceiveFailed(const Session& polled, const asio::error_code& error) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (session.get() != &polled || !connected) {
        return;
    }
    disconnect();
    if (error != asio::error::eof) {
        log(connector_texts.recv_failed, error.message());
    }
}

template <class Transport>
void ScriptConnection<Transport>::stop() {
    running = false;
    std::lock_guard<std::recursive_mutex> lock(mutex);
    logined = false;
    if (session) {
        session->io_context.stop();
    }
    closeSession();
}

template <class Transport>
void ScriptConnection<Transport>::log(const ScriptLogSite& site, const std::string& detail) {
    Log(logHandler()).Get(site.level, connector_texts.source, site.line) << site.text << detail;
}

// The handlers are a snapshot: the application may replace them while a burst is dispatched.
template <class Transport>
ScriptReplyContext ScriptConnection<Transport>::replyContext() {
    ScriptReplyContext context{connector_texts.replies, connector_texts.source, logHandler(), {}};
    std::lock_guard<std::mutex> lock(handlers_mutex);
    context.handlers = reply_handlers;
    return context;
}

template <class Transport>
void ScriptConnection<Transport>::setLogHandler(LogHandler handler) {
    if (handler) {
        std::lock_guard<std::mutex> lock(handlers_mutex);
        log_handler = std::move(handler);
    }
}

template <class Transport>
void ScriptConnection<Transport>::subscribeVariableUpdate(VariableUpdateHandler handler) {
    std::lock_guard<std::mutex> lock(handlers_mutex);
    reply_handlers.variable_update = std::move(handler);
}

template <class Transport>
void ScriptConnection<Transport>::subscribeScriptError(ScriptErrorTracebackHandler handler) {
    std::lock_guard<std::mutex> lock(handlers_mutex);
    reply_handlers.error_traceback = std::move(handler);
}

template <class Transport>
void ScriptConnection<Transport>::subscribeScriptError(ScriptErrorHandler handler) {
    std::lock_guard<std::mutex> lock(handlers_mutex);
    reply_handlers.error = std::move(handler);
}

template <class Transport>
void ScriptConnection<Transport>::setEventHandler(std::function<void(int)> handler) {
    std::lock_guard<std::mutex> lock(handlers_mutex);
    event_handler = std::move(handler);
}

template <class Transport>
LogHandler ScriptConnection<Transport>::logHandler() {
    std::lock_guard<std::mutex> lock(handlers_mutex);
    return log_handler;
}

template <class Transport>
void ScriptConnection<Transport>::notifyEvent(int event) {
    std::function<void(int)> handler;
    {
        std::lock_guard<std::mutex> lock(handlers_mutex);
        handler = event_handler;
    }
    if (handler) {
        handler(event);
    }
}

// For ending the current connection: a send waiting on it under the mutex gives up
// first, so closing never waits out the send's bound.
template <class Transport>
std::unique_lock<std::recursive_mutex> ScriptConnection<Transport>::lockToClose() {
    ++closers;
    std::unique_lock<std::recursive_mutex> lock(mutex);
    --closers;
    return lock;
}

template <class Transport>
bool ScriptConnection<Transport>::sendAbandoned() const {
    return !running || closers > 0;
}

template <class Transport>
SocketDeadline ScriptConnection<Transport>::deadline() const {
    return std::chrono::steady_clock::now() + io_timeout;
}

template <class Transport>
void ScriptConnection<Transport>::publish(std::shared_ptr<Session> fresh) {
    std::lock_guard<std::mutex> lock(socket_mutex);
    session = std::move(fresh);
}

template <class Transport>
asio::error_code ScriptConnection<Transport>::closeSession() {
    std::lock_guard<std::mutex> lock(socket_mutex);
    asio::error_code error;
    if (session && session->socket.is_open()) {
        asio::error_code ignored;
        session->socket.cancel(ignored);
        session->socket.close(error);
    }
    session.reset();
    return error;
}

// The session stays for the receiving thread to find the socket closed.
template <class Transport>
void ScriptConnection<Transport>::closeAfterFailedWrite() {
    connected = false;
    std::lock_guard<std::mutex> lock(socket_mutex);
    asio::error_code ignored;
    session->socket.close(ignored);
}

// A peek, so a reply byte waiting on the socket stays there for the reader. It goes to
// the handle directly: asio's receive would read and switch the socket's blocking mode,
// which a send waiting under the mutex is using.
template <class Transport>
bool ScriptConnection<Transport>::peerAlive() {
    std::lock_guard<std::mutex> lock(socket_mutex);
    if (!session || !session->socket.is_open()) {
        return false;
    }
    char byte = 0;
    const auto received = ::recv(session->socket.native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return received > 0 || (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
}

template <class Transport>
bool ScriptConnection<Transport>::ready(const ScriptSendSites& sites) {
    if (!connected) {
        log(sites.not_connected);
        return false;
    }
    if (!logined) {
        log(sites.not_logined);
        return false;
    }
    return true;
}

// The service ends a script at "\r\n\r\n", so it may only close the text.
template <class Transport>
bool ScriptConnection<Transport>::terminatorAllowed(const ScriptLogSite& site, const std::string& script) {
    const auto index = script.find(kScriptBurstEnd);
    if (index == std::string::npos || index == script.size() - kScriptBurstEnd.size()) {
        return true;
    }
    log(site, std::to_string(index) + "]\n");
    return false;
}

template <class Transport>
int ScriptConnection<Transport>::writeScript(const ScriptSendSites& sites, const std::string& script) {
    std::vector<char> frame;
    try {
        encode(char(0), script, frame);
    } catch (const std::length_error& too_long) {
        log(sites.write_failed, too_long.what());
        return -1;
    }
    const auto error = writeAllWithin(session->socket, asio::buffer(frame), deadline(), [this] { return sendAbandoned(); });
    if (!error) {
        return 0;
    }
    log(sites.write_failed, error.message());
    // Given up for a disconnect or destruction, which then closes the connection itself.
    if (error != asio::error::operation_aborted) {
        closeAfterFailedWrite();
        notifyEvent(1);
    }
    return -1;
}

template class ScriptConnection<TcpScriptTransport>;
template class ScriptConnection<UdsScriptTransport>;

}  // namespace zorv_interface
