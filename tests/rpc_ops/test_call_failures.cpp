// How failures of one call surface: status codes, messages, exception-free
// placeholders and the per-thread last code.
#include <thread>

#include "rpc_client_fixture.h"

namespace zorv_interface {
namespace {

using nlohmann::json;

using CallFailureTest = ConnectedClientTest;

struct ErrorReplyCase {
    json error;
    int status;
    const char* message;
};

TEST_F(CallFailureTest, JsonRpcErrorsMapToStatusCodesWithMethodNameAndErrorText) {
    const ErrorReplyCase cases[] = {
        {{{"code", -32600}, {"message", "bad request"}}, -9, "ZorvInterface.getRunningInfo--32600: bad request"},
        {{{"code", -32601}, {"message", "M"}}, -10, "ZorvInterface.getRunningInfo--32601: M"},
        {{{"code", -32602}, {"message", "bad params"}}, -11, "ZorvInterface.getRunningInfo--32602: bad params"},
        {{{"code", -32603}, {"message", "oops"}}, -12, "ZorvInterface.getRunningInfo--32603: oops"},
        {{{"code", -32000}, {"message", "busy"}}, -13, "ZorvInterface.getRunningInfo--32000: busy"},
        {{{"code", -32099}, {"message", "busy"}, {"data", {{"retry", 2}}}}, -13,
         "ZorvInterface.getRunningInfo--32099: busy, data: {\"retry\":2}"},
        {{{"code", -32001}, {"message", "busy"}, {"data", nullptr}}, -13,
         "ZorvInterface.getRunningInfo--32001: busy, data: null"},
        {{{"code", -32700}, {"message", "parse"}}, -14, "ZorvInterface.getRunningInfo--32700: parse"},
        // A controller's own code: a failure all the same, never 0 or an older code.
        {{{"code", -7}, {"message", "motor fault"}}, -13, "ZorvInterface.getRunningInfo--7: motor fault"},
        {"plain text", -12, "ZorvInterface.getRunningInfo--32603: plain text"},
        {{{"code", 5}, {"message", "M"}}, -12,
         "ZorvInterface.getRunningInfo--32603: invalid error response: \"code\" (negative number) and "
         "\"message\" (string) are required"},
    };
    for (const ErrorReplyCase& c : cases) {
        SCOPED_TRACE(c.error.dump());
        controller.queueError(c.error);
        const auto [code, message] = failureOf([&] { client.getRunningInfo(); });
        EXPECT_EQ(code, c.status);
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(client.errorCode(), c.status);
    }
}

TEST_F(CallFailureTest, MalformedRepliesAndResultsAreCallFailures) {
    controller.queueRaw("not json");
    auto failure = failureOf([&] { client.cancelNavigation(); });
    EXPECT_EQ(failure.first, -14);
    EXPECT_EQ(failure.second,
              "ZorvInterface.cancelNavigation--32700: invalid JSON response from server: [json.exception.parse_error.101] "
              "parse error at line 1, column 2: syntax error while parsing value - invalid literal; last read: 'no'");

    // A number beyond a double's range is the library's out_of_range, not a parse error.
    controller.queueRaw(R"({"result":1e999})");
    failure = failureOf([&] { client.cancelNavigation(); });
    EXPECT_EQ(failure.first, -14);
    EXPECT_EQ(failure.second, "ZorvInterface.cancelNavigation-[json.exception.out_of_range.406] number overflow "
                              "parsing '1e999'");

    controller.queueRaw(R"({"jsonrpc":"2.0","result":0})");
    failure = failureOf([&] { client.cancelNavigation(); });
    EXPECT_EQ(failure.first, -12);
    EXPECT_EQ(failure.second,
              "ZorvInterface.cancelNavigation--32603: invalid server response: neither \"result\" nor \"error\" "
              "fields found");

    controller.queueResult("zero");
    failure = failureOf([&] { client.cancelNavigation(); });
    EXPECT_EQ(failure.first, -14);
    EXPECT_EQ(failure.second,
              "ZorvInterface.cancelNavigation-[json.exception.type_error.302] type must be number, but is string");

    controller.queueResult(nullptr);
    failure = failureOf([&] { client.getRunningInfo(); });
    EXPECT_EQ(failure.first, -14);
    EXPECT_EQ(failure.second, "ZorvInterface.getRunningInfo-[json.exception.type_error.304] cannot use at() with null");

    controller.queueResult(1);
    failure = failureOf([&] { client.isObstacleAhead(1.0); });
    EXPECT_EQ(failure.first, -14);
    EXPECT_EQ(failure.second,
              "ZorvInterface.isObstacleAhead-[json.exception.type_error.302] type must be boolean, but is number");

    json nav = zorv_test::cannedResult("ZorvInterface.getNavInfo");
    nav.erase("type");
    controller.queueResult(nav);
    failure = failureOf([&] { client.getNavInfo(); });
    EXPECT_EQ(failure.first, -14);
    EXPECT_EQ(failure.second, "ZorvInterface.getNavInfo-[json.exception.out_of_range.403] key 'type' not found");
    EXPECT_EQ(client.errorCode(), -14);
}

TEST_F(CallFailureTest, TextThatIsNotUtf8FailsBeforeAnythingIsSent) {
    const auto [code, message] = failureOf([&] { client.setAgvName("bad \xFF name"); });
    EXPECT_EQ(code, -14);
    EXPECT_EQ(message.rfind("ZorvInterface.setAgvName-[json.exception.type_error.316] invalid UTF-8 byte", 0), 0u)
        << message;
    controller.queueResult(0);
    EXPECT_EQ(client.setAgvName("good"), 0);
    ASSERT_TRUE(controller.waitForRequests(1));
    EXPECT_EQ(controller.requests().size(), 1u);
}

TEST_F(CallFailureTest, IntResultsAcceptNumbersAndBooleans) {
    const int lastCode = client.errorCode();
    controller.queueResult(-3);
    EXPECT_EQ(client.cancelNavigation(), -3);
    controller.queueResult(7.9);
    EXPECT_EQ(client.cancelNavigation(), 7);
    controller.queueResult(true);
    EXPECT_EQ(client.cancelNavigation(), 1);
    // A controller's negative result is its own value, not a status of this client.
    EXPECT_EQ(client.errorCode(), lastCode);
}

TEST_F(CallFailureTest, AsyncStatusWithoutPreviewDecodes) {
    json status = {{"header", {{"id", "a"}, {"name", ""}, {"stamp", 1}, {"map_id", "m"}, {"error_code", 0}}}};
    for (const char* member : {"save_map_status", "switch_map_status", "change_running_mode_status",
                               "relocation_status", "get_grid_map_status", "send_grid_map_status",
                               "get_png_map_status", "send_png_map_status", "set_png_all_status",
                               "get_png_all_status", "set_grid_all_status", "get_grid_all_status",
                               "align_railway_status"}) {
        status[member] = {{"header", status["header"]}, {"status", "FINISHED"}};
    }
    controller.queueResult(status);
    const AsyncInterfaceResultStatus decoded = client.getAsyncInterfaceResultStatus();
    EXPECT_EQ(decoded.align_railway_status.status, FeedbackStatus::FINISHED);
    EXPECT_EQ(decoded.preview_png_map_status.status, FeedbackStatus::NONE);
    EXPECT_EQ(decoded.preview_png_map_status.header.error_code, -1);
    EXPECT_EQ(decoded.preview_png_map_status.header.stamp, 0);

    status.erase("align_railway_status");
    controller.queueResult(status);
    EXPECT_EQ(failureOf([&] { client.getAsyncInterfaceResultStatus(); }).first, -14);
}

TEST_F(CallFailureTest, ConnectorFailuresKeepTheirCodeAndText) {
    client.setRequestTimeout(50);
    controller.queueSilence();
    auto failure = failureOf([&] { client.getRunningInfo(); });
    EXPECT_EQ(failure, std::make_pair(-6, std::string("RPC request timeout.")));
    EXPECT_EQ(client.errorCode(), -6);

    client.logout();
    failure = failureOf([&] { client.getRunningInfo(); });
    EXPECT_EQ(failure, std::make_pair(-2, std::string("RPC client has not logined")));

    client.disconnect();
    failure = failureOf([&] { client.getRunningInfo(); });
    EXPECT_EQ(failure, std::make_pair(-1, std::string("RPC client has not connected")));
    EXPECT_EQ(client.errorCode(), -1);
}

TEST_F(CallFailureTest, BusyFromASecondThread) {
    client.setRequestTimeout(2000);
    controller.queueSilence();
    std::thread holder([&] { EXPECT_EQ(failureOf([&] { client.cancelNavigation(); }).first, -6); });
    ASSERT_TRUE(controller.waitForRequests(1));
    const auto failure = failureOf([&] { client.pauseAgvSpeed(); });
    EXPECT_EQ(failure.first, -4);
    EXPECT_EQ(failure.second, "RPC client is busy(" + controller.requests().front() + ")");
    EXPECT_EQ(client.errorCode(), -4);
    holder.join();
}

TEST_F(CallFailureTest, ExceptionFreeReturnsPlaceholdersAndStatusOperationsTheirCode) {
    ASSERT_EQ(client.setExceptionFree(true), 0);
    controller.queueError({{"code", -32601}, {"message", "M"}});
    EXPECT_EQ(client.cancelNavigation(), -10);
    EXPECT_EQ(client.errorCode(), -10);

    controller.queueResult("not a bool");
    EXPECT_TRUE(client.isObstacleAhead(0.5));
    EXPECT_EQ(client.errorCode(), -14);

    controller.queueResult(nullptr);
    EXPECT_EQ(client.getAgvLogMessage(), "\"str\"");
    // An enum reads any text, even null, so only an error reply fails it.
    controller.queueError("down");
    EXPECT_EQ(client.getScriptStatus(), ScriptRuntimeState::STOPPED);
    EXPECT_EQ(client.errorCode(), -12);
    controller.queueResult(nullptr);
    EXPECT_EQ(client.getMapList().size(), 6u);

    // The connector's own failures come back the same way.
    client.logout();
    EXPECT_EQ(client.cancelNavigation(), -2);
    EXPECT_EQ(client.getRunningInfo().header.error_code, -1);
    EXPECT_EQ(client.errorCode(), -2);

    ASSERT_EQ(client.setExceptionFree(false), 0);
    EXPECT_THROW(client.cancelNavigation(), ZorvException);
}

TEST_F(CallFailureTest, LastCodeIsStickyPerThreadAndSharedByClientsOfAThread) {
    controller.queueError({{"code", -32601}, {"message", "M"}});
    EXPECT_THROW(client.cancelNavigation(), ZorvException);
    controller.queueResult(0);
    EXPECT_EQ(client.cancelNavigation(), 0);
    EXPECT_EQ(client.errorCode(), -10);

    RpcClient other;
    EXPECT_EQ(other.errorCode(), -10);
    EXPECT_THROW(other.cancelNavigation(), ZorvException);
    EXPECT_EQ(client.errorCode(), -1);

    int freshThread = 99;
    int afterOwnFailure = 99;
    std::thread([&] {
        freshThread = client.errorCode();
        controller.queueError({{"code", -32600}, {"message", "M"}});
        EXPECT_THROW(client.cancelNavigation(), ZorvException);
        afterOwnFailure = client.errorCode();
    }).join();
    EXPECT_EQ(freshThread, 0);
    EXPECT_EQ(afterOwnFailure, -9);
    EXPECT_EQ(client.errorCode(), -1);
}

}  // namespace
}  // namespace zorv_interface
