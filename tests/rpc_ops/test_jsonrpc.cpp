#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "json_rpc_client.h"
#include "jsonrpc.h"

namespace jsonrpccxx {
namespace {

TEST(RequestTextTest, WithoutParametersHasExactlyIdJsonrpcMethod) {
    EXPECT_EQ(JsonRpcClient::RequestText(std::string("ab12cd34-ef56-gh78"), "ZorvInterface.cancelNavigation", {}),
              R"({"id":"ab12cd34-ef56-gh78","jsonrpc":"2.0","method":"ZorvInterface.cancelNavigation"})");
}

TEST(RequestTextTest, KeysSortedAtEveryLevelAndCompact) {
    const named_parameter params{{"running_mode", "NAVIGATE"},
                                 {"command_header", {{"stamp", 1}, {"id", "h"}, {"error_code", -1}}},
                                 {"detect", 2.0}};
    EXPECT_EQ(JsonRpcClient::RequestText(std::string("x"), "m", params),
              R"({"id":"x","jsonrpc":"2.0","method":"m","params":{"command_header":{"error_code":-1,"id":"h",)"
              R"("stamp":1},"detect":2.0,"running_mode":"NAVIGATE"}})");
}

TEST(RequestTextTest, IntIdIsANumberAndUtf8StaysUnescaped) {
    const std::string text = JsonRpcClient::RequestText(7, "m", {{"agv_name", "Fahrzeug \xC3\xBC 车"}});
    EXPECT_EQ(text, "{\"id\":7,\"jsonrpc\":\"2.0\",\"method\":\"m\",\"params\":{\"agv_name\":\"Fahrzeug \xC3\xBC 车\"}}");
    EXPECT_EQ(text.find("\\u"), std::string::npos);
}

TEST(RequestTextTest, InvalidUtf8IsTheJsonLibrarysTypeError) {
    EXPECT_THROW(JsonRpcClient::RequestText(std::string("x"), "m", {{"agv_name", "\xFF\xFE"}}), json::type_error);
}

struct ReplyCase {
    const char* reply;
    int code;
    const char* what;  // exact text, or a prefix when it ends with '*'
};

class ReplyRulesTest : public testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyRulesTest, ErrorOfReply) {
    const ReplyCase& c = GetParam();
    try {
        JsonRpcClient::ResultOf(c.reply);
        FAIL() << "no error for " << c.reply;
    } catch (const JsonRpcException& e) {
        EXPECT_EQ(e.Code(), c.code) << c.reply;
        const std::string expected = c.what;
        if (!expected.empty() && expected.back() == '*') {
            EXPECT_EQ(std::string(e.what()).rfind(expected.substr(0, expected.size() - 1), 0), 0u) << e.what();
        } else {
            EXPECT_EQ(e.what(), expected);
        }
    }
}

const char* const kBadError =
    "-32603: invalid error response: \"code\" (negative number) and \"message\" (string) are required";
const char* const kNeither = "-32603: invalid server response: neither \"result\" nor \"error\" fields found";

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyRulesTest,
    testing::Values(
        ReplyCase{"", -32700, "-32700: invalid JSON response from server: *"},
        ReplyCase{"{\"id\":", -32700, "-32700: invalid JSON response from server: [json.exception.parse_error*"},
        ReplyCase{R"({"id":"1","error":{"code":-32601,"message":"M"}})", -32601, "-32601: M"},
        ReplyCase{R"({"id":"1","error":{"code":-32000,"message":"M","data":{"b":1,"a":[2]}}})", -32000,
                  R"(-32000: M, data: {"a":[2],"b":1})"},
        ReplyCase{R"({"id":"1","error":{"code":-32000,"message":"M","data":null}})", -32000, "-32000: M, data: null"},
        ReplyCase{R"({"id":"1","error":{"code":-5,"message":"own"},"result":0})", -5, "-5: own"},
        ReplyCase{R"({"id":"1","error":{"code":0,"message":"M"}})", -32603, kBadError},
        ReplyCase{R"({"id":"1","error":{"code":5,"message":"M"}})", -32603, kBadError},
        ReplyCase{R"({"id":"1","error":{"code":-1.5,"message":"M"}})", -32603, kBadError},
        ReplyCase{R"({"id":"1","error":{"code":-4294967297,"message":"M"}})", -32603, kBadError},
        ReplyCase{R"({"id":"1","error":{"code":-32601}})", -32603, kBadError},
        ReplyCase{R"({"id":"1","error":{"code":-32601,"message":7}})", -32603, kBadError},
        ReplyCase{R"({"id":"1","error":"plain words"})", -32603, "-32603: plain words"},
        ReplyCase{R"({"result":0})", -32603, kNeither}, ReplyCase{R"({"id":"1"})", -32603, kNeither},
        ReplyCase{R"([{"id":"1","result":0}])", -32603, kNeither}, ReplyCase{"42", -32603, kNeither}));

