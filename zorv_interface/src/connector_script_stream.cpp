#include "connector_script_stream.h"

#include <cerrno>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "connector_script_tcp.h"
#include "connector_script_uds.h"
#include "script_writer_detail.h"
#include "zorv_interface/codec.h"

namespace zorv_interface {
namespace {

const ScriptLogSite kPollingStarted{LogLevel::Info, 52, "Start mirt_script recv polling..."};
const ScriptLogSite kPollingPaused{LogLevel::Info, 62, "Pause mirt_script recv polling..."};
const std::string kBurstEnd = "\r\n\r\n";
constexpr auto kLoginTimeout = std::chrono::seconds(1);

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

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
ConnectorScriptStream<Transport>::ConnectorScriptStream(std::chrono::milliseconds io_timeout)
    : texts(Transport::texts()), io_timeout(io_timeout), thread([this] { run(); }) {}

// Not joinable once released on the receiving thread, which is then the one destroying.
template <class Transport>
ConnectorScriptStream<Transport>::~ConnectorScriptStream() {
    stop();
    if (thread.joinable()) {
        thread.join();
    }
}

// Stops before destroying: a call still running on another thread, a send giving up,
// has left the connector by the time stop() holds the mutex.
template <class Transport>
void ConnectorScriptStream<Transport>::release() {
    stop();
    if (std::this_thread::get_id() != thread.get_id()) {
        delete this;
        return;
    }
    thread.detach();
    orphaned = true;
}

// Also makes a send or connect waiting on the socket give up.
template <class Transport>
void ConnectorScriptStream<Transport>::stop() {
    running = false;
    std::lock_guard<std::recursive_mutex> lock(mutex);
    logined = false;
    for (const auto& open_session : {session, polled_session}) {
        if (open_session) {
            open_session->io_context.stop();
        }
    }
    closeSession();
    wakeup.notify_all();
}

template <class Transport>
void ConnectorScriptStream<Transport>::log(const ScriptLogSite& site, const std::string& detail) {
    Log(logHandler()).Get(site.level, texts.source, site.line) << site.text << detail;
}

template <class Transport>
LogHandler ConnectorScriptStream<Transport>::logHandler() {
    std::lock_guard<std::mutex> lock(handlers_mutex);
    return log_handler;
}

template <class Transport>
void ConnectorScriptStream<Transport>::notifyEvent(int event) {
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
std::unique_lock<std::recursive_mutex> ConnectorScriptStream<Transport>::lockToClose() {
    ++closers;
    std::unique_lock<std::recursive_mutex> lock(mutex);
    --closers;
    return lock;
}

template <class Transport>
bool ConnectorScriptStream<Transport>::sendAbandoned() const {
    return !running || closers > 0;
}

template <class Transport>
SocketDeadline ConnectorScriptStream<Transport>::deadline() const {
    return std::chrono::steady_clock::now() + io_timeout;
}

template <class Transport>
void ConnectorScriptStream<Transport>::publish(std::shared_ptr<Session> fresh) {
    std::lock_guard<std::mutex> lock(socket_mutex);
    session = std::move(fresh);
}

template <class Transport>
asio::error_code ConnectorScriptStream<Transport>::closeSession() {
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
void ConnectorScriptStream<Transport>::closeAfterFailedWrite() {
    connected = false;
    std::lock_guard<std::mutex> lock(socket_mutex);
    asio::error_code ignored;
    session->socket.close(ignored);
}

// A peek, so a reply byte waiting on the socket stays there for the reader. It goes to
// the handle directly: asio's receive would read and switch the socket's blocking mode,
// which a send waiting under the mutex is using.
template <class Transport>
bool ConnectorScriptStream<Transport>::peerAlive() {
    std::lock_guard<std::mutex> lock(socket_mutex);
    if (!session || !session->socket.is_open()) {
        return false;
    }
    char byte = 0;
    const auto received = ::recv(session->socket.native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return received > 0 || (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
}

template <class Transport>
void ConnectorScriptStream<Transport>::setLogHandler(LogHandler handler) {
    if (handler) {
        std::lock_guard<std::mutex> lock(handlers_mutex);
        log_handler = std::move(handler);
    }
}

template <class Transport>
int ConnectorScriptStream<Transport>::connect(const std::string& host_or_path, int port) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (hasConnected()) {
        log(texts.already_connected);
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
bool ConnectorScriptStream<Transport>::hasConnected() {
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
    wakeup.notify_all();
    notifyEvent(1);
    return false;
}

template <class Transport>
int ConnectorScriptStream<Transport>::login(const std::string&, const std::string&) {
    if (!hasConnected()) {
        return -1;
    }
    std::unique_lock<std::recursive_mutex> lock(mutex);
    logined = true;
    if (!polled_session) {
        resumed = false;
        wakeup.notify_all();
        const auto start = std::chrono::steady_clock::now();
        if (!wakeup.wait_for(lock, kLoginTimeout, [this] { return resumed.load(); })) {
            const auto waited = std::chrono::steady_clock::now() - start;
            const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(waited).count();
            log(texts.login_timeout, std::to_string(micros) + "us");
            return -1;
        }
    }
    log(texts.login);
    return 0;
}

template <class Transport>
bool ConnectorScriptStream<Transport>::hasLogined() {
    return logined;
}

template <class Transport>
int ConnectorScriptStream<Transport>::logout() {
    logined = false;
    log(texts.logout);
    return 0;
}

template <class Transport>
int ConnectorScriptStream<Transport>::disconnect() {
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
        log(texts.disconnect_failed, cancel_error.message());
        return -1;
    }
    log(texts.disconnected);
    wakeup.notify_all();
    notifyEvent(1);
    return 0;
}

template <class Transport>
bool ConnectorScriptStream<Transport>::ready(const ScriptSendSites& sites) {
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
bool ConnectorScriptStream<Transport>::terminatorAllowed(const ScriptLogSite& site, const std::string& script) {
    const auto index = script.find(kBurstEnd);
    if (index == std::string::npos || index == script.size() - kBurstEnd.size()) {
        return true;
    }
    log(site, std::to_string(index) + "]\n");
    return false;
}

template <class Transport>
int ConnectorScriptStream<Transport>::writeScript(const ScriptSendSites& sites, const std::string& script) {
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

template <class Transport>
int ConnectorScriptStream<Transport>::send(const std::string& name, std::function<int(ScriptWriter&)> fn) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (!ready(texts.send)) {
        return -1;
    }
    detail::ScriptWriter writer(name);
    fn(writer);
    writer.end();
    return writeScript(texts.send, writer.text());
}

template <class Transport>
int ConnectorScriptStream<Transport>::sendString(const std::string& script) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (!ready(texts.send_string) || !terminatorAllowed(texts.string_terminator, script)) {
        return -1;
    }
    return writeScript(texts.send_string, script);
}

template <class Transport>
int ConnectorScriptStream<Transport>::sendFile(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (!ready(texts.send_file)) {
        return -1;
    }
    std::string script;
    if (!readFile(path, script)) {
        log(texts.file_unreadable, path);
        return -1;
    }
    if (!terminatorAllowed(texts.file_terminator, script)) {
        return -1;
    }
    return writeScript(texts.send_file, script);
}

template <class Transport>
int ConnectorScriptStream<Transport>::subscribeVariableUpdate(VariableUpdateHandler handler) {
    std::lock_guard<std::mutex> lock(handlers_mutex);
    reply_handlers.variable_update = std::move(handler);
    return 0;
}

template <class Transport>
int ConnectorScriptStream<Transport>::subscribeScriptError(ScriptErrorTracebackHandler handler) {
    std::lock_guard<std::mutex> lock(handlers_mutex);
    reply_handlers.error_traceback = std::move(handler);
    return 0;
}

template <class Transport>
int ConnectorScriptStream<Transport>::subscribeScriptError(ScriptErrorHandler handler) {
    std::lock_guard<std::mutex> lock(handlers_mutex);
    reply_handlers.error = std::move(handler);
    return 0;
}

template <class Transport>
int ConnectorScriptStream<Transport>::setEventHandler(std::function<void(int)> handler) {
    std::lock_guard<std::mutex> lock(handlers_mutex);
    event_handler = std::move(handler);
    return 0;
}

template <class Transport>
void ConnectorScriptStream<Transport>::run() {
    receiveLoop();
    if (orphaned) {
        delete this;  // released on this thread; nothing of it is touched after this
    }
}

// Sleeps while logged out; while logged in, runs the connection of the moment.
template <class Transport>
void ConnectorScriptStream<Transport>::receiveLoop() {
    std::unique_lock<std::recursive_mutex> lock(mutex);
    while (running) {
        wakeup.wait(lock, [this] { return !running || logined; });
        resumed = true;
        wakeup.notify_all();
        if (!running) {
            break;
        }
        if (!session) {
            logined = false;
            continue;
        }
        polled_session = session;
        if (polled_session->io_context.stopped()) {
            polled_session->io_context.restart();
        }
        const auto polled = polled_session;
        lock.unlock();
        poll(*polled);
        lock.lock();
        polled_session.reset();
        if (!connected) {
            logined = false;
        }
    }
}

// Ends when logged out or when the connection has no read left to complete,
// so a dead connection never keeps the thread spinning.
template <class Transport>
void ConnectorScriptStream<Transport>::poll(Session& polled) {
    doRead(polled);
    log(kPollingStarted);
    while (logined && running) {
        try {
            if (polled.io_context.run_one() == 0) {
                break;
            }
        } catch (...) {
            // An event handler that throws here must not take the process down.
        }
    }
    log(kPollingPaused);
}

template <class Transport>
int ConnectorScriptStream<Transport>::doRead(Session& polled) {
    if (!connected) {
        log(texts.read_not_connected);
        return -1;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (polled.read_pending) {
        return 0;
    }
    if (!polled.socket.is_open()) {
        return -1;
    }
    Transport::prepareRead(polled.socket);
    polled.read_buffer.fill(0);
    polled.read_pending = true;
    // The handler runs only inside run_one of this session's own context, which
    // the receiving thread drives while it holds the session.
    polled.socket.async_read_some(asio::buffer(polled.read_buffer),
                                  [this, &polled](const asio::error_code& error, std::size_t size) {
                                      onRead(polled, error, size);
                                  });
    return 0;
}

template <class Transport>
void ConnectorScriptStream<Transport>::onRead(Session& polled, const asio::error_code& error, std::size_t size) {
    polled.read_pending = false;
    if (error) {
        onReadError(polled, error);
        return;
    }
    if (size > 0) {
        collect(polled, size);
    }
    rearm(polled);
}

// End of stream means the service closed the connection: it is lost, not idle.
template <class Transport>
void ConnectorScriptStream<Transport>::onReadError(Session& polled, const asio::error_code& error) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (session.get() != &polled || !connected) {
        return;
    }
    disconnect();
    if (error != asio::error::eof) {
        log(texts.recv_failed, error.message());
    }
}

template <class Transport>
void ConnectorScriptStream<Transport>::collect(Session& polled, std::size_t size) {
    polled.reply_text.append(polled.read_buffer.data(), size);
    if (!endsWith(polled.reply_text, kBurstEnd)) {
        return;
    }
    std::string burst;
    burst.swap(polled.reply_text);
    ScriptReplyContext context{texts.replies, texts.source, logHandler(), {}};
    {
        std::lock_guard<std::mutex> lock(handlers_mutex);
        context.handlers = reply_handlers;
    }
    dispatchReplies(burst, context, [this] { return running.load(); });
}

template <class Transport>
void ConnectorScriptStream<Transport>::rearm(Session& polled) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (connected && session.get() == &polled) {
        doRead(polled);
    }
}

template class ConnectorScriptStream<TcpScriptTransport>;
template class ConnectorScriptStream<UdsScriptTransport>;

}  // namespace zorv_interface
