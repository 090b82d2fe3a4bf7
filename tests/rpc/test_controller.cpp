#include "test_controller.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <cstring>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "zorv_test_support.h"

namespace zorv_test {

using nlohmann::json;

namespace {

const char* const kPrefixKey = "Qm7#pV2!xR9&tL4^wZ8k";
const char* const kSuffixKey = "Hd3$Kq8@Np1!Wc6^Yf0&Tg5*Lb2%Vs9#Mx4+Jr7=Ez1?Ua6~Oi";
const std::string kLoginTag = "__login__";

[[noreturn]] void throwErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

json header(const std::string& id, const std::string& name) {
    return {{"id", id}, {"name", name}, {"stamp", 1733731200123456789LL}, {"map_id", "map-warehouse-01"},
            {"error_code", 0}};
}

json point(double x, double y) { return {{"x", x}, {"y", y}}; }

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Takes the next complete frame off the front of pending; bytes before a "SOF" are dropped.
bool takeFrame(std::string& pending, std::string& payload) {
    const std::size_t magic = pending.find("SOF");
    if (magic == std::string::npos) {
        pending.erase(0, pending.size() > 2 ? pending.size() - 2 : 0);
        return false;
    }
    pending.erase(0, magic);
    if (pending.size() < 4) {
        return false;
    }
    const bool wide = pending[3] == 1;
    const std::size_t head = wide ? 8 : 6;
    if (pending.size() < head) {
        return false;
    }
    std::size_t length = 0;
    for (std::size_t i = 4; i < head; ++i) {
        length = (length << 8) | static_cast<unsigned char>(pending[i]);
    }
    if (pending.size() < head + length) {
        return false;
    }
    payload = pending.substr(head, length);
    pending.erase(0, head + length);
    return true;
}

void sendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // the client went away; its read side notices
        }
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string frame(const std::string& payload) {
    std::string out = "SOF";
    out += '\x01';
    const auto size = static_cast<std::uint32_t>(payload.size());
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((size >> shift) & 0xFF);
    }
    return out + payload;
}

std::string loginDigest(const std::string& password) {
    std::string digest;
    for (const unsigned char byte : kPrefixKey + password + kSuffixKey) {
        digest += static_cast<char>('0' + std::bitset<8>(byte).count());
    }
    return digest;
}

std::string loginLine(const std::string& user, const std::string& password) {
    return kLoginTag + "\n" + user + "\n" + loginDigest(password) + "\n4000\n";
}

json cannedResult(const std::string& method) {
    if (method == "ZorvInterface.getRunningInfo") {
        return {{"header", header("running-info", "AGV-07")},
                {"running_mode", "NAVIGATE"},
                {"current_speed", {{"v", 0.8}, {"w", -0.05}}},
                {"location_score", 97},
                {"total_dist", 15234.75},
                {"current_dist", 42.3},
                {"total_running_time", 986400.0},
                {"current_running_time", 5400.5},
                {"battery_voltage", 48.6},
                {"battery_current", -12.4},
                {"remaining_voltage", 83},
                {"battery_status", 1},
                {"safety_edge_status", 0},
                {"low_battery", false},
                {"pause", false},
                {"emergency_stop", false},
                {"blocked", false},
                {"localization_loss", false},
                {"fault_alarm", false},
                {"break_release_flag", false}};
    }
    if (method == "ZorvInterface.getAgvCurrentPose") {
        return {{"x", 12.75}, {"y", -3.5}, {"yaw", 1.5707963267948966}};
    }
    if (method == "ZorvInterface.getNavInfo") {
        return {{"header", header("nav-info", "AGV-07")},
                {"status", "RUNNING"},
                {"type", "FREE_TO_STATION"},
                {"nav_type", "FREE_TO_STATION"},
                {"auto_charging_type", "NONE"},
                {"goal_station",
                 {{"header", header("station-12", "Dock A")},
                  {"type", "work"},
                  {"pose", {{"x", 20.0}, {"y", -3.5}, {"yaw", 0.0}}}}},
                {"current_trajectory", json::array({point(12.75, -3.5), point(16.0, -3.5), point(20.0, -3.5)})}};
    }
    return nullptr;
}

