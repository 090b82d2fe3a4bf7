#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

namespace rtde_test {

// A small RTDE peer for tests and benchmarks, over TCP on 127.0.0.1 or a Unix socket
// in a fresh temporary folder. It greets each connection with the connection
// information, records every byte the client sends, decodes the frames and keeps
// the keep-alive arrivals with their times. Scripted replies go out with send*.
class RtdeTestServer {
public:
    enum class Transport { Tcp, Uds };
    using Clock = std::chrono::steady_clock;

    explicit RtdeTestServer(Transport transport);
    ~RtdeTestServer();
    RtdeTestServer(const RtdeTestServer&) = delete;
    RtdeTestServer& operator=(const RtdeTestServer&) = delete;

    // {"input":{"in_bool":0,"in_double":1,"in_vector":2},"output":{"out_a":0,"out_b":1,"out_message":2},
    //  "protocol":"test","version":2} followed by "\n\n".
    static std::string defaultGreeting();
    // One type-0 frame carrying the CBOR form of value.
    static std::string frame(const nlohmann::json& value);
    static std::string frameBytes(const std::string& payload);

    int port() const { return port_; }
    const std::string& path() const { return path_; }

    // Sent on every later connection; an empty text sends nothing.
    void setGreeting(std::string text);

    void send(const std::string& bytes);
    void sendFrame(const nlohmann::json& value) { send(frame(value)); }
    // Streams [channel, sequence, send time in ns] at the given rate from a
    // background thread until stopStreaming or count frames.
    void startStreaming(int channel, double hz, int64_t count = -1);
    void stopStreaming();
    int64_t streamed() const { return streamed_; }

    // Closes the current connection (the client sees end-of-stream, or a reset when
    // bytes it sent are still unread).
    void closeClient();
    // While held, bytes from the client stay unread in the socket.
    void holdReading(bool hold) { holdReading_ = hold; }

    int connections() const { return connections_; }
    std::vector<nlohmann::json> messages();
    std::string received();
    std::vector<Clock::time_point> keepAlives();
    std::size_t garbageBytes();
    void clearReceived();

    // Wait up to five seconds for the server to reach the state.
    bool waitForMessages(std::size_t count);
    bool waitForConnection(int count = 1);

private:
    void serve();
    void acceptClient();
    void readClient();
    void consume();
    void dropClient();
    void streamLoop(int channel, double hz, int64_t count);

    Transport transport_;
    int listenFd_ = -1;
    int port_ = 0;
    std::string folder_;
    std::string path_;

    std::mutex mutex_;  // client fd, greeting and everything recorded
    int clientFd_ = -1;
    std::string greeting_;
    std::string received_;
    std::string pending_;
    std::vector<nlohmann::json> messages_;
    std::vector<Clock::time_point> keepAlives_;
    std::size_t garbage_ = 0;

    std::atomic<int> connections_{0};
    std::atomic<bool> holdReading_{false};
    std::atomic<bool> running_{true};
    std::thread thread_;

    std::atomic<bool> streaming_{false};
    std::atomic<int64_t> streamed_{0};
    std::thread streamer_;
};

}  // namespace rtde_test
