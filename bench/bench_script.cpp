// Time to destroy a connected, logged-in script client whose service never writes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <asio.hpp>

#include "zorv_interface/script_client.h"

namespace {

// Accepts script connections and never answers them.
class SilentService {
public:
    SilentService() : acceptor(context, {asio::ip::make_address_v4("127.0.0.1"), 0}) {
        acceptNext();
        runner = std::thread([this] { context.run(); });
    }
    ~SilentService() {
        context.stop();
        runner.join();
    }
    int port() const { return acceptor.local_endpoint().port(); }

private:
    void acceptNext() {
        acceptor.async_accept([this](const asio::error_code& error, asio::ip::tcp::socket socket) {
            if (!error) {
                held.push_back(std::move(socket));
                acceptNext();
            }
        });
    }

    asio::io_context context;
    asio::ip::tcp::acceptor acceptor;
    std::vector<asio::ip::tcp::socket> held;
    std::thread runner;
};

void BM_DestroyLoggedInClient(benchmark::State& state) {
    SilentService service;
    const auto quiet = [](int, const char*, int, const std::string&) {};
    for (auto _ : state) {
        auto client = std::make_unique<zorv_interface::ScriptClient>(0);
        client->setLogHandler(quiet);
        if (client->connect("127.0.0.1", service.port()) != 0 || client->login("", "") != 0) {
            state.SkipWithError("could not connect and log in");
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        client.reset();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
    }
}
BENCHMARK(BM_DestroyLoggedInClient)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
