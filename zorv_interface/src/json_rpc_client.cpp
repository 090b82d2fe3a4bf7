#include "json_rpc_client.h"

#include "zorv_interface/return_value.h"
#include "zorv_interface/zorv_exception.h"

namespace zorv_interface {

namespace {

constexpr int kOtherFailure = -14;
constexpr int kServerError = -13;

// The sticky last code alone cannot tell a failed status operation from a
// successful one, so an int result reports the failure code itself.
template <typename T>
T failedResult(int) {
    return ReturnValue<T>()();
}

template <>
int failedResult<int>(int status) {
    return status;
}

}  // namespace

int statusOfJsonRpcError(int code) {
    switch (code) {
    case -32600: return -9;
    case -32601: return -10;
    case -32602: return -11;
    case -32603: return -12;
    case -32700: return -14;
    default: return kServerError;
    }
}

JsonRpcClient::JsonRpcClient(IClientConnector& connector, jsonrpccxx::version v)
    : jsonrpccxx::JsonRpcClient(connector, v), connector(&connector) {}

template <typename T>
T JsonRpcClient::CallMethodNamed(const jsonrpccxx::id_type& id, const std::string& name,
                                 const jsonrpccxx::named_parameter& params) {
    try {
        T value{};
        CallNamed(id, name, params).get_to(value);
        return value;
    } catch (...) {
        return failedResult<T>(recordFailure(name));
    }
}

int JsonRpcClient::recordFailure(const std::string& name) {
    int& status = IClientConnector::error_no;
    const bool rethrow = !connector->exceptionFree;
    try {
        throw;
    } catch (const jsonrpccxx::JsonRpcException& e) {
        status = statusOfJsonRpcError(e.Code());
        if (rethrow) throw ZorvException(status, name, e.what());
    } catch (const ZorvException& e) {
        status = e.code();
        if (rethrow) throw;
    } catch (const std::exception& e) {
        status = kOtherFailure;
        if (rethrow) throw ZorvException(status, name, e.what());
    } catch (...) {
        status = kOtherFailure;
        if (rethrow) throw ZorvException(status, name, "Unkown exception");
    }
    return status;
}

int JsonRpcClient::setExceptionFree(bool on) {
    connector->exceptionFree = on;
    return 0;
}

int JsonRpcClient::errorCode() const {
    return IClientConnector::error_no;
}

#define ZORV_INSTANTIATE_CALL(T)                                                              \
    template T JsonRpcClient::CallMethodNamed<T>(const jsonrpccxx::id_type&, const std::string&, \
                                                 const jsonrpccxx::named_parameter&);
ZORV_RPC_RESULT_TYPES(ZORV_INSTANTIATE_CALL)
#undef ZORV_INSTANTIATE_CALL

}  // namespace zorv_interface
