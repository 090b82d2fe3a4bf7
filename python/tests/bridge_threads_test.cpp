// The bridges as the library uses them: called, copied and destroyed on threads
// that Python has never seen, while the interpreter lock is held elsewhere or free.
#include <gtest/gtest.h>

#include <pybind11/embed.h>
#include <pybind11/stl.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "bridges.h"

namespace py = pybind11;

// The embedded interpreter, and pybind11's per-module state with it, keep
// allocations past their finalisation by design.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libpython\nleak:get_local_internals\n";
}

namespace zorv_python {
namespace {

class BridgeThreadsTest : public testing::Test {
protected:
    static void SetUpTestSuite() { interpreter = std::make_unique<py::scoped_interpreter>(); }
    static void TearDownTestSuite() { interpreter.reset(); }

    // Runs work on a new native thread with the lock released by this one.
    static void onForeignThread(const std::function<void()>& work) {
        py::gil_scoped_release release;
        std::thread(work).join();
    }

    static std::unique_ptr<py::scoped_interpreter> interpreter;
};

std::unique_ptr<py::scoped_interpreter> BridgeThreadsTest::interpreter;

TEST_F(BridgeThreadsTest, EventReachesPythonFromANativeThreadAndCopiesDieThere) {
    py::list seen;
    std::function<void(int)> handler = EventBridge{PythonCallable(seen.attr("append"))};
    onForeignThread([&handler] {
        handler(1);
        std::function<void(int)> copy = handler;
        copy(2);
    });
    EXPECT_EQ(seen.cast<std::vector<int>>(), (std::vector<int>{1, 2}));
    const auto before = Py_REFCNT(seen.ptr());
    onForeignThread([&handler] { handler = nullptr; });
    EXPECT_EQ(Py_REFCNT(seen.ptr()), before - 1);
}

TEST_F(BridgeThreadsTest, RaisingCallbackIsPrintedAndSwallowedOnAnyThread) {
    py::exec("def fail(code):\n    raise ValueError('event %d' % code)\n");
    std::function<void(int)> handler = EventBridge{PythonCallable(py::globals()["fail"])};
    testing::internal::CaptureStderr();
    onForeignThread([&handler] { handler(1); });
    handler(1);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string line = "Python callback threw an exception: ValueError: event 1";
    ASSERT_NE(err.find(line), std::string::npos) << err;
    EXPECT_NE(err.find(line, err.find(line) + 1), std::string::npos) << err;
    EXPECT_FALSE(PyErr_Occurred());
}

TEST_F(BridgeThreadsTest, LogRecordKeepsInvalidUtf8AsReplacementCharacters) {
    py::exec("records = []\ndef log(*record):\n    records.append(record)\n");
    zorv_interface::LogHandler handler = LogBridge{PythonCallable(py::globals()["log"])};
    onForeignThread([&handler] { handler(1, "connector_asio.cpp", 42, std::string("bad \xff byte")); });
    const py::list logged = py::globals()["records"];
    ASSERT_EQ(py::len(logged), 1u);
    const auto record = logged[0].cast<std::tuple<int, std::string, int, std::string>>();
    EXPECT_EQ(record, std::make_tuple(1, std::string("connector_asio.cpp"), 42, std::string("bad \xef\xbf\xbd byte")));
}

}  // namespace
}  // namespace zorv_python
