#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "zorv_interface/export.h"

namespace zorv_interface {

// Largest payload a frame of the given type can describe.
constexpr std::size_t kMaxType0Payload = 0xFFFF;
constexpr std::size_t kMaxType1Payload = 0x7FFFFFFF;

// Appends one "SOF" frame (magic, type byte, big-endian length, payload) to out.
// Throws std::length_error, writing nothing, when the payload does not fit the type.
template <typename Payload, typename Out>
void encode(char type, const Payload& payload, Out& out) {
    const std::size_t size = payload.size();
    const std::size_t limit = type == 0 ? kMaxType0Payload : kMaxType1Payload;
    if ((type == 0 || type == 1) && size > limit) {
        throw std::length_error("SOF frame payload of " + std::to_string(size) +
                                " bytes exceeds the limit of type " + std::to_string(int(type)));
    }
    const std::size_t header = type == 1 ? 8 : 6;
    const std::size_t total = out.size() + size + header;
    if (total > out.capacity()) {
        out.reserve(total);
    }
    out.push_back('S');
    out.push_back('O');
    out.push_back('F');
    out.push_back(type);
    if (type == 0) {
        out.push_back(static_cast<char>((size >> 8) & 0xFF));
        out.push_back(static_cast<char>(size & 0xFF));
    } else if (type == 1) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            out.push_back(static_cast<char>((size >> shift) & 0xFF));
        }
    }
    out.insert(out.end(), payload.begin(), payload.end());
    out.resize(total, 0);
}

// Splits a byte stream into "SOF" frames, across chunks of any size.
class ZORV_SDK_API PackageDispatch {
public:
    // payload, payload length, frame type; the pointer is valid only during the call.
    using FrameHandler = std::function<int(char*, std::size_t, char)>;

    explicit PackageDispatch(FrameHandler handler = nullptr);
    ~PackageDispatch();

    // Feeds one chunk; returns the result of the last step (0, -1, -2, -3 or a handler's).
    int dispatch(char* data, std::size_t size, FrameHandler on_frame = nullptr);
    void reset();

private:
    bool readWholeHeader(const char*& pos, const char* end);
    void startPayload(std::uint32_t declared);
    // target: the per-call handler when set, else the constructor's
    int step(const char*& pos, const char* end, const FrameHandler& target);
    int readLengthByte(const char*& pos);
    int readPayload(const char*& pos, const char* end, const FrameHandler& target);
    int deliver(const FrameHandler& target);

    FrameHandler handler;
    int state = 0;
    char type = 0;
    int length = 0;
    std::vector<char> payload;
    std::uint32_t lengthField = 0;  // length bytes gathered so far, big-endian
    int lengthBytes = 0;
};

// Debug dump: "len: N data: " then each byte, control and non-ASCII bytes as '-'.
ZORV_SDK_API std::ostream& print(std::ostream& os, char* data, std::size_t size);

}  // namespace zorv_interface
