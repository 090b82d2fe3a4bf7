// zorv_test_controller: the test controller as a program, for examples and for tests
// that drive the RPC client from another process.
//
//   zorv_test_controller [--port N] [--password P] [--no-stdin]
//
// --port N      listen on 127.0.0.1:N; 0 or absent picks a free port.
// --password P  check the login digest against P ("__login__\nFAILED" on mismatch);
//               without it every login line is answered "__login__\nSUCCEED".
// --no-stdin    ignore stdin and serve until SIGINT or SIGTERM; otherwise the program
//               exits when stdin reaches end of file.
//
// Standard output, one record per line, flushed at once:
//   PORT <n>            first line: the port listened on
//   LOGIN <payload>     each login payload, trailing newline dropped, inner newlines written as \n
//   REQUEST <payload>   each other frame payload exactly as received (raw newlines as \n)
//   OK <cmd>            a control command was applied
//   ERROR <text>        a control line was not understood (on standard error)
//
// Replies: a queued reply answers the next request; otherwise the method's standing reply;
// otherwise {"result":0}. Built-in standing replies give realistic records for
// "ZorvInterface.getRunningInfo", "ZorvInterface.getAgvCurrentPose" and "ZorvInterface.getNavInfo".
// Reply objects get the request's "id" and "jsonrpc":"2.0" added.
//
// Control commands on stdin, one JSON object per line:
//   {"cmd":"set","method":"ZorvInterface.x","reply":{"result":...}}   standing reply of a method
//   {"cmd":"queue","reply":{"error":{"code":-32601,"message":"..."}}}  reply to the next request only
//   {"cmd":"queue_raw","text":"..."}                                   exact payload for the next request
//   {"cmd":"close"}                                                    close the client connection

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>

#include "test_controller.h"

namespace {

std::mutex outputMutex;

void emit(const std::string& tag, const std::string& text) {
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            line += "\\n";
        } else {
            line += c;
        }
    }
    std::lock_guard<std::mutex> lock(outputMutex);
    std::printf("%s %s\n", tag.c_str(), line.c_str());
    std::fflush(stdout);
}

struct Arguments {
    int port = 0;
    bool checkPassword = false;
    std::string password;
    bool readStdin = true;
};

Arguments parse(int argc, char** argv) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        const bool hasValue = i + 1 < argc;
        if (flag == "--port" && hasValue) {
            args.port = std::atoi(argv[++i]);
        } else if (flag == "--password" && hasValue) {
            args.checkPassword = true;
            args.password = argv[++i];
        } else if (flag == "--no-stdin") {
            args.readStdin = false;
        } else {
            std::fprintf(stderr, "usage: %s [--port N] [--password P] [--no-stdin]\n", argv[0]);
            std::exit(2);
        }
    }
    return args;
}

void applyCommand(zorv_test::TestController& controller, const std::string& line) {
    const auto command = nlohmann::json::parse(line);
    const std::string cmd = command.at("cmd").get<std::string>();
    if (cmd == "set") {
        controller.setStanding(command.at("method").get<std::string>(), command.at("reply"));
    } else if (cmd == "queue") {
        controller.queueReply(command.at("reply"));
    } else if (cmd == "queue_raw") {
        controller.queueRaw(command.at("text").get<std::string>());
    } else if (cmd == "close") {
        controller.closeClient();
    } else {
        throw std::invalid_argument("unknown cmd " + cmd);
    }
    emit("OK", cmd);
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments args = parse(argc, argv);

    // Blocked before the server thread starts, so only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (!args.readStdin) {
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    }

    zorv_test::TestController::Options options;
    options.port = static_cast<std::uint16_t>(args.port);
    options.password = args.password;
    options.login = args.checkPassword ? zorv_test::TestController::LoginMode::CheckPassword
                                       : zorv_test::TestController::LoginMode::Succeed;
    options.onLogin = [](const std::string& payload) {
        const bool trailing = !payload.empty() && payload.back() == '\n';
        emit("LOGIN", trailing ? payload.substr(0, payload.size() - 1) : payload);
    };
    options.onRequest = [](const std::string& payload) { emit("REQUEST", payload); };

    zorv_test::TestController controller(options);
    controller.useCannedReplies();
    emit("PORT", std::to_string(controller.port()));

    if (!args.readStdin) {
        int received = 0;
        sigwait(&stopSignals, &received);
        return 0;
    }
    for (std::string line; std::getline(std::cin, line);) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        try {
            applyCommand(controller, line);
        } catch (const std::exception& error) {
            std::lock_guard<std::mutex> lock(outputMutex);
            std::fprintf(stderr, "ERROR %s\n", error.what());
            std::fflush(stderr);
        }
    }
    return 0;
}
