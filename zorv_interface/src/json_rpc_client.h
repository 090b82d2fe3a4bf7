#pragma once

#include <string>
#include <vector>

#include "connector.h"
#include "jsonrpc.h"
#include "zorv_interface/types.h"

namespace zorv_interface {

// The result types the operations use; CallMethodNamed exists for exactly these.
#define ZORV_RPC_RESULT_TYPES(X)                                                                  \
    X(int) X(bool) X(std::string) X(ScriptRuntimeState) X(AgvDetails)                            \
    X(AsyncInterfaceResultStatus) X(CalibrationProcessInfo) X(FirmwareUpdateProcessInfo)         \
    X(Header) X(MapAllInfo) X(MapInfo) X(NavInfo) X(PathStation) X(Pose2d) X(RunningInfo)        \
    X(StationMark) X(std::vector<Header>) X(std::vector<IpAddressInfo>)                          \
    X(std::vector<MapVirtualArea>) X(std::vector<PathStation>) X(std::vector<Point2d>)          \
    X(std::vector<StationMark>) X(std::vector<std::string>)

// Turns each failure of a call into a status code: the calling thread's last code
// is set, then ZorvException is thrown, or in exception-free mode a placeholder
// is returned (for an int result, the negative status code itself).
class JsonRpcClient : public jsonrpccxx::JsonRpcClient {
public:
    JsonRpcClient(IClientConnector& connector, jsonrpccxx::version v);

    template <typename T>
    T CallMethodNamed(const jsonrpccxx::id_type& id, const std::string& name,
                      const jsonrpccxx::named_parameter& params);

    int setExceptionFree(bool on);
    int errorCode() const;

private:
    // Called inside a catch block: records the status of the exception in flight and
    // rethrows it as the caller should see it, unless exception-free; returns the code.
    int recordFailure(const std::string& name);

    IClientConnector* connector;
};

// Status code of a JSON-RPC error code; codes outside the protocol's table
// (a controller's own) count as server errors.
int statusOfJsonRpcError(int code);

}  // namespace zorv_interface
