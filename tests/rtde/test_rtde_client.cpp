#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "rtde_test_server.h"
#include "rtde_test_threads.h"
#include "zorv_interface/rtde_client.h"
#include "zorv_test_support.h"

using nlohmann::json;
using namespace zorv_interface;
using zorv_test::LogRecorder;
using zorv_test::eventually;
using rtde_test::RtdeTestServer;
using namespace std::chrono_literals;

TEST(RtdeClient, UnknownKindReportsFailureEverywhere) {
    RtdeClient client(7);
    testing::internal::CaptureStdout();
    EXPECT_EQ(client.connect("10.0.0.1", 30004), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Rtde connect ip: 10.0.0.1, port: 30004\n");
    EXPECT_EQ(client.login("u", "p"), -1);
    EXPECT_EQ(client.logout(), 0);
    EXPECT_EQ(client.disconnect(), -1);
    EXPECT_FALSE(client.hasConnected());
    EXPECT_FALSE(client.hasConnected1([](bool) {}));
    EXPECT_FALSE(client.hasLogined());
    EXPECT_EQ(client.getProtocolVersion(), -1);
    EXPECT_TRUE(client.getInputMaps().empty());
    EXPECT_TRUE(client.getRegisteredOutputRecipe().empty());
    EXPECT_EQ(client.setTopic(false, {"a"}, 1.0, 0), -1);
    EXPECT_EQ(client.removeTopic(false, 0), 1);
    EXPECT_EQ(client.subscribe(0, [](InputParser&) {}), -1);
    EXPECT_EQ(client.publish(0, [](OutputBuilder&) {}), -1);
    EXPECT_EQ(client.setEventHandler([](int) {}), -1);
    client.setLogHandler(nullptr);
}

TEST(RtdeClient, LocalKindAlwaysUsesTheFixedSocketPath) {
    LogRecorder log;
    RtdeClient client(1);
    client.setLogHandler(log.handler());
    testing::internal::CaptureStdout();
    const int result = client.connect("", 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Rtde connect ip: , port: 0\n");
    if (result != 0) {  // no controller on this machine
        EXPECT_EQ(result, -1);
        EXPECT_EQ(log.count("connecting to /run/nelt/rtde.socket"), 1u);
        EXPECT_EQ(log.count("Connect to /run/nelt/rtde.socket FAILED: "), 1u);
    }
}

TEST(RtdeClient, FullRoundTripOverTcpAndPromptDestruction) {
    RtdeTestServer server(RtdeTestServer::Transport::Tcp);
    LogRecorder log;
    std::mutex mutex;
    std::vector<int> events;
    std::atomic<int> received{0};
    auto client = std::make_unique<RtdeClient>(0);
    client->setLogHandler(log.handler());
    client->setEventHandler([&](int code) {
        std::lock_guard<std::mutex> guard(mutex);
        events.push_back(code);
    });

    testing::internal::CaptureStdout();
    ASSERT_EQ(client->connect("127.0.0.1", server.port()), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(client->hasConnected1([](bool) { FAIL() << "the callback is only stored"; }), true);
    ASSERT_EQ(client->login("user", "pw"), 0);
    EXPECT_TRUE(client->hasLogined());
    EXPECT_EQ(client->getProtocolVersion(), 2);

    const int output = client->setTopic(false, {"out_a", "out_b"}, 50.0, 2);
    const int input = client->setTopic(true, {"in_double", "in_vector"}, 50.0, 2);
    ASSERT_EQ(output, 2);
    ASSERT_EQ(input, 2);
    EXPECT_EQ(client->subscribe(output, [&](InputParser& parser) {
        if (parser.popDouble() == 1.25 && parser.popVectorDouble().size() == 2) {
            ++received;
        }
    }), 0);
    server.sendFrame(json::array({2, 1.25, json::array({1, 2})}));
    ASSERT_TRUE(eventually([&] { return received == 1; }));

    EXPECT_EQ(client->publish(input, [](OutputBuilder& builder) {
        builder.push(0.5).push(std::vector<double>{1, 2, 3, 4, 5, 6});
    }), 0);
    ASSERT_TRUE(server.waitForMessages(3));
    EXPECT_EQ(server.messages().back().dump(), "[2,0.5,[1.0,2.0,3.0,4.0,5.0,6.0]]");

    const auto start = std::chrono::steady_clock::now();
    client.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_EQ(log.count("RTDE client disconnected."), 1u);
    std::lock_guard<std::mutex> guard(mutex);
    EXPECT_EQ(events, std::vector<int>{1});
}

TEST(RtdeClient, ThrowingEventHandlerDoesNotEscapeTheDestructor) {
    RtdeTestServer server(RtdeTestServer::Transport::Tcp);
    LogRecorder log;
    std::atomic<int> calls{0};
    {
        RtdeClient client(0);
        client.setLogHandler(log.handler());
        client.setEventHandler([&](int) {
            ++calls;
            throw 5;
        });
        testing::internal::CaptureStdout();
        ASSERT_EQ(client.connect("127.0.0.1", server.port()), 0);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(client.login("", ""), 0);
    }
    EXPECT_EQ(calls, 1);
}

TEST(RtdeClient, DestroyedInsideItsOwnHandlersItsThreadEnds) {
    RtdeTestServer server(RtdeTestServer::Transport::Tcp);
    for (const bool fromEventHandler : {false, true}) {
        SCOPED_TRACE(fromEventHandler ? "event handler" : "subscription handler");
        LogRecorder log;
        const std::size_t threadsBefore = rtde_test::processThreadCount();
        auto client = std::make_unique<RtdeClient>(0);
        std::atomic<bool> handlerReturned{false};
        auto destroyInside = [&] {
            client.reset();
            handlerReturned = true;
        };
        client->setLogHandler(log.handler());
        client->setEventHandler([&](int) { destroyInside(); });
        testing::internal::CaptureStdout();
        ASSERT_EQ(client->connect("127.0.0.1", server.port()), 0);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(client->login("", ""), 0);
        if (fromEventHandler) {
            server.closeClient();
        } else {
            ASSERT_EQ(client->setTopic(false, {"out_a"}, 1.0, 1), 1);
            client->subscribe(1, [&](InputParser&) { destroyInside(); });
            server.sendFrame(json::array({1, 5}));
        }
        ASSERT_TRUE(eventually([&] { return handlerReturned.load(); }));
        EXPECT_TRUE(eventually([&] { return rtde_test::processThreadCount() == threadsBefore; }));
        EXPECT_EQ(log.count("RTDE client disconnected."), 1u);
        EXPECT_EQ(log.count("Pause RTDE polling..."), 1u);
    }
}
