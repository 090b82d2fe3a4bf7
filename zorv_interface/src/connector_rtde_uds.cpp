#include "connector_rtde_uds.h"

namespace zorv_interface {

namespace {

const RtdeSites& udsSites() {
    static const RtdeSites sites = [] {
        RtdeSites s;
        s.file = file_name(__FILE__);
        s.tcp = false;
        s.pollingStart = {59, "Start RTDE polling..."};
        s.pollingPause = {67, "Pause RTDE polling..."};
        s.alreadyConnected = {107, "RTDE client already connected"};
        s.recvInfoFailed = {137, "RTDE Uds client recv connect info FAILED: "};
        s.loginTimeout = {210, "RTDE Uds client login TIMEOUT: "};
        s.loginSucceed = {215, "RTDE Uds client login succeed."};
        s.disconnectFailed = {254, "RTDE Uds client disconnect FAILED: "};
        s.disconnected = {257, "RTDE Uds client disconnected."};
        s.cannotFind = {291, "Cannot find "};
        s.setTopicNotConnected = {303, "setTopic: RTDEUds  client has not connected"};
        s.setTopicNotLogined = {308, "setTopic: RTDE Uds client has not logined"};
        s.runOutInput = {323, "setTopic: Run out of input channels."};
        s.runOutOutput = {336, "setTopic: Run out of Output channels."};
        s.checkRecipeFailed = {358, "Check recipe FAILED"};
        s.removeNotConnected = {367, "RTDE Uds client has not connected"};
        s.removeNotLogined = {372, "RTDE Uds client has not logined"};
        s.publishNotConnected = {417, "publish: RTDE Uds client has not connected"};
        s.publishNotLogined = {422, "publish: RTDE Uds client has not logined"};
        s.publish = {436, "publish "};
        s.payloadNotUtf8 = {437, "publish: payload is not valid UTF-8: "};
        s.payloadTooLong = {439, "publish: payload does not fit one frame: "};
        s.sendNotLogined = {450, "RTDE send failed because client has not logined yet"};
        s.writeFailed = {465, "RTDE send failed: "};
        s.sendTimeout = {473, "RTDE send TIMEOUT"};
        s.unknownChannel = {502, "Cannot find chanel "};
        s.notArray = {505, "Json str is not array: "};
        s.parseError = {509, "RTDE parse_error: "};
        s.parseErrorDump = {510, ""};
        s.typeError = {514, "RTDE type_error: "};
        s.typeErrorDump = {515, ""};
        s.unknownError = {519, "RTDE unknown error: "};
        s.unknownErrorDump = {520, ""};
        s.doReadNotConnected = {526, "doRead FAILED: RTDE client has not connected"};
        s.completionNotConnected = {535, "doRead FAILED: RTDE client has not connected"};
        s.recvPackageFailed = {540, "RTDE client recv package failed: "};
        s.recvData = {542, "Data: "};
        s.recvRetryFail = {545, "RTDE client recv retry fail"};
        return s;
    }();
    return sites;
}

// The connect sites outside the table: the TCP connect has others.
constexpr RtdeSite kDisconnectBefore{115, "Disconnect before connect to "};
constexpr RtdeSite kConnecting{118, "connecting to "};
constexpr RtdeSite kConnectFailed{125, "Connect to /run/nelt/rtde.socket FAILED: "};
constexpr RtdeSite kConnected{130, "Connect to RTDE Uds successed"};

}  // namespace

RtdeClient::Impl::AsioUds::AsioUds(RtdeTiming timing) : RtdeConnection(udsSites(), timing) {}

int RtdeClient::Impl::AsioUds::connect(const std::string& path) {
    const auto abandoned = connectAbandon();
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (reportAlreadyConnected()) {
        return 1;
    }
    if (closeSocket()) {
        log(LogLevel::Debug, kDisconnectBefore) << path;
    } else {
        log(LogLevel::Info, kConnecting) << path;
    }
    auto fresh = std::make_shared<Socket>(ioContext.get_executor());
    std::error_code error;
    fresh->connect(asio::local::stream_protocol::endpoint(path), error);
    if (error) {
        log(LogLevel::Error, kConnectFailed) << error.message();
        return -1;
    }
    log(LogLevel::Info, kConnected);
    return completeHandshake(std::move(fresh), abandoned);
}

}  // namespace zorv_interface
