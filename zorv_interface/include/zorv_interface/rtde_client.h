#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "zorv_interface/export.h"
#include "zorv_interface/input_parser.h"
#include "zorv_interface/log.h"
#include "zorv_interface/output_builder.h"
#include "zorv_interface/rtde_recipe.h"

namespace zorv_interface {

// Real-time data exchange client. Kind 0 talks TCP, kind 1 the local socket
// "/run/nelt/rtde.socket". Usual order: connect, login, setTopic per topic,
// subscribe on the returned output channels, publish on the input channels.
// Subscription handlers and event handlers run on the client's polling thread;
// they may call publish, setTopic and removeTopic (those then do not wait for the
// write) and may destroy the client: its thread then ends once the handler has
// returned, after logging its last lines.
class ZORV_SDK_API RtdeClient {
public:
    class Impl;

    explicit RtdeClient(int kind);
    ~RtdeClient();
    RtdeClient(const RtdeClient&) = delete;
    RtdeClient& operator=(const RtdeClient&) = delete;

    // 0 connected, 1 already connected, -1 failure. Kind 1 ignores host and port.
    int connect(const std::string& host, int port);
    int disconnect();
    // Starts the polling thread; user name and password are not sent.
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

    // The channel used (0 to 99; the lowest free one when the requested one is taken),
    // -1 on failure, -2 when the direction's channels are exhausted.
    int setTopic(bool to_server, const std::vector<std::string>& names, double frequency, int channel);
    // 0, or 1 when not connected or not logged in.
    int removeTopic(bool to_server, int channel);
    int subscribe(int channel, std::function<void(InputParser&)> handler);
    int publish(int channel, std::function<void(OutputBuilder&)> builder);

    // Called with 1 when the connection is closed or found lost.
    int setEventHandler(std::function<void(int)> handler);
    void setLogHandler(LogHandler handler);

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace zorv_interface
