#include "zorv_interface/codec.h"

#include <algorithm>

namespace zorv_interface {

namespace {

// A peer's header alone never makes us reserve more than this; larger payloads
// grow the buffer as their bytes actually arrive.
constexpr std::size_t kMaxUpfrontReserve = 1 << 20;

enum State { SeekS = 0, ExpectO, ExpectF, TypeByte, LengthHigh, LengthLow, Payload };

bool knownType(char type) {
    return type == 0 || type == 1;
}

}  // namespace

PackageDispatch::PackageDispatch(FrameHandler handler) : handler(std::move(handler)) {}

PackageDispatch::~PackageDispatch() = default;

int PackageDispatch::dispatch(char* data, std::size_t size, FrameHandler on_frame) {
    const char* pos = data;
    const char* const end = data + size;
    const FrameHandler& target = on_frame ? on_frame : handler;
    int result = 0;
    try {
        while (pos < end) {
            if (state == SeekS && readWholeHeader(pos, end)) {
                result = pos < end ? readPayload(pos, end, target) : 0;
            } else {
                result = step(pos, end, target);
            }
        }
    } catch (...) {
        // Never deliver the same frame twice after a throwing handler.
        reset();
        throw;
    }
    return result;
}

void PackageDispatch::reset() {
    state = SeekS;
    type = 0;
    length = 0;
    lengthField = 0;
    lengthBytes = 0;
    payload.clear();
}

// Fast path for a header that lies whole in the chunk; the byte-wise steps
// would reach the same state with the same (zero) results.
bool PackageDispatch::readWholeHeader(const char*& pos, const char* end) {
    const std::size_t available = static_cast<std::size_t>(end - pos);
    if (available < 6 || pos[0] != 'S' || pos[1] != 'O' || pos[2] != 'F' || !knownType(pos[3])) {
        return false;
    }
    const auto byte = [pos](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(pos[i])); };
    const std::size_t headerSize = pos[3] == 1 ? 8 : 6;
    if (available < headerSize) {
        return false;
    }
    const std::uint32_t declared =
        headerSize == 8 ? (byte(4) << 24) | (byte(5) << 16) | (byte(6) << 8) | byte(7) : (byte(4) << 8) | byte(5);
    if (declared > kMaxType1Payload) {
        return false;
    }
    type = pos[3];
    pos += headerSize;
    startPayload(declared);
    return true;
}

void PackageDispatch::startPayload(std::uint32_t declared) {
    length = static_cast<int>(declared);
    const std::size_t wanted = std::min<std::size_t>(declared, kMaxUpfrontReserve);
    if (wanted > payload.capacity()) {
        payload.reserve(wanted);
    }
    state = Payload;
}

int PackageDispatch::step(const char*& pos, const char* end, const FrameHandler& target) {
    switch (state) {
    case SeekS:
        if (*pos++ == 'S') {
            state = ExpectO;
            return 0;
        }
        return -1;
    case ExpectO:
        if (*pos != 'O') {
            state = SeekS;
            return -2;
        }
        ++pos;
        state = ExpectF;
        return 0;
    case ExpectF:
        if (*pos != 'F') {
            state = SeekS;
            return -3;
        }
        ++pos;
        state = TypeByte;
        return 0;
    case TypeByte:
        type = *pos++;
        lengthField = 0;
        lengthBytes = 0;
        state = LengthHigh;
        return 0;
    case LengthHigh:
    case LengthLow:
        return readLengthByte(pos);
    default:
        return readPayload(pos, end, target);
    }
}

int PackageDispatch::readLengthByte(const char*& pos) {
    if (!knownType(type)) {
        state = SeekS;  // the byte is examined again as a possible 'S'
        return 0;
    }
    lengthField = (lengthField << 8) | static_cast<unsigned char>(*pos++);
    const int half = type == 0 ? 1 : 2;
    if (++lengthBytes < 2 * half) {
        state = lengthBytes < half ? LengthHigh : LengthLow;
        return 0;
    }
    if (lengthField > kMaxType1Payload) {
        // Outside the format: drop the header and resynchronise on what follows.
        reset();
        return 0;
    }
    startPayload(lengthField);
    return 0;
}

int PackageDispatch::readPayload(const char*& pos, const char* end, const FrameHandler& target) {
    const std::size_t missing = static_cast<std::size_t>(length) - payload.size();
    const std::size_t available = static_cast<std::size_t>(end - pos);
    if (available < missing) {
        payload.insert(payload.end(), pos, end);
        pos = end;
        return 0;
    }
    payload.insert(payload.end(), pos, pos + missing);
    pos += missing;
    return deliver(target);
}

int PackageDispatch::deliver(const FrameHandler& target) {
    int result = 0;
    if (target) {
        result = target(payload.data(), payload.size(), type);
    }
    reset();
    return result;
}

std::ostream& print(std::ostream& os, char* data, std::size_t size) {
    os << "len: " << size << " data: ";
    for (std::size_t i = 0; i < size; ++i) {
        const signed char c = static_cast<signed char>(data[i]);
        os << (c < 32 ? '-' : static_cast<char>(c));
    }
    return os;
}

}  // namespace zorv_interface
