#include "connector_script_uds.h"

namespace zorv_interface {
namespace {

constexpr LogLevel kError = LogLevel::Error;
constexpr LogLevel kWarning = LogLevel::Warning;
constexpr LogLevel kInfo = LogLevel::Info;

}  // namespace

const ScriptConnectorTexts& UdsScriptTransport::texts() {
    static const ScriptConnectorTexts uds_texts{
        file_name(__FILE__),
        {kWarning, 103, "SCRIPT client already connected"},
        {kError, 183, "Script Uds client login TIMEOUT: "},
        {kInfo, 188, "Script Uds Client login"},
        {kInfo, 202, "Script Uds Client logout"},
        {kInfo, 228, "SCRIPT Uds client disconnected FAILED: "},
        {kInfo, 232, "SCRIPT Tcp client disconnected."},
        {kError, 328, "doRead FAILED: SCRIPT client has not connected, socket will be closed"},
        {kError, 340, "Script Uds client recv package failed: "},
        {{kError, 472, "SCRIPT Uds client send FAILED: not connected"},
         {kError, 477, "SCRIPT Uds client send FAILED: not logined"},
         {kError, 492, "SCRIPT Uds client write FAILED: "}},
        {{kError, 433, "SCRIPT Uds client send FAILED: not connected"},
         {kError, 438, "SCRIPT Uds client send FAILED: not logined"},
         {kError, 458, "SCRIPT Uds client write FAILED: "}},
        {{kError, 382, "SCRIPT client send FAILED: not connected"},
         {kError, 387, "SCRIPT client send FAILED: not logined"},
         {kError, 414, "SCRIPT client write FAILED: "}},
        {kError, 444, kScriptTerminatorText},
        {kError, 401, kScriptTerminatorText},
        {kError, 392, "SCRIPT client send FAILED: cannot read file "},
        {true, true, 312, 315, 318},
    };
    return uds_texts;
}

// The previous socket's close result does not matter here, and the failure
// line names the service's standard path whatever path was given. A local
// connect is answered at once, so it needs no deadline.
int UdsScriptTransport::establish(ScriptSession<Protocol>& session, const std::string& path, int,
                                  const ScriptConnectAttempt& attempt) {
    const LogHandler& log_handler = attempt.log_handler;
    auto& socket = session.socket;
    asio::error_code error;
    socket.open(Protocol(), error);
    if (!error) {
        socket.connect(Protocol::endpoint(path), error);
    }
    if (error) {
        Log(log_handler).Get(kError, file_name(__FILE__), 119)
            << "Connect to " << "/run/nelt/script.socket" << " FAILED: " << error.message();
        return -1;
    }
    Log(log_handler).Get(kInfo, file_name(__FILE__), 124) << "Connect to Script Uds successed";
    socket.set_option(asio::socket_base::send_buffer_size(kScriptSendBufferSize));
    return 0;
}

void UdsScriptTransport::prepareRead(Protocol::socket&) {}

}  // namespace zorv_interface
