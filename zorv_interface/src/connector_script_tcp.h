#pragma once

#include "connector_script_stream.h"

namespace zorv_interface {

struct TcpScriptTransport {
    using Protocol = asio::ip::tcp;

    static const ScriptConnectorTexts& texts();
    // Opens session's socket and connects it to host:port within the attempt's deadline;
    // 0 or -1 (logged).
    static int establish(ScriptSession<Protocol>& session, const std::string& host, int port,
                         const ScriptConnectAttempt& attempt);
    static void prepareRead(Protocol::socket& socket);
};

class ConnectorScriptTcp final : public ConnectorScriptStream<TcpScriptTransport> {
public:
    using ConnectorScriptStream::ConnectorScriptStream;
};

}  // namespace zorv_interface
