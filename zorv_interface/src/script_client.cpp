#include "connector_script_tcp.h"  // first: it brings asio in
#include "connector_script_uds.h"
#include "zorv_interface/script_client.h"

#include <cstdint>

namespace zorv_interface {
namespace {

constexpr int kTcp = 0;
constexpr int kLocalSocket = 1;
const char* const kServiceSocketPath = "/run/nelt/script.socket";

std::shared_ptr<ConnectorScript> makeConnector(int kind) {
    if (kind == kTcp) {
        return makeSharedConnector<ConnectorScriptTcp>();
    }
    if (kind == kLocalSocket) {
        return makeSharedConnector<ConnectorScriptUds>();
    }
    return nullptr;
}

}  // namespace

class ScriptClient::Impl {
public:
    explicit Impl(int kind) : connector(makeConnector(kind)), kind(kind) {}

    // Forwards to the connector, or yields fallback when the kind made none.
    template <class Result, class Call>
    Result forward(Result fallback, Call call) const {
        return connector ? call(*connector) : fallback;
    }

    std::shared_ptr<ConnectorScript> connector;
    std::int32_t kind;
};

ScriptClient::ScriptClient(int kind) : impl(std::make_unique<Impl>(kind)) {}

ScriptClient::~ScriptClient() {
    if (impl->connector) {
        impl->connector->logout();
        impl->connector->disconnect();
    }
}

int ScriptClient::connect(const std::string& host, int port) {
    const bool local = impl->kind == kLocalSocket;
    return impl->forward(-1, [&](ConnectorScript& c) {
        return local ? c.connect(kServiceSocketPath, 0) : c.connect(host, port);
    });
}

int ScriptClient::disconnect() {
    return impl->forward(-1, [](ConnectorScript& c) { return c.disconnect(); });
}

bool ScriptClient::hasConnected() const {
    return impl->forward(false, [](ConnectorScript& c) { return c.hasConnected(); });
}

int ScriptClient::login(const std::string& user, const std::string& password) {
    return impl->forward(-1, [&](ConnectorScript& c) { return c.login(user, password); });
}

int ScriptClient::logout() {
    return impl->forward(-1, [](ConnectorScript& c) { return c.logout(); });
}

bool ScriptClient::hasLogined() {
    return impl->forward(false, [](ConnectorScript& c) { return c.hasLogined(); });
}

int ScriptClient::send(const std::string& name, std::function<int(ScriptWriter&)> fn) {
    return impl->forward(-1, [&](ConnectorScript& c) { return c.send(name, std::move(fn)); });
}

int ScriptClient::sendString(const std::string& script) {
    return impl->forward(-1, [&](ConnectorScript& c) { return c.sendString(script); });
}

int ScriptClient::sendFile(const std::string& path) {
    return impl->forward(-1, [&](ConnectorScript& c) { return c.sendFile(path); });
}

int ScriptClient::subscribeVariableUpdate(
    std::function<void(const std::string& name, const std::string& value)> handler) {
    return impl->forward(-1, [&](ConnectorScript& c) { return c.subscribeVariableUpdate(std::move(handler)); });
}

int ScriptClient::subscribeScriptError(std::function<void(const std::string& data)> handler) {
    return impl->forward(-1, [&](ConnectorScript& c) { return c.subscribeScriptError(std::move(handler)); });
}

int ScriptClient::subscribeScriptError2(
    std::function<void(const std::string& data, const std::string& traceback)> handler) {
    return impl->forward(-1, [&](ConnectorScript& c) { return c.subscribeScriptError(std::move(handler)); });
}

int ScriptClient::setEventHandler(std::function<void(int)> handler) {
    return impl->forward(-1, [&](ConnectorScript& c) { return c.setEventHandler(std::move(handler)); });
}

void ScriptClient::setLogHandler(std::function<void(int, const char*, int, const std::string&)> handler) {
    if (impl->connector) {
        impl->connector->setLogHandler(std::move(handler));
    }
}

}  // namespace zorv_interface
