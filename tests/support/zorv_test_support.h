#pragma once

// Helpers every suite and test peer shares: waiting on a condition with a generous
// bound, recording what a component logs or reports, and a port nobody listens on.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zorv_test {

// Polls done until it holds or the limit passes; true when it held.
inline bool eventually(std::function<bool()> done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Collects log lines from any thread.
class LogRecorder {
public:
    struct Line {
        int level;
        std::string file;
        int line;
        std::string text;
    };

    std::function<void(int, const char*, int, const std::string&)> handler() {
        return [this](int level, const char* file, int line, const std::string& text) {
            std::lock_guard<std::mutex> lock(mutex);
            recorded.push_back({level, file, line, text});
        };
    }

    std::vector<Line> lines() const {
        std::lock_guard<std::mutex> lock(mutex);
        return recorded;
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> found;
        for (const auto& entry : lines()) {
            found.push_back(entry.text);
        }
        return found;
    }

    std::vector<Line> startingWith(const std::string& prefix) const {
        return matching([&](const Line& entry) { return entry.text.compare(0, prefix.size(), prefix) == 0; });
    }

    std::size_t count(const std::string& prefix) const { return startingWith(prefix).size(); }

    // Lines logged at the given source line.
    std::vector<Line> atLine(int line) const {
        return matching([&](const Line& entry) { return entry.line == line; });
    }

    bool waitFor(const std::string& prefix, std::size_t times = 1) const {
        return eventually([&] { return count(prefix) >= times; });
    }

    bool waitForLine(int line) const {
        return eventually([&] { return !atLine(line).empty(); });
    }

    void clear() {
        std::lock_guard<std::mutex> lock(mutex);
        recorded.clear();
    }

private:
    std::vector<Line> matching(const std::function<bool(const Line&)>& wanted) const {
        std::vector<Line> found;
        for (const auto& entry : lines()) {
            if (wanted(entry)) {
                found.push_back(entry);
            }
        }
        return found;
    }

    mutable std::mutex mutex;
    std::vector<Line> recorded;
};

// Collects the event codes a component reports, from any thread.
class EventRecorder {
public:
    std::function<void(int)> handler() {
        return [this](int code) { record(code); };
    }

    void record(int code) {
        std::lock_guard<std::mutex> lock(mutex);
        recorded.push_back(code);
    }

    std::vector<int> codes() const {
        std::lock_guard<std::mutex> lock(mutex);
        return recorded;
    }

private:
    mutable std::mutex mutex;
    std::vector<int> recorded;
};

// A loopback port with nothing listening on it.
inline int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A loopback listener that never accepts, its backlog filled by connections of its
// own: the kernel then neither accepts nor refuses further connection requests, as
// with a powered-off controller. `ready()` tells whether that state was reached.
class UnansweredListener {
public:
    UnansweredListener() {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener, 0);
        socklen_t length = sizeof address;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        for (int attempt = 0; attempt < 16 && !ready_; ++attempt) {
            ready_ = !connectsWithin(address, std::chrono::milliseconds(200));
        }
    }
    ~UnansweredListener() {
        for (const int fd : fillers) {
            ::close(fd);
        }
        ::close(listener);
    }
    UnansweredListener(const UnansweredListener&) = delete;
    UnansweredListener& operator=(const UnansweredListener&) = delete;

    int port() const { return port_; }
    bool ready() const { return ready_; }

private:
    // One more connection request; true when the kernel completed it in time.
    bool connectsWithin(const sockaddr_in& address, std::chrono::milliseconds limit) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        fillers.push_back(fd);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            return true;
        }
        pollfd watched{fd, POLLOUT, 0};
        return ::poll(&watched, 1, static_cast<int>(limit.count())) > 0;
    }

    int listener = -1;
    int port_ = 0;
    bool ready_ = false;
    std::vector<int> fillers;
};

}  // namespace zorv_test
