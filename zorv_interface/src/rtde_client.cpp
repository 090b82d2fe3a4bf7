#include "zorv_interface/rtde_client.h"

#include <iostream>

#include "connector_rtde_tcp.h"
#include "connector_rtde_uds.h"
#include "rtde_client_impl.h"

namespace zorv_interface {

namespace {
constexpr int kTcp = 0;
constexpr int kUds = 1;
}  // namespace

RtdeClient::Impl::Impl(int kind) : kind(kind) {
    if (kind == kTcp) {
        tcp = std::make_shared<AsioTcp>();
    } else if (kind == kUds) {
        uds = std::make_shared<AsioUds>();
    }
}

RtdeClient::Impl::~Impl() {
    forward(0, [](auto& transport) {
        transport.logout();
        try {
            transport.disconnect();
        } catch (...) {
            // An event handler that throws must not escape a destructor.
        }
        return 0;
    });
    AsioTcp::retire(std::move(tcp));
    AsioUds::retire(std::move(uds));
}

template <typename Result, typename Operation>
Result RtdeClient::Impl::forward(Result otherwise, Operation operation) const {
    if (tcp) {
        return operation(*tcp);
    }
    if (uds) {
        return operation(*uds);
    }
    return otherwise;
}

int RtdeClient::Impl::connect(const std::string& host, int port) {
    std::cout << "Rtde connect ip: " << host << ", port: " << port << std::endl;
    if (tcp) {
        return tcp->connect(host, port);
    }
    if (uds) {
        return uds->connect(kSocketPath);
    }
    return -1;
}

int RtdeClient::Impl::disconnect() {
    return forward(-1, [](auto& t) { return t.disconnect(); });
}

int RtdeClient::Impl::login(const std::string& user, const std::string& password) {
    return forward(-1, [&](auto& t) { return t.login(user, password); });
}

int RtdeClient::Impl::logout() {
    return forward(0, [](auto& t) { return t.logout(); });
}

bool RtdeClient::Impl::hasConnected() const {
    return forward(false, [](auto& t) { return t.hasConnected(); });
}

bool RtdeClient::Impl::hasConnected1(std::function<void(bool)> callback) {
    return forward(false, [&](auto& t) { return t.hasConnected(std::move(callback)); });
}

bool RtdeClient::Impl::hasLogined() {
    return forward(false, [](auto& t) { return t.hasLogined(); });
}

int RtdeClient::Impl::getProtocolVersion() {
    return forward(-1, [](auto& t) { return t.getProtocolVersion(); });
}

std::map<std::string, int> RtdeClient::Impl::getInputMaps() {
    return forward(std::map<std::string, int>(), [](auto& t) { return t.getInputMaps(); });
}

std::map<std::string, int> RtdeClient::Impl::getOutputMaps() {
    return forward(std::map<std::string, int>(), [](auto& t) { return t.getOutputMaps(); });
}

std::unordered_map<int, RtdeRecipe> RtdeClient::Impl::getRegisteredInputRecipe() {
    return forward(std::unordered_map<int, RtdeRecipe>(), [](auto& t) { return t.getRegisteredInputRecipe(); });
}

std::unordered_map<int, RtdeRecipe> RtdeClient::Impl::getRegisteredOutputRecipe() {
    return forward(std::unordered_map<int, RtdeRecipe>(), [](auto& t) { return t.getRegisteredOutputRecipe(); });
}

int RtdeClient::Impl::setTopic(bool to_server, const std::vector<std::string>& names, double frequency,
                               int channel) {
    return forward(-1, [&](auto& t) { return t.setTopic(to_server, names, frequency, channel); });
}

int RtdeClient::Impl::removeTopic(bool to_server, int channel) {
    return forward(1, [&](auto& t) { return t.removeTopic(to_server, channel); });
}

int RtdeClient::Impl::subscribe(int channel, std::function<void(InputParser&)> handler) {
    return forward(-1, [&](auto& t) { return t.subscribe(channel, std::move(handler)); });
}

int RtdeClient::Impl::publish(int channel, std::function<void(OutputBuilder&)> builder) {
    return forward(-1, [&](auto& t) { return t.publish(channel, std::move(builder)); });
}

int RtdeClient::Impl::setEventHandler(std::function<void(int)> handler) {
    return forward(-1, [&](auto& t) { return t.setEventHandler(std::move(handler)); });
}

void RtdeClient::Impl::setLogHandler(LogHandler handler) {
    forward(0, [&](auto& t) {
        t.setLogHandler(std::move(handler));
        return 0;
    });
}

int RtdeClient::Impl::doRead() {
    return forward(-1, [](auto& t) { return t.doRead(); });
}

int RtdeClient::Impl::parse(char* data, std::size_t size) {
    return forward(-1, [&](auto& t) { return t.parse(data, size); });
}

bool RtdeClient::Impl::checkRecipe(const std::vector<std::string>& names, const std::map<std::string, int>& map) {
    return forward(false, [&](auto& t) { return t.checkRecipe(names, map); });
}

RtdeClient::RtdeClient(int kind) : impl_(std::make_unique<Impl>(kind)) {}
RtdeClient::~RtdeClient() = default;

int RtdeClient::connect(const std::string& host, int port) { return impl_->connect(host, port); }
int RtdeClient::disconnect() { return impl_->disconnect(); }
int RtdeClient::login(const std::string& user, const std::string& password) { return impl_->login(user, password); }
int RtdeClient::logout() { return impl_->logout(); }
bool RtdeClient::hasConnected() const { return impl_->hasConnected(); }
bool RtdeClient::hasConnected1(std::function<void(bool)> callback) { return impl_->hasConnected1(std::move(callback)); }
bool RtdeClient::hasLogined() { return impl_->hasLogined(); }
int RtdeClient::getProtocolVersion() { return impl_->getProtocolVersion(); }
std::map<std::string, int> RtdeClient::getInputMaps() { return impl_->getInputMaps(); }
std::map<std::string, int> RtdeClient::getOutputMaps() { return impl_->getOutputMaps(); }
std::unordered_map<int, RtdeRecipe> RtdeClient::getRegisteredInputRecipe() {
    return impl_->getRegisteredInputRecipe();
}
std::unordered_map<int, RtdeRecipe> RtdeClient::getRegisteredOutputRecipe() {
    return impl_->getRegisteredOutputRecipe();
}
int RtdeClient::setTopic(bool to_server, const std::vector<std::string>& names, double frequency, int channel) {
    return impl_->setTopic(to_server, names, frequency, channel);
}
int RtdeClient::removeTopic(bool to_server, int channel) { return impl_->removeTopic(to_server, channel); }
int RtdeClient::subscribe(int channel, std::function<void(InputParser&)> handler) {
    return impl_->subscribe(channel, std::move(handler));
}
int RtdeClient::publish(int channel, std::function<void(OutputBuilder&)> builder) {
    return impl_->publish(channel, std::move(builder));
}
int RtdeClient::setEventHandler(std::function<void(int)> handler) {
    return impl_->setEventHandler(std::move(handler));
}
void RtdeClient::setLogHandler(LogHandler handler) { impl_->setLogHandler(std::move(handler)); }

}  // namespace zorv_interface
