#include "bridges.h"

#include <iostream>
#include <utility>

namespace py = pybind11;
using namespace zorv_interface;

namespace zorv_python {

PythonCallable::PythonCallable(py::object target) : target_(std::move(target)) {}

PythonCallable::PythonCallable(const PythonCallable& other) {
    py::gil_scoped_acquire gil;
    target_ = other.target_;
}

PythonCallable::PythonCallable(PythonCallable&& other) noexcept : target_(std::move(other.target_)) {}

PythonCallable::~PythonCallable() {
    if (target_) {
        py::gil_scoped_acquire gil;
        target_ = py::object();
    }
}

template <typename MakeArgs>
void PythonCallable::callReporting(MakeArgs makeArgs) const noexcept {
    py::gil_scoped_acquire gil;
    try {
        py::tuple args = makeArgs();
        target_(*args);
    } catch (const py::error_already_set& error) {
        report(error.what());
    } catch (const std::exception& error) {
        report(error.what());
    } catch (...) {
        report("unknown C++ exception");
    }
}

void PythonCallable::report(const char* description) noexcept {
    try {
        std::cerr << "Python callback threw an exception: " << description << std::endl;
    } catch (...) {
    }
}

void EventBridge::operator()(int code) const {
    target.callReporting([code] { return py::make_tuple(code); });
}

void LogBridge::operator()(int level, const char* file, int line, const std::string& message) const {
    target.callReporting([&] {
        // Messages may quote bytes received from the controller: never let
        // invalid UTF-8 cost the whole record.
        py::str text = py::reinterpret_steal<py::str>(
            PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
        if (!text) {
            throw py::error_already_set();
        }
        return py::make_tuple(level, file, line, text);
    });
}

void installEventHandler(RpcClient& client, py::object handler) {
    client.setEventHandler(EventBridge{PythonCallable(std::move(handler))});
}

void installLogHandler(RpcClient& client, py::object handler) {
    if (handler.is_none()) {
        return;
    }
    client.setLogHandler(LogBridge{PythonCallable(std::move(handler))});
}

int setControlSpeedFromNumbers(RpcClient& client, double v, double w) {
    Speed speed;
    speed.v = v;
    speed.w = w;
    return client.setControlSpeed(speed);
}

const char* const kDeprecatedNavInfoTypeDoc =
    "Deprecated since 0.7.0: 请使用 `nav_type` 替代。此属性返回 nav_type 的值。";

NavType readDeprecatedNavInfoType(const NavInfo& info) {
    if (PyErr_WarnEx(PyExc_DeprecationWarning, "NavInfo.type 已弃用，请使用 nav_type 替代", 1) < 0) {
        throw py::error_already_set();
    }
    return info.nav_type;
}

}  // namespace zorv_python
