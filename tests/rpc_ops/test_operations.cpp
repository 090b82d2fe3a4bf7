// Every operation against the test controller, driven by one table: the exact
// request text it sends, the result it decodes, and its offline and
// exception-free placeholders.
#include <cctype>
#include <functional>
#include <set>
#include <type_traits>

#include "connector_asio.h"
#include "rpc_client_fixture.h"
#include "zorv_interface/return_value.h"
#include "zorv_interface_impl.h"

namespace zorv_interface {
namespace {

using nlohmann::json;

// --- Result digests: a decoded result back as JSON, to compare with the scripted one.

json digest(const RunningInfo& r);
json digest(const NavInfo& n);
json digest(const AgvDetails& d);
json digest(const IpAddressInfo& i);
json digest(const FirmwareUpdateProcessInfo& f);
json digest(const CalibrationProcessInfo& c);
json digest(const AsyncInterfaceResultStatus& a);

template <typename T>
json digest(const T& value) {
    return json(value);  // records with to_json, enums, scalars
}

template <typename T>
json digest(const std::vector<T>& values) {
    json array = json::array();
    for (const T& value : values) array.push_back(digest(value));
    return array;
}

template <typename Status>
json statusDigest(const Status& s) {
    return {{"header", digest(s.header)}, {"status", digest(s.status)}};
}

json digest(const RunningInfo& r) {
    return {{"header", digest(r.header)},
            {"running_mode", digest(r.running_mode)},
            {"current_speed", digest(r.current_speed)},
            {"location_score", r.location_score},
            {"total_dist", r.total_dist},
            {"current_dist", r.current_dist},
            {"total_running_time", r.total_running_time},
            {"current_running_time", r.current_running_time},
            {"battery_voltage", r.battery_voltage},
            {"battery_current", r.battery_current},
            {"remaining_voltage", r.remaining_voltage},
            {"battery_status", r.battery_status},
            {"safety_edge_status", r.safety_edge_status},
            {"low_battery", r.low_battery},
            {"pause", r.pause},
            {"emergency_stop", r.emergency_stop},
            {"blocked", r.blocked},
            {"localization_loss", r.localization_loss},
            {"fault_alarm", r.fault_alarm},
            {"break_release_flag", r.break_release_flag}};
}

json digest(const NavInfo& n) {
    return {{"header", digest(n.header)},        {"status", digest(n.status)},
            {"type", digest(n.type)},            {"nav_type", digest(n.nav_type)},
            {"auto_charging_type", digest(n.auto_charging_type)},
            {"goal_station", digest(n.goal_station)}, {"current_trajectory", digest(n.current_trajectory)}};
}

json digest(const AgvDetails& d) {
    return {{"name", d.name},
            {"version", d.version},
            {"MFD", d.MFD},
            {"SN", d.SN},
            {"communication_version", d.communication_version},
            {"battery_version", d.battery_version},
            {"loop_times", d.loop_times},
            {"surplus_capacity", d.surplus_capacity},
            {"left_motor_firmware_version", d.left_motor_firmware_version},
            {"right_motor_firmware_version", d.right_motor_firmware_version},
            {"master_board_firmware_version", d.master_board_firmware_version},
            {"hardware_abstraction_version", d.hardware_abstraction_version},
            {"error_code_version", d.error_code_version},
            {"max_speed", d.max_speed},
            {"max_angular", d.max_angular}};
}

json digest(const IpAddressInfo& i) {
    return {{"name", i.name},
            {"type", i.type},
            {"device", i.device},
            {"ipv4_ip", i.ipv4_ip},
            {"ipv4_gateway", i.ipv4_gateway},
            {"ipv4_method", i.ipv4_method},
            {"ipv4_dns", i.ipv4_dns},
            {"ipv6_ip", i.ipv6_ip},
            {"ipv6_gateway", i.ipv6_gateway}};
}

json digest(const FirmwareUpdateProcessInfo& f) {
    return {{"update_info", f.update_info}, {"update_progress", f.update_progress}};
}

json digest(const CalibrationProcessInfo& c) {
    return {{"header", digest(c.header)},
            {"type", digest(c.type)},
            {"status", digest(c.status)},
            {"collected_data_count", c.collected_data_count}};
}

json digest(const AsyncInterfaceResultStatus& a) {
    return {{"header", digest(a.header)},
            {"save_map_status", statusDigest(a.save_map_status)},
            {"switch_map_status", statusDigest(a.switch_map_status)},
            {"change_running_mode_status", statusDigest(a.change_running_mode_status)},
            {"relocation_status", statusDigest(a.relocation_status)},
            {"get_grid_map_status", statusDigest(a.get_grid_map_status)},
            {"send_grid_map_status", statusDigest(a.send_grid_map_status)},
            {"get_png_map_status", statusDigest(a.get_png_map_status)},
            {"send_png_map_status", statusDigest(a.send_png_map_status)},
            {"set_png_all_status", statusDigest(a.set_png_all_status)},
            {"get_png_all_status", statusDigest(a.get_png_all_status)},
            {"set_grid_all_status", statusDigest(a.set_grid_all_status)},
            {"get_grid_all_status", statusDigest(a.get_grid_all_status)},
            {"preview_png_map_status", statusDigest(a.preview_png_map_status)},
            {"align_railway_status", statusDigest(a.align_railway_status)}};
}

// --- Sample arguments and results.

const Header kHeader{"h-1", "dock", 17, "map-7", 0};
const Header kOtherHeader{"h-2", "lift", 18, "map-7", -1};
const Pose2d kPose{1.5, -2.0, 0.25};
const Speed kSpeed{0.5, -0.25};
const StationMark kStation{kHeader, "charge", kPose};
const PathStation kPath{kHeader, PathShape::BEZIER, true, 1.25, "s-1", "s-2", {{0.5f, 1.5f}, {-1.0f, 2.0f}}};
const MapVirtualArea kArea{kOtherHeader, MapVirtualAreaType::SLOW_DOWN, MapVirtualAreaShape::POLYGON, 0.5,
                           {{0.5f, 1.5f}}};
const MapInfo kMap{kHeader, 0.05, 3, 1, kPose, MapFormat::OCCUPANCY_GRID, {1, -1, 0}};
const MapAllInfo kMapAll{kMap, {kStation}, {kPath}, {kArea}};
const NavGoalType kGoal{kHeader, NavType::FREE_TO_STATION, kPose, {"s-1", "s-2"}, true, false,
                        AdjustParam{true, false, 0.2, 0.1}, kSpeed};
const AutoChargingCommand kCharge{kHeader, AutoChargingType::FORCE_LEAVE_BOARD, "cp-1", "s-9", kSpeed};
const FirmwareUpdateParam kFirmware{FirmwareUpdateMode::UPDATE, FirmwareUpdateMode::NOT_UPDATE,
                                    FirmwareUpdateMode::FORCED_UPDATE, "/tmp/fw.bin"};

const json kHeaderJson = R"({"error_code":0,"id":"h-1","map_id":"map-7","name":"dock","stamp":17})"_json;
const json kOtherHeaderJson = R"({"error_code":-1,"id":"h-2","map_id":"map-7","name":"lift","stamp":18})"_json;
const std::string kH = kHeaderJson.dump();
const std::string kH2 = kOtherHeaderJson.dump();
const std::string kPoseText = R"({"x":1.5,"y":-2.0,"yaw":0.25})";

json status(const char* feedback) { return {{"header", kHeaderJson}, {"status", feedback}}; }

const json kStationJson = json::parse(R"({"header":)" + kH + R"(,"pose":)" + kPoseText + R"(,"type":"charge"})");
const json kPathJson = json::parse(R"({"control_points":[{"x":0.5,"y":1.5}],"end_station_id":"s-2","header":)" +
                                   kH + R"(,"max_speed":1.25,"shape":"ARC","start_station_id":"s-1",)"
                                        R"("use_direction":true})");
const json kAreaJson = json::parse(R"({"header":)" + kH2 +
                                   R"(,"shape":"CIRCLE","type":"OBSTACLE","vertex":[],"width_speed":0.75})");
const json kMapJson = json::parse(R"({"data":[1,-1,0,127],"format":"BASE64_PNG","header":)" + kH +
                                  R"(,"height":2,"origin":)" + kPoseText +
                                  R"(,"resolution":0.05,"width":4000000000})");
const json kMapAllJson = {{"map", kMapJson}, {"paths", {kPathJson}}, {"stations", {kStationJson}},
                          {"virtual_areas", {kAreaJson}}};
const json kRunningJson = R"({"battery_current":-1.5,"battery_status":2,"battery_voltage":48.5,
    "blocked":true,"break_release_flag":false,"current_dist":4.25,"current_running_time":60.5,
    "current_speed":{"v":0.5,"w":-0.25},"emergency_stop":false,"fault_alarm":true,
    "header":{"error_code":0,"id":"r","map_id":"m","name":"n","stamp":5},"localization_loss":false,
    "location_score":-3,"low_battery":true,"pause":false,"remaining_voltage":83,"running_mode":"CHARGING",
    "safety_edge_status":1,"total_dist":1000.5,"total_running_time":7200.25})"_json;
