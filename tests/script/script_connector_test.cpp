#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "connector_script_tcp.h"
#include "connector_script_uds.h"
#include "freed_probe.h"
#include "script_service.h"
#include "zorv_test_support.h"

namespace zorv_interface {
namespace {

using script_test::FreedProbe;
using script_test::ScriptService;
using zorv_test::LogRecorder;
using zorv_test::eventually;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const std::string kBurstEnd = "\r\n\r\n";
// The bound tests give connect and sends, so that expiring does not take the default 10 s.
constexpr milliseconds kShortBound{300};
// Longer than any send takes that finds room in the socket buffers.
constexpr milliseconds kStalled{250};

std::string errorText(asio::error::basic_errors error) { return make_error_code(error).message(); }

// Sends scripts of the largest size on a thread of its own until one fails. Once the
// service has stopped reading, one of them waits for room in the full socket buffers.
class StalledSender {
public:
    explicit StalledSender(ConnectorScript& connector) : worker([this, &connector] { run(connector); }) {}
    ~StalledSender() {
        if (worker.joinable()) {
            worker.join();
        }
    }

    bool waitUntilStalled() {
        return eventually([this] { return !done && since != kNotYet && Clock::now() - startOfLastSend() > kStalled; },
                          std::chrono::seconds(30));
    }

    // The failing send's result; waits for it.
    int result() {
        worker.join();
        return failed_with;
    }
    Clock::duration lastSendTook() const { return last_took; }

private:
    void run(ConnectorScript& connector) {
        const std::string script(65535, 's');
        do {
            const auto start = Clock::now();
            since = start.time_since_epoch().count();
            failed_with = connector.sendString(script);
            last_took = Clock::now() - start;
        } while (failed_with == 0);
        done = true;
    }

    Clock::time_point startOfLastSend() const { return Clock::time_point(Clock::duration(since)); }

    static constexpr Clock::rep kNotYet = 0;
    std::atomic<Clock::rep> since{kNotYet};
    std::atomic<bool> done{false};
    int failed_with = 0;
    Clock::duration last_took{};
    std::thread worker;
};

// Where the two connectors differ, as the tests see it.
struct TcpKind {
    using Connector = ConnectorScriptTcp;
    static std::unique_ptr<ScriptService> service(const std::string&) { return ScriptService::tcp(); }
    static constexpr const char* source = "connector_script_tcp.cpp";
    static constexpr int already_connected = 104, connect_failed = 123, login = 221, logout = 235;
    static constexpr int disconnected = 266, send_not_logined = 518, string_not_logined = 479;
    static constexpr int file_not_logined = 427, send_write_failed = 534, string_write_failed = 499;
    static constexpr int string_terminator = 485, file_terminator = 441, file_unreadable = 432;
    static constexpr const char* connect_failed_text = "SCRIPT client connected FAILED: ";
    static constexpr const char* write_failed_text = "SCRIPT Tcp client write FAILED: ";
    static constexpr bool one_update_per_burst = false;
};

struct UdsKind {
    using Connector = ConnectorScriptUds;
    static std::unique_ptr<ScriptService> service(const std::string& folder) {
        return ScriptService::local(folder + "/script.socket");
    }
    static constexpr const char* source = "connector_script_uds.cpp";
    static constexpr int already_connected = 103, connect_failed = 119, login = 188, logout = 202;
    static constexpr int disconnected = 232, send_not_logined = 477, string_not_logined = 438;
    static constexpr int file_not_logined = 387, send_write_failed = 492, string_write_failed = 458;
    static constexpr int string_terminator = 444, file_terminator = 401, file_unreadable = 392;
    static constexpr const char* connect_failed_text = "Connect to /run/nelt/script.socket FAILED: ";
    static constexpr const char* write_failed_text = "SCRIPT Uds client write FAILED: ";
    static constexpr bool one_update_per_burst = true;
};

template <class Kind>
class ScriptConnector : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zorv_script_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        service = Kind::service(folder);
        makeConnector(kSocketIoTimeout);
    }

