#include "connector_rtde_sites.h"

#include <utility>

namespace zorv_interface {

RtdeLog::Line::Line(const LogHandler& handler, LogLevel level, const char* file, const RtdeSite& site)
    : log(handler), stream(log.Get(level, file, site.line)) {
    stream << site.text;
}

RtdeLog::Line RtdeLog::operator()(LogLevel level, const RtdeSite& site) const {
    return Line(handler(), level, sites.file, site);
}

void RtdeLog::setHandler(LogHandler handler) {
    if (!handler) {
        return;
    }
    std::lock_guard<std::mutex> guard(mutex);
    handler_ = std::move(handler);
}

LogHandler RtdeLog::handler() const {
    std::lock_guard<std::mutex> guard(mutex);
    return handler_;
}

}  // namespace zorv_interface
