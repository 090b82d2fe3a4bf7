#include "connector_rtde_tcp.h"

namespace zorv_interface {

namespace {

const RtdeSites& tcpSites() {
    static const RtdeSites sites = [] {
        RtdeSites s;
        s.file = file_name(__FILE__);
        s.tcp = true;
        s.pollingStart = {70, "Start RTDE polling..."};
        s.pollingPause = {77, "Pause RTDE polling..."};
        s.keepAliveFailed = {87, "RTDE send failed: "};
        s.watchdog = {120, "The chanel "};
        s.alreadyConnected = {164, "RTDE client already connected"};
        s.recvInfoFailed = {226, "RTDE client recv connect info FAILED: "};
        s.loginTimeout = {299, "RTDE client login TIMEOUT: "};
        s.loginSucceed = {304, "RTDE client login succeed."};
        s.disconnectFailed = {343, "RTDE client disconnect FAILED: "};
        s.disconnected = {346, "RTDE client disconnected."};
        s.cannotFind = {380, "Cannot find "};
        s.setTopicNotConnected = {392, "setTopic: RTDE client has not connected"};
        s.setTopicNotLogined = {397, "setTopic: RTDE client has not logined"};
        s.runOutInput = {412, "setTopic: Run out of input chanels."};
        s.runOutOutput = {425, "setTopic: Run out of Output chanels."};
        s.checkRecipeFailed = {447, "Check recipe FAILED"};
        s.removeNotConnected = {456, "RTDE client has not connected"};
        s.removeNotLogined = {461, "RTDE client has not logined"};
        s.publishNotConnected = {508, "publish: RTDE client has not connected"};
        s.publishNotLogined = {513, "publish: RTDE client has not logined"};
        s.publish = {527, "publish "};
        s.payloadNotUtf8 = {528, "publish: payload is not valid UTF-8: "};
        s.payloadTooLong = {530, "publish: payload does not fit one frame: "};
        s.sendNotLogined = {541, "RTDE send failed because client has not logined yet"};
        s.writeFailed = {556, "RTDE send failed: "};
        s.sendTimeout = {564, "RTDE send TIMEOUT"};
        s.unknownChannel = {598, "Cannot find chanel "};
        s.notArray = {601, "Json str is not array: "};
        s.parseError = {605, "RTDE parse_error: "};
        s.parseErrorDump = {606, ""};
        s.typeError = {610, "RTDE type_error: "};
        s.typeErrorDump = {611, ""};
        s.unknownError = {615, "RTDE unknown error: "};
        s.unknownErrorDump = {616, ""};
        s.doReadNotConnected = {627, "doRead FAILED: RTDE client has not connected"};
        s.recvPackageFailed = {645, "RTDE client recv package failed: "};
        s.recvData = {647, "Data: "};
        s.recvRetryFail = {650, "RTDE client recv retry fail"};
        s.completionNotConnected = {657, "doRead FAILED: RTDE client has not connected"};
        return s;
    }();
    return sites;
}

// The connect sites outside the table: the local socket's connect has others.
constexpr RtdeSite kConnectFailed{212, "RTDE client connect info FAILED: "};

}  // namespace

RtdeClient::Impl::AsioTcp::AsioTcp(RtdeTiming timing) : RtdeConnection(tcpSites(), timing) {}

int RtdeClient::Impl::AsioTcp::connect(const std::string& host, int port) {
    const auto abandoned = connectAbandon();
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (reportAlreadyConnected()) {
        return 1;
    }
    closeSocket();
    auto fresh = std::make_shared<Socket>(ioContext.get_executor());
    fresh->open(asio::ip::tcp::v4());
    fresh->set_option(asio::socket_base::keep_alive(true));
    fresh->set_option(asio::ip::tcp::no_delay(true));
    setSocketTimeouts(*fresh);
    const asio::ip::tcp::endpoint endpoint(asio::ip::make_address(host), static_cast<unsigned short>(port));
    if (const auto error = connectWithin(*fresh, endpoint, peerDeadline(), abandoned)) {
        log(LogLevel::Error, kConnectFailed) << error.message();
        return -1;
    }
    return completeHandshake(std::move(fresh), abandoned);
}

}  // namespace zorv_interface