const json kNavJson = json::parse(R"({"auto_charging_type":"FORCE_TO_BOARD","current_trajectory":[{"x":0.5,"y":1.5}],)"
                                  R"("goal_station":)" + kStationJson.dump() + R"(,"header":)" + kH +
                                  R"(,"nav_type":"PATH_TO_STATION","status":"CANCELED","type":"FREE_TO_POSE"})");
const json kDetailsJson = R"({"MFD":"2024-01","SN":"SN-9","battery_version":3,"communication_version":4,
    "error_code_version":5,"hardware_abstraction_version":6,"left_motor_firmware_version":7,"loop_times":8,
    "master_board_firmware_version":9,"max_angular":0.5,"max_speed":1.5,"name":"AGV-7",
    "right_motor_firmware_version":10,"surplus_capacity":0.75,"version":"4.0.1"})"_json;
const json kIpJson = R"({"device":"eth0","ipv4_dns":"10.0.0.1","ipv4_gateway":"10.0.0.254","ipv4_ip":"10.0.0.7",
    "ipv4_method":"manual","ipv6_gateway":"","ipv6_ip":"fe80::1","name":"wired","type":"ethernet"})"_json;
const json kCalibrationJson =
    json::parse(R"({"collected_data_count":4000000000,"header":)" + kH + R"(,"status":"FINISHED","type":"LASER_ODOM"})");
