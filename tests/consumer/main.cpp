// Links every part of the exported interface, so a symbol missing from the
// installed library fails this build.
#include <iostream>
#include <vector>

#include <zorv_interface/zorv_sdk.h>

using namespace zorv_interface;

int main() {
    std::vector<char> frame;
    encode(1, std::string("{}"), frame);
    int delivered = 0;
    PackageDispatch splitter([&](char*, std::size_t size, char) { return delivered = static_cast<int>(size); });
    splitter.dispatch(frame.data(), frame.size());

    nlohmann::json header = Header{};
    const ZorvException error(-1, "consumer");
    Log(GetDefaultLogHandler()).Get(LogLevel::Info, file_name(__FILE__), 1) << "consumer built";

    RpcClient rpc;
    RtdeClient rtde(0);
    ScriptClient script(0);
    const bool ok = delivered == 2 && header.at("error_code") == -1 && error.code() == -1 && !rpc.hasConnected();
    std::cout << (ok ? "consumer ok" : "consumer FAILED") << std::endl;
    return ok ? 0 : 1;
}
