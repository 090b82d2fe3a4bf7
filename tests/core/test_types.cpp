#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "zorv_interface/types.h"

using namespace zorv_interface;
using nlohmann::json;

namespace {

// Builds T over garbage bytes, so a field the constructor leaves alone keeps the garbage.
template <typename T>
class OverDirtyMemory {
public:
    OverDirtyMemory() {
        std::memset(storage_, 0xA5, sizeof storage_);
        asm volatile("" : : "r"(storage_) : "memory");  // keep the fill alive
        value_ = new (storage_) T;
    }
    ~OverDirtyMemory() { value_->~T(); }
    OverDirtyMemory(const OverDirtyMemory&) = delete;
    OverDirtyMemory& operator=(const OverDirtyMemory&) = delete;
    const T& operator*() const { return *value_; }
    const T* operator->() const { return value_; }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
    T* value_;
};

// Normalises whitespace while keeping integer/float kinds apart ("0" vs "0.0").
std::string canonical(const char* text) { return json::parse(text).dump(); }

template <typename T>
std::string dump_of(const T& record) { return json(record).dump(); }

const char* const kDefaultHeader = R"({"error_code":-1,"id":"","map_id":"","name":"","stamp":0})";

json header_json(const std::string& id) {
    return {{"id", id}, {"name", "n-" + id}, {"stamp", 1700000000123456789}, {"map_id", "m1"}, {"error_code", 7}};
}

json map_all_info_json() {
    const json pose = {{"x", 1.5}, {"y", -2.25}, {"yaw", 0.5}};
    const json point = {{"x", 0.5}, {"y", -1.0}};
    return {{"map", {{"header", header_json("map")}, {"resolution", 0.05}, {"width", 4000000000u}, {"height", 3u},
                     {"origin", pose}, {"format", "BASE64_PNG"}, {"data", {-128, 0, 127}}}},
            {"stations", {{{"header", header_json("st")}, {"type", "charger"}, {"pose", pose}}}},
            {"paths", {{{"header", header_json("path")}, {"shape", "BEZIER"}, {"use_direction", true},
                        {"max_speed", 0.75}, {"start_station_id", "a"}, {"end_station_id", "b"},
                        {"control_points", {point, point}}}}},
            {"virtual_areas", {{{"header", header_json("area")}, {"type", "SLOW_DOWN"}, {"shape", "POLYGON"},
                                {"width_speed", 0.25}, {"vertex", {point}}}}}};
}

json nav_info_json() {
    return {{"header", header_json("nav")}, {"status", "PAUSED"}, {"type", "FREE_TO_POSE"},
            {"nav_type", "PATH_TO_STATION"}, {"auto_charging_type", "FORCE_LEAVE_BOARD"},
            {"goal_station", map_all_info_json()["stations"][0]}, {"current_trajectory", {{{"x", 3.0}, {"y", 4.0}}}}};
}

json running_info_json() {
    return {{"header", header_json("run")}, {"running_mode", "CHARGING"}, {"current_speed", {{"v", 0.3}, {"w", -0.1}}},
            {"location_score", 95}, {"total_dist", 1.0}, {"current_dist", 2.0}, {"total_running_time", 3.0},
            {"current_running_time", 4.0}, {"battery_voltage", 48.5}, {"battery_current", -3.5},
            {"remaining_voltage", 80}, {"battery_status", 2}, {"safety_edge_status", -1}, {"low_battery", true},
            {"pause", false}, {"emergency_stop", true}, {"blocked", false}, {"localization_loss", true},
            {"fault_alarm", false}, {"break_release_flag", true}};
}

json agv_details_json() {
    return {{"name", "agv"}, {"version", "1.2"}, {"MFD", "2024"}, {"SN", "sn9"}, {"communication_version", 1},
            {"battery_version", 2}, {"loop_times", 3}, {"surplus_capacity", 0.5}, {"left_motor_firmware_version", 4},
            {"right_motor_firmware_version", 5}, {"master_board_firmware_version", 6},
            {"hardware_abstraction_version", 7}, {"error_code_version", 8}, {"max_speed", 1.25}, {"max_angular", 2.5}};
}

const std::vector<std::string> kIpKeys = {"name",         "type",        "device",   "ipv4_ip",     "ipv4_gateway",
                                          "ipv4_method", "ipv4_dns",    "ipv6_ip",  "ipv6_gateway"};

json ip_address_json() {
    json j;
    for (const auto& key : kIpKeys) j[key] = key;  // each value names its own key
    return j;
}

struct StatusView {
    std::string key;
    const Header* header;
    FeedbackStatus status;
};

std::vector<StatusView> status_views(const AsyncInterfaceResultStatus& s) {
    return {{"save_map_status", &s.save_map_status.header, s.save_map_status.status},
            {"switch_map_status", &s.switch_map_status.header, s.switch_map_status.status},
            {"change_running_mode_status", &s.change_running_mode_status.header, s.change_running_mode_status.status},
            {"relocation_status", &s.relocation_status.header, s.relocation_status.status},
            {"get_grid_map_status", &s.get_grid_map_status.header, s.get_grid_map_status.status},
            {"send_grid_map_status", &s.send_grid_map_status.header, s.send_grid_map_status.status},
            {"get_png_map_status", &s.get_png_map_status.header, s.get_png_map_status.status},
            {"send_png_map_status", &s.send_png_map_status.header, s.send_png_map_status.status},
            {"set_png_all_status", &s.set_png_all_status.header, s.set_png_all_status.status},
            {"get_png_all_status", &s.get_png_all_status.header, s.get_png_all_status.status},
            {"set_grid_all_status", &s.set_grid_all_status.header, s.set_grid_all_status.status},
            {"get_grid_all_status", &s.get_grid_all_status.header, s.get_grid_all_status.status},
            {"preview_png_map_status", &s.preview_png_map_status.header, s.preview_png_map_status.status},
            {"align_railway_status", &s.align_railway_status.header, s.align_railway_status.status}};
}

json async_status_json() {
    json j = {{"header", header_json("async")}};
    for (const auto& view : status_views(AsyncInterfaceResultStatus{})) {
        j[view.key] = {{"header", header_json(view.key)}, {"status", "CANCELED"}};
    }
    return j;
}

}  // namespace