    void makeConnector(milliseconds io_timeout) {
        connector = std::make_unique<typename Kind::Connector>(io_timeout);
        connector->setLogHandler(logs.handler());
        connector->setEventHandler(events.handler());
    }

    void TearDown() override {
        connector.reset();
        service.reset();
        std::filesystem::remove_all(folder);
    }

    // Returns once the service has accepted, so that replies reach this connection.
    int connect(ConnectorScript& target) {
        const int before = service->accepted();
        const int result = target.connect(service->host(), service->port());
        if (result == 0) {
            EXPECT_TRUE(service->waitForAccepted(before + 1));
        }
        return result;
    }
    int connect() { return connect(*connector); }

    // Expects target to log into logs.
    void connectAndLogin(ConnectorScript& target) {
        ASSERT_EQ(connect(target), 0);
        ASSERT_EQ(target.login("user", "password"), 0);
        ASSERT_TRUE(logs.waitForLine(52));
    }
    void connectAndLogin() { connectAndLogin(*connector); }

    std::string writeFile(const std::string& name, const std::string& content) {
        const std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    std::string lastText(int line) {
        const auto found = logs.atLine(line);
        return found.empty() ? "<not logged>" : found.back().text;
    }

    std::string folder;
    std::unique_ptr<ScriptService> service;
    LogRecorder logs;
    zorv_test::EventRecorder events;
    std::unique_ptr<typename Kind::Connector> connector;
};

using Kinds = ::testing::Types<TcpKind, UdsKind>;
TYPED_TEST_SUITE(ScriptConnector, Kinds);

TYPED_TEST(ScriptConnector, ConnectsOnceAndRefusesToReconnectWhileAlive) {
    EXPECT_FALSE(this->connector->hasConnected());
    ASSERT_EQ(this->connect(), 0);
    EXPECT_TRUE(this->connector->hasConnected());
    EXPECT_EQ(this->connect(), 1);
    const auto warnings = this->logs.atLine(TypeParam::already_connected);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].level, int(LogLevel::Warning));
    EXPECT_EQ(warnings[0].file, TypeParam::source);
    EXPECT_EQ(warnings[0].text, "SCRIPT client already connected");
    ASSERT_TRUE(this->service->waitForAccepted(1));
    EXPECT_EQ(this->service->accepted(), 1);
}

TYPED_TEST(ScriptConnector, FailedConnectIsLoggedAndLeavesTheConnectorUnconnected) {
    const std::string host = this->service->host();
    const int port = this->service->port();
    this->service.reset();
    EXPECT_EQ(this->connector->connect(host, port), -1);
    EXPECT_FALSE(this->connector->hasConnected());
    const auto failed = this->logs.atLine(TypeParam::connect_failed);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].level, int(LogLevel::Error));
    EXPECT_EQ(failed[0].text.rfind(TypeParam::connect_failed_text, 0), 0u) << failed[0].text;
    EXPECT_EQ(this->connector->login("", ""), -1);
}

TYPED_TEST(ScriptConnector, NothingIsSentBeforeLogin) {
    EXPECT_EQ(this->connector->login("u", "p"), -1);
    EXPECT_TRUE(this->logs.lines().empty());
    ASSERT_EQ(this->connect(), 0);
    EXPECT_EQ(this->connector->send("main", [](ScriptWriter&) { return 0; }), -1);
    EXPECT_EQ(this->connector->sendString("x"), -1);
    EXPECT_EQ(this->connector->sendFile(this->writeFile("s.lua", "x")), -1);
    EXPECT_EQ(this->logs.atLine(TypeParam::send_not_logined).size(), 1u);
    EXPECT_EQ(this->logs.atLine(TypeParam::string_not_logined).size(), 1u);
    EXPECT_EQ(this->logs.atLine(TypeParam::file_not_logined).size(), 1u);

    ASSERT_EQ(this->connector->login("u", "p"), 0);
    ASSERT_EQ(this->connector->sendString("y"), 0);
    ASSERT_TRUE(this->service->waitForFrames(1));
    EXPECT_EQ(this->service->bytes(), std::string("SOF\0\0\1y", 7));
}

