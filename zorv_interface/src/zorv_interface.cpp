#include "zorv_interface/zorv_interface.h"

#include "zorv_interface/zorv_exception.h"
#include "zorv_interface_impl.h"

namespace zorv_interface {

ZorvInterface::ZorvInterface() = default;

ZorvInterface::~ZorvInterface() = default;

ZorvInterfaceImpl& ZorvInterface::forward() const {
    if (impl == nullptr) {
        throw ZorvException(-1, "RPC client has not connected");
    }
    return *impl;
}

std::vector<Header> ZorvInterface::getMapList() { return forward().getMapList(); }
Header ZorvInterface::getCurrentMapHeader() { return forward().getCurrentMapHeader(); }
MapInfo ZorvInterface::getGridMapFromAgv(const Header& map_header) {
    return forward().getGridMapFromAgv(map_header);
}
MapInfo ZorvInterface::getBase64PngMapFromAgv(const Header& map_header) {
    return forward().getBase64PngMapFromAgv(map_header);
}
MapInfo ZorvInterface::previewPngMapFromAgv(const Header& map_header, const int& image_width_px,
                                            const int& image_height_px) {
    return forward().previewPngMapFromAgv(map_header, image_width_px, image_height_px);
}
int ZorvInterface::sendGridMapToAgv(const MapInfo& map) { return forward().sendGridMapToAgv(map); }
int ZorvInterface::sendBase64PngMapToAgv(const MapInfo& map) { return forward().sendBase64PngMapToAgv(map); }
int ZorvInterface::saveMap(const Header& map_header) { return forward().saveMap(map_header); }
int ZorvInterface::switchMap(const Header& map_header) { return forward().switchMap(map_header); }
int ZorvInterface::deleteMap(const Header& map_header) { return forward().deleteMap(map_header); }
int ZorvInterface::deleteMaps(const std::vector<Header>& map_headers) {
    return forward().deleteMaps(map_headers);
}
MapAllInfo ZorvInterface::getGridMapAllInfo(const Header& map_header) {
    return forward().getGridMapAllInfo(map_header);
}
MapAllInfo ZorvInterface::getPngMapAllInfo(const Header& map_header) {
    return forward().getPngMapAllInfo(map_header);
}
int ZorvInterface::setGridMapAllInfo(const MapAllInfo& map_all_info, const Header& command_header) {
    return forward().setGridMapAllInfo(map_all_info, command_header);
}
int ZorvInterface::setPngMapAllInfo(const MapAllInfo& map_all_info, const Header& command_header) {
    return forward().setPngMapAllInfo(map_all_info, command_header);
}
int ZorvInterface::deleteMapAllInfo(const Header& map_header) {
    return forward().deleteMapAllInfo(map_header);
}
AsyncInterfaceResultStatus ZorvInterface::getAsyncInterfaceResultStatus() {
    return forward().getAsyncInterfaceResultStatus();
}
std::vector<StationMark> ZorvInterface::getAllStations() { return forward().getAllStations(); }
std::vector<StationMark> ZorvInterface::getAllStationsOfTargetMap(const Header& map_header) {
    return forward().getAllStationsOfTargetMap(map_header);
}
StationMark ZorvInterface::getNearestStation(const double& detect_distance) {
    return forward().getNearestStation(detect_distance);
}
int ZorvInterface::addStation(const StationMark& station) { return forward().addStation(station); }
int ZorvInterface::addStations(const std::vector<StationMark>& stations) {
    return forward().addStations(stations);
}
int ZorvInterface::addCPStationUseChargingBoard(const Header& station_header,
                                                const double& dis_station_board) {
    return forward().addCPStationUseChargingBoard(station_header, dis_station_board);
}
int ZorvInterface::deleteStation(const Header& station_header) {
    return forward().deleteStation(station_header);
}
int ZorvInterface::deleteStations(const std::vector<Header>& station_headers) {
    return forward().deleteStations(station_headers);
}
std::vector<PathStation> ZorvInterface::getAllPaths() { return forward().getAllPaths(); }
std::vector<PathStation> ZorvInterface::getAllPathsOfTargetMap(const Header& map_header) {
    return forward().getAllPathsOfTargetMap(map_header);
}
PathStation ZorvInterface::getCurrentPath() { return forward().getCurrentPath(); }
int ZorvInterface::generatePath(const PathStation& path_station) {
    return forward().generatePath(path_station);
}
int ZorvInterface::generatePaths(const std::vector<PathStation>& paths_station) {
    return forward().generatePaths(paths_station);
}
int ZorvInterface::deletePath(const Header& path_header) { return forward().deletePath(path_header); }
int ZorvInterface::deletePaths(const std::vector<Header>& paths_header) {
    return forward().deletePaths(paths_header);
}
std::vector<MapVirtualArea> ZorvInterface::getAllMapVirtualArea() { return forward().getAllMapVirtualArea(); }
std::vector<MapVirtualArea> ZorvInterface::getAllMapVirtualAreaOfTargetMap(const Header& map_header) {
    return forward().getAllMapVirtualAreaOfTargetMap(map_header);
}
int ZorvInterface::addMapVirtualArea(const MapVirtualArea& map_virtual_area) {
    return forward().addMapVirtualArea(map_virtual_area);
}
int ZorvInterface::addMapVirtualAreas(const std::vector<MapVirtualArea>& map_virtual_areas) {
    return forward().addMapVirtualAreas(map_virtual_areas);
}
int ZorvInterface::deleteMapVirtualArea(const Header& virtual_area_header) {
    return forward().deleteMapVirtualArea(virtual_area_header);
}
int ZorvInterface::deleteMapVirtualAreas(const std::vector<Header>& virtual_areas_header) {
    return forward().deleteMapVirtualAreas(virtual_areas_header);
}
RunningInfo ZorvInterface::getRunningInfo() { return forward().getRunningInfo(); }
Pose2d ZorvInterface::getAgvCurrentPose() { return forward().getAgvCurrentPose(); }
NavInfo ZorvInterface::getNavInfo() { return forward().getNavInfo(); }
int ZorvInterface::setNavGoal(const NavGoalType& target) { return forward().setNavGoal(target); }
int ZorvInterface::cancelNavigation() { return forward().cancelNavigation(); }
int ZorvInterface::pauseAgvSpeed() { return forward().pauseAgvSpeed(); }
int ZorvInterface::resumeAgvSpeed() { return forward().resumeAgvSpeed(); }
int ZorvInterface::setControlSpeed(const Speed& speed) { return forward().setControlSpeed(speed); }
int ZorvInterface::changeRunningMode(const RunningMode& running_mode, const Header& command_header) {
    return forward().changeRunningMode(running_mode, command_header);
}
int ZorvInterface::relocation(const Pose2d& init_pose, const Header& command_header) {
    return forward().relocation(init_pose, command_header);
}
std::vector<Point2d> ZorvInterface::getLaserPointCloud() { return forward().getLaserPointCloud(); }
bool ZorvInterface::isObstacleAhead(const double& detect_distance) {
    return forward().isObstacleAhead(detect_distance);
}
int ZorvInterface::autoAlignRailway(const Header& command_header) {
    return forward().autoAlignRailway(command_header);
}
int ZorvInterface::sendAutoChargingCommand(const AutoChargingCommand& auto_charging_command) {
    return forward().sendAutoChargingCommand(auto_charging_command);
}
int ZorvInterface::checkPowerAndAutoCharge(const Header& check_power_header,
                                           const std::string& nav_board_charge_station_id) {
    return forward().checkPowerAndAutoCharge(check_power_header, nav_board_charge_station_id);
}
int ZorvInterface::setLeaveBoardTargetStation(const Header& leave_board_target_station_header) {
    return forward().setLeaveBoardTargetStation(leave_board_target_station_header);
}
Header ZorvInterface::getLeaveBoardTargetStation() { return forward().getLeaveBoardTargetStation(); }
int ZorvInterface::forcedAgvToChargingBoard(const Header& forced_charge_header,
                                            const std::string& nav_board_charge_station_id) {
    return forward().forcedAgvToChargingBoard(forced_charge_header, nav_board_charge_station_id);
}
int ZorvInterface::forcedAgvLeaveChargingBoard(const Header& forced_leave_header,
                                               const std::string& leave_board_target_station_id) {
    return forward().forcedAgvLeaveChargingBoard(forced_leave_header, leave_board_target_station_id);
}
int ZorvInterface::updateSoftware(const std::string& upgrade_pack_path) {
    return forward().updateSoftware(upgrade_pack_path);
}
std::vector<std::string> ZorvInterface::getSoftwareVersionList() {
    return forward().getSoftwareVersionList();
}
int ZorvInterface::switchSoftwareVersion(const std::string& software_version) {
    return forward().switchSoftwareVersion(software_version);
}
int ZorvInterface::uninstallSoftware(const std::string& software_version) {
    return forward().uninstallSoftware(software_version);
}
int ZorvInterface::updateFirmware(const FirmwareUpdateParam& update_firmware) {
    return forward().updateFirmware(update_firmware);
}
FirmwareUpdateProcessInfo ZorvInterface::getUpdateFirmwareProcess() {
    return forward().getUpdateFirmwareProcess();
}
int ZorvInterface::startCollectCalibrationData(const CalibrationType& type, const Header& command_header) {
    return forward().startCollectCalibrationData(type, command_header);
}
int ZorvInterface::cancelCollectCalibrationData(const CalibrationType& type, const Header& command_header) {
    return forward().cancelCollectCalibrationData(type, command_header);
}
int ZorvInterface::startCalibration(const CalibrationType& type, const Header& command_header) {
    return forward().startCalibration(type, command_header);
}
CalibrationProcessInfo ZorvInterface::getCalibrationProcessInfo(const CalibrationType& type) {
    return forward().getCalibrationProcessInfo(type);
}
AgvDetails ZorvInterface::getAgvDetails() { return forward().getAgvDetails(); }
int ZorvInterface::setAgvName(const std::string& agv_name) { return forward().setAgvName(agv_name); }
int ZorvInterface::setSystemClock(const std::string& stamp) { return forward().setSystemClock(stamp); }
int ZorvInterface::restartAgv() { return forward().restartAgv(); }
int ZorvInterface::soundLightPrompt() { return forward().soundLightPrompt(); }
int ZorvInterface::setPriority(const std::string& name, const std::string& ip) {
    return forward().setPriority(name, ip);
}
int ZorvInterface::releasePriority() { return forward().releasePriority(); }
int ZorvInterface::connectWifi(const std::string& ssid, const std::string& password) {
    return forward().connectWifi(ssid, password);
}
int ZorvInterface::enableHotspot(const std::string& password) { return forward().enableHotspot(password); }
std::vector<std::string> ZorvInterface::getWifiList() { return forward().getWifiList(); }
std::vector<IpAddressInfo> ZorvInterface::getIpAddressList() { return forward().getIpAddressList(); }
std::string ZorvInterface::errorCodeDecoder(const int& error_code) {
    return forward().errorCodeDecoder(error_code);
}
std::vector<Header> ZorvInterface::getCurrentErrorCodes() { return forward().getCurrentErrorCodes(); }
std::string ZorvInterface::getAgvLogMessage() { return forward().getAgvLogMessage(); }
std::string ZorvInterface::getAgvControllerParametersFile() {
    return forward().getAgvControllerParametersFile();
}
int ZorvInterface::setAgvControllerParametersFile(const std::string& agv_parameters) {
    return forward().setAgvControllerParametersFile(agv_parameters);
}
int ZorvInterface::refreshAgvControllerParametersFile() {
    return forward().refreshAgvControllerParametersFile();
}
int ZorvInterface::resetAgvControllerParametersFile() { return forward().resetAgvControllerParametersFile(); }
int ZorvInterface::scriptPaused() { return forward().scriptPaused(); }
int ZorvInterface::scriptResume() { return forward().scriptResume(); }
int ZorvInterface::scriptStop() { return forward().scriptStop(); }
ScriptRuntimeState ZorvInterface::getScriptStatus() { return forward().getScriptStatus(); }
int ZorvInterface::setScriptStatus(ScriptRuntimeState status) { return forward().setScriptStatus(status); }

}  // namespace zorv_interface
