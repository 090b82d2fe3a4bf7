// The connector used from several threads: busy callers, disconnects mid-request, request ids.
#include <future>
#include <set>
#include <thread>

#include "connector_fixture.h"

namespace zorv_test {
namespace {

class ConnectorThreads : public ConnectorTest {
protected:
    void SetUp() override { connectAndLogin(); }
};

TEST_F(ConnectorThreads, SecondCallerIsTurnedAwayAsBusy) {
    controller.queueSilence();
    const std::string inFlight = request("held");
    auto first = std::async(std::launch::async, [&] { return connector->Send(inFlight); });
    ASSERT_TRUE(controller.waitForRequests(1));

    std::string message;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(thrownCode([&] { connector->Send(request("second")); }, &message), -4);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(message, "RPC client is busy(" + inFlight + ")");

    controller.replyToLast({{"result", "done"}});
    EXPECT_EQ(first.get(), R"({"id":"held","jsonrpc":"2.0","result":"done"})");
    EXPECT_EQ(controller.requests().size(), 1u);
    // The connector is free again.
    EXPECT_EQ(connector->Send(request("third")), R"({"id":"third","jsonrpc":"2.0","result":0})");
}

TEST_F(ConnectorThreads, ProbeFromAnotherThreadDuringARequestTrustsTheFlag) {
    controller.queueSilence();
    auto first = std::async(std::launch::async, [&] { return connector->Send(request("held")); });
    ASSERT_TRUE(controller.waitForRequests(1));
    EXPECT_TRUE(connector->hasConnected());
    controller.replyToLast({{"result", 1}});
    EXPECT_EQ(first.get(), R"({"id":"held","jsonrpc":"2.0","result":1})");
}

TEST_F(ConnectorThreads, DisconnectFromAnotherThreadEndsTheRequest) {
    controller.queueSilence();
    auto pending = std::async(std::launch::async, [&] { return connector->Send(request("cut")); });
    ASSERT_TRUE(controller.waitForRequests(1));

    EXPECT_EQ(connector->disconnect(), 0);
    // The pump stops with no reply; the call layer turns the empty text into a parse failure.
    EXPECT_EQ(pending.get(), "");
    EXPECT_FALSE(connector->hasConnected());
    EXPECT_FALSE(connector->hasLogined());
    EXPECT_EQ(events.codes(), std::vector<int>{1});
    EXPECT_EQ(logs.atLine(208).size(), 1u);
    EXPECT_TRUE(controller.waitForNoConnection());
    EXPECT_EQ(thrownCode([&] { connector->Send(request("gone")); }), -1);

    // And the connector recovers.
    ASSERT_EQ(connector->connect("127.0.0.1", controller.port()), 0);
    ASSERT_EQ(connector->login("admin", ""), 0);
    EXPECT_EQ(connector->Send(request("back")), R"({"id":"back","jsonrpc":"2.0","result":0})");
}

TEST_F(ConnectorThreads, ManyThreadsShareOneConnector) {
    // Every call either gets its own reply or is turned away as busy; nothing else.
    constexpr int kThreads = 4;
    constexpr int kCalls = 40;
    std::atomic<int> answered{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i) {
                const std::string id = std::to_string(t) + "-" + std::to_string(i);
                try {
                    const auto reply = nlohmann::json::parse(connector->Send(request(id)));
                    EXPECT_EQ(reply.at("id"), id);
                    ++answered;
                } catch (const zorv_interface::ZorvException& error) {
                    EXPECT_EQ(error.code(), -4);
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_GT(answered.load(), 0);
    EXPECT_EQ(controller.requests().size(), static_cast<std::size_t>(answered.load()));
}

TEST_F(ConnectorThreads, SettersAndQueriesRaceWithRequests) {
    std::atomic<bool> stop{false};
    std::thread fiddler([&] {
        while (!stop) {
            connector->setRequestTimeout(kGenerousTimeoutMs);
            connector->setLogHandler(logs.handler());
            connector->setEventHandler([](int) {});
            connector->forceSend(false);
            connector->exceptionFree = !connector->exceptionFree;
            (void)connector->hasLogined();
            (void)connector->getLogHandler();
        }
    });
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(nlohmann::json::parse(connector->Send(request("s" + std::to_string(i)))).at("result"), 0);
    }
    stop = true;
    fiddler.join();
}

TEST(RequestIdThreads, IdsStayUniqueAcrossThreads) {
    constexpr int kThreads = 8;
    constexpr int kEach = 500;
    std::vector<std::vector<std::string>> drawn(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&drawn, t] {
            for (int i = 0; i < kEach; ++i) {
                drawn[t].push_back(jsonrpccxx::get_uuid());
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::set<std::string> all;
    for (const auto& ids : drawn) {
        all.insert(ids.begin(), ids.end());
    }
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
}

}  // namespace
}  // namespace zorv_test