TYPED_TEST(ScriptConnector, SendsEachScriptAsOneType0Frame) {
    this->connectAndLogin();
    EXPECT_EQ(this->connector->send("main", [](ScriptWriter& w) {
        w.append("x = 1");
        return 7;
    }), 0);
    EXPECT_EQ(this->connector->sendString("a" + kBurstEnd), 0);
    EXPECT_EQ(this->connector->sendFile(this->writeFile("s.lua", "line1\nline2\n")), 0);
    EXPECT_EQ(this->connector->sendFile(this->writeFile("empty.lua", "")), 0);
    ASSERT_TRUE(this->service->waitForFrames(4));
    const auto frames = this->service->frames();
    EXPECT_EQ(frames[0].payload, "def main() \nx = 1\nend\n");
    EXPECT_EQ(frames[1].payload, "a" + kBurstEnd);
    EXPECT_EQ(frames[2].payload, "line1\nline2\n");
    EXPECT_EQ(frames[3].payload, "");
    for (const auto& frame : frames) {
        EXPECT_EQ(frame.type, 0);
    }
    EXPECT_EQ(this->service->bytes().substr(0, 6), std::string("SOF\0\0\x16", 6));
}

TYPED_TEST(ScriptConnector, TerminatorOnlyAllowedAsTheLastFourBytes) {
    this->connectAndLogin();
    EXPECT_EQ(this->connector->sendString("a" + kBurstEnd + "b"), -1);
    EXPECT_EQ(this->connector->sendString("a" + kBurstEnd + "\r\n"), -1);
    EXPECT_EQ(this->connector->sendFile(this->writeFile("t.lua", "ab" + kBurstEnd + "c")), -1);
    const auto refused = this->logs.atLine(TypeParam::string_terminator);
    ASSERT_EQ(refused.size(), 2u);
    EXPECT_EQ(refused[0].level, int(LogLevel::Error));
    EXPECT_EQ(refused[0].text, "Script send fail! The script contains '\r\n\r\n' at index [1]\n");
    EXPECT_EQ(refused[1].text, refused[0].text);
    EXPECT_EQ(this->lastText(TypeParam::file_terminator),
              "Script send fail! The script contains '\r\n\r\n' at index [2]\n");

    EXPECT_EQ(this->connector->sendString(kBurstEnd), 0);
    ASSERT_TRUE(this->service->waitForFrames(1));
    EXPECT_EQ(this->service->frames().size(), 1u);
}

TYPED_TEST(ScriptConnector, UnreadableFileIsRefusedWithoutSending) {
    this->connectAndLogin();
    const std::string missing = this->folder + "/missing.lua";
    EXPECT_EQ(this->connector->sendFile(missing), -1);
    EXPECT_EQ(this->connector->sendFile(this->folder), -1);
    const auto refused = this->logs.atLine(TypeParam::file_unreadable);
    ASSERT_EQ(refused.size(), 2u);
    EXPECT_EQ(refused[0].level, int(LogLevel::Error));
    EXPECT_NE(refused[0].text.find(missing), std::string::npos);

    EXPECT_EQ(this->connector->sendString("ok"), 0);
    ASSERT_TRUE(this->service->waitForFrames(1));
    EXPECT_EQ(this->service->frames()[0].payload, "ok");
}

