#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "jsonrpc.h"
#include "zorv_interface/log.h"

namespace jsonrpccxx {

// A fresh request id shaped "xxxxxxxx-xxxx-xxxx" (letters and digits); safe to call
// from any number of threads at once.
std::string get_uuid();

}  // namespace jsonrpccxx

namespace zorv_interface {

// Sent in the login line and logged after connect.
constexpr int SDK_INTERFACE_VERSION = 4000;

// Transport seen by the JSON-RPC call layer.
class IClientConnector : public jsonrpccxx::IClientConnector {
public:
    // Failed calls return placeholders instead of throwing; may be switched from any thread.
    std::atomic<bool> exceptionFree{false};
    // Last status code of a failed call made on this thread (0 until one fails).
    static inline thread_local int error_no = 0;
};

// Connection management the client object drives.
class Connector : public IClientConnector {
public:
    ~Connector() override = default;
    std::string Send(const std::string& request) override = 0;
    virtual void setLogHandler(LogHandler handler) = 0;
    virtual int setEventHandler(std::function<void(int)> handler) = 0;
    virtual int connect(const std::string& ip, int port) = 0;
    virtual bool hasConnected() = 0;
    virtual int login(const std::string& user, const std::string& passwd) = 0;
    virtual bool hasLogined() = 0;
    virtual int setRequestTimeout(int ms) = 0;
    virtual int logout() = 0;
    virtual int disconnect() = 0;
    virtual void forceSend(bool on) = 0;
    virtual LogHandler getLogHandler() = 0;
};

}  // namespace zorv_interface
