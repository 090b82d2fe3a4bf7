#pragma once

#include <chrono>
#include <mutex>
#include <ostream>

#include <asio.hpp>

#include "socket_timeouts.h"
#include "zorv_interface/log.h"

namespace zorv_interface {

// A transport's socket, bound to the I/O context's own executor: no type-erased
// executor to track the work of every read and write.
template <typename Protocol>
using RtdeSocket = asio::basic_stream_socket<Protocol, asio::io_context::executor_type>;

// One log site: its line number and fixed text.
struct RtdeSite {
    int line = 0;
    const char* text = "";
};

// What differs between the TCP and the local-socket transport besides connect:
// the source-file name, the sites' lines and texts, and the TCP-only behaviour.
struct RtdeSites {
    const char* file = "";
    // Keep-alive, receive watchdog, delivery counts, unknown-channel data in the log,
    // and a read completion that handles errors before checking the connection.
    bool tcp = false;

    RtdeSite pollingStart, pollingPause, keepAliveFailed, watchdog;
    RtdeSite alreadyConnected, recvInfoFailed, loginTimeout, loginSucceed;
    RtdeSite disconnectFailed, disconnected;
    RtdeSite sendNotLogined, writeFailed, sendTimeout;
    RtdeSite doReadNotConnected, recvPackageFailed, recvData, recvRetryFail, completionNotConnected;
    RtdeSite cannotFind, setTopicNotConnected, setTopicNotLogined, runOutInput, runOutOutput, checkRecipeFailed;
    RtdeSite removeNotConnected, removeNotLogined;
    RtdeSite publishNotConnected, publishNotLogined, publish, payloadNotUtf8, payloadTooLong;
    RtdeSite unknownChannel, notArray, parseError, parseErrorDump, typeError, typeErrorDump;
    RtdeSite unknownError, unknownErrorDump;
};

// Periods of the TCP keep-alive tick and receive watchdog, and how long connect waits
// for the peer: to accept (TCP), then to send its connection information.
struct RtdeTiming {
    std::chrono::milliseconds keepAlive{1000};
    std::chrono::milliseconds watchdog{5000};
    std::chrono::milliseconds connectWait{kSocketIoTimeout};
};

// The log lines of one transport, through the handler the application set (the
// default handler while none is set).
class RtdeLog {
public:
    // One line: the site's text, then whatever is streamed; it reaches the handler when
    // the statement ends.
    class Line {
    public:
        Line(const LogHandler& handler, LogLevel level, const char* file, const RtdeSite& site);
        Line(const Line&) = delete;
        Line& operator=(const Line&) = delete;

        template <typename T>
        std::ostream& operator<<(const T& value) {
            return stream << value;
        }
        operator std::ostream&() { return stream; }

    private:
        Log log;
        std::ostream& stream;
    };

    explicit RtdeLog(const RtdeSites& sites) : sites(sites) {}

    Line operator()(LogLevel level, const RtdeSite& site) const;
    // An empty handler keeps the current one.
    void setHandler(LogHandler handler);

    const RtdeSites& sites;

private:
    LogHandler handler() const;

    mutable std::mutex mutex;
    LogHandler handler_;
};

}  // namespace zorv_interface
