#include "rtde_test_server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "zorv_test_support.h"

namespace rtde_test {

namespace {

const std::string kKeepAlive("__ping__\0", 9);

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(RtdeTestServer::Clock::now().time_since_epoch())
        .count();
}

// True when data starts with pattern, or is a beginning of it still waiting for more.
bool startsLike(const std::string& data, const std::string& pattern) {
    const std::size_t n = std::min(data.size(), pattern.size());
    return data.compare(0, n, pattern, 0, n) == 0;
}

void check(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
    }
}

}  // namespace

RtdeTestServer::RtdeTestServer(Transport transport) : transport_(transport), greeting_(defaultGreeting()) {
    if (transport == Transport::Tcp) {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        check(listenFd_ >= 0, "socket");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        check(::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0, "bind");
        socklen_t length = sizeof(address);
        check(::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) == 0, "getsockname");
        port_ = ntohs(address.sin_port);
    } else {
        char folder[] = "/tmp/rtde-test-XXXXXX";
        check(::mkdtemp(folder) != nullptr, "mkdtemp");
        folder_ = folder;
        path_ = folder_ + "/rtde.socket";
        listenFd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        check(listenFd_ >= 0, "socket");
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
        check(::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0, "bind");
    }
    check(::listen(listenFd_, 8) == 0, "listen");
    thread_ = std::thread([this] { serve(); });
}

RtdeTestServer::~RtdeTestServer() {
    stopStreaming();
    running_ = false;
    thread_.join();
    dropClient();
    ::close(listenFd_);
    if (!path_.empty()) {
        ::unlink(path_.c_str());
        ::rmdir(folder_.c_str());
    }
}

std::string RtdeTestServer::defaultGreeting() {
    nlohmann::json info = {{"protocol", "test"},
                           {"version", 2},
                           {"input", {{"in_bool", 0}, {"in_double", 1}, {"in_vector", 2}}},
                           {"output", {{"out_a", 0}, {"out_b", 1}, {"out_message", 2}}}};
    return info.dump() + "\n\n";
}

std::string RtdeTestServer::frame(const nlohmann::json& value) {
    const auto cbor = nlohmann::json::to_cbor(value);
    return frameBytes(std::string(cbor.begin(), cbor.end()));
}

std::string RtdeTestServer::frameBytes(const std::string& payload) {
    std::string bytes = "SOF";
    bytes.push_back('\0');
    bytes.push_back(static_cast<char>((payload.size() >> 8) & 0xFF));
    bytes.push_back(static_cast<char>(payload.size() & 0xFF));
    return bytes + payload;
}

void RtdeTestServer::setGreeting(std::string text) {
    std::lock_guard<std::mutex> guard(mutex_);
    greeting_ = std::move(text);
}

void RtdeTestServer::serve() {
    while (running_) {
        int clientFd = -1;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            clientFd = clientFd_;
        }
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {clientFd, POLLIN, 0}};
        const int ready = ::poll(fds, clientFd >= 0 ? 2 : 1, 10);
        if (ready <= 0) {
            continue;
        }
        if (holdReading_ && !(fds[0].revents & POLLIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if (fds[0].revents & POLLIN) {
            acceptClient();
        }
        if (clientFd >= 0 && !holdReading_ && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            readClient();
        }
    }
}

void RtdeTestServer::acceptClient() {
    const int fd = ::accept(listenFd_, nullptr, nullptr);
    if (fd < 0) {
        return;
    }
    if (transport_ == Transport::Tcp) {
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    }
    dropClient();
    std::lock_guard<std::mutex> guard(mutex_);
    clientFd_ = fd;
    pending_.clear();
    if (!greeting_.empty()) {
        ::send(fd, greeting_.data(), greeting_.size(), MSG_NOSIGNAL);
    }
    ++connections_;
}