TYPED_TEST(ScriptConnector, ScriptTooLongForAFrameIsRefusedAndTheConnectionStays) {
    this->connectAndLogin();
    EXPECT_EQ(this->connector->sendString(std::string(65536, 'x')), -1);
    EXPECT_EQ(this->connector->send("big", [](ScriptWriter& w) {
        w.append(std::string(65536, 'y'));
        return 0;
    }), -1);
    EXPECT_EQ(this->logs.atLine(TypeParam::string_write_failed).size(), 1u);
    EXPECT_EQ(this->logs.atLine(TypeParam::send_write_failed).size(), 1u);
    EXPECT_TRUE(this->events.codes().empty());

    EXPECT_EQ(this->connector->sendString(std::string(65535, 'z')), 0);
    ASSERT_TRUE(this->service->waitForFrames(1));
    EXPECT_EQ(this->service->frames()[0].payload.size(), 65535u);
    EXPECT_EQ(this->service->bytes().size(), 65535u + 6);
}

TYPED_TEST(ScriptConnector, DeliversRepliesWrittenAtOnceOrInPieces) {
    std::mutex mutex;
    std::vector<std::string> seen;
    this->connector->subscribeScriptError([&](const std::string& data) {
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back(data);
    });
    auto count = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return seen.size();
    };
    this->connectAndLogin();
    this->service->reply(R"({"event":"error","data":1})" "\r\n" R"({"event":"error","data":2})" + kBurstEnd);
    ASSERT_TRUE(eventually([&] { return count() == 2; }));
    this->service->replyInParts({R"({"event":"err)", R"(or","data":3})" "\r\n\r", "\n"});
    ASSERT_TRUE(eventually([&] { return count() == 3; }));
    this->service->replyInParts({"{\"", R"(event":"error","data":4})" + kBurstEnd});
    ASSERT_TRUE(eventually([&] { return count() == 4; }));
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "3", "4"}));
}

TYPED_TEST(ScriptConnector, VariableUpdatesFollowTheConnectorsRules) {
    std::mutex mutex;
    std::vector<std::string> seen;
    this->connector->subscribeVariableUpdate([&](const std::string& name, const std::string& value) {
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back(name + "=" + value);
    });
    this->connectAndLogin();
    auto last = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return seen.empty() ? std::string() : seen.back();
    };
    this->service->reply(R"({"event":"updateVariable","name":"a","type":"string","value":"s"})" "\n"
                         R"({"event":"updateVariable","name":"b","type":"table","value":[1,2.5]})" "\n"
                         R"({"event":"updateVariable","name":"z","type":"number","value":0})" + kBurstEnd);
    ASSERT_TRUE(eventually([&] { return last() == "z=0" || last() == "a=s"; }));
    this->service->reply(R"({"event":"updateVariable","name":"c","type":"nil","value":5})" + kBurstEnd);
    ASSERT_TRUE(eventually([&] { return last() == "c=nil"; }));
    std::lock_guard<std::mutex> lock(mutex);
    if (TypeParam::one_update_per_burst) {
        EXPECT_EQ(seen, (std::vector<std::string>{"a=s", "c=nil"}));
    } else {
        EXPECT_EQ(seen, (std::vector<std::string>{"a=\"s\"", "b={1, 2.5}", "z=0", "c=nil"}));
    }
}

TYPED_TEST(ScriptConnector, LivenessProbeLeavesWaitingRepliesInPlace) {
    std::atomic<int> errors{0};
    this->connector->subscribeScriptError([&](const std::string& data) {
        if (data == R"("whole")") ++errors;
    });
    ASSERT_EQ(this->connect(), 0);
    this->service->reply(R"({"event":"error","data":"whole"})" + kBurstEnd);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(this->connector->hasConnected());
    }
    ASSERT_EQ(this->connector->login("", ""), 0);
    ASSERT_TRUE(eventually([&] { return errors == 1; }));
    EXPECT_TRUE(this->logs.atLine(345).empty() && this->logs.atLine(312).empty());
}

