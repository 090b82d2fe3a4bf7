import pickle

import pytest

import pymirt_zorv_sdk as z

ENUMS = {
    "RunningMode": ["NONE", "START", "MAPPING", "NAVIGATE", "CHARGING", "MAINTAIN", "STOP"],
    "FeedbackStatus": ["NONE", "FINISHED", "FAILED", "RUNNING", "PAUSED", "CANCELED"],
    "MapFormat": ["NONE", "OCCUPANCY_GRID", "BASE64_PNG"],
    "PathShape": ["NONE", "LINE", "ARC", "BEZIER"],
    "MapVirtualAreaType": ["NONE", "OBSTACLE", "SLOW_DOWN", "INFLATE"],
    "MapVirtualAreaShape": ["NONE", "LINE", "ARC", "CIRCLE", "POLYGON"],
    "NavType": ["NONE", "FREE_TO_POSE", "FREE_TO_STATION", "PATH_TO_STATION"],
    "AutoChargingType": ["NONE", "LOW_POWER_TO_BOARD", "HIGH_POWER_LEAVE_BOARD", "FORCE_TO_BOARD",
                         "FORCE_LEAVE_BOARD"],
    "FirmwareUpdateMode": ["NONE", "UPDATE", "FORCED_UPDATE", "NOT_UPDATE"],
    "CalibrationType": ["NONE", "LASER_ODOM"],
    "ScriptRuntimeState": ["RUNNING", "PAUSED", "STOPPED", "ABORTING"],
}

FEEDBACK_ALIASES = [
    "NavStatus", "SaveMapStatus", "SwitchMapStatus", "ChangeRunningModeStatus", "RelocationStatus",
    "SetPngMapAllInfoStatus", "GetPngMapAllInfoStatus", "GetGridMapStatus", "SendGridMapStatus",
    "GetPngMapStatus", "SendPngMapStatus", "SetGridMapAllInfoStatus", "GetGridMapAllInfoStatus",
    "CalibrationStatus", "PreviewPngMapStatus", "AutoAlignRailwayStatus",
]


@pytest.mark.parametrize("name", sorted(ENUMS))
def test_members_in_order_with_their_values(name):
    cls = getattr(z, name)
    assert list(cls.__members__) == ENUMS[name]
    for value, member in enumerate(ENUMS[name]):
        assert int(getattr(cls, member)) == value
        assert getattr(cls, member).value == value
        assert getattr(cls, member).name == member
        assert cls(value) == getattr(cls, member)
        assert hash(getattr(cls, member)) == value


def test_later_exports_overwrite_earlier_members_of_like_name():
    assert z.NONE is z.CalibrationType.NONE
    assert z.NONE != z.RunningMode.NONE
    assert z.RUNNING is z.ScriptRuntimeState.RUNNING and int(z.RUNNING) == 0
    assert int(z.FeedbackStatus.RUNNING) == 3
    assert z.PAUSED is z.ScriptRuntimeState.PAUSED
    assert z.LINE is z.MapVirtualAreaShape.LINE and z.ARC is z.MapVirtualAreaShape.ARC
    assert z.BEZIER is z.PathShape.BEZIER
    assert z.START is z.RunningMode.START and z.STOP is z.RunningMode.STOP
    assert z.FAILED is z.FeedbackStatus.FAILED and z.CANCELED is z.FeedbackStatus.CANCELED
    assert z.OBSTACLE is z.MapVirtualAreaType.OBSTACLE
    assert z.UPDATE is z.FirmwareUpdateMode.UPDATE and z.LASER_ODOM is z.CalibrationType.LASER_ODOM
    assert z.STOPPED is z.ScriptRuntimeState.STOPPED


def test_map_format_is_not_exported():
    with pytest.raises(AttributeError):
        z.OCCUPANCY_GRID
    assert not hasattr(z, "BASE64_PNG")
    assert int(z.MapFormat.OCCUPANCY_GRID) == 1


def test_aliases_are_the_class_objects_in_order():
    for alias in FEEDBACK_ALIASES:
        assert getattr(z, alias) is z.FeedbackStatus
    assert z.NavStatus.__name__ == "FeedbackStatus"
    assert z.SaveMapStatus.FINISHED is z.FeedbackStatus.FINISHED
    assert z.OccupancyGridMap is z.MapInfo and z.Base64PngMap is z.MapInfo
    assert isinstance(z.Base64PngMap(), z.MapInfo)
    names = list(vars(z))
    positions = [names.index(a) for a in FEEDBACK_ALIASES]
    assert positions == sorted(positions)
    assert names.index("AutoAlignRailwayStatus") < names.index("MapFormat")
    assert names.index("Base64PngMap") < names.index("MapAllInfo")


def test_members_compare_only_within_their_enumeration():
    assert (z.RunningMode.NONE == 0) is False
    assert (z.RunningMode.NONE == z.FeedbackStatus.NONE) is False
    assert z.RunningMode.NONE != z.FeedbackStatus.NONE
    with pytest.raises(TypeError):
        z.FeedbackStatus.FAILED < z.FeedbackStatus.RUNNING
    with pytest.raises(TypeError):
        z.RunningMode.START + 1


def test_calling_with_a_bad_argument_raises_type_error_and_pickle_keeps_the_value():
    with pytest.raises(TypeError):
        z.RunningMode("START")
    with pytest.raises(TypeError):
        z.RunningMode(2**32)
    assert pickle.loads(pickle.dumps(z.NavType.PATH_TO_STATION)) == z.NavType.PATH_TO_STATION
    assert [0, 1, 2][z.PathShape.ARC] == 2


def test_module_has_no_docstring_no_version_and_no_functions():
    assert z.__doc__ is None
    assert not hasattr(z, "__version__")
    assert [k for k, v in vars(z).items() if callable(v) and not isinstance(v, type)] == []
