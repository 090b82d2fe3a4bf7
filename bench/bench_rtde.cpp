// RTDE figures against the local test server: publish rate, delivery latency beside a
// raw socket reading the same stream at the same time, loss over 10 s at 1 kHz,
// destruction time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "connector_rtde_uds.h"
#include "rtde_test_server.h"
#include "zorv_interface/rtde_client.h"
#include "zorv_test_support.h"

using nlohmann::json;
using rtde_test::RtdeTestServer;
using zorv_interface::InputParser;
using zorv_interface::OutputBuilder;
using zorv_interface::RtdeClient;
using zorv_test::eventually;
using Clock = std::chrono::steady_clock;

namespace {

const zorv_interface::LogHandler kDropLogs = [](int, const char*, int, const std::string&) {};
const std::vector<double> kSix{1, 2, 3, 4, 5, 6};

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// Delivery delays in microseconds, recorded from the receiving thread.
class Delays {
public:
    void add(int64_t sentNs, int64_t sequence) {
        std::lock_guard<std::mutex> guard(mutex);
        delays.push_back((nowNs() - sentNs) / 1000.0);
        lastSequence = sequence;
    }
    std::size_t size() {
        std::lock_guard<std::mutex> guard(mutex);
        return delays.size();
    }
    double percentile(double p) {
        std::lock_guard<std::mutex> guard(mutex);
        if (delays.empty()) {
            return 0;
        }
        std::sort(delays.begin(), delays.end());
        return delays[static_cast<std::size_t>(p * (delays.size() - 1))];
    }

private:
    std::mutex mutex;
    std::vector<double> delays;
    int64_t lastSequence = -1;
};

std::unique_ptr<RtdeClient> loggedInClient(RtdeTestServer& server) {
    auto client = std::make_unique<RtdeClient>(0);
    client->setLogHandler(kDropLogs);
    if (client->connect("127.0.0.1", server.port()) != 0 || client->login("", "") != 0) {
        std::fprintf(stderr, "cannot reach the test server\n");
        std::exit(1);
    }
    return client;
}

void publishRate() {
    RtdeTestServer server(RtdeTestServer::Transport::Tcp);
    auto client = loggedInClient(server);
    const int channel = client->setTopic(true, {"in_double", "in_vector"}, 1000.0, 0);
    const int count = 40000;
    const auto start = Clock::now();
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        failures += client->publish(channel, [](OutputBuilder& b) { b.push(0.5).push(kSix); }) != 0;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    eventually([&] { return server.messages().size() >= static_cast<std::size_t>(count + 1); });
    std::printf("publish (TCP, waits for each write): %.0f messages/s, %d failed, %zu received by the server\n",
                count / seconds, failures, server.messages().size() - 1);
}

// Raw client: blocking reads, the same frame splitting and CBOR decoding.
void rawReader(int port, std::atomic<bool>& stop, Delays& delays) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    timeval timeout{0, 100000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        return;
    }
    std::string pending;
    bool greeted = false;
    char buffer[10240];
    zorv_interface::PackageDispatch splitter([&](char* data, std::size_t size, char) {
        const auto value = json::from_cbor(data, data + size, true, false);
        delays.add(value.at(2).get<int64_t>(), value.at(1).get<int64_t>());
        return 0;
    });
    while (!stop) {
        const auto n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0) {
            continue;
        }
        if (!greeted) {
            pending.append(buffer, static_cast<std::size_t>(n));
            const auto end = pending.find("}\n\n");
            if (end == std::string::npos) {
                continue;
            }
            greeted = true;
            std::string rest = pending.substr(end + 3);
            splitter.dispatch(rest.data(), rest.size());
            continue;
        }
        splitter.dispatch(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
}

struct Stream {
    std::size_t delivered;
    int64_t sent;
    double median;
    double p99;
};

Stream streamToClient(double hz, std::chrono::milliseconds duration) {
    RtdeTestServer server(RtdeTestServer::Transport::Tcp);
    auto client = loggedInClient(server);
    Delays delays;
    const int channel = client->setTopic(false, {"out_a", "out_b"}, hz, 0);
    client->subscribe(channel, [&](InputParser& parser) {
        const auto sequence = parser.popInt64();
        delays.add(parser.popInt64(), sequence);
    });
    const auto count = static_cast<int64_t>(hz * duration.count() / 1000.0);
    server.startStreaming(channel, hz, count);
    eventually([&] { return server.streamed() >= count; }, duration * 3);
    eventually([&] { return delays.size() >= static_cast<std::size_t>(count); }, std::chrono::seconds(2));
    server.stopStreaming();
    return {delays.size(), server.streamed(), delays.percentile(0.5), delays.percentile(0.99)};
}

// The same stream to the client and to a raw socket at once, from two servers whose
// frames interleave half a period apart: both readers see the same moments of a
// shared machine, and neither is woken while the sender is still busy with the other.
std::pair<Stream, Stream> streamSideBySide(double hz, std::chrono::milliseconds duration) {
    RtdeTestServer clientServer(RtdeTestServer::Transport::Tcp);
    RtdeTestServer rawServer(RtdeTestServer::Transport::Tcp);
    auto client = loggedInClient(clientServer);
    Delays clientDelays;
    Delays rawDelays;
    const int channel = client->setTopic(false, {"out_a", "out_b"}, hz, 0);
    client->subscribe(channel, [&](InputParser& parser) {
        const auto sequence = parser.popInt64();
        clientDelays.add(parser.popInt64(), sequence);
    });
    std::atomic<bool> stop{false};
    std::thread reader([&] { rawReader(rawServer.port(), stop, rawDelays); });
    rawServer.waitForConnection();
    eventually([] { return false; }, std::chrono::milliseconds(50));

    const auto count = static_cast<int64_t>(hz * duration.count() / 1000.0);
    const auto halfPeriod = std::chrono::nanoseconds(static_cast<int64_t>(0.5e9 / hz));
    auto next = Clock::now();
    for (int64_t tick = 0; tick < 2 * count; ++tick) {
        std::this_thread::sleep_until(next);
        next += halfPeriod;
        if (tick % 2 == 0) {
            clientServer.sendFrame(json::array({channel, tick / 2, nowNs()}));
        } else {
            rawServer.sendFrame(json::array({0, tick / 2, nowNs()}));
        }
    }
    const auto all = static_cast<std::size_t>(count);
    eventually([&] { return clientDelays.size() >= all && rawDelays.size() >= all; }, std::chrono::seconds(2));
    stop = true;
    reader.join();
    return {{clientDelays.size(), count, clientDelays.percentile(0.5), clientDelays.percentile(0.99)},
            {rawDelays.size(), count, rawDelays.percentile(0.5), rawDelays.percentile(0.99)}};
}

double ratio(double client, double raw) { return raw > 0 ? client / raw : 0.0; }

void latency(double hz) {
    const auto [rtde, raw] = streamSideBySide(hz, std::chrono::milliseconds(2000));
    std::printf("delivery at %6.0f Hz: client median %7.1f us p99 %7.1f us (%zu/%lld) | raw socket median %7.1f us "
                "p99 %7.1f us (%zu/%lld) | median ratio %.2f p99 ratio %.2f\n",
                hz, rtde.median, rtde.p99, rtde.delivered, static_cast<long long>(rtde.sent), raw.median, raw.p99,
                raw.delivered, static_cast<long long>(raw.sent), ratio(rtde.median, raw.median), ratio(rtde.p99, raw.p99));
}

void loss() {
    const Stream run = streamToClient(1000.0, std::chrono::milliseconds(10000));
    std::printf("loss over 10 s at 1 kHz: sent %lld, delivered %zu, lost %lld\n", static_cast<long long>(run.sent),
                run.delivered, static_cast<long long>(run.sent) - static_cast<long long>(run.delivered));
}

void highestRate() {
    double best = 0;
    for (double hz : {2000.0, 5000.0, 10000.0, 20000.0, 40000.0}) {
        const Stream run = streamToClient(hz, std::chrono::milliseconds(1000));
        if (run.delivered < static_cast<std::size_t>(run.sent) || run.sent < static_cast<int64_t>(hz * 0.9)) {
            break;
        }
        best = hz;
    }
    std::printf("highest streaming rate without loss (1 s runs): %.0f Hz\n", best);
    if (best > 0) {
        latency(best);
    }
}

template <typename Connect>
double destroyMs(Connect connect) {
    double worst = 0;
    for (int i = 0; i < 5; ++i) {
        const auto start = connect();
        worst = std::max(worst, start);
    }
    return worst;
}

void destruction() {
    RtdeTestServer tcpServer(RtdeTestServer::Transport::Tcp);
    const double tcp = destroyMs([&] {
        auto client = loggedInClient(tcpServer);
        const auto start = Clock::now();
        client.reset();
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    });
    RtdeTestServer udsServer(RtdeTestServer::Transport::Uds);
    const double uds = destroyMs([&] {
        auto transport = std::make_unique<RtdeClient::Impl::AsioUds>();
        transport->setLogHandler(kDropLogs);
        if (transport->connect(udsServer.path()) != 0 || transport->login("", "") != 0) {
            return -1.0;
        }
        const auto start = Clock::now();
        transport->logout();
        transport->disconnect();
        transport.reset();
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    });
    std::printf("destroying a connected, logged-in client with a silent server (worst of 5): TCP %.2f ms, "
                "local socket %.2f ms\n",
                tcp, uds);
}

}  // namespace

// "latency" as the only argument measures the 1 kHz delivery alone, for repeated runs.
int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "latency") {
        latency(1000.0);
        return 0;
    }
    publishRate();
    latency(500.0);
    latency(1000.0);
    highestRate();
    loss();
    destruction();
    return 0;
}
