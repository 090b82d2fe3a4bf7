#pragma once

// A stand-in for the vehicle controller's RPC service: a real TCP server on
// 127.0.0.1 that speaks the wire protocol (login line, type-1 "SOF" frames carrying
// JSON-RPC text), lets a test script its replies and hands back what it received.
//
// Usage:
//   zorv_test::TestController controller;                 // listens at once, free port
//   controller.queueResult(42);                            // reply to the next request
//   client.connect("127.0.0.1", controller.port());
//   ...
//   controller.requests();                                 // exact payloads received
//
// Every request is answered, in this order of preference, by
//   1. the next scripted step (queue*), consumed by that request;
//   2. the standing reply of its method (setStanding, useCannedReplies);
//   3. {"id":<request id>,"jsonrpc":"2.0","result":0}.
// Reply bodies given as JSON get "id" (the request's, echoed; null when the request has
// none) and "jsonrpc":"2.0" added unless they already carry them.
//
// The login line (a frame whose payload begins "__login__") is answered by the login
// mode instead; LoginMode::Scripted lets it consume the next scripted step.
//
// Several clients may be connected at once; each reply goes to the connection its
// request came from. sendRaw, replyToLast and closeClient act on the newest connection
// and return once the server thread has carried them out.
// All members are safe to call from any thread. Hooks and steps run on the server
// thread and must not call sendRaw, replyToLast, closeClient or holdReading (those wait
// for the server thread).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace zorv_test {

// A type-1 "SOF" frame around the payload: "SOF", 0x01, 4-byte big-endian length, payload.
std::string frame(const std::string& payload);

// The digest the controller expects in the login line for a password: one decimal
// digit per byte of prefix key + password + suffix key, the byte's count of 1-bits.
std::string loginDigest(const std::string& password);

// The complete login line a client sends for a user and password.
std::string loginLine(const std::string& user, const std::string& password);

// Realistic results for "ZorvInterface.getRunningInfo", "ZorvInterface.getAgvCurrentPose"
// and "ZorvInterface.getNavInfo".
nlohmann::json cannedResult(const std::string& method);

// One received frame that asks for an answer.
struct Request {
    std::string payload;   // exact frame payload
    nlohmann::json json;   // the parsed payload; null when it is not JSON
    nlohmann::json id() const;       // the "id" member, or null
    std::string method() const;      // the "method" member, or ""
};

// What the controller does for one request.
struct Response {
    std::vector<std::string> writes;   // raw bytes, each sent by one send() call, in order
    bool close = false;                // close the connection after the writes
    bool reset = false;                // with close: abort the connection (RST) instead of FIN
};

// Reply helpers for scripts: the frame of a body with the request's id echoed (or the id given).
std::string replyFrame(const Request& request, nlohmann::json body);
std::string replyFrameWithId(nlohmann::json id, nlohmann::json body);

class TestController {
public:
    enum class LoginMode {
        CheckPassword,   // "__login__\nSUCCEED" when the digest matches the password, else "__login__\nFAILED"
        Succeed,         // always "__login__\nSUCCEED"
        Fail,            // always "__login__\nFAILED"
        Silent,          // no answer
        Scripted,        // the login line consumes the next scripted step like a request
    };
    using Step = std::function<Response(const Request&)>;
    using Hook = std::function<void(const std::string& payload)>;

    struct Options {
        std::uint16_t port = 0;   // 0 picks a free port
        std::string password;     // checked by LoginMode::CheckPassword
        LoginMode login = LoginMode::CheckPassword;
        Hook onLogin;             // called with each login payload
        Hook onRequest;           // called with each other payload
    };

    TestController();
    explicit TestController(Options options);
    ~TestController();
    TestController(const TestController&) = delete;
    TestController& operator=(const TestController&) = delete;

    std::uint16_t port() const;

    // --- Scripting the replies -------------------------------------------------
    void setLoginMode(LoginMode mode);
    // Standing reply body of one method, e.g. {"result": {...}} or {"error": {...}}.
    void setStanding(const std::string& method, nlohmann::json body);
    // Standing replies from cannedResult for the three getters.
    void useCannedReplies();

    void queue(Step step);                       // any behaviour, for the next request
    void queueReply(nlohmann::json body);        // body with the id echoed, one frame
    void queueResult(nlohmann::json result);     // {"result": result}
    void queueError(nlohmann::json error);       // {"error": error} (object or string)
    void queueRaw(std::string payload);          // exact payload text in one frame
    // A reply with a stale id, then the right one: both in one write, or in two writes.
    void queueStaleThenResult(nlohmann::json result, bool oneWrite);
    // The reply frame cut into several writes at the given byte offsets.
    void queueSplit(nlohmann::json result, std::vector<std::size_t> cuts);
    void queueSilence();                         // read the request, answer nothing
    void queueClose();                           // read the request, close the connection
    void queueReset();                           // read the request, abort the connection (RST)

    // --- Acting now on the newest connection ---------------------------------------
    void sendRaw(const std::string& bytes);
    // A reply to the last request received (any connection), with its id echoed.
    void replyToLast(nlohmann::json body);
    void closeClient();
    // While held, nothing is read from any connection (the client's writes back up).
    void holdReading(bool hold);

    // --- What was received --------------------------------------------------------
    std::string loginPayload() const;              // the last login payload, "" when none
    std::vector<std::string> logins() const;       // every login payload
    std::vector<std::string> requests() const;     // every non-login payload, in order
    std::vector<std::string> payloads() const;     // every frame payload, login included
    std::string receivedBytes() const;             // the raw byte stream of all connections
    std::size_t connectionCount() const;           // connections accepted so far
    std::size_t openConnections() const;           // connections not yet closed

    bool waitForRequests(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
    // True once no connection is open (the client disconnected or was closed).
    bool waitForNoConnection(std::chrono::milliseconds limit = std::chrono::seconds(5)) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

}  // namespace zorv_test
