"""Every bound operation under both names: the request the controller received and
the result handed back to Python."""
from collections import namedtuple

import pytest

import pymirt_zorv_sdk as z
from wire import sample, strictly_equal, to_wire

Op = namedtuple("Op", "alias name kwargs params result")

H = sample(z.Header)
H2 = sample(z.Header, seed=2)
H1_WIRE = {"error_code": -1, "id": "99999", "map_id": "99999", "name": "99999", "stamp": 1}
H99_WIRE = dict(H1_WIRE, stamp=99999)


def w(value):
    return to_wire(value)


def ops():
    station, path, area = sample(z.StationMark), sample(z.PathStation), sample(z.MapVirtualArea)
    map_info, all_info = sample(z.MapInfo), sample(z.MapAllInfo)
    pose, speed, goal = sample(z.Pose2d), sample(z.Speed), sample(z.NavGoalType)
    charging, firmware = sample(z.AutoChargingCommand), sample(z.FirmwareUpdateParam)
    laser, odom = z.CalibrationType.LASER_ODOM, "LASER_ODOM"
    return [
        Op("set_system_clock", "setSystemClock", {"stamp": "1700000000"}, {"stamp": "1700000000"}, 0),
        Op("get_agv_details", "getAgvDetails", {}, None, sample(z.AgvDetails)),
        Op("get_running_info", "getRunningInfo", {}, None, sample(z.RunningInfo)),
        Op("get_agv_current_pose", "getAgvCurrentPose", {}, None, pose),
        Op("get_laser_point_cloud", "getLaserPointCloud", {}, None, [sample(z.Point2d), sample(z.Point2d, 2)]),
        Op("get_async_interface_result_status", "getAsyncInterfaceResultStatus", {}, None,
           sample(z.AsyncInterfaceResultStatus)),
        Op("get_all_stations", "getAllStations", {}, None, [station]),
        Op("get_all_stations_of_target_map", "getAllStationsOfTargetMap", {"map_header": H},
           {"map_header": w(H)}, [station, station]),
        Op("add_station", "addStation", {"station": station}, {"station": w(station)}, 0),
        Op("add_stations", "addStations", {"stations": [station, station]},
           {"stations": [w(station), w(station)]}, 3),
        Op("add_cp_station_use_charging_board", "addCPStationUseChargingBoard",
           {"station_header": H, "dis_station_board": 2.0}, {"dis_station_post": 2.0, "station_header": w(H)}, 0),
        Op("delete_station", "deleteStation", {"station_header": H}, {"station_header": w(H)}, 0),
        Op("delete_stations", "deleteStations", {"station_headers": [H, H2]}, {"stations_header": [w(H), w(H2)]},
           0),
        Op("get_all_paths", "getAllPaths", {}, None, [path]),
        Op("get_all_paths_of_target_map", "getAllPathsOfTargetMap", {"map_header": H}, {"map_header": w(H)}, []),
        Op("get_current_path", "getCurrentPath", {}, None, path),
        Op("generate_path", "generatePath", {"path_station": path}, {"path_station": w(path)}, 0),
        Op("generate_paths", "generatePaths", {"paths_station": [path]}, {"paths_station": [w(path)]}, 0),
        Op("delete_path", "deletePath", {"path_header": H}, {"path_header": w(H)}, 0),
        Op("delete_paths", "deletePaths", {"paths_header": []}, {"paths_header": []}, 0),
        Op("get_map_list", "getMapList", {}, None, [H, H2]),
        Op("get_current_map_header", "getCurrentMapHeader", {}, None, H2),
        Op("get_grid_map_from_agv", "getGridMapFromAgv", {"map_header": H}, {"map_header": w(H)}, map_info),
        Op("get_base64_png_map_from_agv", "getBase64PngMapFromAgv", {"map_header": H}, {"map_header": w(H)},
           map_info),
        Op("preview_png_map_from_agv", "previewPngMapFromAgv",
           {"map_header": H, "image_width_px": 640, "image_height_px": 480},
           {"image_height_px": 480, "image_width_px": 640, "map_header": w(H)}, map_info),
        Op("send_grid_map_to_agv", "sendGridMapToAgv", {"map": map_info}, {"map": w(map_info)}, 0),
        Op("send_base64_png_map_to_agv", "sendBase64PngMapToAgv", {"map": map_info}, {"map": w(map_info)}, 0),
        Op("save_map", "saveMap", {"map_header": H}, {"map_header": w(H)}, 0),
        Op("switch_map", "switchMap", {"map_header": H}, {"map_header": w(H)}, -3),
        Op("delete_map", "deleteMap", {"map_header": H}, {"map_header": w(H)}, 0),
        Op("delete_maps", "deleteMaps", {"map_headers": [H]}, {"map_headers": [w(H)]}, 0),
        Op("get_all_map_virtual_area", "getAllMapVirtualArea", {}, None, [area]),
        Op("get_all_map_virtual_area_of_target_map", "getAllMapVirtualAreaOfTargetMap", {"map_header": H},
           {"map_header": w(H)}, [area]),
        Op("add_map_virtual_area", "addMapVirtualArea", {"map_virtual_area": area}, {"map_virtual_area": w(area)},
           0),
        Op("add_map_virtual_areas", "addMapVirtualAreas", {"map_virtual_areas": [area]},
           {"map_virtual_areas": [w(area)]}, 0),
        Op("delete_map_virtual_area", "deleteMapVirtualArea", {"virtual_area_header": H},
           {"virtual_area_header": w(H)}, 0),
        Op("delete_map_virtual_areas", "deleteMapVirtualAreas", {"virtual_areas_header": [H]},
           {"virtual_areas_header": [w(H)]}, 0),
        Op("get_grid_map_all_info", "getGridMapAllInfo", {"map_header": H}, {"map_header": w(H)}, all_info),
        Op("get_png_map_all_info", "getPngMapAllInfo", {"map_header": H}, {"map_header": w(H)}, all_info),
        Op("set_grid_map_all_info", "setGridMapAllInfo", {"map_all_info": all_info, "command_header": H},
           {"command_header": w(H), "map_all_info": w(all_info)}, 0),
        Op("set_png_map_all_info", "setPngMapAllInfo", {"map_all_info": all_info, "command_header": H},
           {"command_header": w(H), "map_all_info": w(all_info)}, 0),
        Op("delete_map_all_info", "deleteMapAllInfo", {"map_header": H}, {"map_header": w(H)}, 0),
        Op("change_running_mode", "changeRunningMode", {"running_mode": z.RunningMode.CHARGING, "command_header": H},
           {"command_header": w(H), "running_mode": "CHARGING"}, 0),
        Op("set_control_speed", "setControlSpeed", {"speed": speed}, {"speed": w(speed)}, 0),
        Op("set_nav_goal", "setNavGoal", {"target": goal}, {"target": w(goal)}, 0),
        Op("get_nav_info", "getNavInfo", {}, None, sample(z.NavInfo)),
        Op("pause_agv_speed", "pauseAgvSpeed", {}, None, 0),
        Op("resume_agv_speed", "resumeAgvSpeed", {}, None, 0),
        Op("cancel_navigation", "cancelNavigation", {}, None, 0),
        Op("relocation", "relocation", {"init_pose": pose, "command_header": H},
           {"command_header": w(H), "init_pose": w(pose)}, 0),
        Op("get_agv_controller_parameters_file", "getAgvControllerParametersFile", {}, None, "a: 1\nb: 参数"),
        Op("set_agv_controller_parameters_file", "setAgvControllerParametersFile", {"agv_parameters": "a: 2"},
           {"agv_parameters": "a: 2"}, 0),
        Op("refresh_agv_controller_parameters_file", "refreshAgvControllerParametersFile", {}, None, 0),
        Op("reset_agv_controller_parameters_file", "resetAgvControllerParametersFile", {}, None, 0),
        Op("check_power_and_auto_charge", "checkPowerAndAutoCharge",
           {"cheader_power_header": H, "nav_board_charge_station_id": "cp1"},
           {"check_power_header": w(H), "nav_board_charge_station_id": "cp1"}, 0),
        Op("set_leave_board_target_station", "setLeaveBoardTargetStation", {"leave_board_target_station_header": H},
           {"leave_board_target_station_header": w(H)}, 0),
        Op("get_leave_board_target_station", "getLeaveBoardTargetStation", {}, None, H2),
        Op("forced_agv_to_charging_board", "forcedAgvToChargingBoard",
           {"forced_charge_header": H, "nav_board_charge_station_id": "cp2"},
           {"forced_charge_header": w(H), "nav_board_charge_station_id": "cp2"}, 0),
        Op("forced_agv_leave_charging_board", "forcedAgvLeaveChargingBoard",
           {"forced_leave_charge_header": H, "leave_board_target_station_id": ""},
           {"forced_leave_header": w(H), "leave_board_target_station_id": ""}, 0),
        Op("send_auto_charging_command", "sendAutoChargingCommand", {"auto_charging_command": charging},
           {"auto_charging_command": w(charging)}, 0),
        Op("get_agv_log_message", "getAgvLogMessage", {}, None, "log line"),
        Op("update_software", "updateSoftware", {"upgrade_pack_path": "/tmp/p.tar"},
           {"upgrade_pack_path": "/tmp/p.tar"}, 0),
        Op("get_software_version_list", "getSoftwareVersionList", {}, None, ["1.0", "1.1"]),
        Op("switch_software_version", "switchSoftwareVersion", {"software_version": "1.1"},
           {"software_version": "1.1"}, 0),
        Op("uninstall_software", "uninstallSoftware", {"software_version": "1.0"}, {"software_version": "1.0"}, 0),
        Op("update_firmware", "updateFirmware", {"update_firmware": firmware}, {"update_firmware": w(firmware)}, 0),
        Op("get_update_firmware_process", "getUpdateFirmwareProcess", {}, None,
           sample(z.FirmwareUpdateProcessInfo)),
        Op("start_collect_calibration_data", "startCollectCalibrationData", {"type": laser, "command_header": H},
           {"command_header": w(H), "type": odom}, 0),
        Op("cancel_collect_calibration_data", "cancelCollectCalibrationData",
           {"type": z.CalibrationType.NONE, "command_header": H}, {"command_header": w(H), "type": "NONE"}, 0),
        Op("start_calibration", "startCalibration", {"type": laser, "command_header": H},
           {"command_header": w(H), "type": odom}, 0),
        Op("get_calibration_process_info", "getCalibrationProcessInfo", {"type": laser}, {"type": odom},
           sample(z.CalibrationProcessInfo)),
        Op("restart_agv", "restartAgv", {}, None, 0),
        Op("set_agv_name", "setAgvName", {"agv_name": "小车 7"}, {"agv_name": "小车 7"}, 0),
        Op("set_priority", "setPriority", {"name": "me", "ip": "10.0.0.2"}, {"ip": "10.0.0.2", "name": "me"}, 0),
        Op("release_priority", "releasePriority", {}, None, 0),
        Op("script_paused", "scriptPaused", {}, None, 0),
        Op("script_resume", "scriptResume", {}, None, 0),
        Op("script_stop", "scriptStop", {}, None, 0),
        Op("get_script_status", "getScriptStatus", {}, None, z.ScriptRuntimeState.ABORTING),
        Op("set_script_status", "setScriptStatus", {"status": z.ScriptRuntimeState.PAUSED}, {"status": "PAUSED"}, 0),
        Op("error_code_decoder", "errorCodeDecoder", {"error_code": -3}, {"error_code": -3}, "motor fault"),
        Op("get_current_error_codes", "getCurrentErrorCodes", {}, None, [H]),
        Op("sound_light_prompt", "soundLightPrompt", {}, None, 0),
        Op("is_obstacle_ahead", "isObstacleAhead", {"detect_distance": 0.5}, {"detect_distance": 0.5}, False),
        Op("get_nearest_station", "getNearestStation", {"detect_distance": 2.0}, {"detect_distance": 2.0},
           station),
        Op("auto_align_railway", "autoAlignRailway", {"command_header": H}, {"command_header": w(H)}, 0),
    ]


