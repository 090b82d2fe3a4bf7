#pragma once

#include <functional>
#include <string>

#include "zorv_interface/log.h"
#include "zorv_interface/script_writer.h"

namespace zorv_interface {

// One connection to the controller's script service, with its receiving thread.
class ConnectorScript {
public:
    virtual ~ConnectorScript() = default;

    virtual void setLogHandler(LogHandler handler) = 0;
    virtual int connect(const std::string& host_or_path, int port) = 0;
    virtual bool hasConnected() = 0;
    virtual int login(const std::string& user, const std::string& password) = 0;
    virtual bool hasLogined() = 0;
    virtual int logout() = 0;
    virtual int disconnect() = 0;
    virtual int sendFile(const std::string& path) = 0;
    virtual int sendString(const std::string& script) = 0;
    virtual int send(const std::string& name, std::function<int(ScriptWriter&)> fn) = 0;
    virtual int subscribeVariableUpdate(std::function<void(const std::string& name, const std::string& value)> handler) = 0;
    virtual int subscribeScriptError(std::function<void(const std::string& data, const std::string& traceback)> handler) = 0;
    virtual int subscribeScriptError(std::function<void(const std::string& data)> handler) = 0;
    virtual int setEventHandler(std::function<void(int)> handler) = 0;
};

}  // namespace zorv_interface
