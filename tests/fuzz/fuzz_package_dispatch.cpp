// Feeds arbitrary bytes to the frame splitter in arbitrary chunks.
// Input layout: byte 0 seeds the chunk sizes, the rest is the stream.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "zorv_interface/codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    unsigned seed = data[0];
    std::vector<char> stream(data + 1, data + size);
    std::size_t delivered = 0;
    zorv_interface::PackageDispatch splitter([&](char* payload, std::size_t length, char) {
        if (length > 0) {
            // Touch both ends so an out-of-range pointer shows up under ASan.
            delivered += static_cast<unsigned char>(payload[0]) + static_cast<unsigned char>(payload[length - 1]);
        }
        return static_cast<int>(length & 0x7F);
    });
    std::size_t at = 0;
    while (at < stream.size()) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t chunk = std::min<std::size_t>(1 + (seed >> 16) % 64, stream.size() - at);
        splitter.dispatch(stream.data() + at, chunk);
        at += chunk;
    }
    return delivered == SIZE_MAX ? 1 : 0;
}
