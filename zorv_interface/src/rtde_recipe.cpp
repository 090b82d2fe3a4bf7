#include "zorv_interface/rtde_recipe.h"

namespace zorv_interface {

void to_json(nlohmann::json& j, const RtdeRecipe& recipe) {
    j = nlohmann::json::object();
    j["to_server"] = recipe.to_server;
    j["chanel"] = recipe.chanel;
    j["frequency"] = static_cast<double>(recipe.frequency);
    j["trigger"] = recipe.trigger;
    j["segments"] = recipe.segments.empty() ? nlohmann::json::array() : nlohmann::json(recipe.segments);
}

}  // namespace zorv_interface
