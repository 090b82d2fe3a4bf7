#include "rpc_client_binding.h"

#include <memory>
#include <string>

#include <pybind11/stl.h>

#include "bridges.h"
#include "zorv_interface/rpc_client.h"

namespace py = pybind11;
using namespace zorv_interface;
using py::arg;

namespace zorv_python {
namespace {

using PyRpcClient = py::class_<RpcClient, std::shared_ptr<RpcClient>>;

const char* const kSupersededByChargingCommand =
    "自 0.7.0 起废弃，请使用新的 sendAutoChargingCommand(const AutoChargingCommand&) 接口。";

std::string aliasDoc(const char* name) {
    return std::string("自 0.9.0 起废弃，请使用新的 ") + name + " 接口。";
}

// The default command headers of the controller protocol: every text "99999".
Header defaultHeader(int64_t stamp) {
    Header header;
    header.id = "99999";
    header.name = "99999";
    header.map_id = "99999";
    header.stamp = stamp;
    return header;
}

// Registering under an existing name adds an overload to it.
template <typename Func, typename... Extra>
void operation(PyRpcClient& cls, const char* alias, const char* name, Func&& func, const Extra&... extra) {
    cls.def(alias, func, aliasDoc(name).c_str(), extra...);
    cls.def(name, func, extra...);
}

template <typename Func, typename... Extra>
void supersededOperation(PyRpcClient& cls, const char* alias, const char* name, Func&& func,
                         const Extra&... extra) {
    cls.def(alias, func, kSupersededByChargingCommand, extra...);
    cls.def(name, func, kSupersededByChargingCommand, extra...);
}

void bindOwnMethods(PyRpcClient& cls) {
    cls.def(py::init([] { return std::make_shared<RpcClient>(0); }))
        .def("setLogHandler", &installLogHandler)
        .def("connect", &RpcClient::connect, arg("ip"), arg("port"))
        .def("disconnect", &RpcClient::disconnect)
        .def("hasConnected", &RpcClient::hasConnected)
        .def("login", &RpcClient::login, arg("username"), arg("password"))
        .def("logout", &RpcClient::logout)
        .def("hasLogined", &RpcClient::hasLogined)
        .def("setRequestTimeout", &RpcClient::setRequestTimeout)
        .def("setEventHandler", &installEventHandler)
        .def("setExceptionFree", &RpcClient::setExceptionFree, arg("enable"))
        .def("errorCode", &RpcClient::errorCode);
}

void bindStationAndPathOperations(PyRpcClient& c) {
    using Z = ZorvInterface;
    operation(c, "get_all_stations", "getAllStations", &Z::getAllStations);
    operation(c, "get_all_stations_of_target_map", "getAllStationsOfTargetMap", &Z::getAllStationsOfTargetMap,
              arg("map_header"));
    operation(c, "add_station", "addStation", &Z::addStation, arg("station"));
    operation(c, "add_stations", "addStations", &Z::addStations, arg("stations"));
    operation(c, "add_cp_station_use_charging_board", "addCPStationUseChargingBoard",
              &Z::addCPStationUseChargingBoard, arg("station_header"), arg("dis_station_board") = 1.5);
    operation(c, "delete_station", "deleteStation", &Z::deleteStation, arg("station_header"));
    operation(c, "delete_stations", "deleteStations", &Z::deleteStations, arg("station_headers"));
    operation(c, "get_all_paths", "getAllPaths", &Z::getAllPaths);
    operation(c, "get_all_paths_of_target_map", "getAllPathsOfTargetMap", &Z::getAllPathsOfTargetMap,
              arg("map_header"));
    operation(c, "get_current_path", "getCurrentPath", &Z::getCurrentPath);
    operation(c, "generate_path", "generatePath", &Z::generatePath, arg("path_station"));
    operation(c, "generate_paths", "generatePaths", &Z::generatePaths, arg("paths_station"));
    operation(c, "delete_path", "deletePath", &Z::deletePath, arg("path_header"));
    operation(c, "delete_paths", "deletePaths", &Z::deletePaths, arg("paths_header"));
}

void bindMapAndAreaOperations(PyRpcClient& c, const Header& h1) {
    using Z = ZorvInterface;
    operation(c, "get_map_list", "getMapList", &Z::getMapList);
    operation(c, "get_current_map_header", "getCurrentMapHeader", &Z::getCurrentMapHeader);
    operation(c, "get_grid_map_from_agv", "getGridMapFromAgv", &Z::getGridMapFromAgv, arg("map_header"));
    operation(c, "get_base64_png_map_from_agv", "getBase64PngMapFromAgv", &Z::getBase64PngMapFromAgv,
              arg("map_header"));
    operation(c, "preview_png_map_from_agv", "previewPngMapFromAgv", &Z::previewPngMapFromAgv,
              arg("map_header"), arg("image_width_px") = 0, arg("image_height_px") = 0);
    operation(c, "send_grid_map_to_agv", "sendGridMapToAgv", &Z::sendGridMapToAgv, arg("map"));
    operation(c, "send_base64_png_map_to_agv", "sendBase64PngMapToAgv", &Z::sendBase64PngMapToAgv, arg("map"));
    operation(c, "save_map", "saveMap", &Z::saveMap, arg("map_header"));
    operation(c, "switch_map", "switchMap", &Z::switchMap, arg("map_header"));
    operation(c, "delete_map", "deleteMap", &Z::deleteMap, arg("map_header"));
    operation(c, "delete_maps", "deleteMaps", &Z::deleteMaps, arg("map_headers"));
    operation(c, "get_all_map_virtual_area", "getAllMapVirtualArea", &Z::getAllMapVirtualArea);
    operation(c, "get_all_map_virtual_area_of_target_map", "getAllMapVirtualAreaOfTargetMap",
              &Z::getAllMapVirtualAreaOfTargetMap, arg("map_header"));
    operation(c, "add_map_virtual_area", "addMapVirtualArea", &Z::addMapVirtualArea, arg("map_virtual_area"));
    operation(c, "add_map_virtual_areas", "addMapVirtualAreas", &Z::addMapVirtualAreas,
              arg("map_virtual_areas"));
    operation(c, "delete_map_virtual_area", "deleteMapVirtualArea", &Z::deleteMapVirtualArea,
              arg("virtual_area_header"));
    operation(c, "delete_map_virtual_areas", "deleteMapVirtualAreas", &Z::deleteMapVirtualAreas,
              arg("virtual_areas_header"));
    operation(c, "get_grid_map_all_info", "getGridMapAllInfo", &Z::getGridMapAllInfo, arg("map_header"));
    operation(c, "get_png_map_all_info", "getPngMapAllInfo", &Z::getPngMapAllInfo, arg("map_header"));
    operation(c, "set_grid_map_all_info", "setGridMapAllInfo", &Z::setGridMapAllInfo, arg("map_all_info"),
              arg("command_header") = h1);
    operation(c, "set_png_map_all_info", "setPngMapAllInfo", &Z::setPngMapAllInfo, arg("map_all_info"),
              arg("command_header") = h1);
    operation(c, "delete_map_all_info", "deleteMapAllInfo", &Z::deleteMapAllInfo, arg("map_header"));
}

void bindNavigationOperations(PyRpcClient& c, const Header& h1) {
    using Z = ZorvInterface;
    operation(c, "change_running_mode", "changeRunningMode", &Z::changeRunningMode, arg("running_mode"),
              arg("command_header") = h1);
    operation(c, "set_control_speed", "setControlSpeed", &Z::setControlSpeed, arg("speed"));
    operation(c, "set_control_speed", "setControlSpeed", &setControlSpeedFromNumbers, arg("v"), arg("w"));
    operation(c, "set_nav_goal", "setNavGoal", &Z::setNavGoal, arg("target"));
    operation(c, "get_nav_info", "getNavInfo", &Z::getNavInfo);
    operation(c, "pause_agv_speed", "pauseAgvSpeed", &Z::pauseAgvSpeed);
    operation(c, "resume_agv_speed", "resumeAgvSpeed", &Z::resumeAgvSpeed);
    operation(c, "cancel_navigation", "cancelNavigation", &Z::cancelNavigation);
    // Alias and name coincide: one registration, no deprecation.
    c.def("relocation", &Z::relocation, arg("init_pose"), arg("command_header") = h1);
}

void bindParameterFileOperations(PyRpcClient& c) {
    using Z = ZorvInterface;
    operation(c, "get_agv_controller_parameters_file", "getAgvControllerParametersFile",
              &Z::getAgvControllerParametersFile);
    operation(c, "set_agv_controller_parameters_file", "setAgvControllerParametersFile",
              &Z::setAgvControllerParametersFile, arg("agv_parameters"));
    operation(c, "refresh_agv_controller_parameters_file", "refreshAgvControllerParametersFile",
              &Z::refreshAgvControllerParametersFile);
    operation(c, "reset_agv_controller_parameters_file", "resetAgvControllerParametersFile",
              &Z::resetAgvControllerParametersFile);
}

void bindChargingOperations(PyRpcClient& c, const Header& h1, const Header& h99) {
    using Z = ZorvInterface;
    // The keyword names are the historical Python ones, not the wire keys.
    supersededOperation(c, "check_power_and_auto_charge", "checkPowerAndAutoCharge", &Z::checkPowerAndAutoCharge,
                        arg("cheader_power_header") = h1, arg("nav_board_charge_station_id") = "99999");
    supersededOperation(c, "set_leave_board_target_station", "setLeaveBoardTargetStation",
                        &Z::setLeaveBoardTargetStation, arg("leave_board_target_station_header"));
    supersededOperation(c, "get_leave_board_target_station", "getLeaveBoardTargetStation",
                        &Z::getLeaveBoardTargetStation);
    supersededOperation(c, "forced_agv_to_charging_board", "forcedAgvToChargingBoard",
                        &Z::forcedAgvToChargingBoard, arg("forced_charge_header") = h99,
                        arg("nav_board_charge_station_id") = "99999");
    operation(c, "forced_agv_leave_charging_board", "forcedAgvLeaveChargingBoard", &Z::forcedAgvLeaveChargingBoard,
              arg("forced_leave_charge_header") = h99, arg("leave_board_target_station_id") = "99999");
    operation(c, "send_auto_charging_command", "sendAutoChargingCommand", &Z::sendAutoChargingCommand,
              arg("auto_charging_command"));
}

void bindMaintenanceOperations(PyRpcClient& c, const Header& h1) {
    using Z = ZorvInterface;
    operation(c, "get_agv_log_message", "getAgvLogMessage", &Z::getAgvLogMessage);
    operation(c, "update_software", "updateSoftware", &Z::updateSoftware, arg("upgrade_pack_path"));
    operation(c, "get_software_version_list", "getSoftwareVersionList", &Z::getSoftwareVersionList);
    operation(c, "switch_software_version", "switchSoftwareVersion", &Z::switchSoftwareVersion,
              arg("software_version"));
    operation(c, "uninstall_software", "uninstallSoftware", &Z::uninstallSoftware, arg("software_version"));
    operation(c, "update_firmware", "updateFirmware", &Z::updateFirmware, arg("update_firmware"));
    operation(c, "get_update_firmware_process", "getUpdateFirmwareProcess", &Z::getUpdateFirmwareProcess);
    operation(c, "start_collect_calibration_data", "startCollectCalibrationData", &Z::startCollectCalibrationData,
              arg("type"), arg("command_header") = h1);
    operation(c, "cancel_collect_calibration_data", "cancelCollectCalibrationData",
              &Z::cancelCollectCalibrationData, arg("type"), arg("command_header") = h1);
    operation(c, "start_calibration", "startCalibration", &Z::startCalibration, arg("type"),
              arg("command_header") = h1);
    operation(c, "get_calibration_process_info", "getCalibrationProcessInfo", &Z::getCalibrationProcessInfo,
              arg("type"));
}

void bindSystemOperations(PyRpcClient& c, const Header& h1) {
    using Z = ZorvInterface;
    operation(c, "restart_agv", "restartAgv", &Z::restartAgv);
    operation(c, "set_agv_name", "setAgvName", &Z::setAgvName, arg("agv_name"));
    operation(c, "set_priority", "setPriority", &Z::setPriority, arg("name"), arg("ip"));
    operation(c, "release_priority", "releasePriority", &Z::releasePriority);
    operation(c, "script_paused", "scriptPaused", &Z::scriptPaused);
    operation(c, "script_resume", "scriptResume", &Z::scriptResume);
    operation(c, "script_stop", "scriptStop", &Z::scriptStop);
    operation(c, "get_script_status", "getScriptStatus", &Z::getScriptStatus);
    operation(c, "set_script_status", "setScriptStatus", &Z::setScriptStatus, arg("status"));
    operation(c, "error_code_decoder", "errorCodeDecoder", &Z::errorCodeDecoder, arg("error_code"));
    operation(c, "get_current_error_codes", "getCurrentErrorCodes", &Z::getCurrentErrorCodes);
    operation(c, "sound_light_prompt", "soundLightPrompt", &Z::soundLightPrompt);
    operation(c, "is_obstacle_ahead", "isObstacleAhead", &Z::isObstacleAhead, arg("detect_distance") = 1.0);
    operation(c, "get_nearest_station", "getNearestStation", &Z::getNearestStation,
              arg("detect_distance") = 1.0);
    operation(c, "auto_align_railway", "autoAlignRailway", &Z::autoAlignRailway, arg("command_header") = h1);
}

// The operations in their historical registration order (it shows in help()).
void bindOperations(PyRpcClient& c) {
    using Z = ZorvInterface;
    const Header h1 = defaultHeader(1);
    const Header h99 = defaultHeader(99999);
    // The camelCase name takes the stamp by position only.
    c.def("set_system_clock", &Z::setSystemClock, aliasDoc("setSystemClock").c_str(), arg("stamp"));
    c.def("setSystemClock", &Z::setSystemClock);
    operation(c, "get_agv_details", "getAgvDetails", &Z::getAgvDetails);
    operation(c, "get_running_info", "getRunningInfo", &Z::getRunningInfo);
    operation(c, "get_agv_current_pose", "getAgvCurrentPose", &Z::getAgvCurrentPose);
    operation(c, "get_laser_point_cloud", "getLaserPointCloud", &Z::getLaserPointCloud);
    operation(c, "get_async_interface_result_status", "getAsyncInterfaceResultStatus",
              &Z::getAsyncInterfaceResultStatus);
    bindStationAndPathOperations(c);
    bindMapAndAreaOperations(c, h1);
    bindNavigationOperations(c, h1);
    bindParameterFileOperations(c);
    bindChargingOperations(c, h1, h99);
    bindMaintenanceOperations(c, h1);
    bindSystemOperations(c, h1);
}

}  // namespace

void bindRpcClient(py::module_& m) {
    PyRpcClient cls(m, "RpcClient");
    bindOwnMethods(cls);
    bindOperations(cls);
}

}  // namespace zorv_python
