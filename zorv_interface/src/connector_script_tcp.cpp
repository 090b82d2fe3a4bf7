#include "connector_script_tcp.h"

#include "socket_timeouts.h"

namespace zorv_interface {
namespace {

constexpr LogLevel kError = LogLevel::Error;
constexpr LogLevel kWarning = LogLevel::Warning;
constexpr LogLevel kInfo = LogLevel::Info;

asio::ip::address parseAddress(const std::string& host) {
    asio::error_code not_v6;
    const auto v6 = asio::ip::make_address_v6(host, not_v6);
    if (!not_v6) {
        return v6;
    }
    return asio::ip::make_address_v4(host);
}

void logConnectFailed(const LogHandler& log_handler, const asio::error_code& error) {
    Log(log_handler).Get(kError, file_name(__FILE__), 123) << "SCRIPT client connected FAILED: " << error.message();
}

}  // namespace

const ScriptConnectorTexts& TcpScriptTransport::texts() {
    static const ScriptConnectorTexts tcp_texts{
        file_name(__FILE__),
        {kWarning, 104, "SCRIPT client already connected"},
        {kError, 216, "RTDE client login TIMEOUT: "},
        {kInfo, 221, "Script Client login"},
        {kInfo, 235, "Script Tcp Client logout"},
        {kInfo, 262, "SCRIPT Tcp client disconnected FAILED: "},
        {kInfo, 266, "SCRIPT Tcp client disconnected."},
        {kError, 361, "doRead FAILED: SCRIPT client has not connected, socket will be closed"},
        {kError, 381, "Script Tcp client recv package failed: "},
        {{kError, 513, "SCRIPT Tcp client send FAILED: not connected"},
         {kError, 518, "SCRIPT client send FAILED: not logined"},
         {kError, 534, "SCRIPT Tcp client write FAILED: "}},
        {{kError, 474, "SCRIPT Tcp client send FAILED: not connected"},
         {kError, 479, "SCRIPT Tcp client send FAILED: not logined"},
         {kError, 499, "SCRIPT Tcp client write FAILED: "}},
        {{kError, 422, "SCRIPT Tcp client send FAILED: not connected"},
         {kError, 427, "SCRIPT Tcp client send FAILED: not logined"},
         {kError, 455, "SCRIPT Tcp client write FAILED: "}},
        {kError, 485, kScriptTerminatorText},
        {kError, 441, kScriptTerminatorText},
        {kError, 432, "SCRIPT Tcp client send FAILED: cannot read file "},
        {false, false, 345, 348, 351},
    };
    return tcp_texts;
}

int TcpScriptTransport::establish(ScriptSession<Protocol>& session, const std::string& host, int port,
                                  const ScriptConnectAttempt& attempt) {
    auto& socket = session.socket;
    socket.open(Protocol::v4());
    if (attempt.previous_close) {
        logConnectFailed(attempt.log_handler, attempt.previous_close);
        return -1;
    }
    socket.set_option(Protocol::no_delay(true));
    socket.set_option(asio::socket_base::send_buffer_size(kScriptSendBufferSize));
    setSocketTimeouts(socket);
    const Protocol::endpoint endpoint(parseAddress(host), static_cast<unsigned short>(port));
    if (const auto error = connectWithin(socket, endpoint, attempt.deadline, attempt.abandoned)) {
        logConnectFailed(attempt.log_handler, error);
        return -1;
    }
    return 0;
}

void TcpScriptTransport::prepareRead(Protocol::socket& socket) {
    asio::error_code ignored;
    socket.set_option(Protocol::no_delay(true), ignored);
}

}  // namespace zorv_interface
