#pragma once

#include <functional>
#include <ostream>
#include <streambuf>
#include <string>

#include "zorv_interface/export.h"

namespace zorv_interface {

// level, source-file name, line, message. An empty function means "no handler set".
using LogHandler = std::function<void(int, const char*, int, const std::string&)>;

enum class LogLevel : int {
    Critical = 0,
    Error = 1,
    Warning = 2,
    Info = 3,
    Debug = 4,
    BackTrace = 5,
};

// Holder of the library-wide default handler; a template so that the one
// instance for void is shared by every translation unit of the library.
template <typename T>
struct ZORV_SDK_API BaseClass_statics {
    static LogHandler log_handler;
};
template <>
ZORV_SDK_API LogHandler BaseClass_statics<void>::log_handler;

// Collects one message character by character and hands it to the handler on sync.
class ZORV_SDK_API LogBuf : public std::basic_streambuf<char> {
public:
    explicit LogBuf(const LogHandler& handler);
    ~LogBuf() override;

    std::string buffer;
    int level = 0;
    LogHandler handler;
    const char* file = "";
    int line = 0;

protected:
    int overflow(int c) override;
    int sync() override;
};

// One log statement: Log(handler).Get(level, file, line) << ...;
class ZORV_SDK_API Log {
public:
    explicit Log(const LogHandler& handler);
    virtual ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    std::ostream& Get(LogLevel level, const char* file, int line);

private:
    std::ostream stream;
};

ZORV_SDK_API LogHandler GetDefaultLogHandler();

// Source-file name helpers for log sites; none of them allocates.
ZORV_SDK_API bool str_slant(const char* str);
ZORV_SDK_API const char* str_end(const char* str);
ZORV_SDK_API const char* r_slant(const char* pos);
ZORV_SDK_API const char* file_name(const char* path);

}  // namespace zorv_interface
