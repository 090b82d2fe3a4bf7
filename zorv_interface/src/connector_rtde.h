#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include <asio.hpp>

#include "connector_rtde_handshake.h"
#include "connector_rtde_reader.h"
#include "connector_rtde_sites.h"
#include "connector_rtde_ticks.h"
#include "connector_rtde_topics.h"
#include "connector_rtde_writer.h"
#include "zorv_interface/input_parser.h"
#include "zorv_interface/output_builder.h"
#include "zorv_interface/rtde_recipe.h"

namespace zorv_interface {

// One RTDE connection over a stream protocol: its socket, I/O context and polling
// thread, the login gate, the liveness probe and disconnect. The topic tables, the
// write side, the read side and the TCP timers are collaborators it owns. Every
// completion runs on the polling thread. Subclasses add `connect` for their endpoint.
//
// Locks: `lock` (recursive) serialises connect, login, setTopic and disconnect; the
// topics' mutex guards the tables shared with the polling thread and is never held
// while user code runs; `socketMutex` guards the socket and the write queue and is
// taken last. Only the destructor (or `retire`) stops the I/O context.
template <typename Protocol>
class RtdeConnection {
public:
    using Socket = RtdeSocket<Protocol>;
    using SocketPtr = std::shared_ptr<Socket>;
    using Subscription = std::function<void(InputParser&)>;
    using Builder = std::function<void(OutputBuilder&)>;

    RtdeConnection(const RtdeSites& sites, RtdeTiming timing);
    ~RtdeConnection();
    RtdeConnection(const RtdeConnection&) = delete;
    RtdeConnection& operator=(const RtdeConnection&) = delete;

    // Drops an owner's reference. On the polling thread, inside a subscription or event
    // handler, the thread cannot join itself: it is stopped instead, holds the connection
    // until the handler has returned, and frees it as it ends.
    static void retire(std::shared_ptr<RtdeConnection> owner);

    int login(const std::string& user, const std::string& password);
    int logout();
    bool hasLogined() const;
    bool hasConnected();
    bool hasConnected(std::function<void(bool)> callback);
    int disconnect();
    int doRead();
    int send(const std::vector<uint8_t>& payload);

    int getProtocolVersion() const;
    std::map<std::string, int> getInputMaps();
    std::map<std::string, int> getOutputMaps();
    std::unordered_map<int, RtdeRecipe> getRegisteredInputRecipe();
    std::unordered_map<int, RtdeRecipe> getRegisteredOutputRecipe();
    int setEventHandler(std::function<void(int)> handler);
    void setLogHandler(LogHandler handler);

    int setTopic(bool to_server, const std::vector<std::string>& names, double frequency, int channel);
    int removeTopic(bool to_server, int channel);
    int subscribe(int channel, Subscription handler);
    int publish(int channel, Builder builder);
    bool checkRecipe(const std::vector<std::string>& names, const std::map<std::string, int>& map);
    int parse(char* data, std::size_t size);

    // The watchdog's check of the last window's delivery counts (TCP).
    void checkReceiveRates();

protected:
    // For the subclasses' connect, which holds `lock` throughout and makes its abandon
    // check before taking it.
    RtdeConnectAbandon connectAbandon() const;
    SocketDeadline peerDeadline() const;
    bool reportAlreadyConnected();
    bool closeSocket(std::error_code* cancelError = nullptr);
    // Reads the connection information from a freshly connected socket and adopts it.
    // 0, or -1 on a read error, at the deadline or when abandoned; a malformed text
    // throws nlohmann's exceptions.
    int completeHandshake(SocketPtr fresh, const RtdeConnectAbandon& abandoned);

    RtdeLog log;
    std::recursive_mutex lock;
    asio::io_context ioContext{1};  // run by the polling thread alone

private:
    friend class RtdeTopics<Protocol>;
    friend class RtdeWriter<Protocol>;
    friend class RtdeReader<Protocol>;
    friend class RtdeTicks<Protocol>;

    void pollingLoop();
    void runWhileLogined();
    void stop();
    int closeConnection();
    bool onPollingThread() const;
    void wakePoller();

    SocketPtr currentSocket();
    bool isCurrent(const SocketPtr& candidate);
    std::vector<char> takeLeftover(const SocketPtr& current);
    bool peerAlive();
    // The check the topic operations and publish make first; logs the site that fails.
    bool connectedAndLogined(const RtdeSite& notConnected, const RtdeSite& notLogined);
    void connectionLost();
    void reset();
    void fireEvent(int code);

    const RtdeTiming timing;
    std::condition_variable_any wakeUp;
    asio::executor_work_guard<asio::io_context::executor_type> work;

    std::mutex socketMutex;
    SocketPtr socket;
    std::vector<char> handshakeLeftover;

    std::mutex handlersMutex;
    std::function<void(bool)> connectionCallback;
    std::function<void(int)> eventHandler;

    std::atomic<bool> running{true};
    std::atomic<unsigned> disconnectCalls{0};
    std::atomic<bool> connected{false};
    std::atomic<bool> logined{false};
    std::atomic<bool> resumed{false};
    std::atomic<bool> polling{false};
    std::atomic<std::thread::id> pollerId{};
    std::atomic<int> protocolVersion{-1};

    RtdeTopics<Protocol> topics;
    RtdeWriter<Protocol> writer;
    RtdeReader<Protocol> reader;
    RtdeTicks<Protocol> ticks;

    std::shared_ptr<RtdeConnection> retiredOwner;  // set by `retire` on the polling thread
    std::thread pollingThread;
};

extern template class RtdeConnection<asio::ip::tcp>;
extern template class RtdeConnection<asio::local::stream_protocol>;

}  // namespace zorv_interface
