#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "connector_asio.h"
#include "test_controller.h"
#include "zorv_interface/zorv_exception.h"
#include "zorv_test_support.h"

namespace zorv_test {

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
        connector->setEventHandler(events.handler());
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
    LogRecorder logs;
    EventRecorder events;
    std::shared_ptr<zorv_interface::ConnectorAsio> connector = std::make_shared<zorv_interface::ConnectorAsio>();
};

}  // namespace zorv_test