const json kAsyncJson = {{"header", kHeaderJson},
                         {"save_map_status", status("FINISHED")},
                         {"switch_map_status", status("FAILED")},
                         {"change_running_mode_status", status("RUNNING")},
                         {"relocation_status", status("PAUSED")},
                         {"get_grid_map_status", status("CANCELED")},
                         {"send_grid_map_status", status("NONE")},
                         {"get_png_map_status", status("FINISHED")},
                         {"send_png_map_status", status("FAILED")},
                         {"set_png_all_status", status("RUNNING")},
                         {"get_png_all_status", status("PAUSED")},
                         {"set_grid_all_status", status("CANCELED")},
                         {"get_grid_all_status", status("FINISHED")},
                         {"preview_png_map_status", status("RUNNING")},
                         {"align_railway_status", status("FAILED")}};

// --- The table.

struct OperationCase {
    std::string name;
    std::function<json(ZorvInterface&)> invoke;  // calls the operation, digests its result
    std::string params;                          // exact "params" text; empty: no "params" member
    json result;                                 // scripted "result"; its digest is expected back
    json placeholder;                            // digest of the result type's placeholder
    bool status;                                 // the result is a status int
};

template <typename Call>
OperationCase op(std::string name, Call call, std::string params, json result) {
    using T = decltype(call(std::declval<ZorvInterface&>()));
    return {std::move(name), [call](ZorvInterface& c) { return digest(call(c)); }, std::move(params),
            std::move(result), digest(ReturnValue<T>()()), std::is_same_v<T, int>};
}

