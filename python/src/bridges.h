#pragma once

#include <string>

#include <pybind11/pybind11.h>

#include "zorv_interface/rpc_client.h"
#include "zorv_interface/types.h"

namespace zorv_python {

// One owned reference to a Python object. Copying and dropping it take the
// interpreter lock, so the library may copy or destroy it on any thread.
class PythonCallable {
public:
    explicit PythonCallable(pybind11::object target);
    PythonCallable(const PythonCallable& other);
    PythonCallable(PythonCallable&& other) noexcept;
    PythonCallable& operator=(const PythonCallable&) = delete;
    PythonCallable& operator=(PythonCallable&&) = delete;
    ~PythonCallable();

    // Takes the interpreter lock, builds the arguments and calls the object.
    // Nothing escapes: a failure is written to stderr and swallowed, because the
    // caller is the library, which must never see a Python exception.
    template <typename MakeArgs>
    void callReporting(MakeArgs makeArgs) const noexcept;

private:
    static void report(const char* description) noexcept;

    pybind11::object target_;
};

// Delivers the client's connection events (code 1: connection lost or closed).
struct EventBridge {
    PythonCallable target;
    void operator()(int code) const;
};

// Delivers log records as (level, source-file name, line, message).
struct LogBridge {
    PythonCallable target;
    void operator()(int level, const char* file, int line, const std::string& message) const;
};

void installEventHandler(zorv_interface::RpcClient& client, pybind11::object handler);
// None keeps the handler installed before.
void installLogHandler(zorv_interface::RpcClient& client, pybind11::object handler);

int setControlSpeedFromNumbers(zorv_interface::RpcClient& client, double v, double w);

extern const char* const kDeprecatedNavInfoTypeDoc;
// Warns on every read (an error when warnings are errors), then returns nav_type.
zorv_interface::NavType readDeprecatedNavInfoType(const zorv_interface::NavInfo& info);

}  // namespace zorv_python
