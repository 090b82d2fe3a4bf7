#include <pybind11/pybind11.h>

#include "enums.h"
#include "records.h"
#include "rpc_client_binding.h"

namespace py = pybind11;

namespace zorv_python {

// One straight pass: later steps use the classes of earlier ones, and the
// exported enum values overwrite one another in exactly this order.
void define_module(py::module_& m) {
    bindDetailsSpeedHeader(m);
    bindRunningMode(m);
    bindRunningInfoPoses(m);
    bindFeedbackStatusWithAliases(m);
    bindMapFormat(m);
    bindMapInfoWithAliases(m);
    bindMapAllInfoStatusesStation(m);
    bindPathShape(m);
    bindPathStation(m);
    bindVirtualAreaEnums(m);
    bindVirtualAreaIpAddress(m);
    bindNavType(m);
    bindNavGoal(m);
    bindAutoChargingType(m);
    bindNavInfoChargingCommand(m);
    bindFirmwareUpdateMode(m);
    bindFirmwareRecords(m);
    bindCalibrationType(m);
    bindCalibrationProcessInfo(m);
    bindScriptRuntimeState(m);
    bindRpcClient(m);
}

}  // namespace zorv_python

PYBIND11_MODULE(pymirt_zorv_sdk, m) {
    zorv_python::define_module(m);
}