json Request::id() const { return json.is_object() && json.contains("id") ? json.at("id") : nlohmann::json(); }

std::string Request::method() const {
    if (json.is_object() && json.contains("method") && json.at("method").is_string()) {
        return json.at("method").get<std::string>();
    }
    return "";
}

std::string replyFrameWithId(json id, json body) {
    if (body.is_object()) {
        if (!body.contains("id")) {
            body["id"] = std::move(id);
        }
        if (!body.contains("jsonrpc")) {
            body["jsonrpc"] = "2.0";
        }
    }
    return frame(body.dump());
}

std::string replyFrame(const Request& request, json body) { return replyFrameWithId(request.id(), std::move(body)); }

struct TestController::Impl {
    struct Connection {
        int fd;
        std::string pending;
    };
    struct Command {
        std::function<void()> action;
        std::promise<void> done;
    };

    explicit Impl(Options opts) : options(std::move(opts)), loginMode(options.login) {}

    void listen();
    void run();
    void post(std::function<void()> action);
    void runCommands();
    void accept();
    void readFrom(Connection& connection);
    void handle(Connection& connection, const std::string& payload);
    Response loginVerdict(const std::string& payload);
    Response answer(const Request& request, int fd, bool isLogin);
    void perform(int fd, const Response& response);
    void close(int fd, bool graceful = true);
    int newestFd() const { return connections.empty() ? -1 : connections.back().fd; }

    Options options;
    int listenFd = -1;
    int wake[2] = {-1, -1};
    std::uint16_t port = 0;
    std::thread thread;
    std::vector<Connection> connections;  // server thread only
    bool readingHeld = false;             // server thread only

    mutable std::mutex mutex;  // guards everything below
    LoginMode loginMode;
    std::map<std::string, json> standing;
    std::deque<Step> script;
    std::deque<Command> commands;
    bool stopping = false;
    std::vector<std::string> loginPayloads, requestPayloads, allPayloads;
    std::string received;
    std::size_t accepted = 0;
    std::size_t open = 0;
    Request lastRequest;
    int lastRequestFd = -1;
};

void TestController::Impl::listen() {
    if (::pipe(wake) != 0) {
        throwErrno("pipe");
    }
    listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd < 0) {
        throwErrno("socket");
    }
    const int on = 1;
    ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(options.port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throwErrno("bind");
    }
    if (::listen(listenFd, 16) != 0) {
        throwErrno("listen");
    }
    socklen_t length = sizeof address;
    ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
}

void TestController::Impl::run() {
    while (true) {
        std::vector<pollfd> fds{{wake[0], POLLIN, 0}, {listenFd, POLLIN, 0}};
        for (std::size_t i = 0; i < connections.size() && !readingHeld; ++i) {
            fds.push_back({connections[i].fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            continue;  // EINTR
        }
        if (fds[0].revents != 0) {
            char drained[64];
            (void)::read(wake[0], drained, sizeof drained);
            runCommands();
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping) {
                break;
            }
        }
        if (fds[1].revents & POLLIN) {
            accept();
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            const auto found = std::find_if(connections.begin(), connections.end(),
                                            [&](const Connection& c) { return c.fd == fds[i].fd; });
            if (found != connections.end()) {
                readFrom(*found);
            }
        }
    }
    while (!connections.empty()) {
        close(connections.back().fd);
    }
}

void TestController::Impl::post(std::function<void()> action) {
    std::future<void> done;
    {
        std::lock_guard<std::mutex> lock(mutex);
        commands.push_back({std::move(action), {}});
        done = commands.back().done.get_future();
    }
    const char signal = 1;
    (void)::write(wake[1], &signal, 1);
    done.wait();
}

void TestController::Impl::runCommands() {
    while (true) {
        Command command;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (commands.empty()) {
                return;
            }
            command = std::move(commands.front());
            commands.pop_front();
        }
        command.action();
        command.done.set_value();
    }
}

