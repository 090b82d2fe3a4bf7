// Frame codec throughput, beside memcpy of the same bytes in the same chunks.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "zorv_interface/codec.h"

using zorv_interface::encode;
using zorv_interface::PackageDispatch;

namespace {

constexpr std::size_t kChunk = 10240;

// A stream of frames of the given payload size, at least 1 MiB long.
std::vector<char> makeStream(std::size_t payloadSize) {
    const std::string payload(payloadSize, 'p');
    std::vector<char> stream;
    while (stream.size() < (1u << 20)) {
        encode(1, payload, stream);
    }
    return stream;
}

void BM_Encode(benchmark::State& state) {
    const std::string payload(static_cast<std::size_t>(state.range(0)), 'p');
    for (auto _ : state) {
        std::vector<char> out;
        encode(1, payload, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Dispatch(benchmark::State& state) {
    std::vector<char> stream = makeStream(static_cast<std::size_t>(state.range(0)));
    std::size_t frames = 0;
    PackageDispatch splitter([&](char* data, std::size_t, char) {
        benchmark::DoNotOptimize(data);
        ++frames;
        return 0;
    });
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += kChunk) {
            splitter.dispatch(stream.data() + at, std::min(kChunk, stream.size() - at));
        }
    }
    benchmark::DoNotOptimize(frames);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}

// The reference: copying the same stream chunk by chunk into one buffer.
void BM_Memcpy(benchmark::State& state) {
    std::vector<char> stream = makeStream(static_cast<std::size_t>(state.range(0)));
    std::vector<char> target(kChunk);
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += kChunk) {
            const std::size_t n = std::min(kChunk, stream.size() - at);
            std::memcpy(target.data(), stream.data() + at, n);
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}

}  // namespace

BENCHMARK(BM_Encode)->Arg(64)->Arg(1024)->Arg(64 * 1024);
BENCHMARK(BM_Dispatch)->Arg(64)->Arg(1024)->Arg(64 * 1024);
BENCHMARK(BM_Memcpy)->Arg(64)->Arg(1024)->Arg(64 * 1024);

BENCHMARK_MAIN();
