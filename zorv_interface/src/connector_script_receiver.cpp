#include "connector_script_receiver.h"

#include <string>

#include "connector_script_connection.h"
#include "connector_script_tcp.h"
#include "connector_script_uds.h"

namespace zorv_interface {
namespace {

const ScriptLogSite kPollingStarted{LogLevel::Info, 52, "Start mirt_script recv polling..."};
const ScriptLogSite kPollingPaused{LogLevel::Info, 62, "Pause mirt_script recv polling..."};

bool endsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

template <class Transport>
ScriptReceiver<Transport>::ScriptReceiver(ScriptConnection<Transport>& connection) : connection(connection) {}

// Sleeps while logged out; while logged in, runs the connection of the moment.
template <class Transport>
void ScriptReceiver<Transport>::run() {
    auto lock = connection.lock();
    while (connection.isRunning()) {
        wakeup.wait(lock, [this] { return !connection.isRunning() || connection.isLogined(); });
        resumed = true;
        wakeup.notify_all();
        if (!connection.isRunning()) {
            break;
        }
        auto current = connection.current();
        if (!current) {
            connection.setLogined(false);
            continue;
        }
        polled_session = std::move(current);
        if (polled_session->io_context.stopped()) {
            polled_session->io_context.restart();
        }
        const auto polled = polled_session;
        lock.unlock();
        poll(*polled);
        lock.lock();
        polled_session.reset();
        if (!connection.isConnected()) {
            connection.setLogined(false);
        }
    }
}

template <class Transport>
bool ScriptReceiver<Transport>::resume(std::unique_lock<std::recursive_mutex>& lock,
                                       std::chrono::microseconds timeout) {
    resumed = false;
    wakeup.notify_all();
    return wakeup.wait_for(lock, timeout, [this] { return resumed; });
}

template <class Transport>
void ScriptReceiver<Transport>::stop() {
    const auto lock = connection.lock();
    if (polled_session) {
        polled_session->io_context.stop();
    }
    wakeup.notify_all();
}

// Ends when logged out or when the connection has no read left to complete,
// so a dead connection never keeps the thread spinning.
template <class Transport>
void ScriptReceiver<Transport>::poll(Session& polled) {
    doRead(polled);
    connection.log(kPollingStarted);
    while (connection.isLogined() && connection.isRunning()) {
        try {
            if (polled.io_context.run_one() == 0) {
                break;
            }
        } catch (...) {
            // An event handler that throws here must not take the process down.
        }
    }
    connection.log(kPollingPaused);
}

template <class Transport>
int ScriptReceiver<Transport>::doRead(Session& polled) {
    if (!connection.isConnected()) {
        connection.log(connection.texts().read_not_connected);
        return -1;
    }
    const auto lock = connection.lock();
    if (polled.read_pending) {
        return 0;
    }
    if (!polled.socket.is_open()) {
        return -1;
    }
    Transport::prepareRead(polled.socket);
    polled.read_buffer.fill(0);
    polled.read_pending = true;
    // The handler runs only inside run_one of this session's own context, which
    // the receiving thread drives while it holds the session.
    polled.socket.async_read_some(asio::buffer(polled.read_buffer),
                                  [this, &polled](const asio::error_code& error, std::size_t size) {
                                      onRead(polled, error, size);
                                  });
    return 0;
}

template <class Transport>
void ScriptReceiver<Transport>::onRead(Session& polled, const asio::error_code& error, std::size_t size) {
    polled.read_pending = false;
    if (error) {
        connection.onReceiveFailed(polled, error);
        return;
    }
    if (size > 0) {
        collect(polled, size);
    }
    rearm(polled);
}

template <class Transport>
void ScriptReceiver<Transport>::collect(Session& polled, std::size_t size) {
    polled.reply_text.append(polled.read_buffer.data(), size);
    if (!endsWith(polled.reply_text, kScriptBurstEnd)) {
        return;
    }
    std::string burst;
    burst.swap(polled.reply_text);
    dispatchReplies(burst, connection.replyContext(), [this] { return connection.isRunning(); });
}

template <class Transport>
void ScriptReceiver<Transport>::rearm(Session& polled) {
    const auto lock = connection.lock();
    if (connection.isCurrent(polled)) {
        doRead(polled);
    }
}

template class ScriptReceiver<TcpScriptTransport>;
template class ScriptReceiver<UdsScriptTransport>;

}  // namespace zorv_interface
