#include "zorv_interface_impl.h"

#include "zorv_interface/return_value.h"

namespace zorv_interface {

// A parameter under its wire key, converted only when the call is really made.
template <typename V>
struct Param {
    const char* key;
    const V& value;
};

namespace {

template <typename V>
Param<V> param(const char* key, const V& value) {
    return {key, value};
}

}  // namespace

ZorvInterfaceImpl::ZorvInterfaceImpl(std::shared_ptr<IClientConnector> connector, bool offline)
    : connector(std::move(connector)), client(*this->connector, jsonrpccxx::version::v2), offline(offline) {}

ZorvInterfaceImpl::~ZorvInterfaceImpl() = default;

// A call's share of the implementation, held while the call runs.
class ZorvInterfaceImpl::CallShare {
public:
    explicit CallShare(ZorvInterfaceImpl& impl) : impl(impl) { impl.shares.fetch_add(1, std::memory_order_relaxed); }
    ~CallShare() { impl.release(); }
    CallShare(const CallShare&) = delete;
    CallShare& operator=(const CallShare&) = delete;

private:
    ZorvInterfaceImpl& impl;
};

void ZorvInterfaceImpl::release() {
    if (shares.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete this;
    }
}

std::shared_ptr<IClientConnector> ZorvInterfaceImpl::getConnector() { return connector; }

std::string ZorvInterfaceImpl::_getName(const char* name) { return std::string("ZorvInterface.") + name; }

int ZorvInterfaceImpl::logout() {
    std::lock_guard<std::mutex> lock(mutex);
    return 0;
}

int ZorvInterfaceImpl::setExceptionFree(bool on) { return client.setExceptionFree(on); }

int ZorvInterfaceImpl::errorCode() const { return client.errorCode(); }

template <typename T, typename... Values>
T ZorvInterfaceImpl::call(const char* operation, const Param<Values>&... params) {
    if (offline) {
        return ReturnValue<T>()();
    }
    const CallShare share(*this);
    const jsonrpccxx::named_parameter named{{params.key, jsonrpccxx::json(params.value)}...};
    return client.CallMethodNamed<T>(jsonrpccxx::get_uuid(), _getName(operation), named);
}

// Maps.
std::vector<Header> ZorvInterfaceImpl::getMapList() { return call<std::vector<Header>>("getMapList"); }
Header ZorvInterfaceImpl::getCurrentMapHeader() { return call<Header>("getCurrentMapHeader"); }
MapInfo ZorvInterfaceImpl::getGridMapFromAgv(const Header& map_header) {
    return call<MapInfo>("getGridMapFromAgv", param("map_header", map_header));
}
MapInfo ZorvInterfaceImpl::getBase64PngMapFromAgv(const Header& map_header) {
    return call<MapInfo>("getBase64PngMapFromAgv", param("map_header", map_header));
}
MapInfo ZorvInterfaceImpl::previewPngMapFromAgv(const Header& map_header, const int& image_width_px,
                                                const int& image_height_px) {
    return call<MapInfo>("previewPngMapFromAgv", param("map_header", map_header),
                         param("image_width_px", image_width_px), param("image_height_px", image_height_px));
}
int ZorvInterfaceImpl::sendGridMapToAgv(const MapInfo& map) {
    return call<int>("sendGridMapToAgv", param("map", map));
}
int ZorvInterfaceImpl::sendBase64PngMapToAgv(const MapInfo& map) {
    return call<int>("sendBase64PngMapToAgv", param("map", map));
}
int ZorvInterfaceImpl::saveMap(const Header& map_header) {
    return call<int>("saveMap", param("map_header", map_header));
}
int ZorvInterfaceImpl::switchMap(const Header& map_header) {
    return call<int>("switchMap", param("map_header", map_header));
}
int ZorvInterfaceImpl::deleteMap(const Header& map_header) {
    return call<int>("deleteMap", param("map_header", map_header));
}
int ZorvInterfaceImpl::deleteMaps(const std::vector<Header>& map_headers) {
    return call<int>("deleteMaps", param("map_headers", map_headers));
}
MapAllInfo ZorvInterfaceImpl::getGridMapAllInfo(const Header& map_header) {
    return call<MapAllInfo>("getGridMapAllInfo", param("map_header", map_header));
}
MapAllInfo ZorvInterfaceImpl::getPngMapAllInfo(const Header& map_header) {
    return call<MapAllInfo>("getPngMapAllInfo", param("map_header", map_header));
}
int ZorvInterfaceImpl::setGridMapAllInfo(const MapAllInfo& map_all_info, const Header& command_header) {
    return call<int>("setGridMapAllInfo", param("map_all_info", map_all_info),
                     param("command_header", command_header));
}
int ZorvInterfaceImpl::setPngMapAllInfo(const MapAllInfo& map_all_info, const Header& command_header) {
    return call<int>("setPngMapAllInfo", param("map_all_info", map_all_info),
                     param("command_header", command_header));
}
int ZorvInterfaceImpl::deleteMapAllInfo(const Header& map_header) {
    return call<int>("deleteMapAllInfo", param("map_header", map_header));
}
AsyncInterfaceResultStatus ZorvInterfaceImpl::getAsyncInterfaceResultStatus() {
    return call<AsyncInterfaceResultStatus>("getAsyncInterfaceResultStatus");
}

// Stations and paths.
std::vector<StationMark> ZorvInterfaceImpl::getAllStations() {
    return call<std::vector<StationMark>>("getAllStations");
}
std::vector<StationMark> ZorvInterfaceImpl::getAllStationsOfTargetMap(const Header& map_header) {
    return call<std::vector<StationMark>>("getAllStationsOfTargetMap", param("map_header", map_header));
}
StationMark ZorvInterfaceImpl::getNearestStation(const double& detect_distance) {
    return call<StationMark>("getNearestStation", param("detect_distance", detect_distance));
}
int ZorvInterfaceImpl::addStation(const StationMark& station) {
    return call<int>("addStation", param("station", station));
}
int ZorvInterfaceImpl::addStations(const std::vector<StationMark>& stations) {
    return call<int>("addStations", param("stations", stations));
}
int ZorvInterfaceImpl::addCPStationUseChargingBoard(const Header& station_header,
                                                    const double& dis_station_board) {
    return call<int>("addCPStationUseChargingBoard", param("station_header", station_header),
                     param("dis_station_post", dis_station_board));
}
int ZorvInterfaceImpl::deleteStation(const Header& station_header) {
    return call<int>("deleteStation", param("station_header", station_header));
}
int ZorvInterfaceImpl::deleteStations(const std::vector<Header>& station_headers) {
    return call<int>("deleteStations", param("stations_header", station_headers));
}
std::vector<PathStation> ZorvInterfaceImpl::getAllPaths() {
    return call<std::vector<PathStation>>("getAllPaths");
}
std::vector<PathStation> ZorvInterfaceImpl::getAllPathsOfTargetMap(const Header& map_header) {
    return call<std::vector<PathStation>>("getAllPathsOfTargetMap", param("map_header", map_header));
}
PathStation ZorvInterfaceImpl::getCurrentPath() { return call<PathStation>("getCurrentPath"); }
int ZorvInterfaceImpl::generatePath(const PathStation& path_station) {
    return call<int>("generatePath", param("path_station", path_station));
}
int ZorvInterfaceImpl::generatePaths(const std::vector<PathStation>& paths_station) {
    return call<int>("generatePaths", param("paths_station", paths_station));
}
int ZorvInterfaceImpl::deletePath(const Header& path_header) {
    return call<int>("deletePath", param("path_header", path_header));
}
int ZorvInterfaceImpl::deletePaths(const std::vector<Header>& paths_header) {
    return call<int>("deletePaths", param("paths_header", paths_header));
}

// Virtual areas.
std::vector<MapVirtualArea> ZorvInterfaceImpl::getAllMapVirtualArea() {
    return call<std::vector<MapVirtualArea>>("getAllMapVirtualArea");
}
std::vector<MapVirtualArea> ZorvInterfaceImpl::getAllMapVirtualAreaOfTargetMap(const Header& map_header) {
    return call<std::vector<MapVirtualArea>>("getAllMapVirtualAreaOfTargetMap",
                                             param("map_header", map_header));
}
int ZorvInterfaceImpl::addMapVirtualArea(const MapVirtualArea& map_virtual_area) {
    return call<int>("addMapVirtualArea", param("map_virtual_area", map_virtual_area));
}
int ZorvInterfaceImpl::addMapVirtualAreas(const std::vector<MapVirtualArea>& map_virtual_areas) {
    return call<int>("addMapVirtualAreas", param("map_virtual_areas", map_virtual_areas));
}
int ZorvInterfaceImpl::deleteMapVirtualArea(const Header& virtual_area_header) {
    return call<int>("deleteMapVirtualArea", param("virtual_area_header", virtual_area_header));
}
int ZorvInterfaceImpl::deleteMapVirtualAreas(const std::vector<Header>& virtual_areas_header) {
    return call<int>("deleteMapVirtualAreas", param("virtual_areas_header", virtual_areas_header));
}

// Navigation, motion and running mode.
RunningInfo ZorvInterfaceImpl::getRunningInfo() { return call<RunningInfo>("getRunningInfo"); }
Pose2d ZorvInterfaceImpl::getAgvCurrentPose() { return call<Pose2d>("getAgvCurrentPose"); }
NavInfo ZorvInterfaceImpl::getNavInfo() { return call<NavInfo>("getNavInfo"); }
int ZorvInterfaceImpl::setNavGoal(const NavGoalType& target) {
    return call<int>("setNavGoal", param("target", target));
}
int ZorvInterfaceImpl::cancelNavigation() { return call<int>("cancelNavigation"); }
int ZorvInterfaceImpl::pauseAgvSpeed() { return call<int>("pauseAgvSpeed"); }
int ZorvInterfaceImpl::resumeAgvSpeed() { return call<int>("resumeAgvSpeed"); }
int ZorvInterfaceImpl::setControlSpeed(const Speed& speed) {
    return call<int>("setControlSpeed", param("speed", speed));
}
int ZorvInterfaceImpl::changeRunningMode(const RunningMode& running_mode, const Header& command_header) {
    return call<int>("changeRunningMode", param("running_mode", running_mode),
                     param("command_header", command_header));
}
int ZorvInterfaceImpl::relocation(const Pose2d& init_pose, const Header& command_header) {
    return call<int>("relocation", param("init_pose", init_pose), param("command_header", command_header));
}
std::vector<Point2d> ZorvInterfaceImpl::getLaserPointCloud() {
    return call<std::vector<Point2d>>("getLaserPointCloud");
}
bool ZorvInterfaceImpl::isObstacleAhead(const double& detect_distance) {
    return call<bool>("isObstacleAhead", param("detect_distance", detect_distance));
}
int ZorvInterfaceImpl::autoAlignRailway(const Header& command_header) {
    return call<int>("autoAlignRailway", param("command_header", command_header));
}

// Charging.
int ZorvInterfaceImpl::sendAutoChargingCommand(const AutoChargingCommand& auto_charging_command) {
    return call<int>("sendAutoChargingCommand", param("auto_charging_command", auto_charging_command));
}
int ZorvInterfaceImpl::checkPowerAndAutoCharge(const Header& check_power_header,
                                               const std::string& nav_board_charge_station_id) {
    return call<int>("checkPowerAndAutoCharge", param("check_power_header", check_power_header),
                     param("nav_board_charge_station_id", nav_board_charge_station_id));
}
int ZorvInterfaceImpl::setLeaveBoardTargetStation(const Header& leave_board_target_station_header) {
    return call<int>("setLeaveBoardTargetStation",
                     param("leave_board_target_station_header", leave_board_target_station_header));
}
Header ZorvInterfaceImpl::getLeaveBoardTargetStation() { return call<Header>("getLeaveBoardTargetStation"); }
int ZorvInterfaceImpl::forcedAgvToChargingBoard(const Header& forced_charge_header,
                                                const std::string& nav_board_charge_station_id) {
    return call<int>("forcedAgvToChargingBoard", param("forced_charge_header", forced_charge_header),
                     param("nav_board_charge_station_id", nav_board_charge_station_id));
}
int ZorvInterfaceImpl::forcedAgvLeaveChargingBoard(const Header& forced_leave_header,
                                                   const std::string& leave_board_target_station_id) {
    return call<int>("forcedAgvLeaveChargingBoard", param("forced_leave_header", forced_leave_header),
                     param("leave_board_target_station_id", leave_board_target_station_id));
}

// Software, firmware and calibration.
int ZorvInterfaceImpl::updateSoftware(const std::string& upgrade_pack_path) {
    return call<int>("updateSoftware", param("upgrade_pack_path", upgrade_pack_path));
}
std::vector<std::string> ZorvInterfaceImpl::getSoftwareVersionList() {
    return call<std::vector<std::string>>("getSoftwareVersionList");
}
int ZorvInterfaceImpl::switchSoftwareVersion(const std::string& software_version) {
    return call<int>("switchSoftwareVersion", param("software_version", software_version));
}
int ZorvInterfaceImpl::uninstallSoftware(const std::string& software_version) {
    return call<int>("uninstallSoftware", param("software_version", software_version));
}
int ZorvInterfaceImpl::updateFirmware(const FirmwareUpdateParam& update_firmware) {
    return call<int>("updateFirmware", param("update_firmware", update_firmware));
}
FirmwareUpdateProcessInfo ZorvInterfaceImpl::getUpdateFirmwareProcess() {
    return call<FirmwareUpdateProcessInfo>("getUpdateFirmwareProcess");
}
int ZorvInterfaceImpl::startCollectCalibrationData(const CalibrationType& type,
                                                   const Header& command_header) {
    return call<int>("startCollectCalibrationData", param("type", type),
                     param("command_header", command_header));
}
int ZorvInterfaceImpl::cancelCollectCalibrationData(const CalibrationType& type,
                                                    const Header& command_header) {
    return call<int>("cancelCollectCalibrationData", param("type", type),
                     param("command_header", command_header));
}
int ZorvInterfaceImpl::startCalibration(const CalibrationType& type, const Header& command_header) {
    return call<int>("startCalibration", param("type", type), param("command_header", command_header));
}
CalibrationProcessInfo ZorvInterfaceImpl::getCalibrationProcessInfo(const CalibrationType& type) {
    return call<CalibrationProcessInfo>("getCalibrationProcessInfo", param("type", type));
}

// System, network, diagnostics and script state.
AgvDetails ZorvInterfaceImpl::getAgvDetails() { return call<AgvDetails>("getAgvDetails"); }
int ZorvInterfaceImpl::setAgvName(const std::string& agv_name) {
    return call<int>("setAgvName", param("agv_name", agv_name));
}
int ZorvInterfaceImpl::setSystemClock(const std::string& stamp) {
    return call<int>("setSystemClock", param("stamp", stamp));
}
int ZorvInterfaceImpl::restartAgv() { return call<int>("restartAgv"); }
int ZorvInterfaceImpl::soundLightPrompt() { return call<int>("soundLightPrompt"); }
int ZorvInterfaceImpl::setPriority(const std::string& name, const std::string& ip) {
    return call<int>("setPriority", param("name", name), param("ip", ip));
}
int ZorvInterfaceImpl::releasePriority() { return call<int>("releasePriority"); }
int ZorvInterfaceImpl::connectWifi(const std::string& ssid, const std::string& password) {
    return call<int>("connectWifi", param("ssid", ssid), param("password", password));
}
int ZorvInterfaceImpl::enableHotspot(const std::string& password) {
    return call<int>("enableHotspot", param("password", password));
}
std::vector<std::string> ZorvInterfaceImpl::getWifiList() {
    return call<std::vector<std::string>>("getWifiList");
}
std::vector<IpAddressInfo> ZorvInterfaceImpl::getIpAddressList() {
    return call<std::vector<IpAddressInfo>>("getIpAddressList");
}
std::string ZorvInterfaceImpl::errorCodeDecoder(const int& error_code) {
    return call<std::string>("errorCodeDecoder", param("error_code", error_code));
}
std::vector<Header> ZorvInterfaceImpl::getCurrentErrorCodes() {
    return call<std::vector<Header>>("getCurrentErrorCodes");
}
std::string ZorvInterfaceImpl::getAgvLogMessage() { return call<std::string>("getAgvLogMessage"); }
std::string ZorvInterfaceImpl::getAgvControllerParametersFile() {
    return call<std::string>("getAgvControllerParametersFile");
}
int ZorvInterfaceImpl::setAgvControllerParametersFile(const std::string& agv_parameters) {
    return call<int>("setAgvControllerParametersFile", param("agv_parameters", agv_parameters));
}
int ZorvInterfaceImpl::refreshAgvControllerParametersFile() {
    return call<int>("refreshAgvControllerParametersFile");
}
int ZorvInterfaceImpl::resetAgvControllerParametersFile() {
    return call<int>("resetAgvControllerParametersFile");
}
int ZorvInterfaceImpl::scriptPaused() { return call<int>("scriptPaused"); }
int ZorvInterfaceImpl::scriptResume() { return call<int>("scriptResume"); }
int ZorvInterfaceImpl::scriptStop() { return call<int>("scriptStop"); }
ScriptRuntimeState ZorvInterfaceImpl::getScriptStatus() {
    return call<ScriptRuntimeState>("getScriptStatus");
}
int ZorvInterfaceImpl::setScriptStatus(ScriptRuntimeState status) {
    return call<int>("setScriptStatus", param("status", status));
}

}  // namespace zorv_interface