std::string text(const json& value) { return value.dump(); }

const std::vector<OperationCase>& operationTable() {
    using Z = ZorvInterface;
    static const std::vector<OperationCase> table = {
        // Maps.
        op("getMapList", [](Z& c) { return c.getMapList(); }, "", {kHeaderJson, kOtherHeaderJson}),
        op("getCurrentMapHeader", [](Z& c) { return c.getCurrentMapHeader(); }, "", kHeaderJson),
        op("getGridMapFromAgv", [](Z& c) { return c.getGridMapFromAgv(kHeader); }, "{\"map_header\":" + kH + "}",
           kMapJson),
        op("getBase64PngMapFromAgv", [](Z& c) { return c.getBase64PngMapFromAgv(kHeader); },
           "{\"map_header\":" + kH + "}", kMapJson),
        op("previewPngMapFromAgv", [](Z& c) { return c.previewPngMapFromAgv(kHeader, 640, 480); },
           "{\"image_height_px\":480,\"image_width_px\":640,\"map_header\":" + kH + "}", kMapJson),
        op("sendGridMapToAgv", [](Z& c) { return c.sendGridMapToAgv(kMap); }, "{\"map\":" + text(kMap) + "}", 3),
        op("sendBase64PngMapToAgv", [](Z& c) { return c.sendBase64PngMapToAgv(kMap); },
           "{\"map\":" + text(kMap) + "}", -4),
        op("saveMap", [](Z& c) { return c.saveMap(kHeader); }, "{\"map_header\":" + kH + "}", 0),
        op("switchMap", [](Z& c) { return c.switchMap(kHeader); }, "{\"map_header\":" + kH + "}", 1),
        op("deleteMap", [](Z& c) { return c.deleteMap(kHeader); }, "{\"map_header\":" + kH + "}", 2),
        op("deleteMaps", [](Z& c) { return c.deleteMaps({kHeader, kOtherHeader}); },
           "{\"map_headers\":[" + kH + "," + kH2 + "]}", 3),
        op("getGridMapAllInfo", [](Z& c) { return c.getGridMapAllInfo(kHeader); }, "{\"map_header\":" + kH + "}",
           kMapAllJson),
        op("getPngMapAllInfo", [](Z& c) { return c.getPngMapAllInfo(kHeader); }, "{\"map_header\":" + kH + "}",
           kMapAllJson),
        op("setGridMapAllInfo", [](Z& c) { return c.setGridMapAllInfo(kMapAll, kHeader); },
           "{\"command_header\":" + kH + ",\"map_all_info\":" + text(kMapAll) + "}", 4),
        op("setPngMapAllInfo", [](Z& c) { return c.setPngMapAllInfo(kMapAll, kHeader); },
           "{\"command_header\":" + kH + ",\"map_all_info\":" + text(kMapAll) + "}", 5),
        op("deleteMapAllInfo", [](Z& c) { return c.deleteMapAllInfo(kHeader); }, "{\"map_header\":" + kH + "}", 6),
        op("getAsyncInterfaceResultStatus", [](Z& c) { return c.getAsyncInterfaceResultStatus(); }, "", kAsyncJson),
        // Stations and paths.
        op("getAllStations", [](Z& c) { return c.getAllStations(); }, "", {kStationJson, kStationJson}),
        op("getAllStationsOfTargetMap", [](Z& c) { return c.getAllStationsOfTargetMap(kHeader); },
           "{\"map_header\":" + kH + "}", json::array()),
        op("getNearestStation", [](Z& c) { return c.getNearestStation(2.0); }, "{\"detect_distance\":2.0}",
           kStationJson),
        op("addStation", [](Z& c) { return c.addStation(kStation); }, "{\"station\":" + text(kStationJson) + "}", 7),
        op("addStations", [](Z& c) { return c.addStations({}); }, "{\"stations\":[]}", 8),
        op("addCPStationUseChargingBoard", [](Z& c) { return c.addCPStationUseChargingBoard(kHeader, 1.5); },
           "{\"dis_station_post\":1.5,\"station_header\":" + kH + "}", 9),
        op("deleteStation", [](Z& c) { return c.deleteStation(kHeader); }, "{\"station_header\":" + kH + "}", 10),
        op("deleteStations", [](Z& c) { return c.deleteStations({kHeader}); }, "{\"stations_header\":[" + kH + "]}",
           11),
        op("getAllPaths", [](Z& c) { return c.getAllPaths(); }, "", {kPathJson}),
        op("getAllPathsOfTargetMap", [](Z& c) { return c.getAllPathsOfTargetMap(kHeader); },
           "{\"map_header\":" + kH + "}", {kPathJson, kPathJson}),
        op("getCurrentPath", [](Z& c) { return c.getCurrentPath(); }, "", kPathJson),
        op("generatePath", [](Z& c) { return c.generatePath(kPath); }, "{\"path_station\":" + text(kPath) + "}", 12),
        op("generatePaths", [](Z& c) { return c.generatePaths({kPath, kPath}); },
           "{\"paths_station\":[" + text(kPath) + "," + text(kPath) + "]}", 13),
        op("deletePath", [](Z& c) { return c.deletePath(kHeader); }, "{\"path_header\":" + kH + "}", 14),
        op("deletePaths", [](Z& c) { return c.deletePaths({kOtherHeader}); }, "{\"paths_header\":[" + kH2 + "]}",
           15),
        // Virtual areas.
        op("getAllMapVirtualArea", [](Z& c) { return c.getAllMapVirtualArea(); }, "", {kAreaJson}),
        op("getAllMapVirtualAreaOfTargetMap", [](Z& c) { return c.getAllMapVirtualAreaOfTargetMap(kHeader); },
           "{\"map_header\":" + kH + "}", json::array()),
        op("addMapVirtualArea", [](Z& c) { return c.addMapVirtualArea(kArea); },
           "{\"map_virtual_area\":" + text(kArea) + "}", 16),
        op("addMapVirtualAreas", [](Z& c) { return c.addMapVirtualAreas({}); }, "{\"map_virtual_areas\":[]}", 17),
        op("deleteMapVirtualArea", [](Z& c) { return c.deleteMapVirtualArea(kHeader); },
           "{\"virtual_area_header\":" + kH + "}", 18),
        op("deleteMapVirtualAreas", [](Z& c) { return c.deleteMapVirtualAreas({kHeader, kOtherHeader}); },
           "{\"virtual_areas_header\":[" + kH + "," + kH2 + "]}", 19),
        // Navigation, motion and running mode.
        op("getRunningInfo", [](Z& c) { return c.getRunningInfo(); }, "", kRunningJson),
        op("getAgvCurrentPose", [](Z& c) { return c.getAgvCurrentPose(); }, "", json::parse(kPoseText)),
        op("getNavInfo", [](Z& c) { return c.getNavInfo(); }, "", kNavJson),
        op("setNavGoal", [](Z& c) { return c.setNavGoal(kGoal); }, "{\"target\":" + text(kGoal) + "}", 20),
        op("cancelNavigation", [](Z& c) { return c.cancelNavigation(); }, "", 21),
        op("pauseAgvSpeed", [](Z& c) { return c.pauseAgvSpeed(); }, "", 22),
        op("resumeAgvSpeed", [](Z& c) { return c.resumeAgvSpeed(); }, "", 23),
        op("setControlSpeed", [](Z& c) { return c.setControlSpeed(kSpeed); },
           R"({"speed":{"v":0.5,"w":-0.25}})", 24),
        op("changeRunningMode", [](Z& c) { return c.changeRunningMode(RunningMode::CHARGING, kHeader); },
           "{\"command_header\":" + kH + ",\"running_mode\":\"CHARGING\"}", 25),
        op("relocation", [](Z& c) { return c.relocation(kPose, kHeader); },
           "{\"command_header\":" + kH + ",\"init_pose\":" + kPoseText + "}", 26),
        op("getLaserPointCloud", [](Z& c) { return c.getLaserPointCloud(); }, "",
           R"([{"x":0.5,"y":1.5},{"x":-0.25,"y":0.0}])"_json),
        op("isObstacleAhead", [](Z& c) { return c.isObstacleAhead(0.5); }, "{\"detect_distance\":0.5}", false),
        op("autoAlignRailway", [](Z& c) { return c.autoAlignRailway(kHeader); }, "{\"command_header\":" + kH + "}",
           27),
        // Charging.
        op("sendAutoChargingCommand", [](Z& c) { return c.sendAutoChargingCommand(kCharge); },
           R"({"auto_charging_command":{"auto_charging_type":"FORCE_LEAVE_BOARD","cp_station_id":"cp-1",)"
           R"("header":)" + kH + R"(,"leave_to_station_id":"s-9","max_speed":{"v":0.5,"w":-0.25}}})", 28),
        op("checkPowerAndAutoCharge", [](Z& c) { return c.checkPowerAndAutoCharge(kHeader, "cp-1"); },
           "{\"check_power_header\":" + kH + ",\"nav_board_charge_station_id\":\"cp-1\"}", 29),
        op("setLeaveBoardTargetStation", [](Z& c) { return c.setLeaveBoardTargetStation(kHeader); },
           "{\"leave_board_target_station_header\":" + kH + "}", 30),
        op("getLeaveBoardTargetStation", [](Z& c) { return c.getLeaveBoardTargetStation(); }, "", kOtherHeaderJson),
        op("forcedAgvToChargingBoard", [](Z& c) { return c.forcedAgvToChargingBoard(kHeader, "cp-2"); },
           "{\"forced_charge_header\":" + kH + ",\"nav_board_charge_station_id\":\"cp-2\"}", 31),
        op("forcedAgvLeaveChargingBoard", [](Z& c) { return c.forcedAgvLeaveChargingBoard(kHeader, ""); },
           "{\"forced_leave_header\":" + kH + ",\"leave_board_target_station_id\":\"\"}", 32),
        // Software, firmware and calibration.
        op("updateSoftware", [](Z& c) { return c.updateSoftware("/data/pack.zip"); },
           R"({"upgrade_pack_path":"/data/pack.zip"})", 33),
        op("getSoftwareVersionList", [](Z& c) { return c.getSoftwareVersionList(); }, "",
           R"(["4.0.0","4.0.1"])"_json),
        op("switchSoftwareVersion", [](Z& c) { return c.switchSoftwareVersion("4.0.0"); },
           R"({"software_version":"4.0.0"})", 34),
        op("uninstallSoftware", [](Z& c) { return c.uninstallSoftware("3.9"); }, R"({"software_version":"3.9"})",
           35),
        op("updateFirmware", [](Z& c) { return c.updateFirmware(kFirmware); },
           R"({"update_firmware":{"firmware_file_path":"/tmp/fw.bin","left_motor":"UPDATE",)"
           R"("master_board":"FORCED_UPDATE","right_motor":"NOT_UPDATE"}})", 36),
        op("getUpdateFirmwareProcess", [](Z& c) { return c.getUpdateFirmwareProcess(); }, "",
           R"({"update_info":"flashing","update_progress":42.5})"_json),
        op("startCollectCalibrationData",
           [](Z& c) { return c.startCollectCalibrationData(CalibrationType::LASER_ODOM, kHeader); },
           "{\"command_header\":" + kH + ",\"type\":\"LASER_ODOM\"}", 37),
        op("cancelCollectCalibrationData",
           [](Z& c) { return c.cancelCollectCalibrationData(CalibrationType::NONE, kHeader); },
           "{\"command_header\":" + kH + ",\"type\":\"NONE\"}", 38),
        op("startCalibration", [](Z& c) { return c.startCalibration(CalibrationType::LASER_ODOM, kHeader); },
           "{\"command_header\":" + kH + ",\"type\":\"LASER_ODOM\"}", 39),
        op("getCalibrationProcessInfo", [](Z& c) { return c.getCalibrationProcessInfo(CalibrationType::LASER_ODOM); },
           R"({"type":"LASER_ODOM"})", kCalibrationJson),
        // System, network, diagnostics and script state.
        op("getAgvDetails", [](Z& c) { return c.getAgvDetails(); }, "", kDetailsJson),
        op("setAgvName", [](Z& c) { return c.setAgvName("Zörv 车"); }, R"({"agv_name":"Zörv 车"})", 40),
        op("setSystemClock", [](Z& c) { return c.setSystemClock("1733731200123456789"); },
           R"({"stamp":"1733731200123456789"})", 41),
        op("restartAgv", [](Z& c) { return c.restartAgv(); }, "", 42),
        op("soundLightPrompt", [](Z& c) { return c.soundLightPrompt(); }, "", 43),
        op("setPriority", [](Z& c) { return c.setPriority("panel", "10.0.0.9"); },
           R"({"ip":"10.0.0.9","name":"panel"})", 44),
        op("releasePriority", [](Z& c) { return c.releasePriority(); }, "", 45),
        op("connectWifi", [](Z& c) { return c.connectWifi("hall-2", "secret"); },
           R"({"password":"secret","ssid":"hall-2"})", 46),
        op("enableHotspot", [](Z& c) { return c.enableHotspot("pw"); }, R"({"password":"pw"})", 47),
        op("getWifiList", [](Z& c) { return c.getWifiList(); }, "", R"(["hall-1","hall-2"])"_json),
        op("getIpAddressList", [](Z& c) { return c.getIpAddressList(); }, "", {kIpJson}),
        op("errorCodeDecoder", [](Z& c) { return c.errorCodeDecoder(-3); }, R"({"error_code":-3})",
           "battery low"),
        op("getCurrentErrorCodes", [](Z& c) { return c.getCurrentErrorCodes(); }, "", {kOtherHeaderJson}),
        op("getAgvLogMessage", [](Z& c) { return c.getAgvLogMessage(); }, "", "line 1\nline 2"),
        op("getAgvControllerParametersFile", [](Z& c) { return c.getAgvControllerParametersFile(); }, "",
           "speed: 1.0\n"),
        op("setAgvControllerParametersFile", [](Z& c) { return c.setAgvControllerParametersFile("a: 1\n"); },
           R"({"agv_parameters":"a: 1\n"})", 48),
        op("refreshAgvControllerParametersFile", [](Z& c) { return c.refreshAgvControllerParametersFile(); }, "",
           49),
        op("resetAgvControllerParametersFile", [](Z& c) { return c.resetAgvControllerParametersFile(); }, "", 50),
        op("scriptPaused", [](Z& c) { return c.scriptPaused(); }, "", 51),
        op("scriptResume", [](Z& c) { return c.scriptResume(); }, "", 52),
        op("scriptStop", [](Z& c) { return c.scriptStop(); }, "", 53),
        op("getScriptStatus", [](Z& c) { return c.getScriptStatus(); }, "", "ABORTING"),
        op("setScriptStatus", [](Z& c) { return c.setScriptStatus(ScriptRuntimeState::PAUSED); },
           R"({"status":"PAUSED"})", 54),
    };
    return table;
}

