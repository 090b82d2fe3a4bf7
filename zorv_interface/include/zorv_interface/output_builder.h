#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "zorv_interface/export.h"
#include "zorv_interface/rtde_recipe.h"

namespace zorv_interface {

// Append cursor over one outgoing message [channel, ...]: each push stores its value
// at the next element, from element 1 on. Pushes chain: b.push(1).push(2.5).
class ZORV_SDK_API OutputBuilder {
public:
    class Impl;

    OutputBuilder();
    ~OutputBuilder();
    OutputBuilder(const OutputBuilder&) = delete;
    OutputBuilder& operator=(const OutputBuilder&) = delete;

    OutputBuilder& push(char value);
    OutputBuilder& push(short& value);
    OutputBuilder& push(int value);
    OutputBuilder& push(double value);
    OutputBuilder& push(const std::string& value);
    OutputBuilder& push(const std::vector<short>& value);
    OutputBuilder& push(const std::vector<int>& value);
    OutputBuilder& push(const std::vector<double>& value);
    OutputBuilder& push(const std::tuple<int, bool>& value);
    OutputBuilder& push(const RtdeRecipe& value);

    // Exactly bool only, so that true is stored as a boolean while string literals
    // still reach push(const std::string&).
    template <typename Bool, std::enable_if_t<std::is_same_v<Bool, bool>, int> = 0>
    OutputBuilder& push(Bool value) {
        return pushBool(value);
    }

    // Library-internal: the publish path points the builder at its message.
    Impl& impl();

private:
    OutputBuilder& pushBool(bool value);

    std::unique_ptr<Impl> impl_;
};

}  // namespace zorv_interface
