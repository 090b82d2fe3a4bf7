#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "connector_script.h"
#include "connector_script_connection.h"
#include "connector_script_receiver.h"

namespace zorv_interface {

// The behaviour both script connectors share: the connection with its sends, and the
// receiving thread that runs the receiver. Login and logout start and pause that
// thread; the connector's lifetime is the thread's.
template <class Transport>
class ConnectorScriptStream : public ConnectorScript {
public:
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

    std::chrono::milliseconds ioTimeout() const { return connection.ioTimeout(); }

    // Deleter of a shared connector (makeSharedConnector): frees it at once or, when the
    // last owner lets go on the receiving thread, stops it and leaves the freeing to that
    // thread, which does it once the running handler has returned.
    void release();

private:
    void stop();
    void run();

    ScriptConnection<Transport> connection;
    ScriptReceiver<Transport> receiver{connection};
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
