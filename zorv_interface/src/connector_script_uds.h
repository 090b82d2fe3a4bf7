#pragma once

#include "connector_script_stream.h"

namespace zorv_interface {

struct UdsScriptTransport {
    using Protocol = asio::local::stream_protocol;

    static const ScriptConnectorTexts& texts();
    // Connects session's socket to the local socket at path; 0 or -1 (logged).
    static int establish(ScriptSession<Protocol>& session, const std::string& path, int port,
                         const ScriptConnectAttempt& attempt);
    static void prepareRead(Protocol::socket& socket);
};

class ConnectorScriptUds final : public ConnectorScriptStream<UdsScriptTransport> {
public:
    using ConnectorScriptStream::ConnectorScriptStream;
};

}  // namespace zorv_interface