// ---------------------------------------------------------------------------
// Types and defaults

template <typename E>
constexpr bool is_scoped_int32 =
    std::is_same<std::underlying_type_t<E>, int32_t>::value && !std::is_convertible<E, int>::value;
static_assert(is_scoped_int32<AutoChargingType> && is_scoped_int32<CalibrationType> &&
              is_scoped_int32<FeedbackStatus> && is_scoped_int32<FirmwareUpdateMode> && is_scoped_int32<MapFormat> &&
              is_scoped_int32<MapVirtualAreaShape> && is_scoped_int32<MapVirtualAreaType> &&
              is_scoped_int32<NavType> && is_scoped_int32<PathShape> && is_scoped_int32<RunningMode> &&
              is_scoped_int32<ScriptRuntimeState>);
static_assert(!std::is_same<SaveMapWorkingStatus, SwitchMapWorkingStatus>::value &&
              !std::is_same<PreviewPngMapWorkingStatus, AutoAlignRailwayWorkingStatus>::value);

TEST(RecordDefaults, ErrorCodeIsMinusOneInEveryNestedHeader) {
    const OverDirtyMemory<NavInfo> nav;
    EXPECT_EQ(nav->header.error_code, -1);
    EXPECT_EQ(nav->goal_station.header.error_code, -1);

    const OverDirtyMemory<AsyncInterfaceResultStatus> async;
    EXPECT_EQ(async->header.error_code, -1);
    const auto views = status_views(*async);
    ASSERT_EQ(views.size(), 14u);
    for (const auto& view : views) {
        EXPECT_EQ(view.header->error_code, -1) << view.key;
        EXPECT_EQ(view.status, FeedbackStatus::NONE) << view.key;
    }
}

