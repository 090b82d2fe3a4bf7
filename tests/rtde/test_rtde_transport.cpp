#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "connector_rtde_tcp.h"
#include "connector_rtde_uds.h"
#include "rtde_test_server.h"
#include "rtde_test_threads.h"
#include "zorv_test_support.h"

using nlohmann::json;
using namespace zorv_interface;
using zorv_test::LogRecorder;
using zorv_test::eventually;
using rtde_test::RtdeTestServer;
using namespace std::chrono_literals;

namespace {

struct OverTcp {
    using Transport = RtdeClient::Impl::AsioTcp;
    static constexpr auto kServer = RtdeTestServer::Transport::Tcp;
    static constexpr const char* kFile = "connector_rtde_tcp.cpp";
    static constexpr const char* kRunOutOutput = "setTopic: Run out of Output chanels.";
    static constexpr const char* kDisconnected = "RTDE client disconnected.";
    static constexpr const char* kLoginSucceed = "RTDE client login succeed.";
    static constexpr const char* kRecvInfoFailed = "RTDE client recv connect info FAILED: ";
    static constexpr const char* kUnknownChannel9 = "Cannot find chanel 9: \"[9,1]\"";
    static constexpr int kPublishLine = 527;
    static constexpr int kNotUtf8Line = 528;
    static constexpr int kRecvInfoFailedLine = 226;

    static std::unique_ptr<Transport> make(RtdeTiming timing = {}) { return std::make_unique<Transport>(timing); }
    static int connect(Transport& transport, RtdeTestServer& server) {
        return transport.connect("127.0.0.1", server.port());
    }
};

struct OverUds {
    using Transport = RtdeClient::Impl::AsioUds;
    static constexpr auto kServer = RtdeTestServer::Transport::Uds;
    static constexpr const char* kFile = "connector_rtde_uds.cpp";
    static constexpr const char* kRunOutOutput = "setTopic: Run out of Output channels.";
    static constexpr const char* kDisconnected = "RTDE Uds client disconnected.";
    static constexpr const char* kLoginSucceed = "RTDE Uds client login succeed.";
    static constexpr const char* kRecvInfoFailed = "RTDE Uds client recv connect info FAILED: ";
    static constexpr const char* kUnknownChannel9 = "Cannot find chanel 9";
    static constexpr int kPublishLine = 436;
    static constexpr int kNotUtf8Line = 437;
    static constexpr int kRecvInfoFailedLine = 137;

    static std::unique_ptr<Transport> make(RtdeTiming timing = {}) { return std::make_unique<Transport>(timing); }
    static int connect(Transport& transport, RtdeTestServer& server) { return transport.connect(server.path()); }
};

// Messages the server received on the control channel.
std::vector<json> controlMessages(RtdeTestServer& server) {
    std::vector<json> control;
    for (const auto& message : server.messages()) {
        if (message.is_array() && message.at(0) == 100) {
            control.push_back(message.at(1));
        }
    }
    return control;
}

RtdeTiming connectWaitOf(std::chrono::milliseconds wait) {
    RtdeTiming timing;
    timing.connectWait = wait;
    return timing;
}

std::string messageOf(std::errc code) { return std::make_error_code(code).message(); }

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

template <typename Kind>
class RtdeTransportTest : public ::testing::Test {
protected:
    using Transport = typename Kind::Transport;

    RtdeTransportTest() : server(Kind::kServer) {}

    void SetUp() override { transport = makeTransport(); }

    std::unique_ptr<Transport> makeTransport(RtdeTiming timing = {}) {
        auto made = Kind::make(timing);
        made->setLogHandler(log.handler());
        made->setEventHandler(events.handler());
        return made;
    }

    void connectAndLogin() {
        ASSERT_EQ(Kind::connect(*transport, server), 0);
        ASSERT_EQ(transport->login("user", "secret"), 0);
    }

