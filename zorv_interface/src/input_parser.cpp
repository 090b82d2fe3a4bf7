#include "zorv_interface/input_parser.h"

#include <limits>

#include "input_parser_impl.h"

namespace zorv_interface {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();

template <typename T, typename Item>
std::vector<T> mapArray(const nlohmann::json& j, Item item) {
    std::vector<T> result;
    if (!j.is_array()) {
        return result;
    }
    result.reserve(j.size());
    for (const auto& element : j) {
        result.push_back(item(element));
    }
    return result;
}

float numberOrNaN(const nlohmann::json& j) {
    return j.is_number() ? static_cast<float>(j.get<double>()) : kNaNf;
}

}  // namespace

void InputParser::Impl::setJsonData(const nlohmann::json& j) {
    data = j;
    valid = data.is_array();
}

void InputParser::Impl::setJsonData(nlohmann::json&& j) {
    data = std::move(j);
    valid = data.is_array();
}

template <typename T, typename Convert>
InputParser::Impl& InputParser::Impl::next(T& out, Convert convert) {
    if (!valid || index < 0 || static_cast<std::size_t>(index) >= data.size()) {
        return *this;
    }
    ++index;
    out = convert(data[static_cast<std::size_t>(index - 1)]);
    return *this;
}

template <typename T>
InputParser::Impl& InputParser::Impl::strict(T& out) {
    return next(out, [](const nlohmann::json& j) { return j.get<T>(); });
}

InputParser::Impl& InputParser::Impl::pop(bool& out) { return strict(out); }
InputParser::Impl& InputParser::Impl::pop(char& out) { return strict(out); }
InputParser::Impl& InputParser::Impl::pop(int16_t& out) { return strict(out); }
InputParser::Impl& InputParser::Impl::pop(int32_t& out) { return strict(out); }
InputParser::Impl& InputParser::Impl::pop(int64_t& out) { return strict(out); }
InputParser::Impl& InputParser::Impl::pop(std::string& out) { return strict(out); }
InputParser::Impl& InputParser::Impl::pop(Pose2d& out) { return strict(out); }
InputParser::Impl& InputParser::Impl::pop(NavInfo& out) { return strict(out); }
InputParser::Impl& InputParser::Impl::pop(RunningInfo& out) { return strict(out); }
InputParser::Impl& InputParser::Impl::pop(AgvDetails& out) { return strict(out); }
InputParser::Impl& InputParser::Impl::pop(std::vector<int16_t>& out) { return strict(out); }
InputParser::Impl& InputParser::Impl::pop(std::vector<int>& out) { return strict(out); }
InputParser::Impl& InputParser::Impl::pop(double& out) { return next(out, &getDouble); }
InputParser::Impl& InputParser::Impl::pop(std::vector<double>& out) { return next(out, &getVecDouble); }
InputParser::Impl& InputParser::Impl::pop(std::vector<Header>& out) { return next(out, &getVecHeader); }
InputParser::Impl& InputParser::Impl::pop(std::vector<Point2d>& out) { return next(out, &getVecPoint2d); }
InputParser::Impl& InputParser::Impl::pop(std::vector<std::vector<double>>& out) {
    return next(out, &getVecVecDouble);
}

double InputParser::Impl::getDouble(const nlohmann::json& j) {
    return j.is_number() ? j.get<double>() : kNaN;
}

int32_t InputParser::Impl::getInt(const nlohmann::json& j) {
    return j.is_number() ? j.get<int32_t>() : 0;
}

std::string InputParser::Impl::getString(const nlohmann::json& j) {
    return j.is_string() ? j.get<std::string>() : std::string();
}

Point2d InputParser::Impl::getPoint2d(const nlohmann::json& j) {
    if (!j.is_object()) {
        return Point2d{kNaNf, kNaNf};
    }
    Point2d point;
    point.x = numberOrNaN(j.at("x"));
    point.y = numberOrNaN(j.at("y"));
    return point;
}

Header InputParser::Impl::getHeader(const nlohmann::json& j) {
    Header header;
    header.error_code = 0;
    if (!j.is_object()) {
        return header;
    }
    header.id = getString(j.at("id"));
    header.map_id = getString(j.at("map_id"));
    header.name = getString(j.at("name"));
    const auto& stamp = j.at("stamp");
    header.stamp = stamp.is_number() ? stamp.get<int64_t>() : 0;
    header.error_code = getInt(j.at("error_code"));
    return header;
}

std::vector<double> InputParser::Impl::getVecDouble(const nlohmann::json& j) {
    return mapArray<double>(j, &getDouble);
}

std::vector<Header> InputParser::Impl::getVecHeader(const nlohmann::json& j) {
    return mapArray<Header>(j, &getHeader);
}

std::vector<Point2d> InputParser::Impl::getVecPoint2d(const nlohmann::json& j) {
    return mapArray<Point2d>(j, &getPoint2d);
}

std::vector<std::vector<double>> InputParser::Impl::getVecVecDouble(const nlohmann::json& j) {
    return mapArray<std::vector<double>>(j, &getVecDouble);
}

InputParser::InputParser() : impl_(std::make_unique<Impl>()) {}
InputParser::~InputParser() = default;

InputParser::Impl& InputParser::impl() { return *impl_; }

namespace {

// Pops into a value that starts as the "nothing to read" result.
template <typename T>
T popInto(InputParser::Impl& impl, T initial = T()) {
    T value = initial;
    impl.pop(value);
    return value;
}

}  // namespace

bool InputParser::popBool() { return popInto<bool>(*impl_, false); }
char InputParser::popChar() { return popInto<char>(*impl_, 0); }
int16_t InputParser::popInt16() { return popInto<int16_t>(*impl_, 0); }
int32_t InputParser::popInt32() { return popInto<int32_t>(*impl_, 0); }
int64_t InputParser::popInt64() { return popInto<int64_t>(*impl_, 0); }
double InputParser::popDouble() { return popInto<double>(*impl_, kNaN); }
std::string InputParser::popString() { return popInto<std::string>(*impl_); }
Pose2d InputParser::popPose2d() { return popInto<Pose2d>(*impl_); }
NavInfo InputParser::popNavInfo() { return popInto<NavInfo>(*impl_); }
RunningInfo InputParser::popRunningInfo() { return popInto<RunningInfo>(*impl_); }
AgvDetails InputParser::popAgvDetails() { return popInto<AgvDetails>(*impl_); }
std::vector<int16_t> InputParser::popVectorInt16() { return popInto<std::vector<int16_t>>(*impl_); }
std::vector<int> InputParser::popVectorInt() { return popInto<std::vector<int>>(*impl_); }
std::vector<double> InputParser::popVectorDouble() { return popInto<std::vector<double>>(*impl_); }
std::vector<Header> InputParser::popVectorHeader() { return popInto<std::vector<Header>>(*impl_); }
std::vector<Point2d> InputParser::popVectorPoint2d() { return popInto<std::vector<Point2d>>(*impl_); }
std::vector<std::vector<double>> InputParser::popVectorVectorDouble() {
    return popInto<std::vector<std::vector<double>>>(*impl_);
}

}  // namespace zorv_interface
