#pragma once

#include <string>
#include <vector>

#include "zorv_interface/export.h"
#include "zorv_interface/types.h"

namespace zorv_interface {

class ZorvInterfaceImpl;

// The controller's operations. Each one is a single JSON-RPC request named
// "ZorvInterface.<operation>"; a failure sets errorCode() and throws ZorvException,
// or, in exception-free mode, returns the ReturnValue placeholder of its result type
// (a status operation returns its negative status code instead).
// Parameters go out under their wire keys in ascending key order, which is not
// always the argument order; operations without arguments send no "params".
class ZORV_SDK_API ZorvInterface {
public:
    ZorvInterface();
    virtual ~ZorvInterface();
    ZorvInterface(const ZorvInterface&) = delete;
    ZorvInterface& operator=(const ZorvInterface&) = delete;

    // Maps. "Its state" of the asynchronous ones is a member of
    // getAsyncInterfaceResultStatus(): save_map_status, switch_map_status, ...
    std::vector<Header> getMapList();
    Header getCurrentMapHeader();
    MapInfo getGridMapFromAgv(const Header& map_header);
    MapInfo getBase64PngMapFromAgv(const Header& map_header);
    // Sends "image_height_px" before "image_width_px" (key order).
    MapInfo previewPngMapFromAgv(const Header& map_header, const int& image_width_px,
                                 const int& image_height_px);
    int sendGridMapToAgv(const MapInfo& map);
    // Same parameter object as sendGridMapToAgv; only the method differs.
    int sendBase64PngMapToAgv(const MapInfo& map);
    int saveMap(const Header& map_header);
    int switchMap(const Header& map_header);
    int deleteMap(const Header& map_header);
    int deleteMaps(const std::vector<Header>& map_headers);
    MapAllInfo getGridMapAllInfo(const Header& map_header);
    MapAllInfo getPngMapAllInfo(const Header& map_header);
    // "command_header" goes out before "map_all_info".
    int setGridMapAllInfo(const MapAllInfo& map_all_info, const Header& command_header);
    int setPngMapAllInfo(const MapAllInfo& map_all_info, const Header& command_header);
    int deleteMapAllInfo(const Header& map_header);
    // A reply may omit "preview_png_map_status".
    AsyncInterfaceResultStatus getAsyncInterfaceResultStatus();

    // Stations and paths.
    std::vector<StationMark> getAllStations();
    std::vector<StationMark> getAllStationsOfTargetMap(const Header& map_header);
    StationMark getNearestStation(const double& detect_distance);
    int addStation(const StationMark& station);
    int addStations(const std::vector<StationMark>& stations);
    // The distance goes out under the key "dis_station_post", before "station_header".
    int addCPStationUseChargingBoard(const Header& station_header, const double& dis_station_board);
    int deleteStation(const Header& station_header);
    // Wire key "stations_header".
    int deleteStations(const std::vector<Header>& station_headers);
    std::vector<PathStation> getAllPaths();
    std::vector<PathStation> getAllPathsOfTargetMap(const Header& map_header);
    PathStation getCurrentPath();
    int generatePath(const PathStation& path_station);
    int generatePaths(const std::vector<PathStation>& paths_station);
    int deletePath(const Header& path_header);
    int deletePaths(const std::vector<Header>& paths_header);

    // Virtual areas. The list operation's name is singular although it returns all.
    std::vector<MapVirtualArea> getAllMapVirtualArea();
    std::vector<MapVirtualArea> getAllMapVirtualAreaOfTargetMap(const Header& map_header);
    int addMapVirtualArea(const MapVirtualArea& map_virtual_area);
    int addMapVirtualAreas(const std::vector<MapVirtualArea>& map_virtual_areas);
    int deleteMapVirtualArea(const Header& virtual_area_header);
    int deleteMapVirtualAreas(const std::vector<Header>& virtual_areas_header);

