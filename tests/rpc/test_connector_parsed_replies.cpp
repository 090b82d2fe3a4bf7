// The parsed reply handed to the call layer, and the id rules on top-level members only.
#include "connector_fixture.h"

namespace zorv_test {
namespace {

using nlohmann::json;

class ConnectorParsedReplies : public ConnectorTest {
protected:
    void SetUp() override { connectAndLogin(); }

    // The exception json::parse throws for the text.
    static std::string parseErrorOf(const std::string& text) {
        try {
            const json parsed = json::parse(text);
        } catch (const json::exception& error) {
            return error.what();
        }
        return "";
    }
};

TEST_F(ConnectorParsedReplies, DocumentIsTheAcceptedReplyNotAStaleOne) {
    controller.queueStaleThenResult(json{{"speed", 1.5}}, true);
    const json reply = connector->SendParsed(request("d-1"));
    EXPECT_EQ(reply, json::parse(R"({"id":"d-1","jsonrpc":"2.0","result":{"speed":1.5}})"));
    EXPECT_EQ(logs.atLine(292).size(), 1u);
}

TEST_F(ConnectorParsedReplies, IdNestedInsideTheResultIsNotTheReplysId) {
    controller.queueRaw(R"({"jsonrpc":"2.0","result":{"id":"someone-else"}})");
    EXPECT_EQ(connector->SendParsed(request("n-1")).at("result").at("id"), "someone-else");
    controller.queueRaw(R"([{"id":"someone-else"}])");
    EXPECT_EQ(connector->Send(request("n-2")), R"([{"id":"someone-else"}])");
    EXPECT_TRUE(logs.atLine(292).empty());
}

TEST_F(ConnectorParsedReplies, RepeatedIdKeyCountsByItsLastValue) {
    controller.queueRaw(R"({"id":"other","id":"k-1","result":1})");
    EXPECT_EQ(connector->SendParsed(request("k-1")).at("result"), 1);

    connector->setRequestTimeout(200);
    controller.queueRaw(R"({"id":"k-2","id":"other","result":2})");
    EXPECT_EQ(thrownCode([&] { connector->SendParsed(request("k-2")); }), -6);
    EXPECT_EQ(logs.atLine(292).size(), 1u);
}

TEST_F(ConnectorParsedReplies, IdsCompareAsJsonValues) {
    // A number id equals the same number written as a float; structured ids compare deeply.
    controller.queueRaw(R"({"id":5.0,"result":"five"})");
    EXPECT_EQ(connector->Send(R"({"id":5,"jsonrpc":"2.0","method":"m"})"), R"({"id":5.0,"result":"five"})");
    controller.queueRaw(R"({"id":{"b":[1,2],"a":null},"result":"deep"})");
    EXPECT_EQ(connector->SendParsed(R"({"id":{"a":null,"b":[1,2]},"method":"m"})").at("result"), "deep");

    // A request without an id is answered only by a reply whose id is null or missing.
    connector->setRequestTimeout(200);
    controller.queueRaw(R"({"id":"x","result":0})");
    EXPECT_EQ(thrownCode([&] { connector->Send(R"({"method":"m"})"); }), -6);
    controller.queueRaw(R"({"id":null,"result":0})");
    EXPECT_EQ(connector->Send(R"({"method":"m"})"), R"({"id":null,"result":0})");
}

TEST_F(ConnectorParsedReplies, EachRequestIsMatchedAgainstItsOwnId) {
    controller.queueResult(1);
    EXPECT_EQ(connector->SendParsed(request("first")).at("id"), "first");
    // A reply carrying the previous request's id must not answer this one.
    controller.queue([](const Request& req) {
        return Response{{replyFrameWithId("first", {{"result", 0}}) + replyFrame(req, {{"result", 2}})}, false};
    });
    EXPECT_EQ(connector->SendParsed(request("second")).at("result"), 2);
    ASSERT_EQ(logs.atLine(292).size(), 1u);
    EXPECT_EQ(logs.atLine(292)[0].text, "JsonRPC id unmatch request: " + request("second") +
                                            R"( reply: {"id":"first","jsonrpc":"2.0","result":0})");
}

TEST_F(ConnectorParsedReplies, ReplyThatIsNotJsonFailsWithTheLibrarysOwnError) {
    for (const std::string text : {"not json", R"({"id":"j-1"} trailing)", "{\"id\":\"j-1\",\"result\":\"\xFF\"}"}) {
        SCOPED_TRACE(text);
        controller.queueRaw(text);
        try {
            connector->SendParsed(request("j-1"));
            ADD_FAILURE() << "accepted";
        } catch (const json::parse_error& error) {
            EXPECT_EQ(error.what(), parseErrorOf(text));
        }
    }
    controller.queueRaw(R"({"id":"j-2","result":1e999})");
    try {
        connector->SendParsed(request("j-2"));
        ADD_FAILURE() << "accepted";
    } catch (const json::out_of_range& error) {
        EXPECT_EQ(error.what(), parseErrorOf(R"({"id":"j-2","result":1e999})"));
    }
    EXPECT_EQ(connector->SendParsed(request("j-3")).at("result"), 0);
}

TEST_F(ConnectorParsedReplies, RequestThatIsNotJsonFailsOnItsFirstJsonReply) {
    controller.queueRaw(R"({"id":"a","result":0})");
    try {
        connector->Send("plain line");
        ADD_FAILURE() << "accepted";
    } catch (const json::parse_error& error) {
        EXPECT_EQ(error.what(), parseErrorOf("plain line"));
    }
    EXPECT_EQ(connector->Send(request("after")), R"({"id":"after","jsonrpc":"2.0","result":0})");
}

TEST_F(ConnectorParsedReplies, LoginVerdictToAJsonRequestIsAnEmptyReply) {
    controller.queueRaw("__login__ SUCCEED");
    EXPECT_EQ(connector->Send(request("l-1")), "");
    controller.queueRaw("__login__ SUCCEED");
    try {
        connector->SendParsed(request("l-2"));
        ADD_FAILURE() << "accepted";
    } catch (const json::parse_error& error) {
        EXPECT_EQ(error.what(), parseErrorOf(""));
    }
}

}  // namespace
}  // namespace zorv_test
