#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "input_parser_impl.h"
#include "output_builder_impl.h"
#include "zorv_interface/input_parser.h"
#include "zorv_interface/output_builder.h"
#include "zorv_interface/rtde_recipe.h"

using nlohmann::json;
using namespace zorv_interface;

namespace {

void load(InputParser& parser, const json& message) { parser.impl().setJsonData(message); }

}  // namespace

TEST(RtdeRecipe, JsonHasFiveMembersInKeyOrderWithAFloatFrequency) {
    RtdeRecipe recipe;
    recipe.to_server = true;
    recipe.chanel = 3;
    recipe.frequency = 125.0;
    recipe.segments = {"a", "b"};
    EXPECT_EQ(json(recipe).dump(),
              R"({"chanel":3,"frequency":125.0,"segments":["a","b"],"to_server":true,"trigger":0})");

    RtdeRecipe empty;
    const json j = empty;
    EXPECT_TRUE(j.at("segments").is_array());
    EXPECT_TRUE(j.at("segments").empty());
    EXPECT_TRUE(j.at("frequency").is_number_float());
    EXPECT_EQ(j.at("frequency").dump(), "0.0");
    const auto cbor = json::to_cbor(json(recipe));
    const std::string bytes(cbor.begin(), cbor.end());
    EXPECT_LT(bytes.find("chanel"), bytes.find("frequency"));
    EXPECT_LT(bytes.find("segments"), bytes.find("to_server"));
    EXPECT_LT(bytes.find("to_server"), bytes.find("trigger"));
}

TEST(RtdeRecipe, CopiesAreDeepAndMovesTakeTheSegments) {
    RtdeRecipe source;
    source.chanel = 4;
    source.frequency = 2.5;
    source.segments = {"x"};
    RtdeRecipe copy = source;
    copy.segments.push_back("y");
    EXPECT_EQ(source.segments.size(), 1u);

    RtdeRecipe moved = std::move(source);
    EXPECT_EQ(moved.segments, std::vector<std::string>{"x"});
    EXPECT_EQ(source.chanel, 4);  // NOLINT(bugprone-use-after-move): scalars stay
    EXPECT_DOUBLE_EQ(source.frequency, 2.5);
}

TEST(InputParser, PopsInOrderAndStopsAtTheEnd) {
    InputParser parser;
    load(parser, json::array({7, 1, 2.5, "x"}));
    EXPECT_EQ(parser.popInt32(), 1);
    EXPECT_DOUBLE_EQ(parser.popDouble(), 2.5);
    EXPECT_EQ(parser.popString(), "x");
    EXPECT_EQ(parser.popString(), "");
    EXPECT_EQ(parser.popInt32(), 0);
    EXPECT_FALSE(parser.popBool());
    EXPECT_TRUE(std::isnan(parser.popDouble()));
    EXPECT_EQ(parser.popNavInfo().goal_station.header.error_code, -1);
}

TEST(InputParser, NonArrayDataReadsNothing) {
    InputParser parser;
    load(parser, json{{"a", 1}});
    EXPECT_EQ(parser.popInt64(), 0);
    EXPECT_TRUE(parser.popVectorDouble().empty());
    InputParser fresh;
    EXPECT_EQ(fresh.popString(), "");
}

TEST(InputParser, StrictScalarConversions) {
    InputParser parser;
    load(parser, json::array({0, 3.9, true, 1, "s", -2, int64_t(1) << 40}));
    EXPECT_EQ(parser.popChar(), 3);
    EXPECT_EQ(parser.popInt16(), 1);
    try {
        parser.popBool();
        FAIL() << "expected a type error";
    } catch (const json::type_error& error) {
        EXPECT_EQ(error.id, 302);
        EXPECT_NE(std::string(error.what()).find("type must be boolean, but is number"), std::string::npos);
    }
    // The failed element was consumed: the next pop reads the following one.
    EXPECT_THROW(parser.popInt32(), json::type_error);
    EXPECT_EQ(parser.popInt16(), -2);
    EXPECT_EQ(parser.popInt64(), int64_t(1) << 40);
}

TEST(InputParser, DoublesAreLenient) {
    InputParser parser;
    load(parser, json::array({0, "abc", true, 4, json::array({1, "a", nullptr}), 5}));
    EXPECT_TRUE(std::isnan(parser.popDouble()));
    EXPECT_TRUE(std::isnan(parser.popDouble()));
    EXPECT_DOUBLE_EQ(parser.popDouble(), 4.0);
    const auto values = parser.popVectorDouble();
    ASSERT_EQ(values.size(), 3u);
    EXPECT_DOUBLE_EQ(values[0], 1.0);
    EXPECT_TRUE(std::isnan(values[1]));
    EXPECT_TRUE(std::isnan(values[2]));
    EXPECT_TRUE(parser.popVectorDouble().empty());  // 5 is consumed
    EXPECT_EQ(parser.popString(), "");
}

TEST(InputParser, IntegerVectorsAreStrict) {
    InputParser parser;
    load(parser, json::array({0, json::array({1, 2}), 5, json::array({1, "x"}), json::array({-3})}));
    EXPECT_EQ(parser.popVectorInt16(), (std::vector<int16_t>{1, 2}));
    EXPECT_THROW(parser.popVectorInt(), json::type_error);
    EXPECT_THROW(parser.popVectorInt(), json::type_error);
    EXPECT_EQ(parser.popVectorInt(), std::vector<int>{-3});
}

