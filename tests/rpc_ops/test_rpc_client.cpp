// The client object: connect, version record, handlers, destruction.
#include <stdexcept>
#include <system_error>

#include "rpc_client_fixture.h"

namespace zorv_interface {
namespace {

using zorv_test::LogRecorder;
using zorv_test::closedPort;
using zorv_test::eventually;

TEST(RpcClientTest, NewClientIsIdleWhateverItsArgument) {
    for (int reserved : {0, 42, -1}) {
        LogRecorder log;
        RpcClient client(reserved);
        client.setLogHandler(log.handler());
        EXPECT_FALSE(client.hasConnected());
        EXPECT_FALSE(client.hasLogined());
        EXPECT_TRUE(log.lines().empty());
    }
}

TEST(RpcClientTest, ConnectLogsTheSdkVersionAfterTheConnectorsRecord) {
    zorv_test::TestController controller;
    LogRecorder log;
    RpcClient client;
    client.setLogHandler(log.handler());
    ASSERT_EQ(client.connect("127.0.0.1", controller.port()), 0);
    const auto records = log.lines();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].text, "Connect to 127.0.0.1:" + std::to_string(controller.port()));
    EXPECT_EQ(records[1].level, 3);
    EXPECT_EQ(records[1].file, "rpc.cpp");
    EXPECT_EQ(records[1].line, 147);
    EXPECT_EQ(records[1].text, "SDK INTERFACE VERSION: 4000");

    log.clear();
    EXPECT_EQ(client.connect("127.0.0.1", controller.port()), 0);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_TRUE(eventually([&] { return controller.connectionCount() == 1u; }));
}

TEST(RpcClientTest, FailedConnectReturnsMinusEightWithOnlyTheConnectorsRecord) {
    LogRecorder log;
    RpcClient client;
    client.setLogHandler(log.handler());
    EXPECT_EQ(client.connect("127.0.0.1", closedPort()), -8);
    const auto records = log.lines();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, 1);
    EXPECT_EQ(records[0].file, "connector_asio.cpp");
}

TEST(RpcClientTest, NonNumericAddressesThrowIncludingTheLocalSocketPath) {
    RpcClient client;
    EXPECT_THROW(client.connect("", 0), std::system_error);
    EXPECT_THROW(client.connect("", 1234), std::system_error);
    EXPECT_THROW(client.connect("localhost", 1234), std::system_error);
    EXPECT_FALSE(client.hasConnected());
}

TEST(RpcClientTest, SettersReturnZeroAndKeepWhatAnEmptyValueWouldClear) {
    LogRecorder log;
    RpcClient client;
    client.setLogHandler(log.handler());
    client.setLogHandler(LogHandler());
    EXPECT_EQ(client.setRequestTimeout(0), 0);
    EXPECT_EQ(client.setRequestTimeout(-5), 0);
    EXPECT_EQ(client.setExceptionFree(true), 0);
    EXPECT_EQ(client.setEventHandler(nullptr), 0);
    EXPECT_EQ(client.logout(), 0);
    EXPECT_EQ(log.texts(), std::vector<std::string>{"RPC Client logout"});

    // Exception-free mode leaves the client's own operations throwing.
    EXPECT_THROW(client.connect("not an address", 1), std::system_error);
}

TEST(RpcClientTest, LoginMakesOperationsPossible) {
    zorv_test::TestController controller;
    controller.useCannedReplies();
    RpcClient client;
    client.setRequestTimeout(5000);
    ASSERT_EQ(client.connect("127.0.0.1", controller.port()), 0);
    EXPECT_THROW(client.getRunningInfo(), ZorvException);
    ASSERT_EQ(client.login("admin", ""), 0);
    EXPECT_TRUE(client.hasLogined());
    EXPECT_EQ(controller.loginPayload(), zorv_test::loginLine("admin", ""));
    EXPECT_EQ(client.getRunningInfo().running_mode, RunningMode::NAVIGATE);
    EXPECT_EQ(client.getAgvCurrentPose().x, 12.75);
    EXPECT_EQ(client.getNavInfo().goal_station.header.id, "station-12");
}

TEST(RpcClientTest, DestroyingAConnectedClientLogsOutAndDisconnects) {
    zorv_test::TestController controller;
    LogRecorder log;
    std::vector<int> events;
    {
        RpcClient client;
        client.setLogHandler(log.handler());
        client.setEventHandler([&](int event) { events.push_back(event); });
        ASSERT_EQ(client.connect("127.0.0.1", controller.port()), 0);
        log.clear();
    }
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"RPC Client logout", "RPC client disconnected."}));
    EXPECT_EQ(events, std::vector<int>{1});
    EXPECT_TRUE(controller.waitForNoConnection());

    log.clear();
    events.clear();
    {
        RpcClient client;
        client.setLogHandler(log.handler());
        client.setEventHandler([&](int event) { events.push_back(event); });
    }
    EXPECT_EQ(log.texts(), std::vector<std::string>{"RPC Client logout"});
    EXPECT_TRUE(events.empty());
}

TEST(RpcClientTest, DestructorSwallowsHandlerExceptions) {
    zorv_test::TestController controller;
    auto client = std::make_unique<RpcClient>();
    ASSERT_EQ(client->connect("127.0.0.1", controller.port()), 0);
    client->setLogHandler([](int, const char*, int, const std::string&) { throw std::runtime_error("log"); });
    client->setEventHandler([](int) { throw std::runtime_error("event"); });
    EXPECT_NO_THROW(client.reset());
    EXPECT_TRUE(controller.waitForNoConnection());
}

}  // namespace
}  // namespace zorv_interface