TEST(RecordDefaults, ParameterRecordsWriteZeroedScalars) {
    const std::string h = kDefaultHeader;
    const std::string pose = R"({"x":0.0,"y":0.0,"yaw":0.0})";
    const std::string speed = R"({"v":0.0,"w":0.0})";
    const std::string map = R"({"data":[],"format":"NONE","header":)" + h +
                            R"(,"height":0,"origin":)" + pose + R"(,"resolution":0.0,"width":0})";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {dump_of(*OverDirtyMemory<Header>()), h},
        {dump_of(*OverDirtyMemory<Point2d>()), R"({"x":0.0,"y":0.0})"},
        {dump_of(*OverDirtyMemory<StationMark>()), R"({"header":)" + h + R"(,"pose":)" + pose + R"(,"type":""})"},
        {dump_of(*OverDirtyMemory<MapAllInfo>()), R"({"map":)" + map + R"(,"paths":[],"stations":[],"virtual_areas":[]})"},
        {dump_of(*OverDirtyMemory<PathStation>()),
         R"({"control_points":[],"end_station_id":"","header":)" + h +
             R"(,"max_speed":0.0,"shape":"NONE","start_station_id":"","use_direction":false})"},
        {dump_of(*OverDirtyMemory<MapVirtualArea>()),
         R"({"header":)" + h + R"(,"shape":"NONE","type":"NONE","vertex":[],"width_speed":0.0})"},
        {dump_of(*OverDirtyMemory<NavGoalType>()),
         R"({"forward_flag":false,"goal_end_rotate":false,"header":)" + h + R"(,"max_vel":)" + speed +
             R"(,"secondary_adjustment":{"enable":false,"forward_flag":false,"max_angle":0.0,"max_distance":0.0})" +
             R"(,"stations_id":[],"target_pose":)" + pose + R"(,"type":"NONE"})"},
        {dump_of(*OverDirtyMemory<AutoChargingCommand>()),
         R"({"auto_charging_type":"NONE","cp_station_id":"","header":)" + h +
             R"(,"leave_to_station_id":"","max_speed":)" + speed + "}"},
        {dump_of(*OverDirtyMemory<FirmwareUpdateParam>()),
         R"({"firmware_file_path":"","left_motor":"NONE","master_board":"NONE","right_motor":"NONE"})"},
    };
    for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);
}

TEST(RecordDefaults, ResultRecordsZeroTheirScalars) {
    const OverDirtyMemory<RunningInfo> run;
    EXPECT_EQ(run->running_mode, RunningMode::NONE);
    EXPECT_EQ(run->current_speed.v + run->current_speed.w, 0.0);
    EXPECT_EQ(run->location_score | run->remaining_voltage | run->battery_status | run->safety_edge_status, 0);
    EXPECT_EQ(run->total_dist + run->current_dist + run->total_running_time + run->current_running_time +
                  run->battery_voltage + run->battery_current, 0.0);
    EXPECT_FALSE(run->low_battery || run->pause || run->emergency_stop || run->blocked || run->localization_loss ||
                 run->fault_alarm || run->break_release_flag);

    const OverDirtyMemory<AgvDetails> agv;
    EXPECT_EQ(agv->communication_version | agv->battery_version | agv->loop_times |
                  agv->left_motor_firmware_version | agv->right_motor_firmware_version |
                  agv->master_board_firmware_version | agv->hardware_abstraction_version | agv->error_code_version,
              0);
    EXPECT_EQ(agv->surplus_capacity + agv->max_speed + agv->max_angular, 0.0f);

    const OverDirtyMemory<NavInfo> nav;
    EXPECT_EQ(nav->status, FeedbackStatus::NONE);
    EXPECT_EQ(nav->type, NavType::NONE);
    EXPECT_EQ(nav->nav_type, NavType::NONE);
    EXPECT_EQ(nav->auto_charging_type, AutoChargingType::NONE);
    EXPECT_EQ(nav->header.stamp, 0);

    const OverDirtyMemory<CalibrationProcessInfo> calibration;
    EXPECT_EQ(calibration->type, CalibrationType::NONE);
    EXPECT_EQ(calibration->status, FeedbackStatus::NONE);
    EXPECT_EQ(calibration->collected_data_count, 0u);
    EXPECT_EQ(OverDirtyMemory<FirmwareUpdateProcessInfo>()->update_progress, 0.0);
}

// ---------------------------------------------------------------------------
// Writing

TEST(RecordJson, NumbersKeepTheirKinds) {
    Point2d point;
    point.x = 0.1f;
    const json p = point;
    EXPECT_TRUE(p.at("x").is_number_float());
    EXPECT_EQ(p.at("x").dump(), "0.10000000149011612");

    MapInfo map;
    map.width = 4000000000u;
    map.data = {-1, 2};
    const json m = map;
    EXPECT_TRUE(m.at("width").is_number_unsigned());
    EXPECT_EQ(m.at("width").dump(), "4000000000");
    EXPECT_EQ(m.at("data").dump(), "[-1,2]");
}

