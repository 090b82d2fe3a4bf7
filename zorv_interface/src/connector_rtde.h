#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include <asio.hpp>

#include "zorv_interface/codec.h"
#include "zorv_interface/input_parser.h"
#include "zorv_interface/log.h"
#include "zorv_interface/output_builder.h"
#include "zorv_interface/rtde_recipe.h"
#include "socket_timeouts.h"

namespace zorv_interface {

// One log site: its line number and fixed text.
struct RtdeSite {
    int line = 0;
    const char* text = "";
};

// What differs between the TCP and the local-socket transport besides connect:
// the source-file name, the sites' lines and texts, and the TCP-only behaviour.
struct RtdeSites {
    const char* file = "";
    // Keep-alive, receive watchdog, delivery counts, unknown-channel data in the log,
    // and a read completion that handles errors before checking the connection.
    bool tcp = false;

    RtdeSite pollingStart, pollingPause, keepAliveFailed, watchdog;
    RtdeSite alreadyConnected, recvInfoFailed, loginTimeout, loginSucceed;
    RtdeSite disconnectFailed, disconnected;
    RtdeSite sendNotLogined, writeFailed, sendTimeout;
    RtdeSite doReadNotConnected, recvPackageFailed, recvData, recvRetryFail, completionNotConnected;
    RtdeSite cannotFind, setTopicNotConnected, setTopicNotLogined, runOutInput, runOutOutput, checkRecipeFailed;
    RtdeSite removeNotConnected, removeNotLogined;
    RtdeSite publishNotConnected, publishNotLogined, publish, payloadNotUtf8, payloadTooLong;
    RtdeSite unknownChannel, notArray, parseError, parseErrorDump, typeError, typeErrorDump;
    RtdeSite unknownError, unknownErrorDump;
};

// Periods of the TCP keep-alive tick and receive watchdog, and how long connect waits
// for the peer: to accept (TCP), then to send its connection information.
struct RtdeTiming {
    std::chrono::milliseconds keepAlive{1000};
    std::chrono::milliseconds watchdog{5000};
    std::chrono::milliseconds connectWait{kSocketIoTimeout};
};

// One RTDE connection over a stream protocol: handshake, login gate and polling
// thread, queued framed writes, receive loop, liveness probe, channel pools, recipes
// and subscriptions. Every completion runs on the polling thread. Subclasses add
// `connect` for their endpoint.
//
// Locks: `lock` (recursive) serialises connect, login, setTopic and disconnect;
// `tablesMutex` guards the tables shared with the polling thread and is never held
// while user code runs; `socketMutex` guards the socket and the write queue and is
// taken last. Only the destructor (or `retire`) stops the I/O context.
template <typename Protocol>
class RtdeConnection {
public:
    using Socket = typename Protocol::socket;
    using SocketPtr = std::shared_ptr<Socket>;
    using Subscription = std::function<void(InputParser&)>;
    using Builder = std::function<void(OutputBuilder&)>;

    static constexpr int kChannels = 100;
    static constexpr int kControlChannel = 100;
    static constexpr std::size_t kReceiveBufferSize = 10240;
    static constexpr std::size_t kMaxConnectionInfo = 1 << 20;
    static constexpr std::chrono::milliseconds kSendWait{100};

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
    static bool hasEnding(const std::string& full, const std::string& ending);

protected:
    // Made by connect before it takes `lock`: true once `disconnect` has been called
    // since, or the connection is being destroyed, so that connect stops waiting on
    // its peer and frees the lock.
    class Abandoned {
    public:
        explicit Abandoned(const RtdeConnection& connection);
        bool operator()() const;

    private:
        const RtdeConnection& connection;
        unsigned epoch;
    };

    // For the subclasses' connect, which holds `lock` throughout.
    LogHandler logHandler();
    SocketDeadline peerDeadline() const;
    std::ostream& say(Log&& log, LogLevel level, const RtdeSite& site);
    bool reportAlreadyConnected();
    bool closeSocket(std::error_code* cancelError = nullptr);
    // Reads the connection information from a freshly connected socket and adopts it.
    // 0, or -1 on a read error, at the deadline or when abandoned; a malformed text
    // throws nlohmann's exceptions.
    int completeHandshake(SocketPtr fresh, const Abandoned& abandoned);

    const RtdeSites& sites;
    std::recursive_mutex lock;
    asio::io_context ioContext;

private:
    struct PendingWrite;

    void pollingLoop();
    void stop();
    int closeConnection();
    void runWhileLogined();
    bool onPollingThread() const;
    void wakePoller();

    SocketPtr currentSocket();
    bool peerAlive();
    void connectionLost();
    void reset();
    void fireEvent(int code);

    // Writes at once when nothing is queued, else queues; the queue drains in order on
    // the polling thread. Returns the error of a write that failed at once.
    std::error_code enqueue(const std::shared_ptr<PendingWrite>& write);
    void reportWriteFailure(const RtdeSite& site, const std::error_code& error);
    void startWrite(const SocketPtr& socket, const std::shared_ptr<PendingWrite>& write);
    void onWritten(const SocketPtr& socket, const std::shared_ptr<PendingWrite>& write,
                   const std::error_code& error, std::size_t written);
    void onRead(const SocketPtr& socket, const std::error_code& error, std::size_t size);
    void feedHandshakeLeftover(const SocketPtr& socket);

    void armKeepAlive();
    void timeout(const std::error_code& error);   // keep-alive tick
    void armWatchdog();
    void timeout1(const std::error_code& error);  // watchdog tick

    void logDecodeFailure(const RtdeSite& site, const RtdeSite& dump, const char* what,
                          char* data, std::size_t size);

    RtdeTiming timing;
    std::condition_variable_any wakeUp;
    asio::executor_work_guard<asio::io_context::executor_type> work;
    asio::steady_timer pingTimer;
    asio::steady_timer watchdogTimer;

    std::mutex socketMutex;
    SocketPtr socket;
    std::deque<std::shared_ptr<PendingWrite>> writes;
    bool writing = false;
    std::vector<char> handshakeLeftover;

    std::mutex handlersMutex;
    LogHandler logHandler_;
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

    std::mutex tablesMutex;
    std::map<std::string, int> inputMap;
    std::map<std::string, int> outputMap;
    std::unordered_map<int, Subscription> subscriptions;
    std::unordered_map<int, int> receivedCounts;
    std::unordered_map<int, RtdeRecipe> inputRecipes;
    std::unordered_map<int, RtdeRecipe> outputRecipes;
    std::set<int> freeInputChannels;
    std::set<int> freeOutputChannels;

    // Touched by the polling thread only.
    int silentTicks = 0;
    int retryCount = 0;
    std::array<char, kReceiveBufferSize> receiveBuffer{};
    SocketPtr readingSocket;   // the socket with a read in flight
    SocketPtr dispatchSocket;  // the socket whose bytes the splitter holds
    PackageDispatch frameReader;
    std::shared_ptr<RtdeConnection> retiredOwner;  // set by `retire` on the polling thread

    std::thread pollingThread;
};

extern template class RtdeConnection<asio::ip::tcp>;
extern template class RtdeConnection<asio::local::stream_protocol>;

}  // namespace zorv_interface
