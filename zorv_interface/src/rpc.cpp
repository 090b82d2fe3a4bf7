#include "zorv_interface/rpc_client.h"

#include "connector_asio.h"
#include "zorv_interface_impl.h"

namespace zorv_interface {

namespace {

constexpr const char* kLocalRpcSocketPath = "/run/nelt/rpc.socket";
constexpr int kVersionLogLine = 147;

// A destructor must not let an application handler's exception terminate the process.
template <typename Step>
void ignoringExceptions(Step step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

RpcClient::RpcClient(int /*reserved*/) {
    impl = new ZorvInterfaceImpl(std::make_shared<ConnectorAsio>(), false);
}

RpcClient::~RpcClient() {
    if (impl == nullptr) {
        return;
    }
    const auto link = connector();
    ignoringExceptions([&] { link->logout(); });
    ignoringExceptions([&] { link->disconnect(); });
    impl->release();
    impl = nullptr;
}

std::shared_ptr<Connector> RpcClient::connector() const {
    return std::dynamic_pointer_cast<Connector>(impl->getConnector());
}

int RpcClient::connect(const std::string& ip, int port) {
    const auto link = connector();
    if (link->hasConnected()) {
        return 0;
    }
    const bool local = ip.empty() && port == 0;
    const int result = link->connect(local ? kLocalRpcSocketPath : ip, port);
    if (result != 0) {
        return result;
    }
    link->forceSend(false);
    Log(link->getLogHandler()).Get(LogLevel::Info, file_name(__FILE__), kVersionLogLine)
        << "SDK INTERFACE VERSION: " << SDK_INTERFACE_VERSION;
    return 0;
}

int RpcClient::disconnect() { return connector()->disconnect(); }

bool RpcClient::hasConnected() const { return connector()->hasConnected(); }

bool RpcClient::hasLogined() { return connector()->hasLogined(); }

int RpcClient::login(const std::string& username, const std::string& password) {
    return connector()->login(username, password);
}

int RpcClient::logout() {
    impl->logout();
    return connector()->logout();
}

int RpcClient::setRequestTimeout(int milliseconds) { return connector()->setRequestTimeout(milliseconds); }

int RpcClient::setEventHandler(std::function<void(int)> handler) {
    return connector()->setEventHandler(std::move(handler));
}

void RpcClient::setLogHandler(LogHandler handler) { connector()->setLogHandler(std::move(handler)); }

int RpcClient::setExceptionFree(bool enable) { return impl->setExceptionFree(enable); }

int RpcClient::errorCode() const { return impl->errorCode(); }

}  // namespace zorv_interface