OPS = ops()


def test_the_table_covers_every_bound_operation():
    bound = {name for name in dir(z.RpcClient) if not name.startswith("_")}
    own = {"setLogHandler", "connect", "disconnect", "hasConnected", "login", "logout", "hasLogined",
           "setRequestTimeout", "setEventHandler", "setExceptionFree", "errorCode"}
    table = {op.alias for op in OPS} | {op.name for op in OPS}
    assert len({op.name for op in OPS}) == 86
    assert bound - own == table
    for unbound in ("connectWifi", "enableHotspot", "getIpAddressList", "getWifiList"):
        assert not hasattr(z.RpcClient, unbound)


def check_call(client, controller, op, call):
    controller.reply(op.name, to_wire(op.result))
    result = call()
    request = controller.next_request()
    assert request["method"] == "ZorvInterface." + op.name
    if op.params is None:
        assert "params" not in request
    else:
        assert strictly_equal(request["params"], op.params)
    assert strictly_equal(to_wire(result), to_wire(op.result))
    if isinstance(op.result, list):
        assert type(result) is list


@pytest.mark.parametrize("op", OPS, ids=[op.name for op in OPS])
def test_operation_under_both_names(client, controller, op):
    check_call(client, controller, op, lambda: getattr(client, op.alias)(**op.kwargs))
    if op.name == "setSystemClock":
        check_call(client, controller, op, lambda: client.setSystemClock(*op.kwargs.values()))
    else:
        check_call(client, controller, op, lambda: getattr(client, op.name)(**op.kwargs))


