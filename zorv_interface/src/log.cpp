#include "zorv_interface/log.h"

#include <cstdio>
#include <cstring>

namespace zorv_interface {

namespace {

const char* levelName(int level) {
    static const char* const level_names[] = {"Critical", "Error", "Warning", "Info", "Debug", "BackTrace"};
    constexpr int count = sizeof(level_names) / sizeof(level_names[0]);
    // No site uses another level; an application handler might, so never index past the table.
    return level >= 0 && level < count ? level_names[level] : "Unknown";
}

void defaultLogHandler(int level, const char* file, int line, const std::string& message) {
    std::fprintf(stderr, "[%s] [%s:%d] %s\n", levelName(level), file, line, message.c_str());
    std::fflush(stderr);
}

const LogHandler& orDefault(const LogHandler& handler) {
    return handler ? handler : BaseClass_statics<void>::log_handler;
}

}  // namespace

template <>
LogHandler BaseClass_statics<void>::log_handler{&defaultLogHandler};

LogBuf::LogBuf(const LogHandler& handler) : handler(orDefault(handler)) {}

LogBuf::~LogBuf() = default;

int LogBuf::overflow(int c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        sync();
        return traits_type::eof();
    }
    buffer.push_back(traits_type::to_char_type(c));
    return c;
}

int LogBuf::sync() {
    if (buffer.empty()) {
        return 0;
    }
    handler(level, file, line, buffer);
    buffer.clear();
    return 0;
}

Log::Log(const LogHandler& handler) : stream(new LogBuf(handler)) {}

Log::~Log() {
    // A handler that throws is caught by flush, which marks the stream bad.
    stream.flush();
    delete stream.rdbuf();
}

std::ostream& Log::Get(LogLevel level, const char* file, int line) {
    auto* buf = static_cast<LogBuf*>(stream.rdbuf());
    buf->level = static_cast<int>(level);
    buf->file = file;
    buf->line = line;
    return stream;
}

LogHandler GetDefaultLogHandler() {
    return BaseClass_statics<void>::log_handler;
}

bool str_slant(const char* str) {
    return std::strchr(str, '/') != nullptr;
}

const char* str_end(const char* str) {
    return str + std::strlen(str);
}

const char* r_slant(const char* pos) {
    while (*pos != '/') {
        --pos;
    }
    return pos + 1;
}

const char* file_name(const char* path) {
    return str_slant(path) ? r_slant(str_end(path)) : path;
}

}  // namespace zorv_interface
