#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>

#include "freed_probe.h"
#include "script_service.h"
#include "zorv_interface/script_client.h"
#include "zorv_test_support.h"

namespace zorv_interface {
namespace {

using script_test::FreedProbe;
using script_test::ScriptService;
using zorv_test::LogRecorder;
using zorv_test::eventually;

const std::string kBurstEnd = "\r\n\r\n";

TEST(ScriptClient, UnknownKindFailsEveryOperationHarmlessly) {
    LogRecorder logs;
    ScriptClient client(2);
    client.setLogHandler(logs.handler());
    EXPECT_EQ(client.connect("127.0.0.1", 1), -1);
    EXPECT_FALSE(client.hasConnected());
    EXPECT_EQ(client.login("", ""), -1);
    EXPECT_FALSE(client.hasLogined());
    EXPECT_EQ(client.send("main", [](ScriptWriter&) { return 0; }), -1);
    EXPECT_EQ(client.sendString("x"), -1);
    EXPECT_EQ(client.sendFile("x"), -1);
    EXPECT_EQ(client.subscribeVariableUpdate(nullptr), -1);
    EXPECT_EQ(client.subscribeScriptError(nullptr), -1);
    EXPECT_EQ(client.subscribeScriptError2(nullptr), -1);
    EXPECT_EQ(client.setEventHandler(nullptr), -1);
    EXPECT_EQ(client.logout(), -1);
    EXPECT_EQ(client.disconnect(), -1);
    EXPECT_TRUE(logs.lines().empty());
}

TEST(ScriptClient, LocalKindUsesTheServicesStandardPath) {
    if (std::filesystem::exists("/run/nelt/script.socket")) {
        GTEST_SKIP() << "a script service listens on this machine";
    }
    auto service = ScriptService::tcp();
    LogRecorder logs;
    ScriptClient client(1);
    client.setLogHandler(logs.handler());
    EXPECT_EQ(client.connect(service->host(), service->port()), -1);
    const auto failed = logs.atLine(119);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].file, "connector_script_uds.cpp");
    EXPECT_EQ(failed[0].text.rfind("Connect to /run/nelt/script.socket FAILED: ", 0), 0u);
    EXPECT_EQ(service->accepted(), 0);
}

TEST(ScriptClient, ForwardsScriptsAndReplies) {
    auto service = ScriptService::tcp();
    ScriptClient client(0);
    std::atomic<int> two_argument{0};
    std::atomic<int> one_argument{0};
    std::atomic<int> updates{0};
    client.subscribeScriptError([&](const std::string&) { ++one_argument; });
    client.subscribeScriptError2([&](const std::string& data, const std::string& traceback) {
        if (data == "\"e\"" && traceback == "\"t\"") ++two_argument;
    });
    client.subscribeVariableUpdate([&](const std::string& name, const std::string& value) {
        if (name == "v" && value == "{1, 2}") ++updates;
    });
    ASSERT_EQ(client.connect(service->host(), service->port()), 0);
    ASSERT_TRUE(service->waitForAccepted(1));
    ASSERT_EQ(client.login("user", "password"), 0);
    EXPECT_TRUE(client.hasLogined());
    EXPECT_EQ(client.send("main", [](ScriptWriter& w) {
        w.append("a = 1");
        return 0;
    }), 0);
    ASSERT_TRUE(service->waitForFrames(1));
    EXPECT_EQ(service->frames()[0].payload, "def main() \na = 1\nend\n");

    service->reply(R"({"event":"error","data":"e","traceback":"t"})" "\n"
                   R"({"event":"updateVariable","name":"v","type":"table","value":[1,2]})" + kBurstEnd);
    EXPECT_TRUE(eventually([&] { return two_argument == 1 && updates == 1; }));
    EXPECT_EQ(one_argument, 0);
}

// The service stays silent: nothing but the client's own shutdown can end its read.
TEST(ScriptClient, DestroyingAConnectedLoggedInClientReturnsPromptly) {
    auto service = ScriptService::tcp();
    LogRecorder logs;
    std::atomic<int> lost{0};
    auto client = std::make_unique<ScriptClient>(0);
    client->setLogHandler(logs.handler());
    client->setEventHandler([&](int event) {
        if (event == 1) ++lost;
    });
    ASSERT_EQ(client->connect(service->host(), service->port()), 0);
    ASSERT_EQ(client->login("", ""), 0);
    ASSERT_TRUE(logs.waitForLine(52));

    const auto start = std::chrono::steady_clock::now();
    client.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(lost, 1);
    ASSERT_EQ(logs.atLine(235).size(), 1u);
    EXPECT_EQ(logs.atLine(235)[0].text, "Script Tcp Client logout");
    ASSERT_EQ(logs.atLine(266).size(), 1u);
    EXPECT_EQ(logs.atLine(62).size(), 1u);
    EXPECT_TRUE(service->waitForClientsGone(1));
}

TEST(ScriptClient, DestroyedInsideItsOwnHandlerShutsDownAndIsFreedOnItsThread) {
    auto service = ScriptService::tcp();
    LogRecorder logs;
    FreedProbe freed;
    zorv_test::EventRecorder events;
    std::atomic<int> updates{0};
    auto client = std::make_unique<ScriptClient>(0);
    client->setLogHandler(freed.logHandler(logs));
    client->setEventHandler(events.handler());
    client->subscribeVariableUpdate([&](const std::string&, const std::string&) {
        ++updates;
        client.reset();
    });
    ASSERT_EQ(client->connect(service->host(), service->port()), 0);
    ASSERT_TRUE(service->waitForAccepted(1));
    ASSERT_EQ(client->login("", ""), 0);
    ASSERT_TRUE(logs.waitForLine(52));

    service->reply(R"({"event":"updateVariable","name":"a","type":"number","value":1})" "\n"
                   R"({"event":"updateVariable","name":"b","type":"number","value":2})" + kBurstEnd);
    ASSERT_TRUE(freed.waitFreed());
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(logs.atLine(235).size(), 1u);
    EXPECT_EQ(logs.atLine(266).size(), 1u);
    EXPECT_EQ(logs.atLine(62).size(), 1u);
    EXPECT_EQ(events.codes(), std::vector<int>{1});
    EXPECT_TRUE(service->waitForClientsGone(1));
}

}  // namespace
}  // namespace zorv_interface
