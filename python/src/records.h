#pragma once

#include <pybind11/pybind11.h>

namespace zorv_python {

// Record classes, grouped as the module body registers them; each group needs
// the classes and enums of the groups registered before it.
void bindDetailsSpeedHeader(pybind11::module_& m);
void bindRunningInfoPoses(pybind11::module_& m);
void bindMapInfoWithAliases(pybind11::module_& m);
void bindMapAllInfoStatusesStation(pybind11::module_& m);
void bindPathStation(pybind11::module_& m);
void bindVirtualAreaIpAddress(pybind11::module_& m);
void bindNavGoal(pybind11::module_& m);
void bindNavInfoChargingCommand(pybind11::module_& m);
void bindFirmwareRecords(pybind11::module_& m);
void bindCalibrationProcessInfo(pybind11::module_& m);

}  // namespace zorv_python
