#pragma once

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <utility>

#include "zorv_test_support.h"

namespace script_test {

// Tells when a connector has been freed: its log handler holds the probe's only token,
// and every copy of that handler goes with the connector.
class FreedProbe {
public:
    FreedProbe() : token(std::make_shared<Token>()), gone(token->gone.get_future()) {}

    // Records into logs; to be installed on the watched connector only.
    std::function<void(int, const char*, int, const std::string&)> logHandler(zorv_test::LogRecorder& logs) {
        return [record = logs.handler(), held = std::move(token)](int level, const char* file, int line,
                                                                   const std::string& text) {
            record(level, file, line, text);
        };
    }

    bool waitFreed() { return gone.wait_for(std::chrono::seconds(5)) == std::future_status::ready; }

private:
    struct Token {
        std::promise<void> gone;
        ~Token() { gone.set_value(); }
    };

    std::shared_ptr<Token> token;
    std::future<void> gone;
};

}  // namespace script_test
