#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "rtde_hidden.h"
#include "zorv_interface/rtde_client.h"

namespace zorv_interface {

class ZORV_RTDE_HIDDEN RtdeClient::Impl {
public:
    class AsioTcp;
    class AsioUds;

    static constexpr const char* kSocketPath = "/run/nelt/rtde.socket";

    explicit Impl(int kind);
    ~Impl();

    int connect(const std::string& host, int port);
    int disconnect();
    int login(const std::string& user, const std::string& password);
    int logout();
    bool hasConnected() const;
    bool hasConnected1(std::function<void(bool)> callback);
    bool hasLogined();
    int getProtocolVersion();
    std::map<std::string, int> getInputMaps();
    std::map<std::string, int> getOutputMaps();
    std::unordered_map<int, RtdeRecipe> getRegisteredInputRecipe();
    std::unordered_map<int, RtdeRecipe> getRegisteredOutputRecipe();
    int setTopic(bool to_server, const std::vector<std::string>& names, double frequency, int channel);
    int removeTopic(bool to_server, int channel);
    int subscribe(int channel, std::function<void(InputParser&)> handler);
    int publish(int channel, std::function<void(OutputBuilder&)> builder);
    int setEventHandler(std::function<void(int)> handler);
    void setLogHandler(LogHandler handler);
    int doRead();
    int parse(char* data, std::size_t size);
    bool checkRecipe(const std::vector<std::string>& names, const std::map<std::string, int>& map);

private:
    // Calls `operation` on the transport, or returns `otherwise` when the kind has none.
    template <typename Result, typename Operation>
    Result forward(Result otherwise, Operation operation) const;

    // Shared so that a client destroyed inside one of its handlers leaves the transport
    // to its polling thread, which frees it once the handler has returned.
    std::shared_ptr<AsioTcp> tcp;
    std::shared_ptr<AsioUds> uds;
    int kind;
};

}  // namespace zorv_interface