void TestController::Impl::accept() {
    const int fd = ::accept(listenFd, nullptr, nullptr);
    if (fd < 0) {
        return;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    connections.push_back({fd, {}});
    std::lock_guard<std::mutex> lock(mutex);
    ++accepted;
    ++open;
}

void TestController::Impl::readFrom(Connection& connection) {
    char buffer[65536];
    const ssize_t n = ::recv(connection.fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
        if (n < 0 && errno == EINTR) {
            return;
        }
        close(connection.fd);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        received.append(buffer, static_cast<std::size_t>(n));
    }
    const int fd = connection.fd;
    connection.pending.append(buffer, static_cast<std::size_t>(n));
    std::string payload;
    // handle() may close the connection, which invalidates the reference.
    while (true) {
        const auto found = std::find_if(connections.begin(), connections.end(),
                                        [&](const Connection& c) { return c.fd == fd; });
        if (found == connections.end() || !takeFrame(found->pending, payload)) {
            return;
        }
        handle(*found, payload);
    }
}

void TestController::Impl::handle(Connection& connection, const std::string& payload) {
    const bool isLogin = payload.compare(0, kLoginTag.size(), kLoginTag) == 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        allPayloads.push_back(payload);
        (isLogin ? loginPayloads : requestPayloads).push_back(payload);
    }
    const Hook& hook = isLogin ? options.onLogin : options.onRequest;
    if (hook) {
        hook(payload);
    }
    Request request{payload, json::parse(payload, nullptr, false)};
    if (request.json.is_discarded()) {
        request.json = nullptr;
    }
    const int fd = connection.fd;
    perform(fd, answer(request, fd, isLogin));
}

Response TestController::Impl::answer(const Request& request, int fd, bool isLogin) {
    Step step;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (isLogin && loginMode != LoginMode::Scripted) {
            const LoginMode mode = loginMode;
            const bool granted = mode == LoginMode::Succeed ||
                                  (mode == LoginMode::CheckPassword && [&] {
                                      const auto lines = splitLines(request.payload);
                                      return lines.size() >= 3 && lines[2] == loginDigest(options.password);
                                  }());
            if (mode == LoginMode::Silent) {
                return {};
            }
            return {{frame(kLoginTag + "\n" + (granted ? "SUCCEED" : "FAILED"))}, false};
        }
        lastRequest = request;
        lastRequestFd = fd;
        if (!script.empty()) {
            step = std::move(script.front());
            script.pop_front();
        } else {
            const auto found = standing.find(request.method());
            const json body = found != standing.end() ? found->second : json{{"result", 0}};
            return {{replyFrame(request, body)}, false};
        }
    }
    return step(request);
}

