#include "connector_rtde_handshake.h"

#include <asio.hpp>
#include <nlohmann/json.hpp>

#include "connector_rtde_sites.h"

namespace zorv_interface {

namespace {

// Longest connection information accepted; a peer that sends more without the
// closing "}\n\n" fails the read.
constexpr std::size_t kMaxConnectionInfo = 1 << 20;

// A socket as asio's read_until sees it, every read bounded by a deadline and an
// abandon check (asio's own blocking reads ignore the socket's receive time-out).
template <typename Socket>
struct BoundedReads {
    Socket& socket;
    SocketDeadline deadline;
    const RtdeConnectAbandon& abandoned;

    template <typename Buffers>
    std::size_t read_some(const Buffers& buffers, std::error_code& error) {
        return readSomeWithin(socket, buffers, deadline, abandoned, error);
    }
};

nlohmann::json member(const nlohmann::json& object, const char* key) {
    if (object.is_object()) {
        auto it = object.find(key);
        if (it != object.end()) {
            return *it;
        }
    }
    return nullptr;
}

}  // namespace

template <typename Socket>
std::error_code readConnectionInfo(Socket& socket, SocketDeadline deadline, const RtdeConnectAbandon& abandoned,
                                   RtdeConnectionInfo& info) {
    asio::streambuf received(kMaxConnectionInfo);
    std::error_code error;
    BoundedReads<Socket> stream{socket, deadline, abandoned};
    const std::size_t end = asio::read_until(stream, received, "}\n\n", error);
    if (error) {
        return error;
    }
    const char* begin = static_cast<const char*>(received.data().data());
    const auto parsed = nlohmann::json::parse(begin, begin + end, nullptr, true, false);
    member(parsed, "protocol").get<std::string>();
    info.version = member(parsed, "version").get<int>();
    info.input = member(parsed, "input").get<std::map<std::string, int>>();
    info.output = member(parsed, "output").get<std::map<std::string, int>>();
    info.leftover.assign(begin + end, begin + received.size());
    return {};
}

template std::error_code readConnectionInfo(RtdeSocket<asio::ip::tcp>&, SocketDeadline, const RtdeConnectAbandon&,
                                            RtdeConnectionInfo&);
template std::error_code readConnectionInfo(RtdeSocket<asio::local::stream_protocol>&, SocketDeadline,
                                            const RtdeConnectAbandon&, RtdeConnectionInfo&);

}  // namespace zorv_interface