    RtdeTestServer server;
    LogRecorder log;
    zorv_test::EventRecorder events;
    std::unique_ptr<Transport> transport;
};

using Kinds = ::testing::Types<OverTcp, OverUds>;
TYPED_TEST_SUITE(RtdeTransportTest, Kinds);

TYPED_TEST(RtdeTransportTest, HandshakeKeepsVersionAndNameMaps) {
    EXPECT_EQ(this->transport->getProtocolVersion(), -1);
    ASSERT_EQ(TypeParam::connect(*this->transport, this->server), 0);
    EXPECT_TRUE(this->transport->hasConnected());
    EXPECT_EQ(this->transport->getProtocolVersion(), 2);
    EXPECT_EQ(this->transport->getInputMaps().size(), 3u);
    EXPECT_EQ(this->transport->getOutputMaps().at("out_b"), 1);

    EXPECT_EQ(TypeParam::connect(*this->transport, this->server), 1);
    const auto warning = this->log.startingWith("RTDE client already connected");
    ASSERT_EQ(warning.size(), 1u);
    EXPECT_EQ(warning[0].level, 2);
    EXPECT_EQ(warning[0].file, TypeParam::kFile);
}

TYPED_TEST(RtdeTransportTest, LoginNeedsAConnection) {
    EXPECT_EQ(this->transport->login("", ""), -1);
    EXPECT_TRUE(this->log.lines().empty());
    EXPECT_FALSE(this->transport->hasLogined());
}

TYPED_TEST(RtdeTransportTest, MalformedConnectionInformationThrows) {
    this->server.setGreeting(R"({"protocol":5,"version":2,"input":{},"output":{}})" "\n\n");
    EXPECT_THROW(TypeParam::connect(*this->transport, this->server), json::type_error);
    EXPECT_FALSE(this->transport->hasConnected());

    this->server.setGreeting("not json}\n\n");
    EXPECT_THROW(TypeParam::connect(*this->transport, this->server), json::parse_error);

    this->server.setGreeting(R"({"protocol":"p","input":{},"output":{}})" "\n\n");
    EXPECT_THROW(TypeParam::connect(*this->transport, this->server), json::type_error);
}

TYPED_TEST(RtdeTransportTest, OverlongConnectionInformationFailsCleanly) {
    this->server.setGreeting(std::string(1100 * 1024, ' '));
    EXPECT_EQ(TypeParam::connect(*this->transport, this->server), -1);
    EXPECT_EQ(this->log.count(TypeParam::kRecvInfoFailed), 1u);
    EXPECT_FALSE(this->transport->hasConnected());
}

TYPED_TEST(RtdeTransportTest, SilentPeerFailsConnectAtTheBound) {
    EXPECT_EQ(RtdeTiming().connectWait, std::chrono::seconds(10));
    this->transport = this->makeTransport(connectWaitOf(300ms));
    this->server.setGreeting("");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TypeParam::connect(*this->transport, this->server), -1);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 300ms);
    EXPECT_LT(waited, 5s);
    const auto failed = this->log.atLine(TypeParam::kRecvInfoFailedLine);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].level, 1);
    EXPECT_EQ(failed[0].text, TypeParam::kRecvInfoFailed + messageOf(std::errc::timed_out));
    EXPECT_FALSE(this->transport->hasConnected());
    EXPECT_EQ(this->transport->getProtocolVersion(), -1);

    this->server.setGreeting(RtdeTestServer::defaultGreeting());
    EXPECT_EQ(TypeParam::connect(*this->transport, this->server), 0);
}

TYPED_TEST(RtdeTransportTest, DisconnectOrDestructionEndsAConnectWaitingOnASilentPeer) {
    this->server.setGreeting("");
    auto connectAside = [&](typename TypeParam::Transport* transport, std::atomic<int>& result) {
        return std::thread([&result, transport, this] { result = TypeParam::connect(*transport, this->server); });
    };
    std::atomic<int> result{-9};
    std::thread waiting = connectAside(this->transport.get(), result);
    ASSERT_TRUE(this->server.waitForConnection(1));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(this->transport->disconnect(), 0);
    waiting.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(this->log.count(TypeParam::kRecvInfoFailed), 1u);
    EXPECT_FALSE(this->transport->hasConnected());

    result = -9;
    waiting = connectAside(this->transport.get(), result);
    ASSERT_TRUE(this->server.waitForConnection(2));
    start = std::chrono::steady_clock::now();
    this->transport.reset();
    waiting.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(result, -1);
}

