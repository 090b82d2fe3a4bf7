#include "connector_script_stream.h"

#include "connector_script_tcp.h"
#include "connector_script_uds.h"

namespace zorv_interface {
namespace {

constexpr auto kLoginTimeout = std::chrono::seconds(1);

}  // namespace

template <class Transport>
ConnectorScriptStream<Transport>::ConnectorScriptStream(std::chrono::milliseconds io_timeout)
    : connection(io_timeout), thread([this] { run(); }) {}

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
    connection.stop();
    receiver.stop();
}

template <class Transport>
void ConnectorScriptStream<Transport>::run() {
    receiver.run();
    if (orphaned) {
        delete this;  // released on this thread; nothing of it is touched after this
    }
}

template <class Transport>
int ConnectorScriptStream<Transport>::login(const std::string&, const std::string&) {
    if (!connection.hasConnected()) {
        return -1;
    }
    auto lock = connection.lock();
    connection.setLogined(true);
    if (!receiver.polling()) {
        const auto start = std::chrono::steady_clock::now();
        if (!receiver.resume(lock, kLoginTimeout)) {
            const auto waited = std::chrono::steady_clock::now() - start;
            const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(waited).count();
            connection.log(connection.texts().login_timeout, std::to_string(micros) + "us");
            return -1;
        }
    }
    connection.log(connection.texts().login);
    return 0;
}

template <class Transport>
bool ConnectorScriptStream<Transport>::hasLogined() {
    return connection.isLogined();
}

template <class Transport>
int ConnectorScriptStream<Transport>::logout() {
    connection.setLogined(false);
    connection.log(connection.texts().logout);
    return 0;
}

template <class Transport>
void ConnectorScriptStream<Transport>::setLogHandler(LogHandler handler) {
    connection.setLogHandler(std::move(handler));
}

template <class Transport>
int ConnectorScriptStream<Transport>::connect(const std::string& host_or_path, int port) {
    return connection.connect(host_or_path, port);
}

template <class Transport>
bool ConnectorScriptStream<Transport>::hasConnected() {
    return connection.hasConnected();
}

template <class Transport>
int ConnectorScriptStream<Transport>::disconnect() {
    return connection.disconnect();
}

template <class Transport>
int ConnectorScriptStream<Transport>::sendFile(const std::string& path) {
    return connection.sendFile(path);
}

template <class Transport>
int ConnectorScriptStream<Transport>::sendString(const std::string& script) {
    return connection.sendString(script);
}

template <class Transport>
int ConnectorScriptStream<Transport>::send(const std::string& name, std::function<int(ScriptWriter&)> fn) {
    return connection.send(name, std::move(fn));
}

template <class Transport>
int ConnectorScriptStream<Transport>::subscribeVariableUpdate(VariableUpdateHandler handler) {
    connection.subscribeVariableUpdate(std::move(handler));
    return 0;
}

template <class Transport>
int ConnectorScriptStream<Transport>::subscribeScriptError(ScriptErrorTracebackHandler handler) {
    connection.subscribeScriptError(std::move(handler));
    return 0;
}

template <class Transport>
int ConnectorScriptStream<Transport>::subscribeScriptError(ScriptErrorHandler handler) {
    connection.subscribeScriptError(std::move(handler));
    return 0;
}

template <class Transport>
int ConnectorScriptStream<Transport>::setEventHandler(std::function<void(int)> handler) {
    connection.setEventHandler(std::move(handler));
    return 0;
}

template class ConnectorScriptStream<TcpScriptTransport>;
template class ConnectorScriptStream<UdsScriptTransport>;

}  // namespace zorv_interface