TEST(RecordJson, ParameterRecordsWriteEveryField) {
    NavGoalType goal;
    goal.header = header_json("goal").get<Header>();
    goal.type = NavType::FREE_TO_STATION;
    goal.target_pose = {1.0, 2.0, 3.0};
    goal.stations_id = {"s1", "s2"};
    goal.forward_flag = true;
    goal.goal_end_rotate = false;
    goal.secondary_adjustment = {true, false, 0.5, 0.25};
    goal.max_vel = {0.75, 0.125};
    EXPECT_EQ(json(goal).dump(),
              canonical(R"({"forward_flag":true,"goal_end_rotate":false,
                  "header":{"error_code":7,"id":"goal","map_id":"m1","name":"n-goal","stamp":1700000000123456789},
                  "max_vel":{"v":0.75,"w":0.125},
                  "secondary_adjustment":{"enable":true,"forward_flag":false,"max_angle":0.25,"max_distance":0.5},
                  "stations_id":["s1","s2"],"target_pose":{"x":1.0,"y":2.0,"yaw":3.0},"type":"FREE_TO_STATION"})"));

    AutoChargingCommand charge;
    charge.auto_charging_type = AutoChargingType::HIGH_POWER_LEAVE_BOARD;
    charge.cp_station_id = "cp";
    charge.leave_to_station_id = "away";
    charge.max_speed = {0.5, 0.0};
    EXPECT_EQ(json(charge).dump(),
              canonical(R"({"auto_charging_type":"HIGH_POWER_LEAVE_BOARD","cp_station_id":"cp","header":{"error_code":-1,
                  "id":"","map_id":"","name":"","stamp":0},"leave_to_station_id":"away","max_speed":{"v":0.5,"w":0.0}})"));

    const FirmwareUpdateParam firmware{FirmwareUpdateMode::UPDATE, FirmwareUpdateMode::NOT_UPDATE,
                                       FirmwareUpdateMode::FORCED_UPDATE, "/fw.bin"};
    EXPECT_EQ(json(firmware).dump(),
              canonical(R"({"firmware_file_path":"/fw.bin","left_motor":"UPDATE","master_board":"FORCED_UPDATE",
                  "right_motor":"NOT_UPDATE"})"));
}

// ---------------------------------------------------------------------------
// Reading

TEST(RecordJson, MapRecordsRoundTripThroughVectors) {
    const json golden = map_all_info_json();
    const auto all = golden.get<MapAllInfo>();
    EXPECT_EQ(json(all), golden);
    EXPECT_EQ(json(all).dump(), golden.dump());

    EXPECT_EQ(all.map.header.id, "map");
    EXPECT_EQ(all.map.header.stamp, 1700000000123456789);
    EXPECT_EQ(all.map.width, 4000000000u);
    EXPECT_EQ(all.map.format, MapFormat::BASE64_PNG);
    EXPECT_EQ(all.map.data, (std::vector<int8_t>{-128, 0, 127}));
    EXPECT_EQ(all.map.origin.y, -2.25);
    ASSERT_EQ(all.paths.size(), 1u);
    EXPECT_EQ(all.paths[0].end_station_id, "b");
    EXPECT_EQ(all.paths[0].control_points[1].y, -1.0f);
    ASSERT_EQ(all.virtual_areas.size(), 1u);
    EXPECT_EQ(all.virtual_areas[0].type, MapVirtualAreaType::SLOW_DOWN);
    EXPECT_EQ(all.virtual_areas[0].shape, MapVirtualAreaShape::POLYGON);

    const std::vector<Header> headers = {header_json("a").get<Header>(), Header{}};
    EXPECT_EQ(json(headers).get<std::vector<Header>>().at(1).error_code, -1);
    EXPECT_EQ(json(headers)[0], header_json("a"));
}