TYPED_TEST(RtdeTransportTest, FramesSentWithTheConnectionInformationAreDelivered) {
    const std::string payload = R"([5,1.5])";  // JSON text instead of CBOR is accepted too
    this->server.setGreeting(RtdeTestServer::defaultGreeting() + RtdeTestServer::frame(json::array({5, 0.5})) +
                             RtdeTestServer::frameBytes(payload));
    std::mutex mutex;
    std::vector<double> values;
    ASSERT_EQ(TypeParam::connect(*this->transport, this->server), 0);
    EXPECT_EQ(this->transport->getProtocolVersion(), 2);
    this->transport->subscribe(5, [&](InputParser& parser) {
        std::lock_guard<std::mutex> guard(mutex);
        values.push_back(parser.popDouble());
    });
    ASSERT_EQ(this->transport->login("", ""), 0);
    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> guard(mutex);
        return values.size() == 2;
    }));
    std::lock_guard<std::mutex> guard(mutex);
    EXPECT_EQ(values, (std::vector<double>{0.5, 1.5}));
}

TYPED_TEST(RtdeTransportTest, RegistrationSendsTheRecipeAndTakesTheChannel) {
    this->connectAndLogin();
    EXPECT_EQ(this->transport->setTopic(false, {"out_b", "out_a"}, 10.0, 5), 5);
    ASSERT_TRUE(this->server.waitForMessages(1));
    const json sent = controlMessages(this->server).at(0);
    EXPECT_EQ(sent.dump(), R"({"chanel":5,"frequency":10.0,"segments":["out_b","out_a"],"to_server":false,"trigger":0})");
    EXPECT_TRUE(sent.at("frequency").is_number_float());

    // Taken: the lowest free channel instead.
    EXPECT_EQ(this->transport->setTopic(false, {"out_a"}, 1.0, 5), 0);
    const auto recipes = this->transport->getRegisteredOutputRecipe();
    EXPECT_EQ(recipes.size(), 2u);
    EXPECT_EQ(recipes.at(5).segments, (std::vector<std::string>{"out_b", "out_a"}));
    // The input pool is separate.
    EXPECT_EQ(this->transport->setTopic(true, {"in_bool"}, 2.0, 5), 5);
}

TYPED_TEST(RtdeTransportTest, UnknownNamesFailWithoutTakingAChannel) {
    this->connectAndLogin();
    EXPECT_EQ(this->transport->setTopic(true, {"in_bool", "nope"}, 1.0, 3), -1);
    EXPECT_EQ(this->log.count("Cannot find nope in input/output map"), 1u);
    EXPECT_EQ(this->log.count("Check recipe FAILED"), 1u);
    EXPECT_TRUE(this->transport->getRegisteredInputRecipe().empty());
    EXPECT_EQ(this->transport->setTopic(true, {"in_bool"}, 1.0, 3), 3);
    EXPECT_EQ(this->transport->setTopic(false, {"in_bool"}, 1.0, 3), -1);  // input name, output topic
}

TYPED_TEST(RtdeTransportTest, PoolRunsOutAfterOneHundredTopicsAndRemoveFreesOnlyRegisteredChannels) {
    this->connectAndLogin();
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(this->transport->setTopic(false, {"out_a"}, 1.0, i), i);
    }
    EXPECT_EQ(this->transport->setTopic(false, {"out_a"}, 1.0, 0), -2);
    EXPECT_EQ(this->log.count(TypeParam::kRunOutOutput), 1u);
    EXPECT_EQ(this->transport->setTopic(true, {"in_double"}, 1.0, 0), 0);

    // Channels that were never registered stay out of the pool, the message still goes.
    ASSERT_TRUE(this->server.waitForMessages(101));
    EXPECT_EQ(this->transport->removeTopic(false, 100), 0);
    EXPECT_EQ(this->transport->removeTopic(false, -5), 0);
    EXPECT_EQ(this->transport->setTopic(false, {"out_a"}, 1.0, 0), -2);

    EXPECT_EQ(this->transport->removeTopic(false, 42), 0);
    ASSERT_TRUE(this->server.waitForMessages(104));
    EXPECT_EQ(controlMessages(this->server).back().dump(),
              R"({"chanel":42,"frequency":0.0,"segments":[],"to_server":false,"trigger":0})");
    EXPECT_EQ(this->transport->getRegisteredOutputRecipe().count(42), 0u);
    EXPECT_EQ(this->transport->setTopic(false, {"out_a"}, 1.0, 7), 42);
}

