#pragma once

#include <initializer_list>

#include <pybind11/pybind11.h>

namespace zorv_python {

// Each exported enum puts its members into the module namespace, where members
// of like name overwrite earlier ones; the call order decides which one stays.
void bindRunningMode(pybind11::module_& m);
void bindFeedbackStatusWithAliases(pybind11::module_& m);
void bindMapFormat(pybind11::module_& m);
void bindPathShape(pybind11::module_& m);
void bindVirtualAreaEnums(pybind11::module_& m);
void bindNavType(pybind11::module_& m);
void bindAutoChargingType(pybind11::module_& m);
void bindFirmwareUpdateMode(pybind11::module_& m);
void bindCalibrationType(pybind11::module_& m);
void bindScriptRuntimeState(pybind11::module_& m);

// Sets each alias to the class object that module attribute `target` names now.
void setAliases(pybind11::module_& m, const char* target, std::initializer_list<const char*> aliases);

}  // namespace zorv_python
