#pragma once

#include <functional>
#include <memory>
#include <string>

#include "zorv_interface/export.h"
#include "zorv_interface/script_writer.h"

namespace zorv_interface {

// Client of the controller's script service. Kind 0 talks TCP, kind 1 the local
// stream socket "/run/nelt/script.socket"; any other kind yields a client whose
// operations all fail. Replies are received only while logged in, and the
// subscribed handlers run on the client's own receiving thread.
class ZORV_SDK_API ScriptClient {
public:
    explicit ScriptClient(int kind);
    // Logs out, disconnects and joins the receiving thread. Inside one of the
    // client's own handlers it leaves that thread to end once the handler has
    // returned; the replies left in that burst are dropped.
    ~ScriptClient();
    ScriptClient(const ScriptClient&) = delete;
    ScriptClient& operator=(const ScriptClient&) = delete;

    // 0 connected, 1 already connected, -1 failure. Kind 1 ignores host and port.
    int connect(const std::string& host, int port);
    int disconnect();
    // Probes the connection without consuming received bytes.
    bool hasConnected() const;

    // Starts the reception of replies; the credentials are not used.
    int login(const std::string& user, const std::string& password);
    int logout();
    bool hasLogined();

    // Sends "def <name>() ", what fn writes, and "end" as one script.
    int send(const std::string& name, std::function<int(ScriptWriter&)> fn);
    // The script may hold "\r\n\r\n" only as its last four bytes.
    int sendString(const std::string& script);
    int sendFile(const std::string& path);

    int subscribeVariableUpdate(std::function<void(const std::string& name, const std::string& value)> handler);
    int subscribeScriptError(std::function<void(const std::string& data)> handler);
    // Takes precedence over the one-argument handler when both are set.
    int subscribeScriptError2(std::function<void(const std::string& data, const std::string& traceback)> handler);
    // Called with 1 when the connection is lost or closed.
    int setEventHandler(std::function<void(int)> handler);
    // An empty function keeps the current handler.
    void setLogHandler(std::function<void(int, const char*, int, const std::string&)> handler);

    class Impl;

private:
    std::unique_ptr<Impl> impl;
};

}  // namespace zorv_interface