DEFAULTS = [
    ("checkPowerAndAutoCharge", 0, {"check_power_header": H1_WIRE, "nav_board_charge_station_id": "99999"}),
    ("forcedAgvToChargingBoard", 0, {"forced_charge_header": H99_WIRE, "nav_board_charge_station_id": "99999"}),
    ("forcedAgvLeaveChargingBoard", 0,
     {"forced_leave_header": H99_WIRE, "leave_board_target_station_id": "99999"}),
    ("isObstacleAhead", True, {"detect_distance": 1.0}),
    ("getNearestStation", to_wire(z.StationMark()), {"detect_distance": 1.0}),
    ("autoAlignRailway", 0, {"command_header": H1_WIRE}),
]


@pytest.mark.parametrize("name, result, params", DEFAULTS, ids=[d[0] for d in DEFAULTS])
def test_defaults_when_called_without_arguments(client, controller, name, result, params):
    controller.reply(name, result)
    getattr(client, name)()
    assert strictly_equal(controller.next_request()["params"], params)


def test_defaults_after_required_arguments(client, controller):
    station_header = sample(z.Header)
    calls = [
        (lambda: client.previewPngMapFromAgv(station_header), "previewPngMapFromAgv", to_wire(z.MapInfo()),
         {"image_height_px": 0, "image_width_px": 0, "map_header": w(station_header)}),
        (lambda: client.add_cp_station_use_charging_board(station_header), "addCPStationUseChargingBoard", 0,
         {"dis_station_post": 1.5, "station_header": w(station_header)}),
        (lambda: client.relocation(z.Pose2d()), "relocation", 0,
         {"command_header": H1_WIRE, "init_pose": {"x": 0.0, "y": 0.0, "yaw": 0.0}}),
        (lambda: client.changeRunningMode(z.RunningMode.NAVIGATE), "changeRunningMode", 0,
         {"command_header": H1_WIRE, "running_mode": "NAVIGATE"}),
        (lambda: client.start_calibration(z.CalibrationType.LASER_ODOM), "startCalibration", 0,
         {"command_header": H1_WIRE, "type": "LASER_ODOM"}),
        (lambda: client.setGridMapAllInfo(z.MapAllInfo()), "setGridMapAllInfo", 0, None),
    ]
    for call, name, result, params in calls:
        controller.reply(name, result)
        call()
        request = controller.next_request()
        if params is None:
            assert strictly_equal(request["params"]["command_header"], H1_WIRE)
        else:
            assert strictly_equal(request["params"], params)


