// An event handler that destroys its own client while a call of that client is in
// flight: the call ends with its status code and the client goes once it has unwound.
#include <memory>
#include <string>
#include <vector>

#include "rpc_client_fixture.h"

namespace zorv_interface {
namespace {

class ClientDestroyedByItsHandler : public testing::Test {
protected:
    // Long enough for the controller to have closed the connection before it expires.
    static constexpr int kProbedTimeoutMs = 1000;

    void SetUp() override {
        client->setLogHandler(log.handler());
        client->setRequestTimeout(5000);
        ASSERT_EQ(client->connect("127.0.0.1", controller.port()), 0);
        ASSERT_EQ(client->login("admin", ""), 0);
        // The connector holds the handler, so the token expires with the connector.
        auto token = std::make_shared<int>(0);
        connectorAlive = token;
        client->setEventHandler([this, token](int code) {
            events.push_back(code);
            client.reset();
        });
        inFlight = client.get();
    }

    void expectDestroyedAndFreed() {
        EXPECT_EQ(events, std::vector<int>{1});
        EXPECT_EQ(client, nullptr);
        EXPECT_TRUE(connectorAlive.expired());
        EXPECT_EQ(log.count("RPC Client logout"), 1u);
        EXPECT_TRUE(controller.waitForNoConnection());
    }

    zorv_test::TestController controller;
    zorv_test::LogRecorder log;
    std::vector<int> events;
    std::unique_ptr<RpcClient> client = std::make_unique<RpcClient>();
    RpcClient* inFlight = nullptr;  // the client as the call in flight sees it
    std::weak_ptr<int> connectorAlive;
};

TEST_F(ClientDestroyedByItsHandler, InsideTheTimeoutProbe) {
    client->setRequestTimeout(kProbedTimeoutMs);
    controller.queueClose();
    const auto [code, message] = failureOf([&] { inFlight->getRunningInfo(); });
    EXPECT_EQ(code, -6);
    EXPECT_EQ(message, "RPC request timeout.");
    expectDestroyedAndFreed();
}

TEST_F(ClientDestroyedByItsHandler, AfterAFailedReceive) {
    controller.queueReset();
    const auto [code, message] = failureOf([&] { inFlight->cancelNavigation(); });
    EXPECT_EQ(code, -7);
    EXPECT_EQ(message.rfind("RPC client recv package failed: ", 0), 0u) << message;
    expectDestroyedAndFreed();
}

TEST_F(ClientDestroyedByItsHandler, AfterAFailedWrite) {
    // The controller is gone before the request: writing more than the socket buffers
    // hold runs into its reset.
    controller.closeClient();
    ASSERT_TRUE(controller.waitForNoConnection());
    const auto [code, message] =
        failureOf([&] { inFlight->setAgvControllerParametersFile(std::string(8 << 20, 'p')); });
    EXPECT_EQ(code, -5);
    EXPECT_EQ(message.rfind("RPC send failed: ", 0), 0u) << message;
    expectDestroyedAndFreed();
}

TEST_F(ClientDestroyedByItsHandler, DuringALogin) {
    controller.setLoginMode(zorv_test::TestController::LoginMode::Scripted);
    controller.queueReset();
    const auto [code, message] = failureOf([&] { inFlight->login("admin", ""); });
    EXPECT_EQ(code, -7);
    EXPECT_EQ(message.rfind("RPC client recv package failed: ", 0), 0u) << message;
    expectDestroyedAndFreed();
}

TEST_F(ClientDestroyedByItsHandler, ExceptionFreeCallReturnsItsCode) {
    ASSERT_EQ(client->setExceptionFree(true), 0);
    controller.queueReset();
    EXPECT_EQ(inFlight->cancelNavigation(), -7);
    expectDestroyedAndFreed();
    EXPECT_EQ(RpcClient().errorCode(), -7);
}

}  // namespace
}  // namespace zorv_interface
