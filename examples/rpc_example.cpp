// Connects to a controller, logs in, and prints its running information, pose and
// navigation state.  Usage: rpc_example HOST PORT [USER PASSWORD]
#include <cstdlib>
#include <iostream>
#include <string>

#include "zorv_interface/rpc_client.h"
#include "zorv_interface/zorv_exception.h"

using namespace zorv_interface;

namespace {

template <typename Enum>
std::string nameOf(Enum value) {
    nlohmann::json text;
    to_json(text, value);
    return text.get<std::string>();
}

void print(const RunningInfo& info) {
    std::cout << "running mode: " << nameOf(info.running_mode) << "\n"
              << "speed: v=" << info.current_speed.v << " m/s, w=" << info.current_speed.w << " rad/s\n"
              << "battery: " << info.battery_voltage << " V, " << info.battery_current << " A"
              << (info.low_battery ? " (low)" : "") << "\n"
              << "distance: " << info.current_dist << " m of " << info.total_dist << " m total\n"
              << "emergency stop: " << std::boolalpha << info.emergency_stop << ", blocked: " << info.blocked
              << ", localization lost: " << info.localization_loss << "\n";
}

void print(const Pose2d& pose) {
    std::cout << "pose: x=" << pose.x << " m, y=" << pose.y << " m, yaw=" << pose.yaw << " rad\n";
}

void print(const NavInfo& nav) {
    std::cout << "navigation: " << nameOf(nav.status) << ", type " << nameOf(nav.nav_type) << ", goal station '"
              << nav.goal_station.header.id << "', " << nav.current_trajectory.size() << " trajectory points\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::cerr << "usage: " << argv[0] << " HOST PORT [USER PASSWORD]\n";
        return 2;
    }
    const std::string host = argv[1];
    const int port = std::atoi(argv[2]);
    const std::string user = argc == 5 ? argv[3] : "admin";
    const std::string password = argc == 5 ? argv[4] : "";

    RpcClient client;
    // The default request time-out is 10 ms, too short for most controllers.
    client.setRequestTimeout(2000);
    client.setEventHandler([](int event) {
        if (event == 1) std::cerr << "connection closed\n";
    });
    try {
        if (client.connect(host, port) != 0) {
            std::cerr << "cannot connect to " << host << ":" << port << "\n";
            return 1;
        }
        client.login(user, password);
        print(client.getRunningInfo());
        print(client.getAgvCurrentPose());
        print(client.getNavInfo());
    } catch (const ZorvException& e) {
        std::cerr << "failed with status " << e.code() << ": " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "failed: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