def test_parameters_go_out_in_key_order(client, controller):
    controller.reply("previewPngMapFromAgv", to_wire(z.MapInfo()))
    client.previewPngMapFromAgv(H, 640, 480)
    text = controller.next_request_text()
    assert text.index('"image_height_px":480') < text.index('"image_width_px":640') < text.index('"map_header"')


def test_set_control_speed_takes_a_speed_or_two_numbers(client, controller):
    speed = z.Speed()
    speed.v, speed.w = 0.2, 0.1
    calls = [lambda: client.setControlSpeed(speed), lambda: client.setControlSpeed(0.2, 0.1),
             lambda: client.set_control_speed(v=0.2, w=0.1), lambda: client.set_control_speed(speed=speed)]
    for call in calls:
        controller.reply("setControlSpeed", 0)
        assert call() == 0
        assert strictly_equal(controller.next_request()["params"], {"speed": {"v": 0.2, "w": 0.1}})
    controller.reply("setControlSpeed", 0)
    client.setControlSpeed(0.5, 0.0)
    assert strictly_equal(controller.next_request()["params"], {"speed": {"v": 0.5, "w": 0.0}})
    assert z.RpcClient.set_control_speed.__doc__.count("自 0.9.0 起废弃，请使用新的 setControlSpeed 接口。") == 2