std::string expectedRequest(const std::string& id, const OperationCase& row) {
    std::string text = "{\"id\":\"" + id + "\",\"jsonrpc\":\"2.0\",\"method\":\"ZorvInterface." + row.name + "\"";
    if (!row.params.empty()) text += ",\"params\":" + row.params;
    return text + "}";
}

bool isRequestId(const std::string& id) {
    if (id.size() != 18 || id[8] != '-' || id[13] != '-') return false;
    for (std::size_t i = 0; i < id.size(); ++i) {
        if (i != 8 && i != 13 && !std::isalnum(static_cast<unsigned char>(id[i]))) return false;
    }
    return true;
}

TEST(OperationTableTest, CoversEveryOperationOnce) {
    std::set<std::string> names;
    for (const OperationCase& row : operationTable()) names.insert(row.name);
    EXPECT_EQ(operationTable().size(), 90u);
    EXPECT_EQ(names.size(), 90u);
}

using OperationsTest = ConnectedClientTest;

TEST_F(OperationsTest, EachSendsItsExactRequestAndDecodesItsResult) {
    const int lastCode = client.errorCode();
    std::set<std::string> ids;
    std::size_t sent = 0;
    for (const OperationCase& row : operationTable()) {
        SCOPED_TRACE(row.name);
        controller.queueResult(row.result);
        EXPECT_EQ(row.invoke(client), row.result);
        ASSERT_TRUE(controller.waitForRequests(++sent));
        const std::string request = controller.requests().back();
        const std::string id = json::parse(request).at("id").get<std::string>();
        EXPECT_TRUE(isRequestId(id)) << id;
        EXPECT_TRUE(ids.insert(id).second) << "id reused: " << id;
        EXPECT_EQ(request, expectedRequest(id, row));
    }
    EXPECT_EQ(client.errorCode(), lastCode);
}

