import pytest

import pymirt_zorv_sdk as z

RECORD_CLASSES = [
    "AgvDetails", "Speed", "Header", "RunningInfo", "Pose2d", "Point2d", "MapInfo", "MapAllInfo",
    "SaveMapWorkingStatus", "SwitchMapWorkingStatus", "ChangeModeWorkingStatus", "RelocationWorkingStatus",
    "GetGridMapWorkingStatus", "SendGridMapWorkingStatus", "GetPngMapWorkingStatus", "SendPngMapWorkingStatus",
    "SetPngMapAllInfoWorkingStatus", "GetPngMapAllInfoWorkingStatus", "SetGridMapAllInfoWorkingStatus",
    "GetGridMapAllInfoWorkingStatus", "PreviewPngMapWorkingStatus", "AutoAlignRailwayWorkingStatus",
    "AsyncInterfaceResultStatus", "StationMark", "PathStation", "MapVirtualArea", "IpAddressInfo",
    "AdjustParam", "NavGoalType", "NavInfo", "AutoChargingCommand", "FirmwareUpdateParam",
    "FirmwareUpdateProcessInfo", "CalibrationProcessInfo",
]

FIELDS = {
    "AgvDetails": ["name", "version", "MFD", "SN", "communication_version", "battery_version", "loop_times",
                   "surplus_capacity", "left_motor_firmware_version", "right_motor_firmware_version",
                   "master_board_firmware_version", "hardware_abstraction_version", "max_speed", "max_angular",
                   "error_code_version"],
    "Header": ["id", "name", "stamp", "map_id", "error_code"],
    "MapInfo": ["header", "resolution", "width", "height", "origin", "format", "data"],
    "NavInfo": ["header", "status", "nav_type", "auto_charging_type", "goal_station", "current_trajectory",
                "type"],
    "AsyncInterfaceResultStatus": [
        "header", "save_map_status", "switch_map_status", "change_running_mode_status", "relocation_status",
        "get_grid_map_status", "send_grid_map_status", "get_png_map_status", "send_png_map_status",
        "set_png_all_status", "get_png_all_status", "set_grid_all_status", "get_grid_all_status",
        "preview_png_map_status", "align_railway_status"],
    "RunningInfo": ["header", "running_mode", "current_speed", "location_score", "total_dist", "current_dist",
                    "total_running_time", "current_running_time", "battery_voltage", "battery_current",
                    "remaining_voltage", "battery_status", "safety_edge_status", "low_battery", "pause",
                    "emergency_stop", "blocked", "localization_loss", "fault_alarm", "break_release_flag"],
}


def properties_in_order(cls):
    return [k for k, v in vars(cls).items() if isinstance(v, property)]


def test_all_record_classes_construct_without_arguments_and_refuse_arguments():
    for name in RECORD_CLASSES:
        cls = getattr(z, name)
        assert cls.__name__ == name
        cls()
        with pytest.raises(TypeError):
            cls(1)
    assert len(RECORD_CLASSES) == 34


@pytest.mark.parametrize("name", sorted(FIELDS))
def test_fields_are_bound_in_binding_order(name):
    assert properties_in_order(getattr(z, name)) == FIELDS[name]


def test_docstrings_of_fields():
    assert z.Speed.v.__doc__ == "线速度 (m/s)"
    assert z.Speed.w.__doc__ == "角速度 (rad/s)"
    assert [getattr(z.Header, f).__doc__ for f in FIELDS["Header"]] == [
        "唯一标识符", "设备名称", "纳秒时间戳", "当前地图ID", "错误码"]
    assert z.Pose2d.yaw.__doc__ == "角度 (rad)"
    assert z.Point2d.x.__doc__ == "x坐标 (m)"
    assert z.NavInfo.nav_type.__doc__ == "当前导航类型"
    assert z.AgvDetails.name.__doc__ == ""
    assert z.RpcClient.__doc__ is None and z.Header.__doc__ is None


def test_default_state_has_error_code_minus_one_in_every_header():
    header = z.Header()
    assert (header.id, header.name, header.map_id, header.stamp, header.error_code) == ("", "", "", 0, -1)
    assert z.StationMark().header.error_code == -1
    assert z.NavInfo().goal_station.header.error_code == -1
    status = z.AsyncInterfaceResultStatus()
    for field in FIELDS["AsyncInterfaceResultStatus"][1:]:
        assert getattr(status, field).header.error_code == -1
        assert getattr(status, field).status == z.FeedbackStatus.NONE
    info = z.RunningInfo()
    assert info.location_score == 0 and info.battery_voltage == 0.0 and info.pause is False
    assert z.MapInfo().data == [] and z.MapInfo().format == z.MapFormat.NONE


