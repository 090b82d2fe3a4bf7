#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <utility>

#include "script_reply.h"
#include "zorv_test_support.h"

namespace zorv_interface {
namespace {

using Calls = std::vector<std::pair<std::string, std::string>>;

const ScriptReplyRules kTcpRules{false, false, 345, 348, 351};
const ScriptReplyRules kLocalRules{true, true, 312, 315, 318};

// Dispatches bursts the way a connector does and records what comes out.
class ReplyDispatch : public ::testing::Test {
protected:
    ScriptReplyContext context(const ScriptReplyRules& rules) {
        return ScriptReplyContext{rules, "connector_script_tcp.cpp", logs.handler(), handlers};
    }

    void dispatch(const std::string& burst, const ScriptReplyRules& rules = kTcpRules) {
        dispatchReplies(burst, context(rules), [] { return true; });
    }

    void recordUpdates() {
        handlers.variable_update = [this](const std::string& name, const std::string& value) {
            updates.emplace_back(name, value);
        };
    }

    void recordErrors() {
        handlers.error = [this](const std::string& data) { errors.push_back(data); };
    }

    void recordErrorsWithTraceback() {
        handlers.error_traceback = [this](const std::string& data, const std::string& traceback) {
            tracebacks.emplace_back(data, traceback);
        };
    }

    std::string valueOf(const std::string& type, const std::string& value,
                        const ScriptReplyRules& rules = kTcpRules) {
        updates.clear();
        dispatch(R"({"event":"updateVariable","name":"v","type":")" + type + R"(","value":)" + value +
                     "}\r\n\r\n",
                 rules);
        return updates.size() == 1 ? updates[0].second : "<no update>";
    }

    ScriptReplyHandlers handlers;
    Calls updates;
    std::vector<std::string> errors;
    Calls tracebacks;
    zorv_test::LogRecorder logs;
};

TEST(SplitReplies, CutsBetweenObjectsSeparatedByWhiteSpaceOnly) {
    const auto pieces = splitReplies("{\"a\":1}\r\n{\"b\":2} \t{\"c\":3}{\"d\":4}\r\n\r\n");
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0], "{\"a\":1}");
    EXPECT_EQ(pieces[1], "{\"b\":2}");
    EXPECT_EQ(pieces[2], "{\"c\":3}{\"d\":4}\r\n\r\n");
}

TEST(SplitReplies, LeavesBracesInsideStringsAlone) {
    const auto pieces = splitReplies(R"({"a":"x} {y","b":"q\"} {"})" "\n{\"c\":1}\r\n\r\n");
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], R"({"a":"x} {y","b":"q\"} {"})");
    EXPECT_EQ(pieces[1], "{\"c\":1}\r\n\r\n");
}

TEST_F(ReplyDispatch, ErrorDataArrivesAsJsonText) {
    recordErrors();
    dispatch(R"({"event":"error","data":"bad \"x\""})" "\r\n\r\n");
    dispatch(R"({"event":"error"})" "\r\n\r\n");
    EXPECT_EQ(errors, (std::vector<std::string>{R"("bad \"x\"")", "null"}));
}

TEST_F(ReplyDispatch, TracebackHandlerTakesPrecedence) {
    recordErrors();
    recordErrorsWithTraceback();
    dispatch(R"({"event":"error","data":"e1"})" "\r\n" R"({"event":"error","data":2,"traceback":["l1"]})"
             "\r\n\r\n");
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(tracebacks, (Calls{{"\"e1\"", ""}, {"2", "[\"l1\"]"}}));
}

TEST_F(ReplyDispatch, ObjectsWithoutSeparationFailAsOne) {
    recordErrors();
    dispatch(R"({"event":"error","data":1})" "\n" R"({"event":"error","data":2})" "\r\n\r\n");
    EXPECT_EQ(errors, (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(logs.lines().empty());

    dispatch(R"({"event":"error","data":3}{"event":"error","data":4})" "\r\n\r\n");
    EXPECT_EQ(errors.size(), 2u);
    const auto logged = logs.lines();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].level, int(LogLevel::Warning));
    EXPECT_EQ(logged[0].line, 345);
    EXPECT_EQ(logged[0].file, "connector_script_tcp.cpp");
    EXPECT_EQ(logged[0].text.rfind(R"(Parse json string |{"event":"error","data":3}{"event")", 0), 0u);
    EXPECT_NE(logged[0].text.find("| FAILED:[json.exception.parse_error"), std::string::npos);
}

TEST_F(ReplyDispatch, TableValues) {
    recordUpdates();
    EXPECT_EQ(valueOf("table", "[1,2.5]"), "{1, 2.5}");
    EXPECT_EQ(valueOf("table", "[]"), "{}");
    EXPECT_EQ(valueOf("table", "[true,false,0.1234567]"), "{1, 0, 0.123457}");
    EXPECT_EQ(valueOf("table", R"({"name":"T","x":1})"), "T");
    EXPECT_EQ(valueOf("table", R"({"x":1})"), "");
    EXPECT_EQ(valueOf("table", R"("text")"), "");
    EXPECT_TRUE(logs.lines().empty());
    EXPECT_EQ(valueOf("table", R"([1,"x"])"), "<no update>");
    EXPECT_EQ(valueOf("table", R"({"name":5})"), "<no update>");
    const auto logged = logs.lines();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0].line, 348);
    EXPECT_EQ(logged[1].line, 348);
}

