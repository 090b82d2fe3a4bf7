#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zorv_interface/export.h"
#include "zorv_interface/types.h"

namespace zorv_interface {

// Read cursor over one received message [channel, value1, value2, ...].
// Each pop reads the next value (from element 1 on) in the recipe's segment order.
// Scalars, strings and integer vectors convert strictly (nlohmann::json::type_error on a
// wrong type, the element is consumed all the same); vectors of doubles, headers and
// points convert leniently. A pop past the end reads nothing and returns 0, false,
// NaN (popDouble) or an empty / default value.
class ZORV_SDK_API InputParser {
public:
    class Impl;

    InputParser();
    ~InputParser();
    InputParser(const InputParser&) = delete;
    InputParser& operator=(const InputParser&) = delete;

    bool popBool();
    char popChar();
    int16_t popInt16();
    int32_t popInt32();
    int64_t popInt64();
    double popDouble();
    std::string popString();
    Pose2d popPose2d();
    NavInfo popNavInfo();
    RunningInfo popRunningInfo();
    AgvDetails popAgvDetails();
    std::vector<int16_t> popVectorInt16();
    std::vector<int> popVectorInt();
    std::vector<double> popVectorDouble();
    std::vector<Header> popVectorHeader();
    std::vector<Point2d> popVectorPoint2d();
    std::vector<std::vector<double>> popVectorVectorDouble();

    // Library-internal: the receive path loads the message through it.
    Impl& impl();

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace zorv_interface
