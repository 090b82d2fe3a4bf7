#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "connector_asio.h"
#include "test_controller.h"
#include "zorv_interface/zorv_exception.h"

namespace zorv_test {

struct LogRecord {
    int level;
    std::string file;
    int line;
    std::string text;
};

// Collects log records from any thread.
class LogCapture {
public:
    zorv_interface::LogHandler handler() {
        return [this](int level, const char* file, int line, const std::string& text) {
            std::lock_guard<std::mutex> lock(mutex);
            records.push_back({level, file, line, text});
        };
    }
    std::vector<LogRecord> all() const {
        std::lock_guard<std::mutex> lock(mutex);
        return records;
    }
    std::vector<LogRecord> atLine(int line) const {
        std::vector<LogRecord> found;
        for (const auto& record : all()) {
            if (record.line == line) {
                found.push_back(record);
            }
        }
        return found;
    }
    bool waitForLine(int line) const {
        return TestController::waitFor([&] { return !atLine(line).empty(); });
    }

private:
    mutable std::mutex mutex;
    std::vector<LogRecord> records;
};

// Runs fn and returns the ZorvException code it threw (0 when it threw none).
inline int thrownCode(const std::function<void()>& fn, std::string* message = nullptr) {
    try {
        fn();
    } catch (const zorv_interface::ZorvException& error) {
        if (message != nullptr) {
            *message = error.what();
        }
        return error.code();
    }
    return 0;
}

// A connector wired to a fresh test controller, with logs and events captured.
class ConnectorTest : public ::testing::Test {
protected:
    static constexpr int kGenerousTimeoutMs = 5000;

    ConnectorTest() {
        connector->setLogHandler(logs.handler());
        connector->setEventHandler([this](int code) {
            std::lock_guard<std::mutex> lock(eventMutex);
            events.push_back(code);
        });
    }

    std::vector<int> seenEvents() {
        std::lock_guard<std::mutex> lock(eventMutex);
        return events;
    }

    void connectAndLogin() {
        ASSERT_EQ(connector->connect("127.0.0.1", controller.port()), 0);
        connector->setRequestTimeout(kGenerousTimeoutMs);
        ASSERT_EQ(connector->login("admin", ""), 0);
    }

    static std::string request(const std::string& id, const std::string& method = "ZorvInterface.ping") {
        return nlohmann::json{{"id", id}, {"jsonrpc", "2.0"}, {"method", method}}.dump();
    }

    TestController controller;
    LogCapture logs;
    std::shared_ptr<zorv_interface::ConnectorAsio> connector = std::make_shared<zorv_interface::ConnectorAsio>();
    std::mutex eventMutex;
    std::vector<int> events;
};

}  // namespace zorv_test