    // Navigation, motion and running mode.
    RunningInfo getRunningInfo();
    Pose2d getAgvCurrentPose();
    // The reply must carry both "type" and "nav_type".
    NavInfo getNavInfo();
    int setNavGoal(const NavGoalType& target);
    int cancelNavigation();
    int pauseAgvSpeed();
    int resumeAgvSpeed();
    int setControlSpeed(const Speed& speed);
    // "command_header" goes out before "running_mode"; state: change_running_mode_status.
    int changeRunningMode(const RunningMode& running_mode, const Header& command_header);
    // "command_header" goes out before "init_pose"; state: relocation_status.
    int relocation(const Pose2d& init_pose, const Header& command_header);
    std::vector<Point2d> getLaserPointCloud();
    // The placeholder is true, which reads as an obstacle ahead.
    bool isObstacleAhead(const double& detect_distance);
    // State: align_railway_status.
    int autoAlignRailway(const Header& command_header);

    // Charging. All but sendAutoChargingCommand are superseded by it.
    int sendAutoChargingCommand(const AutoChargingCommand& auto_charging_command);
    int checkPowerAndAutoCharge(const Header& check_power_header,
                                const std::string& nav_board_charge_station_id);
    int setLeaveBoardTargetStation(const Header& leave_board_target_station_header);
    Header getLeaveBoardTargetStation();
    int forcedAgvToChargingBoard(const Header& forced_charge_header,
                                 const std::string& nav_board_charge_station_id);
    int forcedAgvLeaveChargingBoard(const Header& forced_leave_header,
                                    const std::string& leave_board_target_station_id);

    // Software, firmware and calibration. The calibration commands send
    // "command_header" before "type" although the type is the first argument.
    // The upgrade package path is passed as text; no file is read here.
    int updateSoftware(const std::string& upgrade_pack_path);
    std::vector<std::string> getSoftwareVersionList();
    int switchSoftwareVersion(const std::string& software_version);
    int uninstallSoftware(const std::string& software_version);
    int updateFirmware(const FirmwareUpdateParam& update_firmware);
    FirmwareUpdateProcessInfo getUpdateFirmwareProcess();
    int startCollectCalibrationData(const CalibrationType& type, const Header& command_header);
    int cancelCollectCalibrationData(const CalibrationType& type, const Header& command_header);
    int startCalibration(const CalibrationType& type, const Header& command_header);
    CalibrationProcessInfo getCalibrationProcessInfo(const CalibrationType& type);

    // System, network, diagnostics and script state.
    AgvDetails getAgvDetails();
    int setAgvName(const std::string& agv_name);
    // The stamp goes out as text, not as a number.
    int setSystemClock(const std::string& stamp);
    int restartAgv();
    int soundLightPrompt();
    // "ip" goes out before "name".
    int setPriority(const std::string& name, const std::string& ip);
    int releasePriority();
    // Not bound in Python. "password" goes out before "ssid".
    int connectWifi(const std::string& ssid, const std::string& password);
    // Not bound in Python.
    int enableHotspot(const std::string& password);
    // Not bound in Python.
    std::vector<std::string> getWifiList();
    // Not bound in Python.
    std::vector<IpAddressInfo> getIpAddressList();
    std::string errorCodeDecoder(const int& error_code);
    std::vector<Header> getCurrentErrorCodes();
    std::string getAgvLogMessage();
    std::string getAgvControllerParametersFile();
    int setAgvControllerParametersFile(const std::string& agv_parameters);
    int refreshAgvControllerParametersFile();
    int resetAgvControllerParametersFile();
    int scriptPaused();
    int scriptResume();
    int scriptStop();
    ScriptRuntimeState getScriptStatus();
    // Takes its argument by value, unlike every other operation.
    int setScriptStatus(ScriptRuntimeState status);

protected:
    // Set and owned by the derived client; operations without one throw -1.
    ZorvInterfaceImpl* impl = nullptr;

private:
    ZorvInterfaceImpl& forward() const;
};

}  // namespace zorv_interface
