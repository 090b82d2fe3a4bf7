// Round trip of getRunningInfo through the SDK against the test controller, beside a
// plain blocking-socket client exchanging the same request and reply frames with the
// same controller.  Usage: bench_rpc [calls per client, default 20000]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "test_controller.h"
#include "zorv_interface/rpc_client.h"

namespace {

using Clock = std::chrono::steady_clock;

class RawClient {
public:
    explicit RawClient(int port) : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        if (fd < 0) fail("socket");
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fail("connect");
    }
    ~RawClient() { ::close(fd); }

    // Writes one frame and reads one reply frame; returns the reply payload size.
    std::size_t exchange(const std::string& frame) {
        for (std::size_t sent = 0; sent < frame.size();) {
            const ssize_t n = ::send(fd, frame.data() + sent, frame.size() - sent, 0);
            if (n <= 0) fail("send");
            sent += static_cast<std::size_t>(n);
        }
        unsigned char header[8];
        readExactly(reinterpret_cast<char*>(header), sizeof header);
        const std::size_t length = (std::size_t(header[4]) << 24) | (std::size_t(header[5]) << 16) |
                                   (std::size_t(header[6]) << 8) | header[7];
        reply.resize(length);
        readExactly(reply.data(), length);
        return length;
    }

private:
    void readExactly(char* data, std::size_t size) {
        for (std::size_t got = 0; got < size;) {
            const ssize_t n = ::recv(fd, data + got, size - got, 0);
            if (n <= 0) fail("recv");
            got += static_cast<std::size_t>(n);
        }
    }
    [[noreturn]] static void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

    int fd;
    std::string reply;
};

struct Stats {
    double median;
    double p99;
};

Stats statsOf(std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) { return micros[std::min(micros.size() - 1, std::size_t(q * micros.size()))]; };
    return {at(0.5), at(0.99)};
}

template <typename Call>
void timeInto(std::vector<double>& micros, int calls, Call call) {
    for (int i = 0; i < calls; ++i) {
        const auto start = Clock::now();
        call();
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
}

// Alternates blocks of SDK and raw calls so that drift of the machine hits both alike.
template <typename SdkCall>
void compare(const char* label, int calls, SdkCall sdkCall, RawClient& raw, const std::string& rawFrame) {
    for (int i = 0; i < 500; ++i) {
        sdkCall();
        raw.exchange(rawFrame);
    }
    std::vector<double> sdkMicros, rawMicros;
    const int block = 1000;
    for (int done = 0; done < calls; done += block) {
        const int n = std::min(block, calls - done);
        timeInto(sdkMicros, n, sdkCall);
        timeInto(rawMicros, n, [&] { raw.exchange(rawFrame); });
    }
    const Stats s = statsOf(sdkMicros);
    const Stats r = statsOf(rawMicros);
    std::printf("%s round trip, %d calls each\n", label, calls);
    std::printf("  sdk: median %.1f us, p99 %.1f us\n", s.median, s.p99);
    std::printf("  raw: median %.1f us, p99 %.1f us\n", r.median, r.p99);
    std::printf("  ratio sdk/raw: median %.2f, p99 %.2f\n", s.median / r.median, s.p99 / r.p99);
}

std::string requestFrame(const char* method) {
    return zorv_test::frame(std::string(R"({"id":"bench000-0000-0000","jsonrpc":"2.0","method":"ZorvInterface.)") +
                            method + "\"}");
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 20000;
    zorv_test::TestController controller;
    controller.useCannedReplies();

    zorv_interface::RpcClient sdk;
    sdk.setLogHandler([](int, const char*, int, const std::string&) {});
    sdk.setRequestTimeout(5000);
    if (sdk.connect("127.0.0.1", controller.port()) != 0) return 1;
    sdk.login("admin", "");

    RawClient raw(controller.port());
    raw.exchange(zorv_test::frame(zorv_test::loginLine("admin", "")));

    compare("getRunningInfo", calls, [&] { sdk.getRunningInfo(); }, raw, requestFrame("getRunningInfo"));
    // A reply of {"result":0}: the transport's share without the record's decoding.
    compare("cancelNavigation", calls, [&] { sdk.cancelNavigation(); }, raw, requestFrame("cancelNavigation"));
    return 0;
}
