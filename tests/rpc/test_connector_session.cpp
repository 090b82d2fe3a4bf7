// Connection, login, state and log records of the RPC connector against a real peer.
#include <set>
#include <system_error>
#include <thread>

#include "connector_fixture.h"

namespace zorv_test {
namespace {

using zorv_interface::ConnectorAsio;

constexpr int kError = 1, kWarning = 2, kInfo = 3, kDebug = 4;

using ConnectorSession = ConnectorTest;

TEST_F(ConnectorSession, NewConnectorIsIdleAndRefusesToSend) {
    ConnectorAsio fresh;
    EXPECT_FALSE(fresh.hasConnected());
    EXPECT_FALSE(fresh.hasLogined());
    std::string message;
    EXPECT_EQ(thrownCode([&] { fresh.Send("{}"); }, &message), -1);
    EXPECT_EQ(message, "RPC client has not connected");
    EXPECT_FALSE(fresh.getLogHandler());
    EXPECT_TRUE(logs.lines().empty());
}

TEST_F(ConnectorSession, ConnectLogsTheTargetAndSendsNothing) {
    ASSERT_EQ(connector->connect("127.0.0.1", controller.port()), 0);
    EXPECT_TRUE(connector->hasConnected());
    EXPECT_FALSE(connector->hasLogined());
    const auto records = logs.atLine(98);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, kInfo);
    EXPECT_EQ(records[0].file, "connector_asio.cpp");
    EXPECT_EQ(records[0].text, "Connect to 127.0.0.1:" + std::to_string(controller.port()));
    ASSERT_TRUE(eventually([&] { return controller.connectionCount() == 1; }));
    EXPECT_EQ(controller.receivedBytes(), "");
}

TEST_F(ConnectorSession, RefusedConnectReturnsMinus8AndAReconnectClosesTheStaleSocket) {
    const int port = closedPort();
    EXPECT_EQ(connector->connect("127.0.0.1", port), -8);
    EXPECT_FALSE(connector->hasConnected());
    const auto refused = logs.atLine(95);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].level, kError);
    EXPECT_EQ(refused[0].text.rfind("Connect to 127.0.0.1:" + std::to_string(port) + " FAILED: ", 0), 0u);

    ASSERT_EQ(connector->connect("127.0.0.1", controller.port()), 0);
    const auto stale = logs.atLine(57);
    ASSERT_EQ(stale.size(), 1u);
    EXPECT_EQ(stale[0].level, kDebug);
    EXPECT_EQ(stale[0].text, "Disconnect before connect to 127.0.0.1:" + std::to_string(controller.port()));
}

TEST(ConnectorConnectBound, UnansweredConnectFailsWithMinus8AtTheBound) {
    UnansweredListener unanswered;
    ASSERT_TRUE(unanswered.ready());
    constexpr std::chrono::milliseconds kBound{300};
    ConnectorAsio connector(kBound);
    LogRecorder logs;
    connector.setLogHandler(logs.handler());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(connector.connect("127.0.0.1", unanswered.port()), -8);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, kBound);
    EXPECT_LT(elapsed, std::chrono::seconds(5));
    const auto failed = logs.atLine(95);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].level, kError);
    EXPECT_EQ(failed[0].text, "Connect to 127.0.0.1:" + std::to_string(unanswered.port()) + " FAILED: " +
                                  std::make_error_code(std::errc::timed_out).message());
    EXPECT_FALSE(connector.hasConnected());
    // The client's connector waits as long as its sockets' time-outs.
    EXPECT_EQ(ConnectorAsio().connectBound(), std::chrono::seconds(10));
}

TEST_F(ConnectorSession, AddressesMustBeNumeric) {
    EXPECT_THROW(connector->connect("localhost", controller.port()), std::system_error);
    EXPECT_TRUE(logs.lines().empty());
    EXPECT_THROW(connector->connect("", 0), std::system_error);
    EXPECT_TRUE(logs.atLine(95).empty());
    EXPECT_TRUE(logs.atLine(98).empty());
    // IPv6 text parses but the socket is IPv4.
    EXPECT_EQ(connector->connect("::1", controller.port()), -8);
    EXPECT_FALSE(connector->hasConnected());
}