TYPED_TEST(ScriptConnector, ServiceClosingTheStreamIsAConnectionLoss) {
    this->connector->setEventHandler([this](int event) {
        this->events.record(event);
        throw std::runtime_error("an application fault on the receiving thread");
    });
    this->connectAndLogin();
    this->service->dropClient();
    ASSERT_TRUE(eventually([&] { return this->events.codes() == std::vector<int>{1}; }));
    EXPECT_EQ(this->lastText(TypeParam::disconnected), "SCRIPT Tcp client disconnected.");
    EXPECT_TRUE(this->logs.waitForLine(62));
    EXPECT_FALSE(this->connector->hasLogined());
    EXPECT_FALSE(this->connector->hasConnected());
    EXPECT_EQ(this->logs.atLine(52).size(), 1u);
    EXPECT_EQ(this->logs.atLine(62).size(), 1u);

    ASSERT_EQ(this->connect(), 0);
    ASSERT_EQ(this->connector->login("", ""), 0);
    EXPECT_TRUE(eventually([&] { return this->logs.atLine(52).size() == 2; }));
}

TYPED_TEST(ScriptConnector, SendingToAVanishedServiceFailsAndReportsTheLossOnce) {
    this->connectAndLogin();
    this->service->dropClient();
    EXPECT_TRUE(eventually([&] { return this->connector->sendString("x") == -1; }));
    EXPECT_TRUE(eventually([&] { return !this->events.codes().empty(); }));
    EXPECT_TRUE(this->logs.waitForLine(62));
    EXPECT_EQ(this->events.codes(), std::vector<int>{1});
    EXPECT_FALSE(this->connector->hasConnected());
}

TYPED_TEST(ScriptConnector, ProbeReportsALossNoticedWhileLoggedOut) {
    ASSERT_EQ(this->connect(), 0);
    ASSERT_TRUE(this->service->waitForAccepted(1));
    this->service->dropClient();
    EXPECT_TRUE(eventually([&] { return !this->connector->hasConnected(); }));
    EXPECT_EQ(this->events.codes(), std::vector<int>{1});
    EXPECT_EQ(this->connector->disconnect(), 0);
    EXPECT_EQ(this->events.codes(), std::vector<int>{1});
}

TYPED_TEST(ScriptConnector, DisconnectReportsTheEventOnlyWhenConnected) {
    EXPECT_EQ(this->connector->disconnect(), 0);
    EXPECT_TRUE(this->events.codes().empty());
    this->connectAndLogin();
    EXPECT_EQ(this->connector->disconnect(), 0);
    EXPECT_EQ(this->events.codes(), std::vector<int>{1});
    EXPECT_FALSE(this->connector->hasLogined());
    EXPECT_EQ(this->lastText(TypeParam::disconnected), "SCRIPT Tcp client disconnected.");
    EXPECT_TRUE(this->service->waitForClientsGone(1));
    EXPECT_TRUE(this->logs.waitForLine(62));
    EXPECT_EQ(this->connector->sendString("x"), -1);
}

