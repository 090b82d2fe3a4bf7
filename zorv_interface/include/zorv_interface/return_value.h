#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "zorv_interface/export.h"
#include "zorv_interface/types.h"

namespace zorv_interface {

// The fixed stand-in result of type T: what an operation returns when it made no
// call (an offline implementation) or when a call failed in exception-free mode.
// It carries no mark of failure; errorCode() tells whether the last call failed.
template <typename T>
class ZORV_SDK_API ReturnValue {
public:
    std::decay_t<T> operator()();
};

// Every value type that has a placeholder; each also has its two vector forms.
#define ZORV_RETURN_VALUE_TYPES(X)                                                        \
    X(bool) X(char) X(unsigned char) X(short) X(unsigned short) X(int) X(unsigned int)    \
    X(long long) X(unsigned long long) X(float) X(double)                                 \
    X(AutoChargingType) X(CalibrationType) X(FeedbackStatus) X(FirmwareUpdateMode)        \
    X(MapFormat) X(MapVirtualAreaShape) X(MapVirtualAreaType) X(NavType) X(PathShape)     \
    X(RunningMode) X(ScriptRuntimeState)                                                  \
    X(std::string)                                                                        \
    X(AdjustParam) X(AgvDetails) X(AsyncInterfaceResultStatus) X(AutoChargingCommand)     \
    X(CalibrationProcessInfo) X(FirmwareUpdateParam) X(FirmwareUpdateProcessInfo)         \
    X(Header) X(IpAddressInfo) X(MapAllInfo) X(MapInfo) X(MapVirtualArea) X(NavGoalType)  \
    X(NavInfo) X(PathStation) X(Point2d) X(Pose2d) X(RunningInfo) X(Speed) X(StationMark)

// The attribute here, not only on the template, exports the instantiations over
// records, whose own (hidden) visibility would otherwise constrain them.
#define ZORV_DECLARE_RETURN_VALUE(T)                                        \
    extern template class ZORV_SDK_API ReturnValue<T>;                      \
    extern template class ZORV_SDK_API ReturnValue<std::vector<T>>;         \
    extern template class ZORV_SDK_API ReturnValue<const std::vector<T>&>;
ZORV_RETURN_VALUE_TYPES(ZORV_DECLARE_RETURN_VALUE)
#undef ZORV_DECLARE_RETURN_VALUE

}  // namespace zorv_interface
