#pragma once

#include "connector_script_stream.h"

namespace zorv_interface {

struct TcpScriptTransport {
    using Protocol = asio::ip::tcp;

    static const ScriptConnectorTexts& texts();
    // Opens session's socket and connects it to host:port; 0 or -1 (logged).
    static int establish(ScriptSession<Protocol>& session, const std::string& host, int port,
                         const asio::error_code& previous_close, const LogHandler& log_handler);
    static void prepareRead(Protocol::socket& socket);
};

class ConnectorScriptTcp final : public ConnectorScriptStream<TcpScriptTransport> {};

}  // namespace zorv_interface
