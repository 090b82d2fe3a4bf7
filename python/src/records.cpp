#include "records.h"

#include <pybind11/stl.h>

#include "bridges.h"
#include "enums.h"
#include "zorv_interface/types.h"

namespace py = pybind11;
using namespace zorv_interface;

namespace zorv_python {
namespace {

// Default holder (unique_ptr) and the argument-less constructor; fields are
// added by the caller with def_readwrite, whose getter returns views into the record.
template <typename T>
py::class_<T> record(py::module_& m, const char* name) {
    return py::class_<T>(m, name).def(py::init<>());
}

template <typename T>
void workingStatus(py::module_& m, const char* name) {
    record<T>(m, name).def_readwrite("header", &T::header).def_readwrite("status", &T::status);
}

void bindAgvDetails(py::module_& m) {
    record<AgvDetails>(m, "AgvDetails")
        .def_readwrite("name", &AgvDetails::name)
        .def_readwrite("version", &AgvDetails::version)
        .def_readwrite("MFD", &AgvDetails::MFD)
        .def_readwrite("SN", &AgvDetails::SN)
        .def_readwrite("communication_version", &AgvDetails::communication_version)
        .def_readwrite("battery_version", &AgvDetails::battery_version)
        .def_readwrite("loop_times", &AgvDetails::loop_times)
        .def_readwrite("surplus_capacity", &AgvDetails::surplus_capacity)
        .def_readwrite("left_motor_firmware_version", &AgvDetails::left_motor_firmware_version)
        .def_readwrite("right_motor_firmware_version", &AgvDetails::right_motor_firmware_version)
        .def_readwrite("master_board_firmware_version", &AgvDetails::master_board_firmware_version)
        .def_readwrite("hardware_abstraction_version", &AgvDetails::hardware_abstraction_version)
        .def_readwrite("max_speed", &AgvDetails::max_speed)
        .def_readwrite("max_angular", &AgvDetails::max_angular)
        .def_readwrite("error_code_version", &AgvDetails::error_code_version);
}

void bindMapAllInfo(py::module_& m) {
    record<MapAllInfo>(m, "MapAllInfo")
        .def_readwrite("map", &MapAllInfo::map)
        .def_readwrite("stations", &MapAllInfo::stations)
        .def_readwrite("paths", &MapAllInfo::paths)
        .def_readwrite("virtual_areas", &MapAllInfo::virtual_areas);
}

void bindWorkingStatuses(py::module_& m) {
    workingStatus<SaveMapWorkingStatus>(m, "SaveMapWorkingStatus");
    workingStatus<SwitchMapWorkingStatus>(m, "SwitchMapWorkingStatus");
    workingStatus<ChangeModeWorkingStatus>(m, "ChangeModeWorkingStatus");
    workingStatus<RelocationWorkingStatus>(m, "RelocationWorkingStatus");
    workingStatus<GetGridMapWorkingStatus>(m, "GetGridMapWorkingStatus");
    workingStatus<SendGridMapWorkingStatus>(m, "SendGridMapWorkingStatus");
    workingStatus<GetPngMapWorkingStatus>(m, "GetPngMapWorkingStatus");
    workingStatus<SendPngMapWorkingStatus>(m, "SendPngMapWorkingStatus");
    workingStatus<SetPngMapAllInfoWorkingStatus>(m, "SetPngMapAllInfoWorkingStatus");
    workingStatus<GetPngMapAllInfoWorkingStatus>(m, "GetPngMapAllInfoWorkingStatus");
    workingStatus<SetGridMapAllInfoWorkingStatus>(m, "SetGridMapAllInfoWorkingStatus");
    workingStatus<GetGridMapAllInfoWorkingStatus>(m, "GetGridMapAllInfoWorkingStatus");
    workingStatus<PreviewPngMapWorkingStatus>(m, "PreviewPngMapWorkingStatus");
    workingStatus<AutoAlignRailwayWorkingStatus>(m, "AutoAlignRailwayWorkingStatus");
}

void bindAsyncInterfaceResultStatus(py::module_& m) {
    using S = AsyncInterfaceResultStatus;
    record<S>(m, "AsyncInterfaceResultStatus")
        .def_readwrite("header", &S::header)
        .def_readwrite("save_map_status", &S::save_map_status)
        .def_readwrite("switch_map_status", &S::switch_map_status)
        .def_readwrite("change_running_mode_status", &S::change_running_mode_status)
        .def_readwrite("relocation_status", &S::relocation_status)
        .def_readwrite("get_grid_map_status", &S::get_grid_map_status)
        .def_readwrite("send_grid_map_status", &S::send_grid_map_status)
        .def_readwrite("get_png_map_status", &S::get_png_map_status)
        .def_readwrite("send_png_map_status", &S::send_png_map_status)
        .def_readwrite("set_png_all_status", &S::set_png_all_status)
        .def_readwrite("get_png_all_status", &S::get_png_all_status)
        .def_readwrite("set_grid_all_status", &S::set_grid_all_status)
        .def_readwrite("get_grid_all_status", &S::get_grid_all_status)
        .def_readwrite("preview_png_map_status", &S::preview_png_map_status)
        .def_readwrite("align_railway_status", &S::align_railway_status);
}

}  // namespace

void bindDetailsSpeedHeader(py::module_& m) {
    bindAgvDetails(m);
    record<Speed>(m, "Speed")
        .def_readwrite("v", &Speed::v, "线速度 (m/s)")
        .def_readwrite("w", &Speed::w, "角速度 (rad/s)");
    record<Header>(m, "Header")
        .def_readwrite("id", &Header::id, "唯一标识符")
        .def_readwrite("name", &Header::name, "设备名称")
        .def_readwrite("stamp", &Header::stamp, "纳秒时间戳")
        .def_readwrite("map_id", &Header::map_id, "当前地图ID")
        .def_readwrite("error_code", &Header::error_code, "错误码");
}

void bindRunningInfoPoses(py::module_& m) {
    record<RunningInfo>(m, "RunningInfo")
        .def_readwrite("header", &RunningInfo::header)
        .def_readwrite("running_mode", &RunningInfo::running_mode)
        .def_readwrite("current_speed", &RunningInfo::current_speed)
        .def_readwrite("location_score", &RunningInfo::location_score)
        .def_readwrite("total_dist", &RunningInfo::total_dist)
        .def_readwrite("current_dist", &RunningInfo::current_dist)
        .def_readwrite("total_running_time", &RunningInfo::total_running_time)
        .def_readwrite("current_running_time", &RunningInfo::current_running_time)
        .def_readwrite("battery_voltage", &RunningInfo::battery_voltage)
        .def_readwrite("battery_current", &RunningInfo::battery_current)
        .def_readwrite("remaining_voltage", &RunningInfo::remaining_voltage)
        .def_readwrite("battery_status", &RunningInfo::battery_status)
        .def_readwrite("safety_edge_status", &RunningInfo::safety_edge_status)
        .def_readwrite("low_battery", &RunningInfo::low_battery)
        .def_readwrite("pause", &RunningInfo::pause)
        .def_readwrite("emergency_stop", &RunningInfo::emergency_stop)
        .def_readwrite("blocked", &RunningInfo::blocked)
        .def_readwrite("localization_loss", &RunningInfo::localization_loss)
        .def_readwrite("fault_alarm", &RunningInfo::fault_alarm)
        .def_readwrite("break_release_flag", &RunningInfo::break_release_flag);
    record<Pose2d>(m, "Pose2d")
        .def_readwrite("x", &Pose2d::x, "x坐标 (m)")
        .def_readwrite("y", &Pose2d::y, "y坐标 (m)")
        .def_readwrite("yaw", &Pose2d::yaw, "角度 (rad)");
    record<Point2d>(m, "Point2d")
        .def_readwrite("x", &Point2d::x, "x坐标 (m)")
        .def_readwrite("y", &Point2d::y, "y坐标 (m)");
}

void bindMapInfoWithAliases(py::module_& m) {
    record<MapInfo>(m, "MapInfo")
        .def_readwrite("header", &MapInfo::header)
        .def_readwrite("resolution", &MapInfo::resolution)
        .def_readwrite("width", &MapInfo::width)
        .def_readwrite("height", &MapInfo::height)
        .def_readwrite("origin", &MapInfo::origin)
        .def_readwrite("format", &MapInfo::format)
        .def_readwrite("data", &MapInfo::data);
    setAliases(m, "MapInfo", {"OccupancyGridMap", "Base64PngMap"});
}

// MapAllInfo comes before the element classes of its lists: their signatures
// therefore name the library types, not the Python classes.
void bindMapAllInfoStatusesStation(py::module_& m) {
    bindMapAllInfo(m);
    bindWorkingStatuses(m);
    bindAsyncInterfaceResultStatus(m);
    record<StationMark>(m, "StationMark")
        .def_readwrite("header", &StationMark::header)
        .def_readwrite("type", &StationMark::type)
        .def_readwrite("pose", &StationMark::pose);
}

void bindPathStation(py::module_& m) {
    record<PathStation>(m, "PathStation")
        .def_readwrite("header", &PathStation::header)
        .def_readwrite("shape", &PathStation::shape)
        .def_readwrite("use_direction", &PathStation::use_direction)
        .def_readwrite("max_speed", &PathStation::max_speed)
        .def_readwrite("start_station_id", &PathStation::start_station_id)
        .def_readwrite("end_station_id", &PathStation::end_station_id)
        .def_readwrite("control_points", &PathStation::control_points);
}

void bindVirtualAreaIpAddress(py::module_& m) {
    record<MapVirtualArea>(m, "MapVirtualArea")
        .def_readwrite("header", &MapVirtualArea::header)
        .def_readwrite("type", &MapVirtualArea::type)
        .def_readwrite("shape", &MapVirtualArea::shape)
        .def_readwrite("width_speed", &MapVirtualArea::width_speed)
        .def_readwrite("vertex", &MapVirtualArea::vertex);
    record<IpAddressInfo>(m, "IpAddressInfo")
        .def_readwrite("name", &IpAddressInfo::name)
        .def_readwrite("type", &IpAddressInfo::type)
        .def_readwrite("device", &IpAddressInfo::device)
        .def_readwrite("ipv4_ip", &IpAddressInfo::ipv4_ip)
        .def_readwrite("ipv4_gateway", &IpAddressInfo::ipv4_gateway)
        .def_readwrite("ipv4_method", &IpAddressInfo::ipv4_method)
        .def_readwrite("ipv4_dns", &IpAddressInfo::ipv4_dns)
        .def_readwrite("ipv6_ip", &IpAddressInfo::ipv6_ip)
        .def_readwrite("ipv6_gateway", &IpAddressInfo::ipv6_gateway);
}

void bindNavGoal(py::module_& m) {
    record<AdjustParam>(m, "AdjustParam")
        .def_readwrite("enable", &AdjustParam::enable)
        .def_readwrite("forward_flag", &AdjustParam::forward_flag)
        .def_readwrite("max_distance", &AdjustParam::max_distance)
        .def_readwrite("max_angle", &AdjustParam::max_angle);
    record<NavGoalType>(m, "NavGoalType")
        .def_readwrite("header", &NavGoalType::header)
        .def_readwrite("type", &NavGoalType::type)
        .def_readwrite("target_pose", &NavGoalType::target_pose)
        .def_readwrite("stations_id", &NavGoalType::stations_id)
        .def_readwrite("forward_flag", &NavGoalType::forward_flag)
        .def_readwrite("goal_end_rotate", &NavGoalType::goal_end_rotate)
        .def_readwrite("secondary_adjustment", &NavGoalType::secondary_adjustment)
        .def_readwrite("max_vel", &NavGoalType::max_vel);
}

void bindNavInfoChargingCommand(py::module_& m) {
    record<NavInfo>(m, "NavInfo")
        .def_readwrite("header", &NavInfo::header)
        .def_readwrite("status", &NavInfo::status)
        .def_readwrite("nav_type", &NavInfo::nav_type, "当前导航类型")
        .def_readwrite("auto_charging_type", &NavInfo::auto_charging_type)
        .def_readwrite("goal_station", &NavInfo::goal_station)
        .def_readwrite("current_trajectory", &NavInfo::current_trajectory)
        .def_property_readonly("type", &readDeprecatedNavInfoType, kDeprecatedNavInfoTypeDoc);
    record<AutoChargingCommand>(m, "AutoChargingCommand")
        .def_readwrite("header", &AutoChargingCommand::header)
        .def_readwrite("auto_charging_type", &AutoChargingCommand::auto_charging_type)
        .def_readwrite("cp_station_id", &AutoChargingCommand::cp_station_id)
        .def_readwrite("leave_to_station_id", &AutoChargingCommand::leave_to_station_id)
        .def_readwrite("max_speed", &AutoChargingCommand::max_speed);
}

void bindFirmwareRecords(py::module_& m) {
    record<FirmwareUpdateParam>(m, "FirmwareUpdateParam")
        .def_readwrite("left_motor", &FirmwareUpdateParam::left_motor)
        .def_readwrite("right_motor", &FirmwareUpdateParam::right_motor)
        .def_readwrite("master_board", &FirmwareUpdateParam::master_board)
        .def_readwrite("firmware_file_path", &FirmwareUpdateParam::firmware_file_path);
    record<FirmwareUpdateProcessInfo>(m, "FirmwareUpdateProcessInfo")
        .def_readwrite("update_info", &FirmwareUpdateProcessInfo::update_info)
        .def_readwrite("update_progress", &FirmwareUpdateProcessInfo::update_progress);
}

void bindCalibrationProcessInfo(py::module_& m) {
    record<CalibrationProcessInfo>(m, "CalibrationProcessInfo")
        .def_readwrite("header", &CalibrationProcessInfo::header)
        .def_readwrite("type", &CalibrationProcessInfo::type)
        .def_readwrite("status", &CalibrationProcessInfo::status)
        .def_readwrite("collected_data_count", &CalibrationProcessInfo::collected_data_count);
}

}  // namespace zorv_python