TEST_F(ReplyDispatch, ScalarValuesAndTheLocalSocketsUnquotedStrings) {
    recordUpdates();
    EXPECT_EQ(valueOf("number", "3"), "3");
    EXPECT_EQ(valueOf("boolean", "true"), "true");
    EXPECT_EQ(valueOf("nil", "5"), "nil");
    EXPECT_EQ(valueOf("userdata", R"({"b":1,"a":2})"), R"({"a":2,"b":1})");
    EXPECT_EQ(valueOf("string", R"("hi")"), R"("hi")");
    EXPECT_EQ(valueOf("string", R"("hi")", kLocalRules), "hi");
    EXPECT_EQ(valueOf("string", "7", kLocalRules), "<no update>");
    const auto logged = logs.lines();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].line, 315);
}

TEST_F(ReplyDispatch, LocalSocketDeliversOneUpdatePerBurst) {
    recordUpdates();
    recordErrors();
    const std::string burst = R"({"event":"updateVariable","name":"a","type":"number","value":1})" "\r\n"
                              R"({"event":"updateVariable","name":"b","type":"number","value":2})" "\r\n"
                              R"({"event":"error","data":"e"})" "\r\n\r\n";
    dispatch(burst);
    EXPECT_EQ(updates, (Calls{{"a", "1"}, {"b", "2"}}));
    updates.clear();
    dispatch(burst, kLocalRules);
    dispatch(burst, kLocalRules);
    EXPECT_EQ(updates, (Calls{{"a", "1"}, {"a", "1"}}));
    EXPECT_EQ(errors.size(), 3u);
}

TEST_F(ReplyDispatch, RepairsAMissingOpeningBraceOnly) {
    recordErrors();
    dispatch(R"("event":"error","data":1})" "\r\n\r\n");
    dispatch(R"(event":"error","data":2})" "\r\n\r\n");
    EXPECT_EQ(errors, (std::vector<std::string>{"1", "2"}));

    dispatch(R"( {"event":"error","data":3})" "\r\n\r\n");
    EXPECT_EQ(errors.size(), 2u);
    const auto logged = logs.lines();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].line, 345);
    EXPECT_EQ(logged[0].text.rfind(R"(Parse json string |{" {"event")", 0), 0u);
}

TEST_F(ReplyDispatch, NonStringNameIsATypeError) {
    recordUpdates();
    dispatch(R"({"event":"updateVariable","name":5,"type":"number","value":1})" "\r\n\r\n", kLocalRules);
    EXPECT_TRUE(updates.empty());
    const auto logged = logs.lines();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].line, 315);
    EXPECT_NE(logged[0].text.find("| FAILED:[json.exception.type_error"), std::string::npos);
}

TEST_F(ReplyDispatch, HandlerExceptionsOfAnyTypeAreLoggedAndTheBurstGoesOn) {
    std::vector<std::string> seen;
    handlers.error = [&seen](const std::string& data) {
        seen.push_back(data);
        if (data == "1") throw std::runtime_error("boom");
        if (data == "2") throw 42;
        if (data == "3") (void)nlohmann::json::object().at("missing");
    };
    dispatch("{\"event\":\"error\",\"data\":1}\n{\"event\":\"error\",\"data\":2}\n"
             "{\"event\":\"error\",\"data\":3}\n{\"event\":\"error\",\"data\":4}\r\n\r\n");
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "3", "4"}));
    const auto logged = logs.lines();
    ASSERT_EQ(logged.size(), 3u);
    for (const auto& line : logged) {
        EXPECT_EQ(line.line, 351);
    }
    EXPECT_EQ(logged[0].text, R"(Parse json string |{"event":"error","data":1}| FAILED:boom)");
    EXPECT_EQ(logged[1].text, R"(Parse json string |{"event":"error","data":2}| FAILED:Unknown exception)");
    EXPECT_EQ(logged[2].text.substr(logged[2].text.size() - 17), "Unknown exception");
}

TEST_F(ReplyDispatch, OtherEventsAndMissingHandlersAreIgnored) {
    dispatch(R"({"event":"updateVariable","name":"v","type":"number","value":1})" "\r\n"
             R"({"event":"error","data":1})" "\r\n" R"({"event":"started"})" "\r\n\r\n");
    recordUpdates();
    recordErrors();
    dispatch(R"({"event":"started","name":"v"})" "\r\n" R"({"event":7})" "\r\n\r\n");
    EXPECT_TRUE(updates.empty());
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(logs.lines().empty());
}

}  // namespace
}  // namespace zorv_interface