TYPED_TEST(RtdeTransportTest, PublishWritesOneFrameOfCbor) {
    this->connectAndLogin();
    EXPECT_EQ(this->transport->publish(3, [](OutputBuilder& builder) { builder.push(1.5).push(true); }), 0);
    ASSERT_TRUE(this->server.waitForMessages(1));
    EXPECT_EQ(this->server.received(), RtdeTestServer::frame(json::array({3, 1.5, true})));
    const auto line = this->log.startingWith("publish [3,1.5,true]");
    ASSERT_EQ(line.size(), 1u);
    EXPECT_EQ(line[0].level, 3);
    EXPECT_EQ(line[0].line, TypeParam::kPublishLine);

    EXPECT_EQ(this->transport->publish(3, nullptr), -1);
    const std::string big(70000, 'x');
    EXPECT_EQ(this->transport->publish(3, [&](OutputBuilder& builder) { builder.push(big); }), -1);
    EXPECT_EQ(this->log.count("publish: payload does not fit one frame: "), 1u);
    EXPECT_EQ(this->transport->publish(4, [](OutputBuilder& builder) { builder.push(2); }), 0);
    ASSERT_TRUE(this->server.waitForMessages(2));
    EXPECT_EQ(this->server.messages().size(), 2u);
    EXPECT_EQ(this->server.garbageBytes(), 0u);
}

TYPED_TEST(RtdeTransportTest, PublishOfAStringThatIsNotUtf8FailsAndSendsNothing) {
    this->connectAndLogin();
    EXPECT_EQ(this->transport->publish(3, [](OutputBuilder& builder) { builder.push(1).push(std::string("a\xff")); }),
              -1);
    const auto failed = this->log.atLine(TypeParam::kNotUtf8Line);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].level, 1);
    EXPECT_EQ(failed[0].text.rfind("publish: payload is not valid UTF-8: [json.exception.type_error.316] ", 0), 0u)
        << failed[0].text;

    EXPECT_EQ(this->transport->publish(3, [](OutputBuilder& builder) { builder.push(2); }), 0);
    ASSERT_TRUE(this->server.waitForMessages(1));
    EXPECT_EQ(this->server.received(), RtdeTestServer::frame(json::array({3, 2})));
    EXPECT_EQ(this->log.count("publish ["), 1u);
}

TYPED_TEST(RtdeTransportTest, OperationsReportMissingConnectionAndLogin) {
    EXPECT_EQ(this->transport->publish(1, [](OutputBuilder&) {}), -1);
    EXPECT_EQ(this->transport->setTopic(false, {"out_a"}, 1.0, 1), -1);
    EXPECT_EQ(this->transport->removeTopic(false, 1), 1);
    ASSERT_EQ(TypeParam::connect(*this->transport, this->server), 0);
    EXPECT_EQ(this->transport->publish(1, [](OutputBuilder&) {}), -1);
    EXPECT_EQ(this->transport->setTopic(false, {"out_a"}, 1.0, 1), -1);
    EXPECT_EQ(this->transport->removeTopic(false, 1), 1);
    EXPECT_EQ(this->transport->send({1, 2}), -1);
    EXPECT_EQ(this->log.count("RTDE send failed because client has not logined yet"), 1u);
    std::size_t errors = 0;
    for (const auto& line : this->log.lines()) {
        errors += line.level == 1 ? 1 : 0;
    }
    EXPECT_EQ(errors, 7u);
    EXPECT_TRUE(this->server.received().empty());
}

TYPED_TEST(RtdeTransportTest, SubscriptionsRunOnThePollingThread) {
    std::atomic<int> calls{0};
    std::thread::id handlerThread;
    std::string popped;
    this->transport->subscribe(4, [&](InputParser& parser) {
        handlerThread = std::this_thread::get_id();
        popped = parser.popString();
        popped += std::to_string(parser.popInt32());
        ++calls;
    });
    ASSERT_EQ(TypeParam::connect(*this->transport, this->server), 0);
    // A frame parsed while not logged in is dropped silently.
    const auto cbor = json::to_cbor(json::array({4, "dropped", 0}));
    std::string bytes(cbor.begin(), cbor.end());
    EXPECT_EQ(this->transport->parse(bytes.data(), bytes.size()), 0);
    EXPECT_EQ(calls, 0);
    const auto linesBeforeLogin = this->log.lines().size();
    ASSERT_EQ(this->transport->login("", ""), 0);
    this->server.sendFrame(json::array({4, "x", 7}));
    ASSERT_TRUE(eventually([&] { return calls == 1; }));
    EXPECT_EQ(popped, "x7");
    EXPECT_EQ(this->log.lines().size(), linesBeforeLogin + 2);  // login and polling start
    EXPECT_NE(handlerThread, std::this_thread::get_id());

    this->server.sendFrame(json::array({9, 1}));
    ASSERT_TRUE(this->log.waitFor("Cannot find chanel "));
    EXPECT_EQ(this->log.startingWith("Cannot find chanel ").at(0).text, TypeParam::kUnknownChannel9);
    EXPECT_EQ(calls, 1);
}

