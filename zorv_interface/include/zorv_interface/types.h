#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zorv_interface/export.h"

// Records and enums exchanged with the controller. Field names are the JSON keys.
// Every scalar has a default so that a default-constructed record never carries
// indeterminate values onto the wire.
namespace zorv_interface {

// ---------------------------------------------------------------------------
// Enums. A value or text outside an enum's JSON table converts to its first entry.

enum class AutoChargingType : int32_t {
    NONE = 0,
    LOW_POWER_TO_BOARD = 1,
    HIGH_POWER_LEAVE_BOARD = 2,
    FORCE_TO_BOARD = 3,
    FORCE_LEAVE_BOARD = 4,
};

enum class CalibrationType : int32_t {
    NONE = 0,
    LASER_ODOM = 1,
};

enum class FeedbackStatus : int32_t {
    NONE = 0,
    FINISHED = 1,
    FAILED = 2,
    RUNNING = 3,
    PAUSED = 4,
    CANCELED = 5,
};

enum class FirmwareUpdateMode : int32_t {
    NONE = 0,
    UPDATE = 1,
    FORCED_UPDATE = 2,
    NOT_UPDATE = 3,
};

enum class MapFormat : int32_t {
    NONE = 0,
    OCCUPANCY_GRID = 1,
    BASE64_PNG = 2,
};

enum class MapVirtualAreaShape : int32_t {
    NONE = 0,
    LINE = 1,
    ARC = 2,
    CIRCLE = 3,
    POLYGON = 4,
};

enum class MapVirtualAreaType : int32_t {
    NONE = 0,
    OBSTACLE = 1,
    SLOW_DOWN = 2,
    INFLATE = 3,
};

enum class NavType : int32_t {
    NONE = 0,
    FREE_TO_POSE = 1,
    FREE_TO_STATION = 2,
    PATH_TO_STATION = 3,
};

enum class PathShape : int32_t {
    NONE = 0,
    LINE = 1,
    ARC = 2,
    BEZIER = 3,
};

// MAINTAIN has no JSON text: it is written as "NONE" and never read back.
enum class RunningMode : int32_t {
    NONE = 0,
    START = 1,
    MAPPING = 2,
    NAVIGATE = 3,
    CHARGING = 4,
    MAINTAIN = 5,
    STOP = 6,
};

enum class ScriptRuntimeState : int32_t {
    RUNNING = 0,
    PAUSED = 1,
    STOPPED = 2,
    ABORTING = 3,
};

// ---------------------------------------------------------------------------
// Geometry and identity

struct Header {
    std::string id;
    std::string name;
    int64_t stamp = 0;  // nanoseconds
    std::string map_id;
    int32_t error_code = -1;
};

struct Pose2d {
    double x = 0.0;
    double y = 0.0;
    double yaw = 0.0;
};

struct Point2d {
    float x = 0.0f;
    float y = 0.0f;
};

struct Speed {
    double v = 0.0;
    double w = 0.0;
};

// ---------------------------------------------------------------------------
// Maps, stations, paths and areas

struct MapInfo {
    Header header;
    double resolution = 0.0;
    uint32_t width = 0;
    uint32_t height = 0;
    Pose2d origin;
    MapFormat format = MapFormat::NONE;
    std::vector<int8_t> data;
};

struct StationMark {
    Header header;
    std::string type;
    Pose2d pose;
};

struct PathStation {
    Header header;
    PathShape shape = PathShape::NONE;
    bool use_direction = false;
    double max_speed = 0.0;
    std::string start_station_id;
    std::string end_station_id;
    std::vector<Point2d> control_points;
};

struct MapVirtualArea {
    Header header;
    MapVirtualAreaType type = MapVirtualAreaType::NONE;
    MapVirtualAreaShape shape = MapVirtualAreaShape::NONE;
    double width_speed = 0.0;
    std::vector<Point2d> vertex;
};

struct MapAllInfo {
    MapInfo map;
    std::vector<StationMark> stations;
    std::vector<PathStation> paths;
    std::vector<MapVirtualArea> virtual_areas;
};

// ---------------------------------------------------------------------------
// Navigation

struct NavInfo {
    Header header;
    FeedbackStatus status = FeedbackStatus::NONE;
    NavType type = NavType::NONE;  // same meaning as nav_type; kept for older callers
    NavType nav_type = NavType::NONE;
    AutoChargingType auto_charging_type = AutoChargingType::NONE;
    StationMark goal_station;
    std::vector<Point2d> current_trajectory;
};

struct AdjustParam {
    bool enable = false;
    bool forward_flag = false;
    double max_distance = 0.0;
    double max_angle = 0.0;
};

struct NavGoalType {
    Header header;
    NavType type = NavType::NONE;
    Pose2d target_pose;
    std::vector<std::string> stations_id;
    bool forward_flag = false;
    bool goal_end_rotate = false;
    AdjustParam secondary_adjustment;
    Speed max_vel;
};

// ---------------------------------------------------------------------------
// Vehicle state and details

struct RunningInfo {
    Header header;
    RunningMode running_mode = RunningMode::NONE;
    Speed current_speed;
    int8_t location_score = 0;
    double total_dist = 0.0;
    double current_dist = 0.0;
    double total_running_time = 0.0;
    double current_running_time = 0.0;
    double battery_voltage = 0.0;
    double battery_current = 0.0;
    int8_t remaining_voltage = 0;
    int8_t battery_status = 0;
    int8_t safety_edge_status = 0;
    bool low_battery = false;
    bool pause = false;
    bool emergency_stop = false;
    bool blocked = false;
    bool localization_loss = false;
    bool fault_alarm = false;
    bool break_release_flag = false;
};

struct AgvDetails {
    std::string name;
    std::string version;
    std::string MFD;
    std::string SN;
    int32_t communication_version = 0;
    int32_t battery_version = 0;
    int32_t loop_times = 0;
    float surplus_capacity = 0.0f;
    int32_t left_motor_firmware_version = 0;
    int32_t right_motor_firmware_version = 0;
    int32_t master_board_firmware_version = 0;
    int32_t hardware_abstraction_version = 0;
    int32_t error_code_version = 0;
    float max_speed = 0.0f;
    float max_angular = 0.0f;
};

struct IpAddressInfo {
    std::string name;
    std::string type;
    std::string device;
    std::string ipv4_ip;
    std::string ipv4_gateway;
    std::string ipv4_method;
    std::string ipv4_dns;
    std::string ipv6_ip;
    std::string ipv6_gateway;
};

// ---------------------------------------------------------------------------
// Commands and progress

struct FirmwareUpdateParam {
    FirmwareUpdateMode left_motor = FirmwareUpdateMode::NONE;
    FirmwareUpdateMode right_motor = FirmwareUpdateMode::NONE;
    FirmwareUpdateMode master_board = FirmwareUpdateMode::NONE;
    std::string firmware_file_path;
};

struct FirmwareUpdateProcessInfo {
    std::string update_info;
    double update_progress = 0.0;
};

struct CalibrationProcessInfo {
    Header header;
    CalibrationType type = CalibrationType::NONE;
    FeedbackStatus status = FeedbackStatus::NONE;
    uint32_t collected_data_count = 0;
};

struct AutoChargingCommand {
    Header header;
    AutoChargingType auto_charging_type = AutoChargingType::NONE;
    std::string cp_station_id;
    std::string leave_to_station_id;
    Speed max_speed;
};

// One distinct type per asynchronous operation, all of the same shape, so that
// each field of AsyncInterfaceResultStatus has its own type.
#define ZORV_WORKING_STATUS(Name)                      \
    struct Name {                                      \
        Header header;                                 \
        FeedbackStatus status = FeedbackStatus::NONE;  \
    };                                                 \
    ZORV_SDK_API void from_json(const nlohmann::json& j, Name& value);

ZORV_WORKING_STATUS(SaveMapWorkingStatus)
ZORV_WORKING_STATUS(SwitchMapWorkingStatus)
ZORV_WORKING_STATUS(ChangeModeWorkingStatus)
ZORV_WORKING_STATUS(RelocationWorkingStatus)
ZORV_WORKING_STATUS(GetGridMapWorkingStatus)
ZORV_WORKING_STATUS(SendGridMapWorkingStatus)
ZORV_WORKING_STATUS(GetPngMapWorkingStatus)
ZORV_WORKING_STATUS(SendPngMapWorkingStatus)
ZORV_WORKING_STATUS(SetPngMapAllInfoWorkingStatus)
ZORV_WORKING_STATUS(GetPngMapAllInfoWorkingStatus)
ZORV_WORKING_STATUS(SetGridMapAllInfoWorkingStatus)
ZORV_WORKING_STATUS(GetGridMapAllInfoWorkingStatus)
ZORV_WORKING_STATUS(PreviewPngMapWorkingStatus)
ZORV_WORKING_STATUS(AutoAlignRailwayWorkingStatus)

#undef ZORV_WORKING_STATUS

struct AsyncInterfaceResultStatus {
    Header header;
    SaveMapWorkingStatus save_map_status;
    SwitchMapWorkingStatus switch_map_status;
    ChangeModeWorkingStatus change_running_mode_status;
    RelocationWorkingStatus relocation_status;
    GetGridMapWorkingStatus get_grid_map_status;
    SendGridMapWorkingStatus send_grid_map_status;
    GetPngMapWorkingStatus get_png_map_status;
    SendPngMapWorkingStatus send_png_map_status;
    SetPngMapAllInfoWorkingStatus set_png_all_status;
    GetPngMapAllInfoWorkingStatus get_png_all_status;
    SetGridMapAllInfoWorkingStatus set_grid_all_status;
    GetGridMapAllInfoWorkingStatus get_grid_all_status;
    PreviewPngMapWorkingStatus preview_png_map_status;
    AutoAlignRailwayWorkingStatus align_railway_status;
};

// ---------------------------------------------------------------------------
// JSON hooks, found by argument-dependent lookup. Records convert only in the
// directions the controller protocol uses; readers throw the JSON library's
// exceptions (out_of_range 403 for a missing key, type_error 302/304).

#define ZORV_ENUM_JSON(Enum)                                            \
    ZORV_SDK_API void to_json(nlohmann::json& j, const Enum& value);   \
    ZORV_SDK_API void from_json(const nlohmann::json& j, Enum& value);

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

// Both directions
ZORV_SDK_API void to_json(nlohmann::json& j, const Header& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, Header& value);
ZORV_SDK_API void to_json(nlohmann::json& j, const Pose2d& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, Pose2d& value);
ZORV_SDK_API void to_json(nlohmann::json& j, const Point2d& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, Point2d& value);
ZORV_SDK_API void to_json(nlohmann::json& j, const Speed& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, Speed& value);
ZORV_SDK_API void to_json(nlohmann::json& j, const MapInfo& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, MapInfo& value);
ZORV_SDK_API void to_json(nlohmann::json& j, const MapAllInfo& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, MapAllInfo& value);
ZORV_SDK_API void to_json(nlohmann::json& j, const StationMark& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, StationMark& value);
ZORV_SDK_API void to_json(nlohmann::json& j, const PathStation& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, PathStation& value);
ZORV_SDK_API void to_json(nlohmann::json& j, const MapVirtualArea& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, MapVirtualArea& value);

// Parameters only
ZORV_SDK_API void to_json(nlohmann::json& j, const AdjustParam& value);
ZORV_SDK_API void to_json(nlohmann::json& j, const NavGoalType& value);
ZORV_SDK_API void to_json(nlohmann::json& j, const AutoChargingCommand& value);
ZORV_SDK_API void to_json(nlohmann::json& j, const FirmwareUpdateParam& value);

// Results only (the working-status readers are declared with their records)
ZORV_SDK_API void from_json(const nlohmann::json& j, NavInfo& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, RunningInfo& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, AgvDetails& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, IpAddressInfo& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, FirmwareUpdateProcessInfo& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, CalibrationProcessInfo& value);
ZORV_SDK_API void from_json(const nlohmann::json& j, AsyncInterfaceResultStatus& value);

}  // namespace zorv_interface