TEST(RecordJson, ResultRecordsReadEveryField) {
    const auto nav = nav_info_json().get<NavInfo>();
    EXPECT_EQ(nav.status, FeedbackStatus::PAUSED);
    EXPECT_EQ(nav.type, NavType::FREE_TO_POSE);
    EXPECT_EQ(nav.nav_type, NavType::PATH_TO_STATION);
    EXPECT_EQ(nav.auto_charging_type, AutoChargingType::FORCE_LEAVE_BOARD);
    EXPECT_EQ(nav.goal_station.type, "charger");
    EXPECT_EQ(nav.current_trajectory.at(0).x, 3.0f);

    const auto run = running_info_json().get<RunningInfo>();
    EXPECT_EQ(run.running_mode, RunningMode::CHARGING);
    EXPECT_EQ(run.current_speed.w, -0.1);
    EXPECT_EQ(run.location_score, 95);
    EXPECT_EQ(run.battery_current, -3.5);
    EXPECT_EQ(run.remaining_voltage, 80);
    EXPECT_EQ(run.safety_edge_status, -1);
    EXPECT_TRUE(run.emergency_stop && run.localization_loss && run.break_release_flag);
    EXPECT_FALSE(run.pause || run.blocked || run.fault_alarm);

    const auto agv = agv_details_json().get<AgvDetails>();
    EXPECT_EQ(agv.MFD + agv.SN, "2024sn9");
    EXPECT_EQ(agv.surplus_capacity, 0.5f);
    EXPECT_EQ(agv.master_board_firmware_version, 6);
    EXPECT_EQ(agv.error_code_version, 8);
    EXPECT_EQ(agv.max_angular, 2.5f);

    const auto ip = ip_address_json().get<IpAddressInfo>();
    const std::vector<std::string> ip_fields = {ip.name,        ip.type,     ip.device,  ip.ipv4_ip,     ip.ipv4_gateway,
                                                ip.ipv4_method, ip.ipv4_dns, ip.ipv6_ip, ip.ipv6_gateway};
    EXPECT_EQ(ip_fields, kIpKeys);

    const auto progress = json{{"update_info", "flashing"}, {"update_progress", 42.5}}.get<FirmwareUpdateProcessInfo>();
    EXPECT_EQ(progress.update_info, "flashing");
    EXPECT_EQ(progress.update_progress, 42.5);

    const auto calibration = json{{"header", header_json("cal")}, {"type", "LASER_ODOM"}, {"status", "FAILED"},
                                  {"collected_data_count", 4000000000u}}
                                 .get<CalibrationProcessInfo>();
    EXPECT_EQ(calibration.type, CalibrationType::LASER_ODOM);
    EXPECT_EQ(calibration.status, FeedbackStatus::FAILED);
    EXPECT_EQ(calibration.collected_data_count, 4000000000u);

    const auto async = async_status_json().get<AsyncInterfaceResultStatus>();
    EXPECT_EQ(async.header.id, "async");
    for (const auto& view : status_views(async)) {
        EXPECT_EQ(view.header->id, view.key);
        EXPECT_EQ(view.status, FeedbackStatus::CANCELED) << view.key;
    }
}

