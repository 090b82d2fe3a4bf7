#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "rtde_test_server.h"
#include "zorv_interface/log.h"

namespace rtde_test {

// Collects log lines from any thread.
class LogRecorder {
public:
    struct Line {
        int level;
        std::string file;
        int line;
        std::string text;
    };

    zorv_interface::LogHandler handler() {
        return [this](int level, const char* file, int line, const std::string& text) {
            std::lock_guard<std::mutex> guard(mutex_);
            lines_.push_back({level, file, line, text});
        };
    }

    std::vector<Line> lines() {
        std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }

    // Lines whose text starts with prefix.
    std::vector<Line> find(const std::string& prefix) {
        std::vector<Line> found;
        for (const auto& line : lines()) {
            if (line.text.compare(0, prefix.size(), prefix) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }

    std::size_t count(const std::string& prefix) { return find(prefix).size(); }

    bool waitFor(const std::string& prefix, std::size_t times = 1) {
        return RtdeTestServer::waitUntil([&] { return count(prefix) >= times; });
    }

    void clear() {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<Line> lines_;
};

}  // namespace rtde_test
