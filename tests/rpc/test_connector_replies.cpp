// Request framing and the reply check: ids, split and joined frames, time-outs, lost connections.
#include <future>
#include <thread>

#include "connector_fixture.h"

namespace zorv_test {
namespace {

using nlohmann::json;

constexpr int kDebug = 4;

class ConnectorReplies : public ConnectorTest {
protected:
    void SetUp() override { connectAndLogin(); }
};

TEST_F(ConnectorReplies, RequestGoesOutAsOneTypeOneFrame) {
    const std::string text = request("f-1", "ZorvInterface.getRunningInfo");
    connector->Send(text);
    const std::string bytes = controller.receivedBytes();
    const std::string expected = std::string("SOF\x01\x00\x00\x00", 7) + static_cast<char>(text.size()) + text;
    EXPECT_EQ(bytes.substr(frame(controller.loginPayload()).size()), expected);
    EXPECT_EQ(controller.requests(), std::vector<std::string>{text});
}

TEST_F(ConnectorReplies, LargeRequestAndReplyCrossManyReceives) {
    const std::string big(200000, 'z');
    const std::string text = json{{"id", "big"}, {"jsonrpc", "2.0"}, {"method", "m"}, {"params", {{"blob", big}}}}.dump();
    controller.queueResult(big);
    const std::string reply = connector->Send(text);
    EXPECT_EQ(json::parse(reply).at("result"), big);
    EXPECT_EQ(controller.requests().back(), text);
}

TEST_F(ConnectorReplies, StaleIdAndMatchingReplyInOneWrite) {
    controller.queueStaleThenResult(7, true);
    const std::string text = request("r-1");
    const std::string reply = connector->Send(text);
    EXPECT_EQ(reply, R"({"id":"r-1","jsonrpc":"2.0","result":7})");
    const auto rejected = logs.atLine(292);
    ASSERT_EQ(rejected.size(), 1u);
    EXPECT_EQ(rejected[0].level, kDebug);
    EXPECT_EQ(rejected[0].text,
              "JsonRPC id unmatch request: " + text + R"( reply: {"id":"r-1-stale","jsonrpc":"2.0","result":"stale"})");
}

TEST_F(ConnectorReplies, StaleIdAndMatchingReplyInTwoWrites) {
    controller.queueStaleThenResult(8, false);
    EXPECT_EQ(connector->Send(request("r-2")), R"({"id":"r-2","jsonrpc":"2.0","result":8})");
}

TEST_F(ConnectorReplies, StaleReplyFollowedByHalfTheMatchingOneInOneChunk) {
    // The chunk ends inside the matching frame: the rest must join it, not be lost.
    std::promise<std::string> rest;
    controller.queue([&rest](const Request& req) {
        const std::string stale = replyFrameWithId("old", {{"result", 0}});
        const std::string right = replyFrame(req, {{"result", 9}});
        rest.set_value(right.substr(10));
        return Response{{stale + right.substr(0, 10)}, false};
    });
    auto pending = std::async(std::launch::async, [&] { return connector->Send(request("r-3")); });
    const std::string tail = rest.get_future().get();
    ASSERT_TRUE(logs.waitForLine(292));
    controller.sendRaw(tail);
    EXPECT_EQ(pending.get(), R"({"id":"r-3","jsonrpc":"2.0","result":9})");
}

TEST_F(ConnectorReplies, PartialFrameLogsReadMoreAndWaitsForTheRest) {
    std::promise<std::string> rest;
    controller.queue([&rest](const Request& req) {
        const std::string whole = replyFrame(req, {{"result", "joined"}});
        rest.set_value(whole.substr(5));
        return Response{{whole.substr(0, 5)}, false};
    });
    auto pending = std::async(std::launch::async, [&] { return connector->Send(request("p-1")); });
    const std::string tail = rest.get_future().get();
    ASSERT_TRUE(logs.waitForLine(385));
    controller.sendRaw(tail);
    EXPECT_EQ(pending.get(), R"({"id":"p-1","jsonrpc":"2.0","result":"joined"})");
    const auto readMore = logs.atLine(385);
    ASSERT_EQ(readMore.size(), 1u);
    EXPECT_EQ(readMore[0].level, kDebug);
    EXPECT_EQ(readMore[0].text, "Read more ...");
}

TEST_F(ConnectorReplies, WholeFrameInOneReceiveLogsNothing) {
    connector->Send(request("w-1"));
    EXPECT_TRUE(logs.atLine(385).empty());
    EXPECT_TRUE(logs.atLine(292).empty());
}

TEST_F(ConnectorReplies, FramesBehindTheAcceptedReplyDoNotReplaceIt) {
    controller.queue([](const Request& req) {
        return Response{{replyFrame(req, {{"result", "mine"}}) + replyFrameWithId("other", {{"result", "theirs"}})},
                        false};
    });
    EXPECT_EQ(connector->Send(request("b-1")), R"({"id":"b-1","jsonrpc":"2.0","result":"mine"})");
    EXPECT_EQ(connector->Send(request("b-2")), R"({"id":"b-2","jsonrpc":"2.0","result":0})");
}

TEST_F(ConnectorReplies, RepliesWithoutAnIdOrNotAnObjectAreAccepted) {
    controller.queueRaw(R"({"jsonrpc":"2.0","result":3})");
    EXPECT_EQ(connector->Send(request("n-1")), R"({"jsonrpc":"2.0","result":3})");
    controller.queueRaw("[1,2]");
    EXPECT_EQ(connector->Send(request("n-2")), "[1,2]");
}

TEST_F(ConnectorReplies, EmptyFrameIsIgnored) {
    controller.queue([](const Request& req) {
        return Response{{frame("") + replyFrame(req, {{"result", 4}})}, false};
    });
    EXPECT_EQ(connector->Send(request("e-1")), R"({"id":"e-1","jsonrpc":"2.0","result":4})");
}

TEST_F(ConnectorReplies, NullIdNeverAnswersARequestWithAnId) {
    connector->setRequestTimeout(200);
    controller.queueRaw(R"({"id":null,"jsonrpc":"2.0","result":3})");
    EXPECT_EQ(thrownCode([&] { connector->Send(request("nul")); }), -6);
    EXPECT_EQ(logs.atLine(292).size(), 1u);
}

TEST_F(ConnectorReplies, ReplyThatIsNotJsonLeavesAsParseError) {
    controller.queueRaw("not json");
    EXPECT_THROW(connector->Send(request("j-1")), nlohmann::json::parse_error);
    // The connection stays usable.
    EXPECT_EQ(connector->Send(request("j-2")), R"({"id":"j-2","jsonrpc":"2.0","result":0})");
}

TEST_F(ConnectorReplies, TimeoutKeepsTheConnectionAndTheLateReplyIsRejectedLater) {
    connector->setRequestTimeout(100);
    controller.queueSilence();
    std::string message;
    EXPECT_EQ(thrownCode([&] { connector->Send(request("late")); }, &message), -6);
    EXPECT_EQ(message, "RPC request timeout.");
    EXPECT_TRUE(connector->hasConnected());
    EXPECT_TRUE(connector->hasLogined());
    EXPECT_TRUE(events.codes().empty());

    controller.replyToLast({{"result", "too late"}});
    connector->setRequestTimeout(kGenerousTimeoutMs);
    EXPECT_EQ(connector->Send(request("next")), R"({"id":"next","jsonrpc":"2.0","result":0})");
    const auto rejected = logs.atLine(292);
    ASSERT_EQ(rejected.size(), 1u);
    EXPECT_NE(rejected[0].text.find(R"("id":"late")"), std::string::npos);
}

TEST_F(ConnectorReplies, RepeatedTimeoutsLeaveOneReceiveAndNoCorruption) {
    // Each timed-out request leaves its receive armed; later requests must reuse it
    // rather than arm a second one into the same buffer.
    for (int round = 0; round < 5; ++round) {
        connector->setRequestTimeout(30);
        controller.queueSilence();
        EXPECT_EQ(thrownCode([&] { connector->Send(request("quiet-" + std::to_string(round))); }), -6);
        controller.replyToLast({{"result", std::string(3000, 'q')}});
        connector->setRequestTimeout(kGenerousTimeoutMs);
        for (int i = 0; i < 10; ++i) {
            const std::string id = "loud-" + std::to_string(round) + "-" + std::to_string(i);
            controller.queueSplit(std::string(5000, 'x'), {3, 11, 4000});
            const json reply = json::parse(connector->Send(request(id)));
            ASSERT_EQ(reply.at("id"), id);
            ASSERT_EQ(reply.at("result"), std::string(5000, 'x'));
        }
    }
}

TEST_F(ConnectorReplies, PeerClosingDuringARequestEndsInTimeoutAndEvent) {
    connector->setRequestTimeout(300);
    controller.queueClose();
    std::string message;
    EXPECT_EQ(thrownCode([&] { connector->Send(request("c-1")); }, &message), -6);
    EXPECT_EQ(message, "RPC request timeout.");
    EXPECT_FALSE(connector->hasConnected());
    EXPECT_FALSE(connector->hasLogined());
    EXPECT_EQ(events.codes(), std::vector<int>{1});
    const auto probe = logs.atLine(115);
    ASSERT_EQ(probe.size(), 1u);
    EXPECT_EQ(probe[0].level, kDebug);
    EXPECT_EQ(probe[0].text.rfind("Check connection with server FAILED: ", 0), 0u);
    EXPECT_NE(probe[0].text.find("End of file"), std::string::npos);
    EXPECT_EQ(thrownCode([&] { connector->Send(request("c-2")); }), -1);
}

TEST_F(ConnectorReplies, ResetConnectionFailsTheReceive) {
    controller.queueReset();
    std::string message;
    EXPECT_EQ(thrownCode([&] { connector->Send(request("rst")); }, &message), -7);
    EXPECT_EQ(message.rfind("RPC client recv package failed: ", 0), 0u);
    EXPECT_FALSE(connector->hasConnected());
    EXPECT_EQ(events.codes(), std::vector<int>{1});
    EXPECT_EQ(logs.atLine(208).size(), 1u);
}

TEST_F(ConnectorReplies, ProbeLeavesWaitingBytesOnTheStream) {
    connector->Send(request("warm"));
    controller.queueSilence();
    controller.sendRaw(frame(R"({"jsonrpc":"2.0","result":"kept"})"));
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(connector->hasConnected());
    }
    EXPECT_EQ(connector->Send(request("after-probe")), R"({"jsonrpc":"2.0","result":"kept"})");
}

TEST_F(ConnectorReplies, ProbeDetectsAClosedPeerWithoutARequest) {
    controller.closeClient();
    ASSERT_TRUE(controller.waitForNoConnection());
    ASSERT_TRUE(eventually([&] { return !connector->hasConnected(); }));
    EXPECT_EQ(events.codes(), std::vector<int>{1});
    EXPECT_EQ(logs.atLine(115).size(), 1u);
    EXPECT_FALSE(connector->hasConnected());  // a second probe does not signal again
    EXPECT_EQ(events.codes().size(), 1u);
}

TEST_F(ConnectorReplies, TimeoutWithTheRequestHalfWrittenDropsTheConnection) {
    // The rest of a half-sent frame would be read as the start of the next request.
    controller.holdReading(true);
    connector->setRequestTimeout(100);
    const std::string huge(32 << 20, 'h');  // far beyond both sockets' buffers
    EXPECT_EQ(thrownCode([&] { connector->Send(huge); }), -6);
    EXPECT_FALSE(connector->hasConnected());
    EXPECT_EQ(events.codes(), std::vector<int>{1});
    EXPECT_EQ(logs.atLine(208).size(), 1u);
    controller.holdReading(false);
    EXPECT_TRUE(controller.waitForNoConnection());
    EXPECT_TRUE(controller.requests().empty());
}

TEST_F(ConnectorReplies, ReconnectAfterLossWorks) {
    ASSERT_EQ(connector->disconnect(), 0);
    ASSERT_EQ(connector->connect("127.0.0.1", controller.port()), 0);
    EXPECT_FALSE(connector->hasLogined());
    ASSERT_EQ(connector->login("admin", ""), 0);
    EXPECT_EQ(connector->Send(request("again")), R"({"id":"again","jsonrpc":"2.0","result":0})");
    EXPECT_EQ(controller.connectionCount(), 2u);
}

}  // namespace
}  // namespace zorv_test
