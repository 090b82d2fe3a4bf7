#include <gtest/gtest.h>

#include "zorv_interface/return_value.h"

namespace zorv_interface {
namespace {

void expectDefaultHeader(const Header& header) {
    EXPECT_TRUE(header.id.empty());
    EXPECT_TRUE(header.name.empty());
    EXPECT_TRUE(header.map_id.empty());
    EXPECT_EQ(header.stamp, 0);
    EXPECT_EQ(header.error_code, -1);
}

TEST(ReturnValueTest, ScalarsAreZeroExceptBoolWhichIsTrue) {
    EXPECT_TRUE(ReturnValue<bool>()());
    EXPECT_EQ(ReturnValue<char>()(), 0);
    EXPECT_EQ(ReturnValue<unsigned short>()(), 0);
    EXPECT_EQ(ReturnValue<int>()(), 0);
    EXPECT_EQ(ReturnValue<unsigned long long>()(), 0u);
    EXPECT_EQ(ReturnValue<double>()(), 0.0);
    EXPECT_EQ(ReturnValue<float>()(), 0.0f);
}

TEST(ReturnValueTest, EnumsAreNoneButScriptStateIsStopped) {
    EXPECT_EQ(ReturnValue<RunningMode>()(), RunningMode::NONE);
    EXPECT_EQ(ReturnValue<FeedbackStatus>()(), FeedbackStatus::NONE);
    EXPECT_EQ(ReturnValue<NavType>()(), NavType::NONE);
    EXPECT_EQ(ReturnValue<ScriptRuntimeState>()(), ScriptRuntimeState::STOPPED);
}

TEST(ReturnValueTest, StringIsTheQuotedWordStr) {
    const std::string text = ReturnValue<std::string>()();
    EXPECT_EQ(text.size(), 5u);
    EXPECT_EQ(text, "\"str\"");
}

TEST(ReturnValueTest, RecordsAreValueInitialisedWithHeaderErrorCodeMinusOne) {
    expectDefaultHeader(ReturnValue<Header>()());
    const NavInfo nav = ReturnValue<NavInfo>()();
    expectDefaultHeader(nav.header);
    expectDefaultHeader(nav.goal_station.header);
    EXPECT_EQ(nav.status, FeedbackStatus::NONE);
    EXPECT_TRUE(nav.current_trajectory.empty());

    const RunningInfo info = ReturnValue<RunningInfo>()();
    expectDefaultHeader(info.header);
    EXPECT_EQ(info.running_mode, RunningMode::NONE);
    EXPECT_EQ(info.current_speed.v, 0.0);
    EXPECT_EQ(info.location_score, 0);
    EXPECT_FALSE(info.emergency_stop);

    const AgvDetails details = ReturnValue<AgvDetails>()();
    EXPECT_TRUE(details.SN.empty());
    EXPECT_EQ(details.max_speed, 0.0f);
}

TEST(ReturnValueTest, AsyncStatusHoldsFifteenDefaultHeaders) {
    const AsyncInterfaceResultStatus status = ReturnValue<AsyncInterfaceResultStatus>()();
    expectDefaultHeader(status.header);
    const auto expectIdle = [](const auto& member) {
        expectDefaultHeader(member.header);
        EXPECT_EQ(member.status, FeedbackStatus::NONE);
    };
    expectIdle(status.save_map_status);
    expectIdle(status.switch_map_status);
    expectIdle(status.change_running_mode_status);
    expectIdle(status.relocation_status);
    expectIdle(status.get_grid_map_status);
    expectIdle(status.send_grid_map_status);
    expectIdle(status.get_png_map_status);
    expectIdle(status.send_png_map_status);
    expectIdle(status.set_png_all_status);
    expectIdle(status.get_png_all_status);
    expectIdle(status.set_grid_all_status);
    expectIdle(status.get_grid_all_status);
    expectIdle(status.preview_png_map_status);
    expectIdle(status.align_railway_status);
}

TEST(ReturnValueTest, VectorResultsHoldSixPlaceholdersButNestedVectorsStayEmpty) {
    const std::vector<bool> flags = ReturnValue<std::vector<bool>>()();
    EXPECT_EQ(flags, std::vector<bool>(6, true));
    EXPECT_EQ(ReturnValue<std::vector<double>>()(), std::vector<double>(6, 0.0));
    EXPECT_EQ(ReturnValue<std::vector<std::string>>()(), std::vector<std::string>(6, "\"str\""));
    EXPECT_EQ(ReturnValue<std::vector<ScriptRuntimeState>>()(),
              std::vector<ScriptRuntimeState>(6, ScriptRuntimeState::STOPPED));

    const std::vector<Header> headers = ReturnValue<std::vector<Header>>()();
    ASSERT_EQ(headers.size(), 6u);
    for (const Header& header : headers) {
        expectDefaultHeader(header);
    }
    const std::vector<MapAllInfo> maps = ReturnValue<const std::vector<MapAllInfo>&>()();
    ASSERT_EQ(maps.size(), 6u);
    for (const MapAllInfo& map : maps) {
        EXPECT_TRUE(map.stations.empty());
        EXPECT_TRUE(map.paths.empty());
        EXPECT_TRUE(map.virtual_areas.empty());
        expectDefaultHeader(map.map.header);
    }
    const std::vector<StationMark> byRef = ReturnValue<const std::vector<StationMark>&>()();
    const std::vector<StationMark> byValue = ReturnValue<std::vector<StationMark>>()();
    ASSERT_EQ(byRef.size(), byValue.size());
    EXPECT_EQ(byRef[5].pose.yaw, 0.0);
    EXPECT_EQ(byRef[5].header.error_code, byValue[5].header.error_code);
}

}  // namespace
}  // namespace zorv_interface
