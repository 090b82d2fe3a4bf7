#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zorv_interface/export.h"

namespace zorv_interface {

// One topic registration: direction, channel, rate and the ordered segment names.
struct RtdeRecipe {
    bool to_server = false;  // true: values go from the client to the controller
    int32_t chanel = 0;
    double frequency = 0.0;  // messages per second
    int32_t trigger = 0;     // carried and sent, never interpreted
    std::vector<std::string> segments;
};

// Recipes are only ever sent, so there is no from_json.
ZORV_SDK_API void to_json(nlohmann::json& j, const RtdeRecipe& recipe);

}  // namespace zorv_interface
