// The C++ half of bench_python.py: times getRunningInfo round trips against a
// running controller and prints the median, for comparison with the same call
// made through the Python module.
//
//   bench_python_rt <port> <password> <calls>   ->   "MEDIAN_NS <n>"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "zorv_interface/rpc_client.h"

namespace {

long long medianOf(std::vector<long long> samples) {
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <port> <password> <calls>\n", argv[0]);
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int calls = std::max(1, std::atoi(argv[3]));
    zorv_interface::RpcClient client;
    client.setLogHandler([](int, const char*, int, const std::string&) {});
    client.setRequestTimeout(2000);
    if (client.connect("127.0.0.1", port) != 0) {
        std::fprintf(stderr, "connect failed\n");
        return 1;
    }
    client.login("bench", argv[2]);
    for (int i = 0; i < calls / 10; ++i) {
        client.getRunningInfo();  // warm-up
    }
    std::vector<long long> samples;
    samples.reserve(static_cast<size_t>(calls));
    for (int i = 0; i < calls; ++i) {
        const auto start = std::chrono::steady_clock::now();
        client.getRunningInfo();
        const auto stop = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(stop - start).count());
    }
    std::printf("MEDIAN_NS %lld\n", medianOf(samples));
    return 0;
}