// An implementation built offline answers placeholders without touching the connector.
class OfflineInterface : public ZorvInterface {
public:
    explicit OfflineInterface(std::shared_ptr<IClientConnector> connector) {
        impl = new ZorvInterfaceImpl(std::move(connector), true);
    }
    ~OfflineInterface() override { delete impl; }
};

TEST_F(OperationsTest, OfflineReturnsPlaceholdersWithoutTraffic) {
    const auto connector = std::make_shared<ConnectorAsio>();
    connector->setLogHandler(log.handler());
    ASSERT_EQ(connector->connect("127.0.0.1", controller.port()), 0);
    connector->forceSend(true);
    OfflineInterface offline(connector);
    controller.queueError({{"code", -32601}, {"message", "M"}});
    EXPECT_THROW(client.cancelNavigation(), ZorvException);
    ASSERT_EQ(client.errorCode(), -10);

    for (const OperationCase& row : operationTable()) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.invoke(offline), row.placeholder);
    }
    EXPECT_EQ(offline.isObstacleAhead(1.0), true);
    EXPECT_EQ(client.errorCode(), -10);
    EXPECT_EQ(controller.requests().size(), 1u);
}

TEST_F(OperationsTest, ExceptionFreeFailuresReturnPlaceholdersAndStatusOperationsTheirCode) {
    ASSERT_EQ(client.setExceptionFree(true), 0);
    for (const OperationCase& row : operationTable()) {
        SCOPED_TRACE(row.name);
        controller.queueError({{"code", -32602}, {"message", "bad params"}});
        const json expected = row.status ? json(-11) : row.placeholder;
        EXPECT_EQ(row.invoke(client), expected);
        EXPECT_EQ(client.errorCode(), -11);
    }
}

TEST(OperationsWithoutImplementationTest, EveryOperationThrowsNotConnected) {
    class Bare : public ZorvInterface {};
    Bare bare;
    for (const OperationCase& row : operationTable()) {
        SCOPED_TRACE(row.name);
        try {
            row.invoke(bare);
            ADD_FAILURE() << "no exception";
        } catch (const ZorvException& e) {
            EXPECT_EQ(e.code(), -1);
            EXPECT_STREQ(e.what(), "RPC client has not connected");
        }
    }
}

}  // namespace
}  // namespace zorv_interface