TEST(RecordJson, EveryKeyButTheOptionalOnesIsRequired) {
    struct Case {
        const char* record;
        json golden;
        std::function<void(const json&)> read;
        std::vector<std::string> optional;
    };
    const auto reader = [](auto tag) {
        return [](const json& j) { j.get<decltype(tag)>(); };
    };
    const std::vector<Case> cases = {
        {"Header", header_json("h"), reader(Header{}), {"error_code"}},
        {"Pose2d", map_all_info_json()["map"]["origin"], reader(Pose2d{}), {}},
        {"Point2d", {{"x", 1}, {"y", 2}}, reader(Point2d{}), {}},
        {"Speed", {{"v", 1}, {"w", 2}}, reader(Speed{}), {}},
        {"MapAllInfo", map_all_info_json(), reader(MapAllInfo{}), {}},
        {"MapInfo", map_all_info_json()["map"], reader(MapInfo{}), {}},
        {"StationMark", map_all_info_json()["stations"][0], reader(StationMark{}), {}},
        {"PathStation", map_all_info_json()["paths"][0], reader(PathStation{}), {}},
        {"MapVirtualArea", map_all_info_json()["virtual_areas"][0], reader(MapVirtualArea{}), {}},
        {"NavInfo", nav_info_json(), reader(NavInfo{}), {}},
        {"RunningInfo", running_info_json(), reader(RunningInfo{}), {}},
        {"AgvDetails", agv_details_json(), reader(AgvDetails{}), {}},
        {"IpAddressInfo", ip_address_json(), reader(IpAddressInfo{}), {}},
        {"FirmwareUpdateProcessInfo", {{"update_info", ""}, {"update_progress", 1.0}},
         reader(FirmwareUpdateProcessInfo{}), {}},
        {"CalibrationProcessInfo",
         {{"header", header_json("c")}, {"type", "NONE"}, {"status", "NONE"}, {"collected_data_count", 1}},
         reader(CalibrationProcessInfo{}), {}},
        {"SaveMapWorkingStatus", async_status_json()["save_map_status"], reader(SaveMapWorkingStatus{}), {}},
        {"AsyncInterfaceResultStatus", async_status_json(), reader(AsyncInterfaceResultStatus{}),
         {"preview_png_map_status"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record);
        ASSERT_NO_THROW(c.read(c.golden));
        for (const auto& item : c.golden.items()) {
            json without = c.golden;
            without.erase(item.key());
            if (std::find(c.optional.begin(), c.optional.end(), item.key()) != c.optional.end()) {
                EXPECT_NO_THROW(c.read(without)) << item.key();
                continue;
            }
            try {
                c.read(without);
                ADD_FAILURE() << "no error without " << item.key();
            } catch (const json::out_of_range& e) {
                EXPECT_EQ(e.id, 403);
                EXPECT_NE(std::string(e.what()).find("key '" + item.key() + "' not found"), std::string::npos)
                    << e.what();
            }
        }
    }
}

TEST(RecordJson, MissingErrorCodeOverwritesWithMinusOne) {
    Header header;
    header.error_code = 12;
    json j = header_json("h");
    j.erase("error_code");
    from_json(j, header);
    EXPECT_EQ(header.error_code, -1);

    j["error_code"] = 0;
    from_json(j, header);
    EXPECT_EQ(header.error_code, 0);

    json nav = nav_info_json();
    nav["goal_station"]["header"].erase("error_code");
    EXPECT_EQ(nav.get<NavInfo>().goal_station.header.error_code, -1);
    EXPECT_EQ(nav.get<NavInfo>().header.error_code, 7);
}

TEST(RecordJson, MissingPreviewStatusResetsToAFreshOne) {
    AsyncInterfaceResultStatus status;
    status.preview_png_map_status.header = header_json("stale").get<Header>();
    status.preview_png_map_status.status = FeedbackStatus::RUNNING;
    json j = async_status_json();
    j.erase("preview_png_map_status");
    from_json(j, status);
    const auto& preview = status.preview_png_map_status;
    EXPECT_EQ(json(preview.header).dump(), kDefaultHeader);
    EXPECT_EQ(preview.status, FeedbackStatus::NONE);
    EXPECT_EQ(status.align_railway_status.header.id, "align_railway_status");
}

TEST(RecordJson, WrongKindsRaiseTheLibraryErrors) {
    const auto with = [](json j, const json::json_pointer& at, json value) {
        j[at] = std::move(value);
        return j;
    };
    struct Case {
        std::function<void()> read;
        int id;
        std::string text;
    };
    const std::vector<Case> cases = {
        {[&] { with(header_json("h"), json::json_pointer("/id"), 5).get<Header>(); }, 302,
         "type must be string, but is number"},
        {[&] { with(map_all_info_json()["paths"][0], json::json_pointer("/use_direction"), "yes").get<PathStation>(); },
         302, "type must be boolean, but is string"},
        {[&] { with(running_info_json(), json::json_pointer("/battery_voltage"), "48").get<RunningInfo>(); }, 302,
         "type must be number, but is string"},
        {[&] { with(map_all_info_json()["map"], json::json_pointer("/data"), "AAEC").get<MapInfo>(); }, 302,
         "type must be array, but is string"},
        {[&] { with(map_all_info_json()["map"], json::json_pointer("/data/1"), "x").get<MapInfo>(); }, 302,
         "type must be number, but is string"},
        {[&] { json::array({1, 2, 3}).get<Pose2d>(); }, 304, "cannot use at() with array"},
        {[&] { with(nav_info_json(), json::json_pointer("/goal_station"), nullptr).get<NavInfo>(); }, 304,
         "cannot use at() with null"},
    };
    for (const auto& c : cases) {
        try {
            c.read();
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const json::exception& e) {
            EXPECT_EQ(e.id, c.id) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << e.what();
        }
    }
}

// ---------------------------------------------------------------------------
// Enums

template <typename E>
void expect_enum_table(const std::vector<std::pair<int32_t, const char*>>& table) {
    for (const auto& [number, name] : table) {
        const auto value = static_cast<E>(number);
        EXPECT_EQ(json(value), name);
        EXPECT_EQ(json(name).get<E>(), value) << name;
    }
    const auto first = static_cast<E>(table.front().first);
    for (const json& unknown : {json("BOGUS"), json("none"), json(table.back().first), json(nullptr), json::object()}) {
        EXPECT_EQ(unknown.get<E>(), first) << unknown.dump();
    }
    EXPECT_EQ(json(static_cast<E>(99)), table.front().second);
    EXPECT_EQ(json(static_cast<E>(-1)), table.front().second);
}

TEST(EnumJson, TablesMapNamesAndValuesBothWays) {
    expect_enum_table<AutoChargingType>({{0, "NONE"}, {1, "LOW_POWER_TO_BOARD"}, {2, "HIGH_POWER_LEAVE_BOARD"},
                                         {3, "FORCE_TO_BOARD"}, {4, "FORCE_LEAVE_BOARD"}});
    expect_enum_table<CalibrationType>({{0, "NONE"}, {1, "LASER_ODOM"}});
    expect_enum_table<FeedbackStatus>(
        {{0, "NONE"}, {1, "FINISHED"}, {3, "RUNNING"}, {2, "FAILED"}, {4, "PAUSED"}, {5, "CANCELED"}});
    expect_enum_table<FirmwareUpdateMode>({{0, "NONE"}, {1, "UPDATE"}, {3, "NOT_UPDATE"}, {2, "FORCED_UPDATE"}});
    expect_enum_table<MapFormat>({{0, "NONE"}, {1, "OCCUPANCY_GRID"}, {2, "BASE64_PNG"}});
    expect_enum_table<MapVirtualAreaShape>({{0, "NONE"}, {1, "LINE"}, {2, "ARC"}, {3, "CIRCLE"}, {4, "POLYGON"}});
    expect_enum_table<MapVirtualAreaType>({{0, "NONE"}, {1, "OBSTACLE"}, {2, "SLOW_DOWN"}, {3, "INFLATE"}});
    expect_enum_table<NavType>({{0, "NONE"}, {1, "FREE_TO_POSE"}, {2, "FREE_TO_STATION"}, {3, "PATH_TO_STATION"}});
    expect_enum_table<PathShape>({{0, "NONE"}, {1, "LINE"}, {2, "ARC"}, {3, "BEZIER"}});
    expect_enum_table<RunningMode>(
        {{0, "NONE"}, {1, "START"}, {2, "MAPPING"}, {3, "NAVIGATE"}, {4, "CHARGING"}, {6, "STOP"}});
    expect_enum_table<ScriptRuntimeState>({{0, "RUNNING"}, {1, "PAUSED"}, {2, "STOPPED"}, {3, "ABORTING"}});
}

TEST(EnumJson, ValuesWithoutTextFallBackToTheFirstEntry) {
    EXPECT_EQ(json(3).get<FeedbackStatus>(), FeedbackStatus::NONE);
    EXPECT_EQ(json("RUNNING").get<FeedbackStatus>(), FeedbackStatus::RUNNING);
    EXPECT_EQ(static_cast<int32_t>(FeedbackStatus::RUNNING), 3);

    const json maintain = RunningMode::MAINTAIN;
    EXPECT_EQ(maintain, "NONE");
    EXPECT_EQ(maintain.get<RunningMode>(), RunningMode::NONE);
    EXPECT_EQ(json("MAINTAIN").get<RunningMode>(), RunningMode::NONE);
    EXPECT_EQ(json("UNKNOWN_STATE").get<ScriptRuntimeState>(), ScriptRuntimeState::RUNNING);

    // A record field with an unknown text decodes instead of failing.
    json nav = nav_info_json();
    nav["status"] = "EXPLODED";
    EXPECT_EQ(nav.get<NavInfo>().status, FeedbackStatus::NONE);
}
