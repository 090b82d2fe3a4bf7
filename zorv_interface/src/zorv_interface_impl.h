#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "connector.h"
#include "json_rpc_client.h"
#include "zorv_interface/types.h"

namespace zorv_interface {

template <typename V>
struct Param;

// One method per controller operation: each builds its named parameters, the
// method name "ZorvInterface.<operation>" and a fresh id, and makes one call.
// An offline implementation returns placeholders without converting or sending.
class ZorvInterfaceImpl {
public:
    ZorvInterfaceImpl(std::shared_ptr<IClientConnector> connector, bool offline);
    ~ZorvInterfaceImpl();

    // Gives up the owner's share. An event handler may destroy its client inside a
    // call of that client; the object, and the connector it holds, then go when the
    // last call in flight has unwound.
    void release();

    std::shared_ptr<IClientConnector> getConnector();
    std::string _getName(const char* name);
    int logout();
    int setExceptionFree(bool on);
    int errorCode() const;

    std::vector<Header> getMapList();
    Header getCurrentMapHeader();
    MapInfo getGridMapFromAgv(const Header& map_header);
    MapInfo getBase64PngMapFromAgv(const Header& map_header);
    MapInfo previewPngMapFromAgv(const Header& map_header, const int& image_width_px,
                                 const int& image_height_px);
    int sendGridMapToAgv(const MapInfo& map);
    int sendBase64PngMapToAgv(const MapInfo& map);
    int saveMap(const Header& map_header);
    int switchMap(const Header& map_header);
    int deleteMap(const Header& map_header);
    int deleteMaps(const std::vector<Header>& map_headers);
    MapAllInfo getGridMapAllInfo(const Header& map_header);
    MapAllInfo getPngMapAllInfo(const Header& map_header);
    int setGridMapAllInfo(const MapAllInfo& map_all_info, const Header& command_header);
    int setPngMapAllInfo(const MapAllInfo& map_all_info, const Header& command_header);
    int deleteMapAllInfo(const Header& map_header);
    AsyncInterfaceResultStatus getAsyncInterfaceResultStatus();

    std::vector<StationMark> getAllStations();
    std::vector<StationMark> getAllStationsOfTargetMap(const Header& map_header);
    StationMark getNearestStation(const double& detect_distance);
    int addStation(const StationMark& station);
    int addStations(const std::vector<StationMark>& stations);
    int addCPStationUseChargingBoard(const Header& station_header, const double& dis_station_board);
    int deleteStation(const Header& station_header);
    int deleteStations(const std::vector<Header>& station_headers);
    std::vector<PathStation> getAllPaths();
    std::vector<PathStation> getAllPathsOfTargetMap(const Header& map_header);
    PathStation getCurrentPath();
    int generatePath(const PathStation& path_station);
    int generatePaths(const std::vector<PathStation>& paths_station);
    int deletePath(const Header& path_header);
    int deletePaths(const std::vector<Header>& paths_header);

    std::vector<MapVirtualArea> getAllMapVirtualArea();
    std::vector<MapVirtualArea> getAllMapVirtualAreaOfTargetMap(const Header& map_header);
    int addMapVirtualArea(const MapVirtualArea& map_virtual_area);
    int addMapVirtualAreas(const std::vector<MapVirtualArea>& map_virtual_areas);
    int deleteMapVirtualArea(const Header& virtual_area_header);
    int deleteMapVirtualAreas(const std::vector<Header>& virtual_areas_header);

    RunningInfo getRunningInfo();
    Pose2d getAgvCurrentPose();
    NavInfo getNavInfo();
    int setNavGoal(const NavGoalType& target);
    int cancelNavigation();
    int pauseAgvSpeed();
    int resumeAgvSpeed();
    int setControlSpeed(const Speed& speed);
    int changeRunningMode(const RunningMode& running_mode, const Header& command_header);
    int relocation(const Pose2d& init_pose, const Header& command_header);
    std::vector<Point2d> getLaserPointCloud();
    bool isObstacleAhead(const double& detect_distance);
    int autoAlignRailway(const Header& command_header);

    int sendAutoChargingCommand(const AutoChargingCommand& auto_charging_command);
    int checkPowerAndAutoCharge(const Header& check_power_header,
                                const std::string& nav_board_charge_station_id);
    int setLeaveBoardTargetStation(const Header& leave_board_target_station_header);
    Header getLeaveBoardTargetStation();
    int forcedAgvToChargingBoard(const Header& forced_charge_header,
                                 const std::string& nav_board_charge_station_id);
    int forcedAgvLeaveChargingBoard(const Header& forced_leave_header,
                                    const std::string& leave_board_target_station_id);

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

    AgvDetails getAgvDetails();
    int setAgvName(const std::string& agv_name);
    int setSystemClock(const std::string& stamp);
    int restartAgv();
    int soundLightPrompt();
    int setPriority(const std::string& name, const std::string& ip);
    int releasePriority();
    int connectWifi(const std::string& ssid, const std::string& password);
    int enableHotspot(const std::string& password);
    std::vector<std::string> getWifiList();
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
    int setScriptStatus(ScriptRuntimeState status);


private:
    class CallShare;

    template <typename T, typename... Values>
    T call(const char* operation, const Param<Values>&... params);

    std::shared_ptr<IClientConnector> connector;
    JsonRpcClient client;
    const bool offline;
    std::mutex mutex;
    // The owner's share and one per call in flight.
    std::atomic<unsigned> shares{1};
};

}  // namespace zorv_interface
