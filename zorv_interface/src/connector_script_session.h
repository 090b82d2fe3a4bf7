#pragma once

#include <asio.hpp>

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "script_reply.h"
#include "socket_timeouts.h"

namespace zorv_interface {

struct ScriptLogSite {
    LogLevel level;
    int line;
    const char* text;
};

struct ScriptSendSites {
    ScriptLogSite not_connected;
    ScriptLogSite not_logined;
    ScriptLogSite write_failed;
};

// The log sites and reply rules in which the TCP and local-socket connectors differ.
struct ScriptConnectorTexts {
    const char* source;
    ScriptLogSite already_connected;
    ScriptLogSite login_timeout;
    ScriptLogSite login;
    ScriptLogSite logout;
    ScriptLogSite disconnect_failed;
    ScriptLogSite disconnected;
    ScriptLogSite read_not_connected;
    ScriptLogSite recv_failed;
    ScriptSendSites send;
    ScriptSendSites send_string;
    ScriptSendSites send_file;
    ScriptLogSite string_terminator;
    ScriptLogSite file_terminator;
    ScriptLogSite file_unreadable;
    ScriptReplyRules replies;
};

constexpr int kScriptSendBufferSize = 0xA00000;
constexpr const char* kScriptTerminatorText = "Script send fail! The script contains '\r\n\r\n' at index [";
// Ends a burst of replies, and may end a script only as its last four bytes.
constexpr std::string_view kScriptBurstEnd = "\r\n\r\n";

// What a transport needs, besides the address, to connect a fresh session.
struct ScriptConnectAttempt {
    asio::error_code previous_close;  // from closing the previous session's socket
    LogHandler log_handler;
    SocketDeadline deadline;
    std::function<bool()> abandoned;
};

// One connection: every connect makes a fresh one, so a receiving thread still
// running the previous one never sees its socket or context replaced.
template <class Protocol>
struct ScriptSession {
    asio::io_context io_context;
    typename Protocol::socket socket{io_context};
    std::string reply_text;
    std::array<char, 65536> read_buffer{};
    bool read_pending = false;  // touched by the receiving thread only
};

}  // namespace zorv_interface
