#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "test_controller.h"
#include "zorv_interface/log.h"
#include "zorv_interface/rpc_client.h"
#include "zorv_interface/zorv_exception.h"
#include "zorv_test_support.h"

namespace zorv_interface {

// The status code and text of the ZorvException that call throws.
template <typename Call>
std::pair<int, std::string> failureOf(Call call) {
    try {
        call();
    } catch (const ZorvException& e) {
        return {e.code(), e.what()};
    }
    ADD_FAILURE() << "no ZorvException";
    return {0, ""};
}

// A client connected and logged in to a fresh test controller, with a time-out
// generous enough that no reply is late on a loaded machine.
class ConnectedClientTest : public testing::Test {
protected:
    void SetUp() override {
        client.setLogHandler(log.handler());
        client.setRequestTimeout(5000);
        ASSERT_EQ(client.connect("127.0.0.1", controller.port()), 0);
        ASSERT_EQ(client.login("admin", ""), 0);
    }

    zorv_test::TestController controller;
    zorv_test::LogRecorder log;
    RpcClient client;
};

}  // namespace zorv_interface