TYPED_TEST(RtdeTransportTest, BadFramesAndThrowingHandlersAreLoggedAndSkipped) {
    std::atomic<int> delivered{0};
    this->transport->subscribe(1, [&](InputParser& parser) {
        const auto kind = parser.popInt32();
        if (kind == 1) {
            parser.popBool();  // a number: type error
        } else if (kind == 2) {
            throw 42;
        }
        ++delivered;
    });
    this->connectAndLogin();
    this->server.send(RtdeTestServer::frameBytes("\xff{garbage"));
    this->server.sendFrame(json::array({1, 1, 5}));
    this->server.sendFrame(json::array({1, 2}));
    this->server.sendFrame(json{{"a", 1}});
    this->server.sendFrame(json::array({1, 0}));
    ASSERT_TRUE(eventually([&] { return delivered == 1; }));
    EXPECT_EQ(this->log.count("RTDE parse_error: "), 1u);
    EXPECT_EQ(this->log.count("RTDE type_error: "), 1u);
    EXPECT_EQ(this->log.count("RTDE unknown error: "), 1u);
    EXPECT_EQ(this->log.count("Json str is not array: \"{\"a\":1}\""), 1u);
    const auto dumps = this->log.startingWith("len: ");
    ASSERT_EQ(dumps.size(), 3u);
    EXPECT_EQ(dumps[0].text.substr(0, 16), "len: 9 data: -{g");
}

TYPED_TEST(RtdeTransportTest, HandlersMayPublishWithoutStalling) {
    std::atomic<int> result{-9};
    std::atomic<long> micros{0};
    this->transport->subscribe(2, [&](InputParser&) {
        const auto start = std::chrono::steady_clock::now();
        const int published = this->transport->publish(6, [](OutputBuilder& builder) { builder.push(8); });
        micros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                     .count();
        result = published;  // last: the test waits on it
    });
    this->connectAndLogin();
    this->server.sendFrame(json::array({2}));
    ASSERT_TRUE(this->server.waitForMessages(1));
    // The frame can reach the server before publish has returned on the polling thread.
    ASSERT_TRUE(eventually([&] { return result != -9; }));
    EXPECT_EQ(result, 0);
    EXPECT_LT(micros, 100000);
    EXPECT_EQ(this->server.messages().at(0).dump(), "[6,8]");
    EXPECT_EQ(this->log.count("RTDE send TIMEOUT"), 0u);
}

TYPED_TEST(RtdeTransportTest, QueuedWritesGoOutWholeAndInOrder) {
    // From the polling thread nothing waits, so a full socket queues the frames.
    const int frames = 40;
    const std::string filler(60000, 'f');
    std::atomic<int> published{0};
    this->transport->subscribe(2, [&](InputParser&) {
        for (int i = 0; i < frames; ++i) {
            published += this->transport->publish(7, [&](OutputBuilder& builder) { builder.push(i).push(filler); }) == 0;
        }
    });
    this->connectAndLogin();
    this->server.holdReading(true);
    this->server.sendFrame(json::array({2}));
    ASSERT_TRUE(eventually([&] { return published == frames; }));
    this->server.holdReading(false);
    ASSERT_TRUE(this->server.waitForMessages(frames));
    const auto messages = this->server.messages();
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(messages[static_cast<std::size_t>(i)].at(1), i);
        ASSERT_EQ(messages[static_cast<std::size_t>(i)].at(2), filler);
    }
    EXPECT_EQ(this->server.garbageBytes(), 0u);
}

