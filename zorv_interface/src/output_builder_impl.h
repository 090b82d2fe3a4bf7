#pragma once

#include <cstddef>

#include <nlohmann/json.hpp>

#include "rtde_hidden.h"
#include "zorv_interface/output_builder.h"

namespace zorv_interface {

class ZORV_RTDE_HIDDEN OutputBuilder::Impl {
public:
    // The target is not owned; the publish path gives a fresh builder per message.
    void setJsonData(nlohmann::json* j);

    // Stores the value at the next position; a target that is neither null nor an
    // array raises nlohmann's type error, the position having advanced all the same.
    template <typename T>
    Impl& push(const T& value) {
        nlohmann::json element = value;
        const std::size_t position = index++;
        (*target)[position] = std::move(element);
        return *this;
    }

private:
    std::size_t index = 1;
    nlohmann::json own;  // receives pushes made before setJsonData
    nlohmann::json* target = &own;
};

}  // namespace zorv_interface
