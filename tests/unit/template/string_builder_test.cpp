#include <gtest/gtest.h>

#include "template/string_builder.h"

namespace velmora {
namespace {

TEST(StringBuilder, KeepsEveryPieceInOrderAcrossGrowth) {
    AGPStringBuilder sb;
    EXPECT_EQ(sb.Capacity(), 1001);
    std::string expected;
    for (int i = 0; i < 1001; ++i) {
        sb.Append(std::to_string(i % 10));
        expected += std::to_string(i % 10);
    }
    EXPECT_EQ(sb.Capacity(), 1001);
    sb.Append("!");
    EXPECT_EQ(sb.Capacity(), 2001);
    EXPECT_EQ(sb.ToString(), expected + "!");
    sb.Clear();
    EXPECT_EQ(sb.ToString(), "");
    EXPECT_EQ(sb.Capacity(), 1001);
}

}  // namespace
}  // namespace velmora
