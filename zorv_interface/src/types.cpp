#include "zorv_interface/types.h"

namespace zorv_interface {

using json = nlohmann::json;

namespace {

// Internal, so that the exported hooks below stay the interface; they call these by
// qualified name, as unqualified overload resolution would pick the hooks themselves.
// Order matters: the first entry stands in for any value, and any JSON value
// (string or not), that a table lacks.
namespace enum_json {

NLOHMANN_JSON_SERIALIZE_ENUM(AutoChargingType, {{AutoChargingType::NONE, "NONE"},
                                                {AutoChargingType::LOW_POWER_TO_BOARD, "LOW_POWER_TO_BOARD"},
                                                {AutoChargingType::HIGH_POWER_LEAVE_BOARD, "HIGH_POWER_LEAVE_BOARD"},
                                                {AutoChargingType::FORCE_TO_BOARD, "FORCE_TO_BOARD"},
                                                {AutoChargingType::FORCE_LEAVE_BOARD, "FORCE_LEAVE_BOARD"}})

NLOHMANN_JSON_SERIALIZE_ENUM(CalibrationType, {{CalibrationType::NONE, "NONE"},
                                               {CalibrationType::LASER_ODOM, "LASER_ODOM"}})

NLOHMANN_JSON_SERIALIZE_ENUM(FeedbackStatus, {{FeedbackStatus::NONE, "NONE"},
                                              {FeedbackStatus::FINISHED, "FINISHED"},
                                              {FeedbackStatus::RUNNING, "RUNNING"},
                                              {FeedbackStatus::FAILED, "FAILED"},
                                              {FeedbackStatus::PAUSED, "PAUSED"},
                                              {FeedbackStatus::CANCELED, "CANCELED"}})

NLOHMANN_JSON_SERIALIZE_ENUM(FirmwareUpdateMode, {{FirmwareUpdateMode::NONE, "NONE"},
                                                  {FirmwareUpdateMode::UPDATE, "UPDATE"},
                                                  {FirmwareUpdateMode::NOT_UPDATE, "NOT_UPDATE"},
                                                  {FirmwareUpdateMode::FORCED_UPDATE, "FORCED_UPDATE"}})

NLOHMANN_JSON_SERIALIZE_ENUM(MapFormat, {{MapFormat::NONE, "NONE"},
                                         {MapFormat::OCCUPANCY_GRID, "OCCUPANCY_GRID"},
                                         {MapFormat::BASE64_PNG, "BASE64_PNG"}})

NLOHMANN_JSON_SERIALIZE_ENUM(MapVirtualAreaShape, {{MapVirtualAreaShape::NONE, "NONE"},
                                                   {MapVirtualAreaShape::LINE, "LINE"},
                                                   {MapVirtualAreaShape::ARC, "ARC"},
                                                   {MapVirtualAreaShape::CIRCLE, "CIRCLE"},
                                                   {MapVirtualAreaShape::POLYGON, "POLYGON"}})

NLOHMANN_JSON_SERIALIZE_ENUM(MapVirtualAreaType, {{MapVirtualAreaType::NONE, "NONE"},
                                                  {MapVirtualAreaType::OBSTACLE, "OBSTACLE"},
                                                  {MapVirtualAreaType::SLOW_DOWN, "SLOW_DOWN"},
                                                  {MapVirtualAreaType::INFLATE, "INFLATE"}})

NLOHMANN_JSON_SERIALIZE_ENUM(NavType, {{NavType::NONE, "NONE"},
                                       {NavType::FREE_TO_POSE, "FREE_TO_POSE"},
                                       {NavType::FREE_TO_STATION, "FREE_TO_STATION"},
                                       {NavType::PATH_TO_STATION, "PATH_TO_STATION"}})

NLOHMANN_JSON_SERIALIZE_ENUM(PathShape, {{PathShape::NONE, "NONE"},
                                         {PathShape::LINE, "LINE"},
                                         {PathShape::ARC, "ARC"},
                                         {PathShape::BEZIER, "BEZIER"}})

// MAINTAIN deliberately has no entry.
NLOHMANN_JSON_SERIALIZE_ENUM(RunningMode, {{RunningMode::NONE, "NONE"},
                                           {RunningMode::START, "START"},
                                           {RunningMode::MAPPING, "MAPPING"},
                                           {RunningMode::NAVIGATE, "NAVIGATE"},
                                           {RunningMode::CHARGING, "CHARGING"},
                                           {RunningMode::STOP, "STOP"}})

NLOHMANN_JSON_SERIALIZE_ENUM(ScriptRuntimeState, {{ScriptRuntimeState::RUNNING, "RUNNING"},
                                                  {ScriptRuntimeState::PAUSED, "PAUSED"},
                                                  {ScriptRuntimeState::STOPPED, "STOPPED"},
                                                  {ScriptRuntimeState::ABORTING, "ABORTING"}})

}  // namespace enum_json

template <typename Status>
void read_working_status(const json& j, Status& value) {
    j.at("header").get_to(value.header);
    j.at("status").get_to(value.status);
}

}  // namespace

#define ZORV_ENUM_JSON(Enum)                                                                           \
    void to_json(json& j, const Enum& value) { enum_json::to_json(j, value); }                         \
    void from_json(const json& j, Enum& value) { enum_json::from_json(j, value); }

ZORV_ENUM_JSON(AutoChargingType)
ZORV_ENUM_JSON(CalibrationType)
ZORV_ENUM_JSON(FeedbackStatus)
ZORV_ENUM_JSON(FirmwareUpdateMode)
ZORV_ENUM_JSON(MapFormat)
ZORV_ENUM_JSON(MapVirtualAreaShape)
ZORV_ENUM_JSON(MapVirtualAreaType)
ZORV_ENUM_JSON(NavType)
ZORV_ENUM_JSON(PathShape)
ZORV_ENUM_JSON(RunningMode)
ZORV_ENUM_JSON(ScriptRuntimeState)

#undef ZORV_ENUM_JSON

// ---------------------------------------------------------------------------
// Geometry and identity

void to_json(json& j, const Header& value) {
    j = json{{"id", value.id},
             {"name", value.name},
             {"stamp", value.stamp},
             {"map_id", value.map_id},
             {"error_code", value.error_code}};
}

void from_json(const json& j, Header& value) {
    j.at("id").get_to(value.id);
    j.at("name").get_to(value.name);
    j.at("stamp").get_to(value.stamp);
    j.at("map_id").get_to(value.map_id);
    // Replies without an error code mean "none", whatever the record held before.
    value.error_code = j.contains("error_code") ? j.at("error_code").get<int32_t>() : -1;
}

void to_json(json& j, const Pose2d& value) {
    j = json{{"x", value.x}, {"y", value.y}, {"yaw", value.yaw}};
}

void from_json(const json& j, Pose2d& value) {
    j.at("x").get_to(value.x);
    j.at("y").get_to(value.y);
    j.at("yaw").get_to(value.yaw);
}

void to_json(json& j, const Point2d& value) {
    j = json{{"x", value.x}, {"y", value.y}};
}

void from_json(const json& j, Point2d& value) {
    j.at("x").get_to(value.x);
    j.at("y").get_to(value.y);
}

void to_json(json& j, const Speed& value) {
    j = json{{"v", value.v}, {"w", value.w}};
}

void from_json(const json& j, Speed& value) {
    j.at("v").get_to(value.v);
    j.at("w").get_to(value.w);
}

// ---------------------------------------------------------------------------
// Maps, stations, paths and areas

void to_json(json& j, const MapInfo& value) {
    j = json{{"header", value.header}, {"resolution", value.resolution}, {"width", value.width},
             {"height", value.height}, {"origin", value.origin},         {"format", value.format},
             {"data", value.data}};
}

void from_json(const json& j, MapInfo& value) {
    j.at("header").get_to(value.header);
    j.at("resolution").get_to(value.resolution);
    j.at("width").get_to(value.width);
    j.at("height").get_to(value.height);
    j.at("origin").get_to(value.origin);
    j.at("format").get_to(value.format);
    j.at("data").get_to(value.data);
}

void to_json(json& j, const MapAllInfo& value) {
    j = json{{"map", value.map},
             {"stations", value.stations},
             {"paths", value.paths},
             {"virtual_areas", value.virtual_areas}};
}

void from_json(const json& j, MapAllInfo& value) {
    j.at("map").get_to(value.map);
    j.at("stations").get_to(value.stations);
    j.at("paths").get_to(value.paths);
    j.at("virtual_areas").get_to(value.virtual_areas);
}

void to_json(json& j, const StationMark& value) {
    j = json{{"header", value.header}, {"type", value.type}, {"pose", value.pose}};
}

void from_json(const json& j, StationMark& value) {
    j.at("header").get_to(value.header);
    j.at("type").get_to(value.type);
    j.at("pose").get_to(value.pose);
}

void to_json(json& j, const PathStation& value) {
    j = json{{"header", value.header},
             {"shape", value.shape},
             {"use_direction", value.use_direction},
             {"max_speed", value.max_speed},
             {"start_station_id", value.start_station_id},
             {"end_station_id", value.end_station_id},
             {"control_points", value.control_points}};
}

void from_json(const json& j, PathStation& value) {
    j.at("header").get_to(value.header);
    j.at("shape").get_to(value.shape);
    j.at("use_direction").get_to(value.use_direction);
    j.at("max_speed").get_to(value.max_speed);
    j.at("start_station_id").get_to(value.start_station_id);
    j.at("end_station_id").get_to(value.end_station_id);
    j.at("control_points").get_to(value.control_points);
}

void to_json(json& j, const MapVirtualArea& value) {
    j = json{{"header", value.header},
             {"type", value.type},
             {"shape", value.shape},
             {"width_speed", value.width_speed},
             {"vertex", value.vertex}};
}

void from_json(const json& j, MapVirtualArea& value) {
    j.at("header").get_to(value.header);
    j.at("type").get_to(value.type);
    j.at("shape").get_to(value.shape);
    j.at("width_speed").get_to(value.width_speed);
    j.at("vertex").get_to(value.vertex);
}

// ---------------------------------------------------------------------------
// Navigation

void from_json(const json& j, NavInfo& value) {
    j.at("header").get_to(value.header);
    j.at("status").get_to(value.status);
    j.at("type").get_to(value.type);
    j.at("nav_type").get_to(value.nav_type);
    j.at("auto_charging_type").get_to(value.auto_charging_type);
    j.at("goal_station").get_to(value.goal_station);
    j.at("current_trajectory").get_to(value.current_trajectory);
}

void to_json(json& j, const AdjustParam& value) {
    j = json{{"enable", value.enable},
             {"forward_flag", value.forward_flag},
             {"max_distance", value.max_distance},
             {"max_angle", value.max_angle}};
}

void to_json(json& j, const NavGoalType& value) {
    j = json{{"header", value.header},
             {"type", value.type},
             {"target_pose", value.target_pose},
             {"stations_id", value.stations_id},
             {"forward_flag", value.forward_flag},
             {"goal_end_rotate", value.goal_end_rotate},
             {"secondary_adjustment", value.secondary_adjustment},
             {"max_vel", value.max_vel}};
}

// ---------------------------------------------------------------------------
// Vehicle state and details

void from_json(const json& j, RunningInfo& value) {
    j.at("header").get_to(value.header);
    j.at("running_mode").get_to(value.running_mode);
    j.at("current_speed").get_to(value.current_speed);
    j.at("location_score").get_to(value.location_score);
    j.at("total_dist").get_to(value.total_dist);
    j.at("current_dist").get_to(value.current_dist);
    j.at("total_running_time").get_to(value.total_running_time);
    j.at("current_running_time").get_to(value.current_running_time);
    j.at("battery_voltage").get_to(value.battery_voltage);
    j.at("battery_current").get_to(value.battery_current);
    j.at("remaining_voltage").get_to(value.remaining_voltage);
    j.at("battery_status").get_to(value.battery_status);
    j.at("safety_edge_status").get_to(value.safety_edge_status);
    j.at("low_battery").get_to(value.low_battery);
    j.at("pause").get_to(value.pause);
    j.at("emergency_stop").get_to(value.emergency_stop);
    j.at("blocked").get_to(value.blocked);
    j.at("localization_loss").get_to(value.localization_loss);
    j.at("fault_alarm").get_to(value.fault_alarm);
    j.at("break_release_flag").get_to(value.break_release_flag);
}

void from_json(const json& j, AgvDetails& value) {
    j.at("name").get_to(value.name);
    j.at("version").get_to(value.version);
    j.at("MFD").get_to(value.MFD);
    j.at("SN").get_to(value.SN);
    j.at("communication_version").get_to(value.communication_version);
    j.at("battery_version").get_to(value.battery_version);
    j.at("loop_times").get_to(value.loop_times);
    j.at("surplus_capacity").get_to(value.surplus_capacity);
    j.at("left_motor_firmware_version").get_to(value.left_motor_firmware_version);
    j.at("right_motor_firmware_version").get_to(value.right_motor_firmware_version);
    j.at("master_board_firmware_version").get_to(value.master_board_firmware_version);
    j.at("hardware_abstraction_version").get_to(value.hardware_abstraction_version);
    j.at("error_code_version").get_to(value.error_code_version);
    j.at("max_speed").get_to(value.max_speed);
    j.at("max_angular").get_to(value.max_angular);
}

void from_json(const json& j, IpAddressInfo& value) {
    j.at("name").get_to(value.name);
    j.at("type").get_to(value.type);
    j.at("device").get_to(value.device);
    j.at("ipv4_ip").get_to(value.ipv4_ip);
    j.at("ipv4_gateway").get_to(value.ipv4_gateway);
    j.at("ipv4_method").get_to(value.ipv4_method);
    j.at("ipv4_dns").get_to(value.ipv4_dns);
    j.at("ipv6_ip").get_to(value.ipv6_ip);
    j.at("ipv6_gateway").get_to(value.ipv6_gateway);
}

// ---------------------------------------------------------------------------
// Commands and progress

void to_json(json& j, const FirmwareUpdateParam& value) {
    j = json{{"left_motor", value.left_motor},
             {"right_motor", value.right_motor},
             {"master_board", value.master_board},
             {"firmware_file_path", value.firmware_file_path}};
}

void from_json(const json& j, FirmwareUpdateProcessInfo& value) {
    j.at("update_info").get_to(value.update_info);
    j.at("update_progress").get_to(value.update_progress);
}

void from_json(const json& j, CalibrationProcessInfo& value) {
    j.at("header").get_to(value.header);
    j.at("type").get_to(value.type);
    j.at("status").get_to(value.status);
    j.at("collected_data_count").get_to(value.collected_data_count);
}

void to_json(json& j, const AutoChargingCommand& value) {
    j = json{{"header", value.header},
             {"auto_charging_type", value.auto_charging_type},
             {"cp_station_id", value.cp_station_id},
             {"leave_to_station_id", value.leave_to_station_id},
             {"max_speed", value.max_speed}};
}

#define ZORV_WORKING_STATUS_JSON(Name) \
    void from_json(const json& j, Name& value) { read_working_status(j, value); }

ZORV_WORKING_STATUS_JSON(SaveMapWorkingStatus)
ZORV_WORKING_STATUS_JSON(SwitchMapWorkingStatus)
ZORV_WORKING_STATUS_JSON(ChangeModeWorkingStatus)
ZORV_WORKING_STATUS_JSON(RelocationWorkingStatus)
ZORV_WORKING_STATUS_JSON(GetGridMapWorkingStatus)
ZORV_WORKING_STATUS_JSON(SendGridMapWorkingStatus)
ZORV_WORKING_STATUS_JSON(GetPngMapWorkingStatus)
ZORV_WORKING_STATUS_JSON(SendPngMapWorkingStatus)
ZORV_WORKING_STATUS_JSON(SetPngMapAllInfoWorkingStatus)
ZORV_WORKING_STATUS_JSON(GetPngMapAllInfoWorkingStatus)
ZORV_WORKING_STATUS_JSON(SetGridMapAllInfoWorkingStatus)
ZORV_WORKING_STATUS_JSON(GetGridMapAllInfoWorkingStatus)
ZORV_WORKING_STATUS_JSON(PreviewPngMapWorkingStatus)
ZORV_WORKING_STATUS_JSON(AutoAlignRailwayWorkingStatus)

#undef ZORV_WORKING_STATUS_JSON

void from_json(const json& j, AsyncInterfaceResultStatus& value) {
    j.at("header").get_to(value.header);
    j.at("save_map_status").get_to(value.save_map_status);
    j.at("switch_map_status").get_to(value.switch_map_status);
    j.at("change_running_mode_status").get_to(value.change_running_mode_status);
    j.at("relocation_status").get_to(value.relocation_status);
    j.at("get_grid_map_status").get_to(value.get_grid_map_status);
    j.at("send_grid_map_status").get_to(value.send_grid_map_status);
    j.at("get_png_map_status").get_to(value.get_png_map_status);
    j.at("send_png_map_status").get_to(value.send_png_map_status);
    j.at("set_png_all_status").get_to(value.set_png_all_status);
    j.at("get_png_all_status").get_to(value.get_png_all_status);
    j.at("set_grid_all_status").get_to(value.set_grid_all_status);
    j.at("get_grid_all_status").get_to(value.get_grid_all_status);
    // Replies may omit the preview status; a stale one must not survive.
    if (j.contains("preview_png_map_status")) {
        j.at("preview_png_map_status").get_to(value.preview_png_map_status);
    } else {
        value.preview_png_map_status = PreviewPngMapWorkingStatus{};
    }
    j.at("align_railway_status").get_to(value.align_railway_status);
}

}  // namespace zorv_interface
