#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zorv_interface/log.h"
#include "zorv_interface/zorv_exception.h"
#include "zorv_test_support.h"

using namespace zorv_interface;

TEST(Log, OneStatementIsOneHandlerCall) {
    zorv_test::LogRecorder r;
    Log(r.handler()).Get(LogLevel::Error, "rpc", 7) << "a" << 5;
    const auto records = r.lines();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, 1);
    EXPECT_EQ(records[0].file, "rpc");
    EXPECT_EQ(records[0].line, 7);
    EXPECT_EQ(records[0].text, "a5");
}

TEST(Log, EndlFlushesOnceWithTheNewline) {
    zorv_test::LogRecorder r;
    Log(r.handler()).Get(LogLevel::Info, "x", 1) << "done" << std::endl;
    EXPECT_EQ(r.texts(), std::vector<std::string>{"done\n"});
}

TEST(Log, NothingWrittenMeansNoCall) {
    zorv_test::LogRecorder r;
    { Log log(r.handler()); log.Get(LogLevel::Debug, "x", 1); }
    EXPECT_TRUE(r.lines().empty());
}

TEST(Log, ThrowingHandlerDoesNotLeaveTheStatement) {
    int calls = 0;
    LogHandler thrower = [&](int, const char*, int, const std::string&) {
        ++calls;
        throw std::runtime_error("handler");
    };
    EXPECT_NO_THROW(Log(thrower).Get(LogLevel::Error, "x", 1) << "first" << std::endl << "dropped");
    EXPECT_EQ(calls, 1);
}

TEST(DefaultHandler, EmptyHandlerFallsBackAndPrintsTheFormat) {
    testing::internal::CaptureStderr();
    Log(LogHandler{}).Get(LogLevel::Warning, "connector_asio.cpp", 42) << "hello";
    GetDefaultLogHandler()(4, "f", 1, "x");
    GetDefaultLogHandler()(4, "f", 1, "x");
    Log(LogHandler{}).Get(LogLevel::Info, "f", 2) << "line" << std::endl;
    GetDefaultLogHandler()(99, "f", 3, "odd");
    GetDefaultLogHandler()(-1, "f", 4, "neg");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "[Warning] [connector_asio.cpp:42] hello\n"
              "[Debug] [f:1] x\n"
              "[Debug] [f:1] x\n"
              "[Info] [f:2] line\n\n"
              "[Unknown] [f:3] odd\n"
              "[Unknown] [f:4] neg\n");
}

TEST(DefaultHandler, LevelNames) {
    testing::internal::CaptureStderr();
    for (int level = 0; level <= 5; ++level) GetDefaultLogHandler()(level, "f", level, "m");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "[Critical] [f:0] m\n[Error] [f:1] m\n[Warning] [f:2] m\n"
              "[Info] [f:3] m\n[Debug] [f:4] m\n[BackTrace] [f:5] m\n");
}

TEST(FileName, OnlySlashSeparates) {
    EXPECT_STREQ(file_name("/src/zorv/connector_asio.cpp"), "connector_asio.cpp");
    EXPECT_STREQ(file_name("a/b/"), "");
    EXPECT_STREQ(file_name("rpc.cpp"), "rpc.cpp");
    EXPECT_STREQ(file_name("C:\\src\\rpc.cpp"), "C:\\src\\rpc.cpp");
    EXPECT_TRUE(str_slant("a/b"));
    EXPECT_FALSE(str_slant("a\\b"));
    const char* text = "abc";
    EXPECT_EQ(str_end(text), text + 3);
}

TEST(ZorvException, CodeAndJoinedMessage) {
    const ZorvException e(-9, "ZorvInterface.getRunningInfo", "cause text");
    EXPECT_EQ(e.code(), -9);
    EXPECT_STREQ(e.what(), "ZorvInterface.getRunningInfo-cause text");
    EXPECT_STREQ(ZorvException(0, "", "").what(), "-");
    try {
        throw ZorvException(-1, "RPC client has not connected");
    } catch (const std::exception& caught) {
        EXPECT_STREQ(caught.what(), "RPC client has not connected");
        const ZorvException copy(dynamic_cast<const ZorvException&>(caught));
        EXPECT_EQ(copy.code(), -1);
        EXPECT_STREQ(copy.what(), caught.what());
    }
}