TEST_F(ConnectorSession, LoginLineCarriesUserDigestAndVersion) {
    ASSERT_EQ(connector->connect("127.0.0.1", controller.port()), 0);
    connector->setRequestTimeout(kGenerousTimeoutMs);
    ASSERT_EQ(connector->login("operator", ""), 0);
    EXPECT_TRUE(connector->hasLogined());
    const std::string digest = "3553343243434335643523424431433254454423354333334543443434553536434654";
    EXPECT_EQ(controller.loginPayload(), "__login__\noperator\n" + digest + "\n4000\n");
    EXPECT_EQ(controller.receivedBytes(), frame(controller.loginPayload()));
    const auto records = logs.atLine(159);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, kInfo);
    EXPECT_EQ(records[0].text, "RPC Client login");
}

TEST(ConnectorDigest, OneDigitPerSaltedByte) {
    const std::string bare = ConnectorAsio::loginDigest("");
    ASSERT_EQ(bare.size(), 70u);
    const std::string digest = ConnectorAsio::loginDigest(std::string("\xff\x00" "a", 3));
    ASSERT_EQ(digest.size(), 73u);
    EXPECT_EQ(digest.substr(0, 20), bare.substr(0, 20));
    EXPECT_EQ(digest.substr(20, 3), "803");  // 0xFF, 0x00, 'a' = 0x61
    EXPECT_EQ(digest.substr(23), bare.substr(20));
    for (const char digit : digest) {
        EXPECT_TRUE(digit >= '0' && digit <= '8');
    }
    EXPECT_EQ(digest, loginDigest(std::string("\xff\x00" "a", 3)));
}

TEST_F(ConnectorSession, LoginWithTheRightPasswordIsAccepted) {
    TestController guarded({0, "s3cret!", TestController::LoginMode::CheckPassword, {}, {}});
    ASSERT_EQ(connector->connect("127.0.0.1", guarded.port()), 0);
    connector->setRequestTimeout(kGenerousTimeoutMs);
    EXPECT_EQ(connector->login("admin", "s3cret!"), 0);
    EXPECT_TRUE(connector->hasLogined());
    EXPECT_EQ(guarded.loginPayload(), loginLine("admin", "s3cret!"));
}

TEST_F(ConnectorSession, RefusedLoginTimesOutAndClearsTheLoginFlag) {
    TestController guarded({0, "s3cret!", TestController::LoginMode::CheckPassword, {}, {}});
    ASSERT_EQ(connector->connect("127.0.0.1", guarded.port()), 0);
    connector->setRequestTimeout(300);
    std::string message;
    EXPECT_EQ(thrownCode([&] { connector->login("admin", "wrong"); }, &message), -6);
    EXPECT_EQ(message, "RPC request timeout.");
    EXPECT_FALSE(connector->hasLogined());
    const auto warning = logs.atLine(279);
    ASSERT_EQ(warning.size(), 1u);
    EXPECT_EQ(warning[0].level, kWarning);
    EXPECT_EQ(warning[0].text, "login failed");
    EXPECT_TRUE(logs.atLine(159).empty());
    EXPECT_TRUE(connector->hasConnected());  // the connection itself survives
}

TEST_F(ConnectorSession, LoginAnsweredWithANonLoginReplyFailsToParse) {
    controller.setLoginMode(TestController::LoginMode::Scripted);
    controller.queueResult(0);
    ASSERT_EQ(connector->connect("127.0.0.1", controller.port()), 0);
    connector->setRequestTimeout(kGenerousTimeoutMs);
    EXPECT_THROW(connector->login("admin", ""), nlohmann::json::parse_error);
    EXPECT_FALSE(connector->hasLogined());
}

TEST_F(ConnectorSession, LoginReplyEndingInNeitherVerdictIsTreatedAsJson) {
    controller.setLoginMode(TestController::LoginMode::Scripted);
    controller.queueRaw("__login__\nMAYBE");
    ASSERT_EQ(connector->connect("127.0.0.1", controller.port()), 0);
    connector->setRequestTimeout(kGenerousTimeoutMs);
    EXPECT_THROW(connector->login("admin", ""), nlohmann::json::parse_error);
}

TEST_F(ConnectorSession, LoginBeforeConnectSendsAndLogsNothing) {
    EXPECT_EQ(connector->login("admin", ""), -1);
    EXPECT_FALSE(connector->hasLogined());
    EXPECT_TRUE(logs.lines().empty());
    EXPECT_EQ(controller.connectionCount(), 0u);
}

