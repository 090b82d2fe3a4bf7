#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace script_test {

struct ReceivedFrame {
    char type;
    std::string payload;
};

// A script service on a real socket (TCP on 127.0.0.1 or a local stream socket):
// it records the bytes and frames the client sends and writes scripted replies.
// One client at a time; a new connection replaces the previous one.
class ScriptService {
public:
    static std::unique_ptr<ScriptService> tcp();
    static std::unique_ptr<ScriptService> local(const std::string& path);
    virtual ~ScriptService() = default;

    // What the client's connect is given.
    virtual std::string host() const = 0;
    virtual int port() const = 0;

    // Writes bytes to the current client in one write; returns once written.
    virtual void reply(const std::string& bytes) = 0;
    // One write per part, pausing between them so that they arrive as separate reads.
    virtual void replyInParts(const std::vector<std::string>& parts) = 0;
    // Closes the current client's connection from the service's side.
    virtual void dropClient() = 0;
    // Leaves what the client sends in the socket buffers until reading resumes.
    virtual void stopReading() = 0;
    virtual void resumeReading() = 0;

    std::vector<ReceivedFrame> frames() const;
    std::string bytes() const;
    int accepted() const;
    int clientsGone() const;

    // Wait up to five seconds for the service to reach the state.
    bool waitForFrames(std::size_t count) const;
    bool waitForAccepted(int count) const;
    bool waitForClientsGone(int count) const;

protected:
    void recordAccepted();
    void recordBytes(const char* data, std::size_t size);
    void recordClientGone();

private:
    bool waitFor(const std::function<bool()>& done) const;
    void splitFrames();

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::string received;
    std::string unframed;
    std::vector<ReceivedFrame> received_frames;
    int accepted_count = 0;
    int gone_count = 0;
};

}  // namespace script_test