TYPED_TEST(RtdeTransportTest, PublishingWhileStreamingLosesNoReceivedByte) {
    std::mutex mutex;
    std::vector<int64_t> sequence;
    this->transport->subscribe(3, [&](InputParser& parser) {
        std::lock_guard<std::mutex> guard(mutex);
        sequence.push_back(parser.popInt64());
    });
    this->connectAndLogin();
    this->server.startStreaming(3, 2000.0, 400);
    while (this->server.streamed() < 400) {
        ASSERT_EQ(this->transport->publish(1, [](OutputBuilder& builder) { builder.push(1); }), 0);
    }
    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> guard(mutex);
        return sequence.size() == 400;
    }));
    std::lock_guard<std::mutex> guard(mutex);
    for (int64_t i = 0; i < 400; ++i) {
        ASSERT_EQ(sequence[static_cast<std::size_t>(i)], i);
    }
    EXPECT_EQ(this->log.count("RTDE parse_error"), 0u);
}

TYPED_TEST(RtdeTransportTest, LogoutPausesAndLoginResumes) {
    std::atomic<int> calls{0};
    this->transport->subscribe(1, [&](InputParser&) { ++calls; });
    this->connectAndLogin();
    EXPECT_EQ(this->transport->logout(), 0);
    EXPECT_FALSE(this->transport->hasLogined());
    ASSERT_TRUE(this->log.waitFor("Pause RTDE polling..."));
    this->server.sendFrame(json::array({1}));

    ASSERT_EQ(this->transport->login("", ""), 0);
    this->server.sendFrame(json::array({1}));
    // The frame sent while logged out is read after the login.
    ASSERT_TRUE(eventually([&] { return calls == 2; }));
    EXPECT_EQ(this->log.count("Start RTDE polling..."), 2u);

    // A second login while polling succeeds at once.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(this->transport->login("", ""), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(this->log.count(TypeParam::kLoginSucceed), 3u);

    // Quick logout and login keep exactly one read going.
    this->transport->logout();
    ASSERT_EQ(this->transport->login("", ""), 0);
    const int before = calls;
    this->server.sendFrame(json::array({1}));
    ASSERT_TRUE(eventually([&] { return calls == before + 1; }));
    EXPECT_EQ(this->log.count("RTDE client recv package failed"), 0u);
}

TYPED_TEST(RtdeTransportTest, DisconnectResetsEverythingOnce) {
    this->connectAndLogin();
    this->transport->subscribe(5, [](InputParser&) {});
    ASSERT_EQ(this->transport->setTopic(false, {"out_a"}, 1.0, 5), 5);
    EXPECT_EQ(this->transport->disconnect(), 0);
    EXPECT_EQ(this->log.count(TypeParam::kDisconnected), 1u);
    EXPECT_EQ(this->events.codes().size(), 1u);
    EXPECT_FALSE(this->transport->hasLogined());
    EXPECT_EQ(this->transport->getProtocolVersion(), -1);
    EXPECT_TRUE(this->transport->getRegisteredOutputRecipe().empty());
    EXPECT_TRUE(this->transport->getInputMaps().empty());

    EXPECT_EQ(this->transport->disconnect(), 0);
    EXPECT_EQ(this->log.count(TypeParam::kDisconnected), 1u);
    EXPECT_EQ(this->events.codes().size(), 1u);

    this->connectAndLogin();
    EXPECT_EQ(this->transport->setTopic(false, {"out_a"}, 1.0, 5), 5);
}

TYPED_TEST(RtdeTransportTest, ServerClosingIsAConnectionLossWithoutSpinning) {
    this->connectAndLogin();
    ASSERT_EQ(this->transport->setTopic(false, {"out_a"}, 1.0, 5), 5);
    this->server.closeClient();
    ASSERT_TRUE(eventually([&] { return this->events.codes().size() == 1; }));
    EXPECT_EQ(this->log.count(TypeParam::kDisconnected), 1u);
    EXPECT_FALSE(this->transport->hasConnected());
    EXPECT_TRUE(this->transport->getRegisteredOutputRecipe().empty());

    const double cpuBefore = processCpuSeconds();
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(processCpuSeconds() - cpuBefore, 0.15);
    EXPECT_LT(this->log.lines().size(), 10u);
}