def test_records_have_no_dynamic_attributes_and_identity_equality():
    header = z.Header()
    with pytest.raises(AttributeError):
        header.not_a_field = 1
    assert z.Header() != z.Header()
    assert header == header


def test_sub_record_read_from_a_field_is_a_view_that_keeps_its_owner_alive():
    info = z.MapInfo()
    info.header.map_id = "m1"
    assert info.header.map_id == "m1"
    station = z.StationMark()
    header = station.header
    del station
    header.id = "still alive"
    assert header.id == "still alive"


def test_assigning_a_record_copies_it():
    station = z.StationMark()
    header = z.Header()
    header.id = "a"
    station.header = header
    header.id = "b"
    assert station.header.id == "a"
    station.header.id = "c"
    assert station.header.id == "c" and header.id == "b"


def test_enum_field_reads_a_view_that_follows_the_field():
    info = z.RunningInfo()
    mode = info.running_mode
    assert mode == z.RunningMode.NONE and mode is not z.RunningMode.NONE
    info.running_mode = z.RunningMode.STOP
    assert mode == z.RunningMode.STOP
    assert z.NavInfo().status == z.FeedbackStatus.NONE


def test_list_read_is_a_new_list_and_assignment_stores_it():
    info = z.MapInfo()
    info.data.append(1)
    assert info.data == []
    info.data = [-1, 0, 100]
    assert info.data == [-1, 0, 100]
    assert info.data is not info.data
    goal = z.NavGoalType()
    goal.stations_id.append("s")
    assert goal.stations_id == []
    goal.stations_id = ["s1", "s2"]
    assert goal.stations_id == ["s1", "s2"]


def test_record_elements_of_a_list_are_views_of_the_stored_elements():
    all_info = z.MapAllInfo()
    all_info.stations = [z.StationMark()]
    stations = all_info.stations
    stations[0].type = "charging"
    assert all_info.stations[0].type == "charging"
    stations.append(z.StationMark())
    assert len(all_info.stations) == 1
    all_info.stations = stations
    assert len(all_info.stations) == 2
    first = all_info.map
    del all_info
    first.width = 3
    assert first.width == 3


def test_numeric_widths_and_ranges():
    point, pose = z.Point2d(), z.Pose2d()
    point.x = 0.1
    pose.x = 0.1
    assert point.x == 0.10000000149011612
    assert pose.x == 0.1
    info = z.RunningInfo()
    info.location_score = -128
    assert info.location_score == -128
    with pytest.raises(TypeError):
        info.location_score = 128
    assert info.location_score == -128
    map_info = z.MapInfo()
    map_info.width = 4294967295
    assert map_info.width == 4294967295
    for bad in (-1, 4294967296):
        with pytest.raises(TypeError):
            map_info.width = bad
    assert map_info.width == 4294967295
    with pytest.raises(TypeError):
        map_info.data = [128]
    header = z.Header()
    header.stamp = 2**63 - 1
    assert header.stamp == 2**63 - 1


@pytest.mark.parametrize("obj, field, value", [
    (z.Header(), "stamp", 1.5),
    (z.RunningInfo(), "running_mode", 1),
    (z.RunningInfo(), "running_mode", z.FeedbackStatus.NONE),
    (z.StationMark(), "header", None),
    (z.StationMark(), "header", z.Pose2d()),
    (z.AsyncInterfaceResultStatus(), "switch_map_status", z.SaveMapWorkingStatus()),
    (z.MapAllInfo(), "stations", [z.StationMark(), z.Header()]),
])
def test_writing_a_value_of_the_wrong_type_raises_type_error(obj, field, value):
    with pytest.raises(TypeError):
        setattr(obj, field, value)


def test_property_getter_and_setter_are_callable_methods():
    header = z.Header()
    z.Header.id.fset(header, "x")
    assert z.Header.id.fget(header) == "x"


def test_nav_info_type_warns_on_every_read_and_is_read_only():
    info = z.NavInfo()
    info.nav_type = z.NavType.FREE_TO_STATION
    for _ in range(2):
        with pytest.warns(DeprecationWarning, match="NavInfo.type 已弃用，请使用 nav_type 替代"):
            assert info.type == z.NavType.FREE_TO_STATION
    with pytest.raises(AttributeError):
        info.type = z.NavType.NONE
    assert z.NavInfo.type.__doc__ == "Deprecated since 0.7.0: 请使用 `nav_type` 替代。此属性返回 nav_type 的值。"


def test_nav_info_type_raises_when_warnings_are_errors():
    import warnings
    info = z.NavInfo()
    with warnings.catch_warnings():
        warnings.simplefilter("error", DeprecationWarning)
        with pytest.raises(DeprecationWarning):
            info.type


def test_map_all_info_list_signatures_name_the_library_types():
    assert "zorv_interface::StationMark" in z.MapAllInfo.stations.fget.__doc__
