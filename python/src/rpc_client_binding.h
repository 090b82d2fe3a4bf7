#pragma once

#include <pybind11/pybind11.h>

namespace zorv_python {

// RpcClient with its own methods and every bound operation, each operation
// under its deprecated snake_case alias first and its camelCase name second.
void bindRpcClient(pybind11::module_& m);

}  // namespace zorv_python