TYPED_TEST(ScriptConnector, SecondLoginWhilePollingReturnsAtOnce) {
    this->connectAndLogin();
    const auto start = Clock::now();
    EXPECT_EQ(this->connector->login("", ""), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(this->logs.atLine(TypeParam::login).size(), 2u);

    EXPECT_EQ(this->connector->logout(), 0);
    EXPECT_EQ(this->lastText(TypeParam::logout), TypeParam::logout == 235 ? "Script Tcp Client logout"
                                                                           : "Script Uds Client logout");
    EXPECT_FALSE(this->connector->hasLogined());
    EXPECT_EQ(this->connector->login("", ""), 0);
    EXPECT_TRUE(this->connector->hasLogined());
    EXPECT_EQ(this->connector->sendString("after"), 0);
    EXPECT_TRUE(this->service->waitForFrames(1));
}

TYPED_TEST(ScriptConnector, DestroyingALoggedInConnectorEndsItsThreadPromptly) {
    this->connectAndLogin();
    const auto start = Clock::now();
    this->connector.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(this->service->waitForClientsGone(1));
}

TYPED_TEST(ScriptConnector, ManyRoundsWhileHandlersAreReplaced) {
    std::atomic<int> delivered{0};
    std::atomic<bool> done{false};
    const auto count = [&](const std::string&) { ++delivered; };
    // Installed before the replacer runs, which may not be scheduled before the first replies.
    this->connector->subscribeScriptError(count);
    std::thread replacer([&] {
        while (!done) {
            this->connector->subscribeScriptError(count);
            this->connector->subscribeVariableUpdate([](const std::string&, const std::string&) {});
            this->connector->setLogHandler(this->logs.handler());
            std::this_thread::yield();
        }
    });
    for (int round = 1; round <= 200; ++round) {
        ASSERT_EQ(this->connect(), 0) << round;
        ASSERT_EQ(this->connector->login("", ""), 0) << round;
        this->service->reply(R"({"event":"error","data":1})" + kBurstEnd);
        if (round % 20 == 0) {
            ASSERT_TRUE(eventually([&] { return delivered >= round / 20; })) << round;
        }
        ASSERT_EQ(this->connector->disconnect(), 0) << round;
    }
    done = true;
    replacer.join();
    // The installed handler refers to this frame; join the receiving thread while it lives.
    this->connector.reset();
    EXPECT_EQ(this->events.codes().size(), 200u);
}

TYPED_TEST(ScriptConnector, SendToAServiceThatStopsReadingExpiresAndClosesTheConnection) {
    this->makeConnector(kShortBound);
    this->connectAndLogin();
    this->service->stopReading();
    StalledSender sender(*this->connector);
    EXPECT_EQ(sender.result(), -1);
    EXPECT_GE(sender.lastSendTook(), kShortBound);
    EXPECT_LT(sender.lastSendTook(), std::chrono::seconds(5));
    const auto failed = this->logs.atLine(TypeParam::string_write_failed);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].level, int(LogLevel::Error));
    EXPECT_EQ(failed[0].text, TypeParam::write_failed_text + errorText(asio::error::timed_out));
    EXPECT_EQ(this->events.codes(), std::vector<int>{1});
    EXPECT_FALSE(this->connector->hasConnected());
    EXPECT_TRUE(this->logs.waitForLine(62));
    this->service->resumeReading();
    EXPECT_TRUE(this->service->waitForClientsGone(1));
}

TYPED_TEST(ScriptConnector, WhileASendWaitsTheProbeAnswersAndDisconnectEndsTheWait) {
    this->connectAndLogin();
    this->service->stopReading();
    StalledSender sender(*this->connector);
    ASSERT_TRUE(sender.waitUntilStalled());
    const auto probed = Clock::now();
    EXPECT_TRUE(this->connector->hasConnected());
    EXPECT_LT(Clock::now() - probed, std::chrono::seconds(1));

    const auto disconnecting = Clock::now();
    EXPECT_EQ(this->connector->disconnect(), 0);
    EXPECT_EQ(sender.result(), -1);
    EXPECT_LT(Clock::now() - disconnecting, std::chrono::seconds(1));
    EXPECT_EQ(this->lastText(TypeParam::string_write_failed),
              TypeParam::write_failed_text + errorText(asio::error::operation_aborted));
    EXPECT_EQ(this->lastText(TypeParam::disconnected), "SCRIPT Tcp client disconnected.");
    EXPECT_EQ(this->events.codes(), std::vector<int>{1});
    this->service->resumeReading();
    EXPECT_TRUE(this->service->waitForClientsGone(1));
}