TEST(ReplyRulesTest, ResultWithIdSucceedsWhateverANonObjectErrorHolds) {
    EXPECT_EQ(JsonRpcClient::ResultOf(R"({"id":"1","jsonrpc":"2.0","result":{"a":1}})"), json({{"a", 1}}));
    EXPECT_EQ(JsonRpcClient::ResultOf(R"({"id":"1","error":null,"result":3})"), json(3));
    EXPECT_EQ(JsonRpcClient::ResultOf(R"({"id":"1","error":[1],"result":null})"), json(nullptr));
}

// A transport that only answers with text: the call layer parses it itself.
class TextOnlyConnector : public IClientConnector {
public:
    explicit TextOnlyConnector(std::string reply) : reply(std::move(reply)) {}
    std::string Send(const std::string& request) override {
        sent.push_back(request);
        return reply;
    }
    std::vector<std::string> sent;

private:
    std::string reply;
};

TEST(CallNamedTest, TextOnlyTransportGetsItsReplyParsedByTheDefault) {
    TextOnlyConnector connector(R"({"id":"x","jsonrpc":"2.0","result":{"a":[1,2]}})");
    JsonRpcClient client(connector, version::v2);
    EXPECT_EQ(client.CallNamed(std::string("x"), "m", {{"p", 1}}), json({{"a", {1, 2}}}));
    EXPECT_EQ(connector.sent, std::vector<std::string>{R"({"id":"x","jsonrpc":"2.0","method":"m","params":{"p":1}})"});
}

TEST(CallNamedTest, TextThatIsNotJsonIsAParseErrorWithTheLibrarysText) {
    std::string libraryText;
    try {
        const json parsed = json::parse("{\"id\":");
    } catch (const json::parse_error& e) {
        libraryText = e.what();
    }
    TextOnlyConnector connector("{\"id\":");
    JsonRpcClient client(connector, version::v2);
    try {
        client.CallNamed(std::string("x"), "m", {});
        FAIL() << "no error";
    } catch (const JsonRpcException& e) {
        EXPECT_EQ(e.Code(), -32700);
        EXPECT_EQ(std::string(e.what()), "-32700: invalid JSON response from server: " + libraryText);
    }
}

TEST(StatusMappingTest, ProtocolCodesAndEverythingElse) {
    using zorv_interface::statusOfJsonRpcError;
    EXPECT_EQ(statusOfJsonRpcError(-32600), -9);
    EXPECT_EQ(statusOfJsonRpcError(-32601), -10);
    EXPECT_EQ(statusOfJsonRpcError(-32602), -11);
    EXPECT_EQ(statusOfJsonRpcError(-32603), -12);
    EXPECT_EQ(statusOfJsonRpcError(-32000), -13);
    EXPECT_EQ(statusOfJsonRpcError(-32099), -13);
    EXPECT_EQ(statusOfJsonRpcError(-32700), -14);
    // A controller's own code must not read as success or as an older failure.
    EXPECT_EQ(statusOfJsonRpcError(-1), -13);
    EXPECT_EQ(statusOfJsonRpcError(-32100), -13);
}

}  // namespace
}  // namespace jsonrpccxx
