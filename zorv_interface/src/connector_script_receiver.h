#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>

#include "connector_script_session.h"

namespace zorv_interface {

template <class Transport>
class ScriptConnection;

// What a script connector's receiving thread does: it sleeps while logged out, polls
// the connection's session of the moment while logged in, collects the replies into
// bursts and dispatches them. run() is the thread's body; the connector owns the thread.
template <class Transport>
class ScriptReceiver {
public:
    using Session = ScriptSession<typename Transport::Protocol>;

    explicit ScriptReceiver(ScriptConnection<Transport>& connection);

    void run();
    // Wakes the thread for a login and waits, holding lock on the connection, until
    // the thread has resumed; false when it has not within timeout.
    bool resume(std::unique_lock<std::recursive_mutex>& lock, std::chrono::microseconds timeout);
    // Under the connection's lock: the thread is polling a session.
    bool polling() const { return polled_session != nullptr; }
    // After the connection's stop(): ends the polling and wakes the thread to end.
    void stop();

private:
    void poll(Session& polled);
    int doRead(Session& polled);
    void onRead(Session& polled, const asio::error_code& error, std::size_t size);
    void collect(Session& polled, std::size_t size);
    void rearm(Session& polled);

    ScriptConnection<Transport>& connection;
    std::condition_variable_any wakeup;      // waited on with the connection's lock
    bool resumed = false;                    // guarded by the connection's lock
    std::shared_ptr<Session> polled_session;  // guarded by the connection's lock
};

}  // namespace zorv_interface