void RtdeTestServer::readClient() {
    char buffer[65536];
    std::lock_guard<std::mutex> guard(mutex_);
    if (clientFd_ < 0) {
        return;
    }
    const auto size = ::recv(clientFd_, buffer, sizeof(buffer), MSG_DONTWAIT);
    if (size <= 0) {
        if (size == 0 || (errno != EAGAIN && errno != EINTR)) {
            ::close(clientFd_);
            clientFd_ = -1;
        }
        return;
    }
    received_.append(buffer, static_cast<std::size_t>(size));
    pending_.append(buffer, static_cast<std::size_t>(size));
    consume();
}

// Caller holds mutex_. Splits pending_ into frames, keep-alives and stray bytes.
void RtdeTestServer::consume() {
    const std::string magic = "SOF";
    while (!pending_.empty()) {
        if (startsLike(pending_, magic)) {
            if (pending_.size() < 6) {
                return;
            }
            const std::size_t length = (static_cast<unsigned char>(pending_[4]) << 8) |
                                       static_cast<unsigned char>(pending_[5]);
            if (pending_.size() < 6 + length) {
                return;
            }
            const auto* begin = reinterpret_cast<const uint8_t*>(pending_.data() + 6);
            messages_.push_back(nlohmann::json::from_cbor(begin, begin + length, true, false));
            pending_.erase(0, 6 + length);
        } else if (startsLike(pending_, kKeepAlive)) {
            if (pending_.size() < kKeepAlive.size()) {
                return;
            }
            keepAlives_.push_back(Clock::now());
            pending_.erase(0, kKeepAlive.size());
        } else {
            ++garbage_;
            pending_.erase(0, 1);
        }
    }
}

void RtdeTestServer::send(const std::string& bytes) {
    std::lock_guard<std::mutex> guard(mutex_);
    std::size_t sent = 0;
    while (clientFd_ >= 0 && sent < bytes.size()) {
        const auto n = ::send(clientFd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
}

void RtdeTestServer::startStreaming(int channel, double hz, int64_t count) {
    stopStreaming();
    streaming_ = true;
    streamed_ = 0;
    streamer_ = std::thread([=] { streamLoop(channel, hz, count); });
}

void RtdeTestServer::stopStreaming() {
    streaming_ = false;
    if (streamer_.joinable()) {
        streamer_.join();
    }
}

void RtdeTestServer::streamLoop(int channel, double hz, int64_t count) {
    const auto period = std::chrono::nanoseconds(static_cast<int64_t>(1e9 / hz));
    auto next = Clock::now();
    for (int64_t sequence = 0; streaming_ && (count < 0 || sequence < count); ++sequence) {
        std::this_thread::sleep_until(next);
        next += period;
        sendFrame(nlohmann::json::array({channel, sequence, nowNs()}));
        ++streamed_;
    }
}

void RtdeTestServer::closeClient() { dropClient(); }

void RtdeTestServer::dropClient() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (clientFd_ >= 0) {
        ::close(clientFd_);
        clientFd_ = -1;
    }
}

std::vector<nlohmann::json> RtdeTestServer::messages() {
    std::lock_guard<std::mutex> guard(mutex_);
    return messages_;
}

std::string RtdeTestServer::received() {
    std::lock_guard<std::mutex> guard(mutex_);
    return received_;
}

std::vector<RtdeTestServer::Clock::time_point> RtdeTestServer::keepAlives() {
    std::lock_guard<std::mutex> guard(mutex_);
    return keepAlives_;
}

std::size_t RtdeTestServer::garbageBytes() {
    std::lock_guard<std::mutex> guard(mutex_);
    return garbage_;
}

void RtdeTestServer::clearReceived() {
    std::lock_guard<std::mutex> guard(mutex_);
    received_.clear();
    messages_.clear();
    keepAlives_.clear();
    garbage_ = 0;
}

bool RtdeTestServer::waitForMessages(std::size_t count) {
    return zorv_test::eventually([&] { return messages().size() >= count; });
}

bool RtdeTestServer::waitForConnection(int count) {
    return zorv_test::eventually([&] { return connections_ >= count; });
}

}  // namespace rtde_test
