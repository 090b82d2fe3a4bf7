#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "rtde_hidden.h"
#include "zorv_interface/input_parser.h"
#include "zorv_interface/types.h"

namespace zorv_interface {

class ZORV_RTDE_HIDDEN InputParser::Impl {
public:
    void setJsonData(const nlohmann::json& j);
    void setJsonData(nlohmann::json&& j);

    Impl& pop(bool& out);
    Impl& pop(char& out);
    Impl& pop(int16_t& out);
    Impl& pop(int32_t& out);
    Impl& pop(int64_t& out);
    Impl& pop(double& out);
    Impl& pop(std::string& out);
    Impl& pop(Pose2d& out);
    Impl& pop(NavInfo& out);
    Impl& pop(RunningInfo& out);
    Impl& pop(AgvDetails& out);
    Impl& pop(std::vector<int16_t>& out);
    Impl& pop(std::vector<int>& out);
    Impl& pop(std::vector<double>& out);
    Impl& pop(std::vector<Header>& out);
    Impl& pop(std::vector<Point2d>& out);
    Impl& pop(std::vector<std::vector<double>>& out);

    // Lenient converters: a wrong type gives NaN, 0 or an empty value instead of an error.
    static double getDouble(const nlohmann::json& j);
    static int32_t getInt(const nlohmann::json& j);
    static std::string getString(const nlohmann::json& j);
    static Point2d getPoint2d(const nlohmann::json& j);
    static Header getHeader(const nlohmann::json& j);
    static std::vector<double> getVecDouble(const nlohmann::json& j);
    static std::vector<Header> getVecHeader(const nlohmann::json& j);
    static std::vector<Point2d> getVecPoint2d(const nlohmann::json& j);
    static std::vector<std::vector<double>> getVecVecDouble(const nlohmann::json& j);

private:
    // Hands the next element to convert, or does nothing when none is left.
    template <typename T, typename Convert>
    Impl& next(T& out, Convert convert);
    template <typename T>
    Impl& strict(T& out);

    nlohmann::json data;
    bool valid = false;
    int32_t index = 1;
};

}  // namespace zorv_interface