TYPED_TEST(RtdeTransportTest, ResetStreamIsAConnectionLossAfterOneReadError) {
    this->connectAndLogin();
    this->server.holdReading(true);
    ASSERT_EQ(this->transport->publish(1, [](OutputBuilder& builder) { builder.push(1); }), 0);
    this->server.closeClient();  // with the frame unread: a reset
    ASSERT_TRUE(eventually([&] { return this->events.codes().size() == 1; }));
    EXPECT_EQ(this->log.count("RTDE client recv package failed: "), 1u);
    EXPECT_EQ(this->log.count("RTDE client recv retry fail"), 0u);
    EXPECT_EQ(this->log.count(TypeParam::kDisconnected), 1u);
    EXPECT_FALSE(this->transport->hasConnected());
}

TYPED_TEST(RtdeTransportTest, ThrowingEventHandlerLeavesThePollingThreadRunning) {
    std::atomic<int> events{0};
    std::atomic<int> calls{0};
    this->transport->setEventHandler([&](int) {
        ++events;
        throw std::runtime_error("handler failure");
    });
    this->connectAndLogin();
    this->server.closeClient();
    ASSERT_TRUE(eventually([&] { return events == 1; }));

    ASSERT_TRUE(this->server.waitForConnection(1));
    this->connectAndLogin();
    this->transport->subscribe(5, [&](InputParser&) { ++calls; });
    this->server.sendFrame(json::array({5}));
    ASSERT_TRUE(eventually([&] { return calls == 1; }));
}

TYPED_TEST(RtdeTransportTest, ProbeFindingTheLossResetsTablesAndReconnectWorks) {
    std::atomic<int> calls{0};
    this->connectAndLogin();
    ASSERT_EQ(this->transport->setTopic(false, {"out_a"}, 1.0, 5), 5);
    this->transport->logout();
    ASSERT_TRUE(this->log.waitFor("Pause RTDE polling..."));
    this->server.closeClient();
    ASSERT_TRUE(eventually([&] { return !this->transport->hasConnected(); }));
    EXPECT_EQ(this->events.codes().size(), 1u);
    EXPECT_TRUE(this->transport->getRegisteredOutputRecipe().empty());
    EXPECT_EQ(this->transport->publish(1, [](OutputBuilder&) {}), -1);

    this->connectAndLogin();
    EXPECT_EQ(this->transport->setTopic(false, {"out_a"}, 1.0, 5), 5);
    this->transport->subscribe(5, [&](InputParser&) { ++calls; });
    this->server.sendFrame(json::array({5, 1}));
    ASSERT_TRUE(eventually([&] { return calls == 1; }));
}

TYPED_TEST(RtdeTransportTest, TablesStaySafeWhileHandlersAndTopicsChangeDuringStreaming) {
    std::atomic<int> calls{0};
    this->connectAndLogin();
    this->server.startStreaming(5, 1000.0);
    const auto until = std::chrono::steady_clock::now() + 300ms;
    while (std::chrono::steady_clock::now() < until) {
        const int channel = this->transport->setTopic(false, {"out_a"}, 1000.0, 5);
        ASSERT_EQ(channel, 5);
        this->transport->subscribe(5, [&](InputParser&) {
            ++calls;
            this->transport->publish(1, [](OutputBuilder& builder) { builder.push(1); });
        });
        this->transport->getRegisteredOutputRecipe();
        this->transport->removeTopic(false, 5);
    }
    this->server.stopStreaming();
    EXPECT_EQ(this->log.count("RTDE parse_error"), 0u);
}

TYPED_TEST(RtdeTransportTest, RetiredInsideItsOwnHandlersTheTransportEndsWithItsThread) {
    this->transport.reset();
    for (const bool fromEventHandler : {false, true}) {
        SCOPED_TRACE(fromEventHandler ? "event handler" : "subscription handler");
        const std::size_t threadsBefore = rtde_test::processThreadCount();
        std::shared_ptr<typename TypeParam::Transport> owner = this->makeTransport();
        std::atomic<bool> handlerReturned{false};
        auto retireInside = [&] {
            TypeParam::Transport::retire(std::move(owner));
            handlerReturned = true;
        };
        owner->subscribe(1, [&](InputParser&) { retireInside(); });
        if (fromEventHandler) {
            owner->setEventHandler([&](int) { retireInside(); });
        }
        ASSERT_EQ(TypeParam::connect(*owner, this->server), 0);
        ASSERT_EQ(owner->login("", ""), 0);
        if (fromEventHandler) {
            this->server.closeClient();
        } else {
            this->server.sendFrame(json::array({1}));
        }
        ASSERT_TRUE(eventually([&] { return handlerReturned.load(); }));
        EXPECT_TRUE(eventually([&] { return rtde_test::processThreadCount() == threadsBefore; }));
        EXPECT_TRUE(this->log.waitFor("Pause RTDE polling..."));
        this->log.clear();
    }
}