TEST_F(ConnectorSession, SendNeedsALoginUnlessForced) {
    ASSERT_EQ(connector->connect("127.0.0.1", controller.port()), 0);
    connector->setRequestTimeout(kGenerousTimeoutMs);
    std::string message;
    EXPECT_EQ(thrownCode([&] { connector->Send(request("a1")); }, &message), -2);
    EXPECT_EQ(message, "RPC client has not logined");
    connector->forceSend(true);
    EXPECT_EQ(connector->Send(request("a1")), R"({"id":"a1","jsonrpc":"2.0","result":0})");
    connector->forceSend(false);
    EXPECT_EQ(thrownCode([&] { connector->Send(request("a2")); }), -2);
}

TEST_F(ConnectorSession, LogoutOnlyClearsTheFlag) {
    connectAndLogin();
    EXPECT_EQ(connector->logout(), 0);
    EXPECT_FALSE(connector->hasLogined());
    EXPECT_TRUE(connector->hasConnected());
    const auto records = logs.atLine(180);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, kInfo);
    EXPECT_EQ(records[0].text, "RPC Client logout");
    EXPECT_EQ(controller.payloads().size(), 1u);  // the login line only
}

TEST_F(ConnectorSession, DisconnectLogsAndSignalsOnce) {
    connectAndLogin();
    EXPECT_EQ(connector->disconnect(), 0);
    EXPECT_FALSE(connector->hasConnected());
    EXPECT_FALSE(connector->hasLogined());
    EXPECT_EQ(connector->disconnect(), 0);
    EXPECT_EQ(events.codes(), std::vector<int>{1});
    const auto records = logs.atLine(208);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, kInfo);
    EXPECT_EQ(records[0].text, "RPC client disconnected.");
    EXPECT_TRUE(controller.waitForNoConnection());
    EXPECT_EQ(thrownCode([&] { connector->Send(request("x")); }), -1);
}

TEST_F(ConnectorSession, DisconnectWhenIdleIsSilent) {
    EXPECT_EQ(connector->disconnect(), 0);
    EXPECT_TRUE(events.codes().empty());
    EXPECT_TRUE(logs.lines().empty());
}

TEST_F(ConnectorSession, DestructionNeitherLogsNorSignals) {
    connectAndLogin();
    const auto before = logs.lines().size();
    connector.reset();
    EXPECT_EQ(logs.lines().size(), before);
    EXPECT_TRUE(events.codes().empty());
    EXPECT_TRUE(controller.waitForNoConnection());
}

TEST_F(ConnectorSession, HandlerSettersKeepOrReplace) {
    connector->setLogHandler(nullptr);  // an empty handler keeps the current one
    connector->logout();
    EXPECT_EQ(logs.atLine(180).size(), 1u);
    EXPECT_EQ(connector->setEventHandler(nullptr), 0);
    connectAndLogin();
    EXPECT_EQ(connector->disconnect(), 0);
    EXPECT_TRUE(events.codes().empty());
}

TEST_F(ConnectorSession, RequestTimeoutIgnoresNonPositiveValues) {
    connectAndLogin();
    connector->setRequestTimeout(2000);
    EXPECT_EQ(connector->setRequestTimeout(0), 0);
    EXPECT_EQ(connector->setRequestTimeout(-5), 0);
    // Still 2000 ms: a reply sent well after 10 ms is waited for.
    controller.queueSilence();
    std::string reply;
    std::thread caller([&] { reply = connector->Send(request("slow")); });
    ASSERT_TRUE(controller.waitForRequests(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // outlast a 10 ms time-out
    controller.replyToLast({{"result", 1}});
    caller.join();
    EXPECT_EQ(reply, R"({"id":"slow","jsonrpc":"2.0","result":1})");
}

TEST_F(ConnectorSession, DefaultTimeoutIsTenMilliseconds) {
    ASSERT_EQ(connector->connect("127.0.0.1", controller.port()), 0);
    connector->forceSend(true);
    controller.queueSilence();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(thrownCode([&] { connector->Send(request("t")); }), -6);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(10));
    EXPECT_LT(elapsed, std::chrono::seconds(2));
}

TEST(RequestIds, ShapeAndSpread) {
    std::set<std::string> seen;
    for (int i = 0; i < 2000; ++i) {
        const std::string id = jsonrpccxx::get_uuid();
        ASSERT_EQ(id.size(), 18u);
        for (std::size_t pos = 0; pos < id.size(); ++pos) {
            if (pos == 8 || pos == 13) {
                EXPECT_EQ(id[pos], '-');
            } else {
                EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(id[pos]))) << id;
            }
        }
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 2000u);
}

}  // namespace
}  // namespace zorv_test