def test_keyword_names_follow_the_historical_binding(client, controller):
    with pytest.raises(TypeError):
        client.checkPowerAndAutoCharge(check_power_header=H)
    with pytest.raises(TypeError):
        client.setSystemClock(stamp="1")
    with pytest.raises(TypeError):
        client.forcedAgvLeaveChargingBoard(forced_leave_header=H)
    with pytest.raises(TypeError):
        client.addCPStationUseChargingBoard(H, dis_station_post=1.0)
    controller.reply("checkPowerAndAutoCharge", 0)
    client.check_power_and_auto_charge(cheader_power_header=H)
    assert strictly_equal(controller.next_request()["params"]["check_power_header"], w(H))


def test_wrong_arguments_raise_type_error_before_anything_is_sent(client, controller):
    with pytest.raises(TypeError):
        client.changeRunningMode(3)
    with pytest.raises(TypeError):
        client.addStations([z.StationMark(), z.Header()])
    with pytest.raises(TypeError):
        client.errorCodeDecoder(1.5)
    controller.reply("cancelNavigation", 0)
    client.cancelNavigation()
    assert controller.next_request()["method"] == "ZorvInterface.cancelNavigation"


def test_docstrings_mark_deprecated_names():
    assert z.RpcClient.get_running_info.__doc__.endswith("自 0.9.0 起废弃，请使用新的 getRunningInfo 接口。\n")
    assert "废弃" not in (z.RpcClient.getRunningInfo.__doc__ or "")
    assert "废弃" not in (z.RpcClient.relocation.__doc__ or "")
    d7 = "自 0.7.0 起废弃，请使用新的 sendAutoChargingCommand(const AutoChargingCommand&) 接口。"
    for name in ("checkPowerAndAutoCharge", "check_power_and_auto_charge", "setLeaveBoardTargetStation",
                 "getLeaveBoardTargetStation", "forcedAgvToChargingBoard", "forced_agv_to_charging_board"):
        assert d7 in getattr(z.RpcClient, name).__doc__
    assert "自 0.9.0 起废弃，请使用新的 forcedAgvLeaveChargingBoard 接口。" in \
        z.RpcClient.forced_agv_leave_charging_board.__doc__
    assert "cheader_power_header: pymirt_zorv_sdk.Header = " in z.RpcClient.checkPowerAndAutoCharge.__doc__
