#include "enums.h"

#include <utility>

#include "zorv_interface/types.h"

namespace py = pybind11;
using namespace zorv_interface;

namespace zorv_python {
namespace {

template <typename E>
using Members = std::initializer_list<std::pair<const char*, E>>;

// Neither arithmetic nor convertible: members compare equal only to members of
// their own enumeration.
template <typename E>
py::enum_<E> bindEnum(py::module_& m, const char* name, Members<E> members) {
    py::enum_<E> enumeration(m, name);
    for (const auto& member : members) {
        enumeration.value(member.first, member.second);
    }
    return enumeration;
}

template <typename E>
void bindExportedEnum(py::module_& m, const char* name, Members<E> members) {
    bindEnum(m, name, members).export_values();
}

}  // namespace

void setAliases(py::module_& m, const char* target, std::initializer_list<const char*> aliases) {
    for (const char* alias : aliases) {
        m.attr(alias) = m.attr(target);
    }
}

void bindRunningMode(py::module_& m) {
    bindExportedEnum<RunningMode>(m, "RunningMode",
        {{"NONE", RunningMode::NONE}, {"START", RunningMode::START}, {"MAPPING", RunningMode::MAPPING},
         {"NAVIGATE", RunningMode::NAVIGATE}, {"CHARGING", RunningMode::CHARGING},
         {"MAINTAIN", RunningMode::MAINTAIN}, {"STOP", RunningMode::STOP}});
}

void bindFeedbackStatusWithAliases(py::module_& m) {
    bindExportedEnum<FeedbackStatus>(m, "FeedbackStatus",
        {{"NONE", FeedbackStatus::NONE}, {"FINISHED", FeedbackStatus::FINISHED},
         {"FAILED", FeedbackStatus::FAILED}, {"RUNNING", FeedbackStatus::RUNNING},
         {"PAUSED", FeedbackStatus::PAUSED}, {"CANCELED", FeedbackStatus::CANCELED}});
    setAliases(m, "FeedbackStatus",
        {"NavStatus", "SaveMapStatus", "SwitchMapStatus", "ChangeRunningModeStatus", "RelocationStatus",
         "SetPngMapAllInfoStatus", "GetPngMapAllInfoStatus", "GetGridMapStatus", "SendGridMapStatus",
         "GetPngMapStatus", "SendPngMapStatus", "SetGridMapAllInfoStatus", "GetGridMapAllInfoStatus",
         "CalibrationStatus", "PreviewPngMapStatus", "AutoAlignRailwayStatus"});
}

void bindMapFormat(py::module_& m) {
    bindEnum<MapFormat>(m, "MapFormat",
        {{"NONE", MapFormat::NONE}, {"OCCUPANCY_GRID", MapFormat::OCCUPANCY_GRID},
         {"BASE64_PNG", MapFormat::BASE64_PNG}});
}

void bindPathShape(py::module_& m) {
    bindExportedEnum<PathShape>(m, "PathShape",
        {{"NONE", PathShape::NONE}, {"LINE", PathShape::LINE}, {"ARC", PathShape::ARC},
         {"BEZIER", PathShape::BEZIER}});
}

void bindVirtualAreaEnums(py::module_& m) {
    bindExportedEnum<MapVirtualAreaType>(m, "MapVirtualAreaType",
        {{"NONE", MapVirtualAreaType::NONE}, {"OBSTACLE", MapVirtualAreaType::OBSTACLE},
         {"SLOW_DOWN", MapVirtualAreaType::SLOW_DOWN}, {"INFLATE", MapVirtualAreaType::INFLATE}});
    bindExportedEnum<MapVirtualAreaShape>(m, "MapVirtualAreaShape",
        {{"NONE", MapVirtualAreaShape::NONE}, {"LINE", MapVirtualAreaShape::LINE},
         {"ARC", MapVirtualAreaShape::ARC}, {"CIRCLE", MapVirtualAreaShape::CIRCLE},
         {"POLYGON", MapVirtualAreaShape::POLYGON}});
}

void bindNavType(py::module_& m) {
    bindExportedEnum<NavType>(m, "NavType",
        {{"NONE", NavType::NONE}, {"FREE_TO_POSE", NavType::FREE_TO_POSE},
         {"FREE_TO_STATION", NavType::FREE_TO_STATION}, {"PATH_TO_STATION", NavType::PATH_TO_STATION}});
}

void bindAutoChargingType(py::module_& m) {
    bindExportedEnum<AutoChargingType>(m, "AutoChargingType",
        {{"NONE", AutoChargingType::NONE}, {"LOW_POWER_TO_BOARD", AutoChargingType::LOW_POWER_TO_BOARD},
         {"HIGH_POWER_LEAVE_BOARD", AutoChargingType::HIGH_POWER_LEAVE_BOARD},
         {"FORCE_TO_BOARD", AutoChargingType::FORCE_TO_BOARD},
         {"FORCE_LEAVE_BOARD", AutoChargingType::FORCE_LEAVE_BOARD}});
}

void bindFirmwareUpdateMode(py::module_& m) {
    bindExportedEnum<FirmwareUpdateMode>(m, "FirmwareUpdateMode",
        {{"NONE", FirmwareUpdateMode::NONE}, {"UPDATE", FirmwareUpdateMode::UPDATE},
         {"FORCED_UPDATE", FirmwareUpdateMode::FORCED_UPDATE}, {"NOT_UPDATE", FirmwareUpdateMode::NOT_UPDATE}});
}

void bindCalibrationType(py::module_& m) {
    bindExportedEnum<CalibrationType>(m, "CalibrationType",
        {{"NONE", CalibrationType::NONE}, {"LASER_ODOM", CalibrationType::LASER_ODOM}});
}

void bindScriptRuntimeState(py::module_& m) {
    bindExportedEnum<ScriptRuntimeState>(m, "ScriptRuntimeState",
        {{"RUNNING", ScriptRuntimeState::RUNNING}, {"PAUSED", ScriptRuntimeState::PAUSED},
         {"STOPPED", ScriptRuntimeState::STOPPED}, {"ABORTING", ScriptRuntimeState::ABORTING}});
}

}  // namespace zorv_python