TEST(InputParser, HeadersAreLenientButNeedEveryKey) {
    InputParser parser;
    const int64_t bigStamp = (int64_t(1) << 32) + 5;
    load(parser,
         json::array({0,
                      json::array({{{"id", "a"}, {"name", "n"}, {"map_id", "m"}, {"stamp", bigStamp},
                                    {"error_code", "x"}}}),
                      json::array({7}), json::array({{{"id", "a"}}})}));
    const auto headers = parser.popVectorHeader();
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers[0].id, "a");
    EXPECT_EQ(headers[0].name, "n");
    EXPECT_EQ(headers[0].map_id, "m");
    EXPECT_EQ(headers[0].stamp, bigStamp);
    EXPECT_EQ(headers[0].error_code, 0);

    const auto blank = parser.popVectorHeader();
    ASSERT_EQ(blank.size(), 1u);
    EXPECT_EQ(blank[0].id, "");
    EXPECT_EQ(blank[0].stamp, 0);
    EXPECT_EQ(blank[0].error_code, 0);

    try {
        parser.popVectorHeader();
        FAIL() << "expected out_of_range";
    } catch (const json::out_of_range& error) {
        EXPECT_EQ(error.id, 403);
        EXPECT_NE(std::string(error.what()).find("key 'map_id' not found"), std::string::npos);
    }
}

TEST(InputParser, PointsAndNestedVectorsAreLenient) {
    InputParser parser;
    load(parser, json::array({0, json::array({{{"x", 1}, {"y", "b"}}, 3}),
                              json::array({json::array({1, 2}), 4, json::array()})}));
    const auto points = parser.popVectorPoint2d();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_FLOAT_EQ(points[0].x, 1.0f);
    EXPECT_TRUE(std::isnan(points[0].y));
    EXPECT_TRUE(std::isnan(points[1].x));
    EXPECT_TRUE(std::isnan(points[1].y));
    const auto rows = parser.popVectorVectorDouble();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<double>{1.0, 2.0}));
    EXPECT_TRUE(rows[1].empty());
    EXPECT_TRUE(rows[2].empty());
}

TEST(InputParser, RecordsUseTheirJsonForm) {
    InputParser parser;
    load(parser, json::array({0, {{"x", 1.0}, {"y", 2.0}, {"yaw", 0.5}}, "not a pose"}));
    const Pose2d pose = parser.popPose2d();
    EXPECT_DOUBLE_EQ(pose.y, 2.0);
    EXPECT_DOUBLE_EQ(pose.yaw, 0.5);
    EXPECT_ANY_THROW(parser.popPose2d());
}

TEST(OutputBuilder, AppendsFromElementOne) {
    json message = json::array({5});
    OutputBuilder builder;
    builder.impl().setJsonData(&message);
    builder.push(1).push(2.5).push("x");
    EXPECT_EQ(message.dump(), R"([5,1,2.5,"x"])");
}

TEST(OutputBuilder, EveryOverloadStoresItsJsonValue) {
    json message = json::array({0});
    OutputBuilder builder;
    builder.impl().setJsonData(&message);
    short small = -4;
    RtdeRecipe recipe;
    recipe.chanel = 2;
    builder.push('a')
        .push(small)
        .push(true)
        .push(std::tuple<int, bool>(3, true))
        .push(std::vector<short>{1, 2})
        .push(std::vector<int>{})
        .push(std::vector<double>{0.5})
        .push(std::string("s"))
        .push(recipe);
    EXPECT_EQ(message[1], 97);
    EXPECT_EQ(message[2], -4);
    EXPECT_TRUE(message[3].is_boolean());
    EXPECT_EQ(message[4].dump(), "[3,true]");
    EXPECT_EQ(message[5].dump(), "[1,2]");
    EXPECT_TRUE(message[6].is_array());
    EXPECT_TRUE(message[6].empty());
    EXPECT_EQ(message[7].dump(), "[0.5]");
    EXPECT_EQ(message[8], "s");
    EXPECT_EQ(message[9].at("chanel"), 2);
}

TEST(OutputBuilder, NullTargetBecomesAnArrayWithALeadingNull) {
    json message;
    OutputBuilder builder;
    builder.impl().setJsonData(&message);
    builder.push(7);
    EXPECT_EQ(message.dump(), "[null,7]");
}

TEST(OutputBuilder, ObjectTargetThrowsAndStillAdvances) {
    json message = json::object();
    OutputBuilder builder;
    builder.impl().setJsonData(&message);
    try {
        builder.push(1);
        FAIL() << "expected a type error";
    } catch (const json::type_error& error) {
        EXPECT_EQ(error.id, 305);
    }
    json array = json::array({0});
    builder.impl().setJsonData(&array);
    builder.push(2);
    EXPECT_EQ(array.dump(), "[0,null,2]");
}

TEST(OutputBuilder, PushesWithoutATargetDoNotCrash) {
    OutputBuilder builder;
    builder.push(1).push(2.0);
    SUCCEED();
}
