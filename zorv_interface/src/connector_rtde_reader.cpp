#include "connector_rtde_reader.h"

#include <exception>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "connector_rtde.h"
#include "input_parser_impl.h"

namespace zorv_interface {

namespace {

const char kNonStandardException[] = "exception of a type not derived from std::exception";
constexpr int kReadAttempts = 4;

std::string quoted(const nlohmann::json& value) { return "\"" + value.dump() + "\""; }

}  // namespace

template <typename Protocol>
RtdeReader<Protocol>::RtdeReader(RtdeConnection<Protocol>& connection)
    : connection(connection),
      log(connection.log),
      sites(connection.log.sites),
      frameReader([this](char* data, std::size_t size, char) { return parse(data, size); }) {}

template <typename Protocol>
int RtdeReader<Protocol>::doRead() {
    SocketPtr current = connection.currentSocket();
    if (!connection.connected || !current) {
        log(LogLevel::Error, sites.doReadNotConnected);
        return -1;
    }
    if (current != dispatchSocket) {
        feedHandshakeLeftover(current);
    }
    if (readingSocket == current) {
        return 0;
    }
    readingSocket = current;
    std::lock_guard<std::mutex> guard(connection.socketMutex);
    current->async_read_some(asio::buffer(receiveBuffer),
                             [this, current](const std::error_code& error, std::size_t size) {
                                 onRead(current, error, size);
                             });
    return 0;
}

// Bytes that came with the connection information are the start of the frame stream.
template <typename Protocol>
void RtdeReader<Protocol>::feedHandshakeLeftover(const SocketPtr& current) {
    frameReader.reset();
    dispatchSocket = current;
    std::vector<char> leftover = connection.takeLeftover(current);
    if (!leftover.empty()) {
        frameReader.dispatch(leftover.data(), leftover.size());
    }
}

template <typename Protocol>
void RtdeReader<Protocol>::onRead(const SocketPtr& source, const std::error_code& error, std::size_t size) {
    if (readingSocket == source) {
        readingSocket.reset();
    }
    connection.ticks.dataArrived();
    if (!sites.tcp && !connection.connected) {
        log(LogLevel::Error, sites.completionNotConnected);
        return;
    }
    const bool stale = !connection.isCurrent(source);
    if (error && error != asio::error::eof) {
        onReadError(stale, error, size);
        return;
    }
    if (!connection.connected) {
        log(LogLevel::Error, sites.completionNotConnected);
        return;
    }
    if (stale) {
        return;
    }
    retryCount = 0;
    if (error == asio::error::eof) {
        connection.closeConnection();  // the server closed the stream
        return;
    }
    frameReader.dispatch(receiveBuffer.data(), size);
    doRead();
}

template <typename Protocol>
void RtdeReader<Protocol>::onReadError(bool stale, const std::error_code& error, std::size_t size) {
    log(LogLevel::Error, sites.recvPackageFailed) << error.message();
    if (stale) {
        return;  // the read of a connection already closed
    }
    log(LogLevel::Error, sites.recvData) << std::string(receiveBuffer.data(), size);
    // A reset stream never signals the reactor again: only a live peer gets a retry.
    if (++retryCount < kReadAttempts && connection.peerAlive()) {
        doRead();
        return;
    }
    if (retryCount < kReadAttempts) {
        connection.closeConnection();  // gone like an end-of-stream
        return;
    }
    log(LogLevel::Error, sites.recvRetryFail) << "\n";
    connection.closeConnection();
}

template <typename Protocol>
int RtdeReader<Protocol>::parse(char* data, std::size_t size) {
    if (!connection.logined) {
        return 0;
    }
    try {
        auto value = nlohmann::json::from_cbor(data, data + size, true, false);
        if (value.is_discarded()) {
            value = nlohmann::json::parse(data, data + size);
        }
        if (!value.is_array()) {
            log(LogLevel::Error, sites.notArray) << quoted(value);
            return 0;
        }
        const int channel = value.at(0).template get<int>();
        const auto subscriber = connection.topics.subscriber(channel);
        if (!subscriber || !subscriber->handler) {
            log(LogLevel::Error, sites.unknownChannel) << channel << (sites.tcp ? ": " + quoted(value) : std::string());
            return 0;
        }
        InputParser parser;
        parser.impl().setJsonData(std::move(value));
        subscriber->handler(parser);
        connection.topics.countDelivery(*subscriber);
        return 0;
    } catch (const nlohmann::json::parse_error& error) {
        logDecodeFailure(sites.parseError, sites.parseErrorDump, error.what(), data, size);
    } catch (const nlohmann::json::type_error& error) {
        logDecodeFailure(sites.typeError, sites.typeErrorDump, error.what(), data, size);
    } catch (const std::exception& error) {
        logDecodeFailure(sites.unknownError, sites.unknownErrorDump, error.what(), data, size);
    } catch (...) {
        logDecodeFailure(sites.unknownError, sites.unknownErrorDump, kNonStandardException, data, size);
    }
    return -1;
}

template <typename Protocol>
void RtdeReader<Protocol>::logDecodeFailure(const RtdeSite& site, const RtdeSite& dump, const char* what, char* data,
                                            std::size_t size) {
    log(LogLevel::Error, site) << what;
    print(log(LogLevel::Error, dump), data, size);
}

template class RtdeReader<asio::ip::tcp>;
template class RtdeReader<asio::local::stream_protocol>;

}  // namespace zorv_interface