void TestController::Impl::perform(int fd, const Response& response) {
    for (const auto& bytes : response.writes) {
        sendAll(fd, bytes);
    }
    if (response.reset) {
        const linger abort{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    if (response.close) {
        close(fd, !response.reset);
    }
}

void TestController::Impl::close(int fd, bool graceful) {
    const auto found =
        std::find_if(connections.begin(), connections.end(), [&](const Connection& c) { return c.fd == fd; });
    if (found == connections.end()) {
        return;
    }
    if (graceful) {
        ::shutdown(fd, SHUT_RDWR);
    }
    ::close(fd);
    connections.erase(found);
    std::lock_guard<std::mutex> lock(mutex);
    --open;
    if (lastRequestFd == fd) {
        lastRequestFd = -1;
    }
}

TestController::TestController() : TestController(Options{}) {}

TestController::TestController(Options options) : impl(std::make_unique<Impl>(std::move(options))) {
    impl->listen();
    impl->thread = std::thread([this] { impl->run(); });
}

TestController::~TestController() {
    {
        std::lock_guard<std::mutex> lock(impl->mutex);
        impl->stopping = true;
    }
    const char signal = 1;
    (void)::write(impl->wake[1], &signal, 1);
    impl->thread.join();
    ::close(impl->listenFd);
    ::close(impl->wake[0]);
    ::close(impl->wake[1]);
}

std::uint16_t TestController::port() const { return impl->port; }

void TestController::setLoginMode(LoginMode mode) {
    std::lock_guard<std::mutex> lock(impl->mutex);
    impl->loginMode = mode;
}

void TestController::setStanding(const std::string& method, json body) {
    std::lock_guard<std::mutex> lock(impl->mutex);
    impl->standing[method] = std::move(body);
}

void TestController::useCannedReplies() {
    for (const char* method :
         {"ZorvInterface.getRunningInfo", "ZorvInterface.getAgvCurrentPose", "ZorvInterface.getNavInfo"}) {
        setStanding(method, {{"result", cannedResult(method)}});
    }
}

void TestController::queue(Step step) {
    std::lock_guard<std::mutex> lock(impl->mutex);
    impl->script.push_back(std::move(step));
}

void TestController::queueReply(json body) {
    queue([body](const Request& request) { return Response{{replyFrame(request, body)}, false}; });
}

void TestController::queueResult(json result) { queueReply({{"result", std::move(result)}}); }

void TestController::queueError(json error) { queueReply({{"error", std::move(error)}}); }

void TestController::queueRaw(std::string payload) {
    queue([payload](const Request&) { return Response{{frame(payload)}, false}; });
}

void TestController::queueStaleThenResult(json result, bool oneWrite) {
    queue([result, oneWrite](const Request& request) {
        const json id = request.id();
        const json staleId = id.is_string() ? json(id.get<std::string>() + "-stale") : json("stale");
        const std::string stale = replyFrameWithId(staleId, {{"result", "stale"}});
        const std::string right = replyFrame(request, {{"result", result}});
        return oneWrite ? Response{{stale + right}, false} : Response{{stale, right}, false};
    });
}

void TestController::queueSplit(json result, std::vector<std::size_t> cuts) {
    queue([result, cuts](const Request& request) {
        const std::string whole = replyFrame(request, {{"result", result}});
        Response response;
        std::size_t start = 0;
        for (const std::size_t cut : cuts) {
            const std::size_t end = std::min(std::max(cut, start), whole.size());
            response.writes.push_back(whole.substr(start, end - start));
            start = end;
        }
        response.writes.push_back(whole.substr(start));
        return response;
    });
}

void TestController::queueSilence() {
    queue([](const Request&) { return Response{}; });
}

void TestController::queueClose() {
    queue([](const Request&) { return Response{{}, true}; });
}

void TestController::queueReset() {
    queue([](const Request&) { return Response{{}, true, true}; });
}

void TestController::sendRaw(const std::string& bytes) {
    impl->post([this, bytes] {
        const int fd = impl->newestFd();
        if (fd >= 0) {
            sendAll(fd, bytes);
        }
    });
}

void TestController::replyToLast(json body) {
    impl->post([this, body] {
        Request request;
        int fd;
        {
            std::lock_guard<std::mutex> lock(impl->mutex);
            request = impl->lastRequest;
            fd = impl->lastRequestFd;
        }
        if (fd >= 0) {
            sendAll(fd, replyFrame(request, body));
        }
    });
}

void TestController::closeClient() {
    impl->post([this] {
        const int fd = impl->newestFd();
        if (fd >= 0) {
            impl->close(fd);
        }
    });
}

void TestController::holdReading(bool hold) {
    impl->post([this, hold] { impl->readingHeld = hold; });
}

std::string TestController::loginPayload() const {
    std::lock_guard<std::mutex> lock(impl->mutex);
    return impl->loginPayloads.empty() ? std::string() : impl->loginPayloads.back();
}

std::vector<std::string> TestController::logins() const {
    std::lock_guard<std::mutex> lock(impl->mutex);
    return impl->loginPayloads;
}

std::vector<std::string> TestController::requests() const {
    std::lock_guard<std::mutex> lock(impl->mutex);
    return impl->requestPayloads;
}

std::vector<std::string> TestController::payloads() const {
    std::lock_guard<std::mutex> lock(impl->mutex);
    return impl->allPayloads;
}

std::string TestController::receivedBytes() const {
    std::lock_guard<std::mutex> lock(impl->mutex);
    return impl->received;
}

std::size_t TestController::connectionCount() const {
    std::lock_guard<std::mutex> lock(impl->mutex);
    return impl->accepted;
}

std::size_t TestController::openConnections() const {
    std::lock_guard<std::mutex> lock(impl->mutex);
    return impl->open;
}

bool TestController::waitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
    return eventually([&] { return requests().size() >= count; }, limit);
}

bool TestController::waitForNoConnection(std::chrono::milliseconds limit) const {
    return eventually([&] { return openConnections() == 0; }, limit);
}

}  // namespace zorv_test