// Destroyed as a client destroys it, through its last shared owner.
TYPED_TEST(ScriptConnector, DestroyingTheConnectorEndsAWaitingSend) {
    std::shared_ptr<ConnectorScript> owner = makeSharedConnector<typename TypeParam::Connector>();
    owner->setLogHandler(this->logs.handler());
    this->connectAndLogin(*owner);
    this->service->stopReading();
    StalledSender sender(*owner);
    ASSERT_TRUE(sender.waitUntilStalled());
    const auto destroying = Clock::now();
    owner.reset();
    EXPECT_EQ(sender.result(), -1);
    EXPECT_LT(Clock::now() - destroying, std::chrono::seconds(1));
    EXPECT_EQ(this->lastText(TypeParam::string_write_failed),
              TypeParam::write_failed_text + errorText(asio::error::operation_aborted));
}

// As a handler destroying its client does: the connector is freed on its own thread
// once the handler has returned, and the rest of the burst reaches no handler.
TYPED_TEST(ScriptConnector, LastOwnerLettingGoInsideAHandlerLeavesTheFreeingToItsThread) {
    enum class Inside { VariableUpdate, ScriptError, Event };
    for (const Inside inside : {Inside::VariableUpdate, Inside::ScriptError, Inside::Event}) {
        SCOPED_TRACE(static_cast<int>(inside));
        this->logs.clear();
        FreedProbe freed;
        std::atomic<int> updates{0};
        std::atomic<int> errors{0};
        std::atomic<int> events{0};
        std::shared_ptr<ConnectorScript> owner = makeSharedConnector<typename TypeParam::Connector>();
        const auto called = [&](std::atomic<int>& count, Inside here) {
            ++count;
            if (here == inside) {
                owner.reset();
            }
        };
        owner->setLogHandler(freed.logHandler(this->logs));
        owner->subscribeVariableUpdate([&](const std::string&, const std::string&) {
            called(updates, Inside::VariableUpdate);
        });
        owner->subscribeScriptError([&](const std::string&) { called(errors, Inside::ScriptError); });
        owner->setEventHandler([&](int) { called(events, Inside::Event); });
        this->connectAndLogin(*owner);

        const std::string update = R"({"event":"updateVariable","name":"a","type":"number","value":1})";
        const std::string error = R"({"event":"error","data":1})";
        if (inside == Inside::VariableUpdate) {
            this->service->reply(update + "\n" + error + kBurstEnd);
        } else if (inside == Inside::ScriptError) {
            this->service->reply(error + "\n" + error + kBurstEnd);
        } else {
            this->service->dropClient();
        }
        ASSERT_TRUE(freed.waitFreed());
        EXPECT_EQ(updates, inside == Inside::VariableUpdate ? 1 : 0);
        EXPECT_EQ(errors, inside == Inside::ScriptError ? 1 : 0);
        EXPECT_EQ(events, inside == Inside::Event ? 1 : 0);
        EXPECT_EQ(this->logs.atLine(62).size(), 1u);
    }
}

TEST(ScriptConnectorTcp, UnansweredConnectGivesUpAtTheBound) {
    EXPECT_EQ(ConnectorScriptTcp().ioTimeout(), std::chrono::seconds(10));
    EXPECT_EQ(ConnectorScriptUds().ioTimeout(), std::chrono::seconds(10));
    zorv_test::UnansweredListener unanswered;
    if (!unanswered.ready()) {
        GTEST_SKIP() << "the listener's backlog could not be filled";
    }
    LogRecorder logs;
    ConnectorScriptTcp connector(kShortBound);
    connector.setLogHandler(logs.handler());
    const auto start = Clock::now();
    EXPECT_EQ(connector.connect("127.0.0.1", unanswered.port()), -1);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, kShortBound);
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_FALSE(connector.hasConnected());
    const auto failed = logs.atLine(123);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].level, int(LogLevel::Error));
    EXPECT_EQ(failed[0].text, "SCRIPT client connected FAILED: " + errorText(asio::error::timed_out));
}

}  // namespace
}  // namespace zorv_interface