TYPED_TEST(RtdeTransportTest, DestroyingALoggedInTransportIsPrompt) {
    this->connectAndLogin();
    ASSERT_TRUE(this->log.waitFor("Start RTDE polling..."));
    const auto start = std::chrono::steady_clock::now();
    this->transport.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
}

// ---------------------------------------------------------------------------
// TCP only: receive watchdog and keep-alive

class RtdeTcpTimersTest : public RtdeTransportTest<OverTcp> {};

TEST_F(RtdeTcpTimersTest, WatchdogWarnsBelowEightyPercentOfTheRequestedRate) {
    transport = makeTransport(RtdeTiming{std::chrono::hours(1), std::chrono::hours(1)});
    std::atomic<int> calls{0};
    connectAndLogin();
    ASSERT_EQ(transport->setTopic(false, {"out_a"}, 10.0, 3), 3);
    ASSERT_EQ(transport->setTopic(false, {"out_message"}, 10.0, 4), 4);
    transport->subscribe(3, [&](InputParser&) { ++calls; });
    transport->subscribe(4, [&](InputParser&) { ++calls; });
    transport->subscribe(77, [&](InputParser&) {});  // no recipe: skipped
    auto deliver = [&](int channel, int count) {
        const int target = calls + count;
        for (int i = 0; i < count; ++i) {
            server.sendFrame(json::array({channel, i}));
        }
        ASSERT_TRUE(eventually([&] { return calls == target; }));
    };
    deliver(3, 39);
    transport->checkReceiveRates();
    const auto warnings = log.startingWith("The chanel ");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].text, "The chanel 3 of RTDE received 39 packages less than 50 in 5 seconds");
    EXPECT_EQ(warnings[0].level, 2);
    EXPECT_EQ(warnings[0].line, 120);
    EXPECT_EQ(transport->getRegisteredOutputRecipe().count(77), 0u);

    deliver(3, 40);
    transport->checkReceiveRates();
    EXPECT_EQ(log.count("The chanel "), 1u);  // neither 3 at 40 nor the "_message" topic 4
}

TEST_F(RtdeTcpTimersTest, UnansweredConnectFailsAtTheBound) {
    zorv_test::UnansweredListener listener;
    if (!listener.ready()) {
        GTEST_SKIP() << "the kernel answered every connection request";
    }
    transport = makeTransport(connectWaitOf(300ms));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(transport->connect("127.0.0.1", listener.port()), -1);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 300ms);
    EXPECT_LT(waited, 5s);
    const auto failed = log.atLine(212);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].level, 1);
    EXPECT_EQ(failed[0].text, "RTDE client connect info FAILED: " + messageOf(std::errc::timed_out));
}

TEST_F(RtdeTcpTimersTest, KeepAliveStartsAtTheThirdSilentTick) {
    const auto tick = 200ms;
    transport = makeTransport(RtdeTiming{tick, std::chrono::hours(1)});
    connectAndLogin();
    const auto loggedIn = RtdeTestServer::Clock::now();
    ASSERT_TRUE(eventually([&] { return server.keepAlives().size() >= 2; }));
    const auto first = server.keepAlives();
    EXPECT_GE(first[0] - loggedIn, 2 * tick - 20ms);
    EXPECT_EQ(server.received().substr(0, 18), std::string("__ping__\0__ping__\0", 18));
    EXPECT_EQ(server.garbageBytes(), 0u);

    // Data resets the count: two more silent ticks pass before the next one. Pings
    // already under way when the data arrives are left out.
    const auto dataSent = RtdeTestServer::Clock::now();
    server.sendFrame(json::array({1}));
    auto laterPing = [&] {
        for (const auto& at : server.keepAlives()) {
            if (at > dataSent + tick / 2) {
                return at;
            }
        }
        return RtdeTestServer::Clock::time_point();
    };
    ASSERT_TRUE(eventually([&] { return laterPing() != RtdeTestServer::Clock::time_point(); }));
    EXPECT_GE(laterPing() - dataSent, 2 * tick - 20ms);
}
