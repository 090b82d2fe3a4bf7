#pragma once

#include <functional>
#include <memory>
#include <string>

#include "zorv_interface/export.h"
#include "zorv_interface/log.h"
#include "zorv_interface/zorv_interface.h"

namespace zorv_interface {

class Connector;

// Client of the controller's RPC service: one connection, one request at a time,
// each request waiting on the calling thread for at most the request time-out.
// The default time-out is 10 ms; call setRequestTimeout for a real controller.
class ZORV_SDK_API RpcClient : public ZorvInterface {
public:
    // The argument is not used.
    explicit RpcClient(int reserved = 0);
    // Logs out and disconnects (calling the event handler with 1 when connected).
    // The event handler may destroy the client even inside one of its operations:
    // that operation still ends with its status code, and the client's resources
    // are freed once it has returned.
    ~RpcClient() override;

    // 0 when connected (or already connected), -8 when the TCP connect failed or
    // the controller answered neither way within 10 s; throws for an address that
    // is not numeric. An empty ip with port 0 names the local RPC socket path.
    int connect(const std::string& ip, int port);
    int disconnect();
    // Probes the connection; a dead one is dropped and reported as event 1.
    bool hasConnected() const;
    bool hasLogined();
    // 0 once the login was accepted, -1 when not connected; a refused login throws
    // ZorvException -6 when the request time-out has passed.
    int login(const std::string& username, const std::string& password);
    int logout();
    // Values of 0 or less are ignored.
    int setRequestTimeout(int milliseconds);
    // Event 1: the connection was lost or closed.
    int setEventHandler(std::function<void(int)> handler);
    // An empty handler keeps the current one.
    void setLogHandler(LogHandler handler);
    // When on, a failed operation returns its placeholder instead of throwing.
    int setExceptionFree(bool enable);
    // The calling thread's last failure code (0 if none); shared by every client on
    // the thread and never reset by a successful call.
    int errorCode() const;

private:
    std::shared_ptr<Connector> connector() const;
};

}  // namespace zorv_interface
