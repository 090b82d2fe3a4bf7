#include "script_service.h"

#include <unistd.h>

#include <array>
#include <future>
#include <thread>

#include <asio.hpp>

namespace script_test {
namespace {

constexpr auto kPatience = std::chrono::seconds(5);
constexpr auto kPauseBetweenParts = std::chrono::milliseconds(50);

template <class Protocol>
class StreamService final : public ScriptService {
public:
    using Socket = typename Protocol::socket;

    explicit StreamService(const typename Protocol::endpoint& endpoint)
        : acceptor(context, endpoint), runner([this] { context.run(); }) {
        asio::post(context, [this] { acceptNext(); });
    }

    ~StreamService() override {
        asio::post(context, [this] {
            work.reset();
            acceptor.close();
            if (client) {
                client->close();
            }
        });
        runner.join();
    }

    std::string host() const override;
    int port() const override;

    void reply(const std::string& bytes) override { replyInParts({bytes}); }

    void replyInParts(const std::vector<std::string>& parts) override {
        onServiceThread([this, &parts] {
            for (std::size_t i = 0; client && i < parts.size(); ++i) {
                if (i > 0) {
                    std::this_thread::sleep_for(kPauseBetweenParts);
                }
                asio::error_code ignored;
                asio::write(*client, asio::buffer(parts[i]), ignored);
            }
        });
    }

    void stopReading() override {
        onServiceThread([this] { reading = false; });
    }

    void resumeReading() override {
        onServiceThread([this] {
            reading = true;
            if (const auto connection = std::move(parked)) {
                readFrom(connection);
            }
        });
    }

    void dropClient() override {
        onServiceThread([this] {
            if (client) {
                client->close();
                client.reset();
            }
        });
    }

private:
    struct Connection {
        explicit Connection(asio::io_context& context) : socket(context) {}
        Socket socket;
        std::array<char, 4096> buffer{};
    };

    // Runs work where the sockets live and returns once it is done.
    void onServiceThread(const std::function<void()>& work_item) {
        std::promise<void> done;
        asio::post(context, [&] {
            work_item();
            done.set_value();
        });
        done.get_future().wait();
    }

    void acceptNext() {
        auto incoming = std::make_shared<Connection>(context);
        acceptor.async_accept(incoming->socket, [this, incoming](const asio::error_code& error) {
            if (error) {
                return;
            }
            if (client) {
                client->close();
            }
            client = std::shared_ptr<Socket>(incoming, &incoming->socket);
            recordAccepted();
            readFrom(incoming);
            acceptNext();
        });
    }

    void readFrom(const std::shared_ptr<Connection>& connection) {
        connection->socket.async_read_some(
            asio::buffer(connection->buffer), [this, connection](const asio::error_code& error, std::size_t size) {
                if (error) {
                    recordClientGone();
                    return;
                }
                recordBytes(connection->buffer.data(), size);
                if (reading) {
                    readFrom(connection);
                } else {
                    parked = connection;
                }
            });
    }

    asio::io_context context;
    asio::executor_work_guard<asio::io_context::executor_type> work{context.get_executor()};
    typename Protocol::acceptor acceptor;
    // Used on the service's thread only.
    std::shared_ptr<Socket> client;
    bool reading = true;
    std::shared_ptr<Connection> parked;  // the connection whose reading stopped
    std::thread runner;
};

template <>
std::string StreamService<asio::ip::tcp>::host() const { return "127.0.0.1"; }
template <>
int StreamService<asio::ip::tcp>::port() const { return acceptor.local_endpoint().port(); }
template <>
std::string StreamService<asio::local::stream_protocol>::host() const { return acceptor.local_endpoint().path(); }
template <>
int StreamService<asio::local::stream_protocol>::port() const { return 0; }

}  // namespace

std::unique_ptr<ScriptService> ScriptService::tcp() {
    return std::make_unique<StreamService<asio::ip::tcp>>(
        asio::ip::tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), 0));
}

std::unique_ptr<ScriptService> ScriptService::local(const std::string& path) {
    ::unlink(path.c_str());
    return std::make_unique<StreamService<asio::local::stream_protocol>>(
        asio::local::stream_protocol::endpoint(path));
}

std::vector<ReceivedFrame> ScriptService::frames() const {
    std::lock_guard<std::mutex> lock(mutex);
    return received_frames;
}

std::string ScriptService::bytes() const {
    std::lock_guard<std::mutex> lock(mutex);
    return received;
}

int ScriptService::accepted() const {
    std::lock_guard<std::mutex> lock(mutex);
    return accepted_count;
}

int ScriptService::clientsGone() const {
    std::lock_guard<std::mutex> lock(mutex);
    return gone_count;
}

bool ScriptService::waitForFrames(std::size_t count) const {
    return waitFor([&] { return received_frames.size() >= count; });
}

bool ScriptService::waitForAccepted(int count) const {
    return waitFor([&] { return accepted_count >= count; });
}

bool ScriptService::waitForClientsGone(int count) const {
    return waitFor([&] { return gone_count >= count; });
}

bool ScriptService::waitFor(const std::function<bool()>& done) const {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, kPatience, done);
}

void ScriptService::recordAccepted() {
    std::lock_guard<std::mutex> lock(mutex);
    ++accepted_count;
    unframed.clear();
    changed.notify_all();
}

void ScriptService::recordBytes(const char* data, std::size_t size) {
    std::lock_guard<std::mutex> lock(mutex);
    received.append(data, size);
    unframed.append(data, size);
    splitFrames();
    changed.notify_all();
}

void ScriptService::recordClientGone() {
    std::lock_guard<std::mutex> lock(mutex);
    ++gone_count;
    changed.notify_all();
}

// Type-0 frames: "SOF", type byte, two-byte big-endian length, payload.
void ScriptService::splitFrames() {
    constexpr std::size_t kHeader = 6;
    while (unframed.size() >= kHeader && unframed.compare(0, 3, "SOF") == 0) {
        const auto high = static_cast<unsigned char>(unframed[4]);
        const auto low = static_cast<unsigned char>(unframed[5]);
        const std::size_t length = std::size_t(high) << 8 | low;
        if (unframed.size() < kHeader + length) {
            return;
        }
        received_frames.push_back({unframed[3], unframed.substr(kHeader, length)});
        unframed.erase(0, kHeader + length);
    }
}

}  // namespace script_test
