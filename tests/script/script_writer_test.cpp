#include <gtest/gtest.h>

#include "script_writer_detail.h"

namespace zorv_interface {
namespace {

TEST(ScriptWriter, WritesHeaderBodyAndEnd) {
    detail::ScriptWriter writer("main");
    writer.append("x = 1");
    writer.end();
    EXPECT_EQ(writer.text(), "def main() \nx = 1\nend\n");
}

TEST(ScriptWriter, RawAppendContinuesTheCurrentLine) {
    detail::ScriptWriter writer("f");
    const char raw[] = "a = ";
    writer.append(raw, 4).append(std::string("2"));
    EXPECT_EQ(writer.text(), "def f() \na = 2\n");
}

TEST(ScriptWriter, RawAppendTakesExactlySizeBytesIncludingZeros) {
    detail::ScriptWriter writer("f");
    writer.append("ab\0cd", 5);
    EXPECT_EQ(writer.text(), std::string("def f() \nab\0cd", 14));
}

TEST(ScriptWriter, EmptyNameAndStatementBuildersLeaveTextAlone) {
    detail::ScriptWriter writer("");
    ScriptWriter& base = writer;
    base.ifCondition().elseIfCondition().elseCondition().whileCondition().moveJoint().moveLine();
    EXPECT_EQ(writer.text(), "def () \n");
}

TEST(ScriptWriter, BuildClosesTheTextEvenAfterAnExplicitEnd) {
    detail::ScriptWriter fresh("main");
    EXPECT_EQ(fresh.build(), "def main() \nend\n");
    detail::ScriptWriter ended("main");
    ended.end();
    EXPECT_EQ(ended.build(), "def main() \nend\nend\n");
}

}  // namespace
}  // namespace zorv_interface
