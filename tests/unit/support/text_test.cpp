#include "support/text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(EqualsNoCase, AsciiFastPathAgreesWithFullFolding) {
    EXPECT_TRUE(EqualsNoCase("FldTagValues", "fldtagvalues"));
    EXPECT_FALSE(EqualsNoCase("FldTagValues", "FldTagValue"));
    EXPECT_FALSE(EqualsNoCase("@", "`"));  // differ only in the case bit, but no letters
    EXPECT_FALSE(EqualsNoCase("[", "{"));
    EXPECT_TRUE(EqualsNoCase("", ""));
    // Non-ASCII letters fold even after an ASCII prefix, whatever their byte length.
    for (auto [a, b] : {std::pair{"Straße", "STRASSE"}, {"Größe", "GRÖSSE"}, {"\u212Aelvin", "kelvin"}, {"k", "\u212A"}})
        EXPECT_EQ(EqualsNoCase(a, b), CompareNoCase(a, b) == 0) << a;
    EXPECT_TRUE(EqualsNoCase("Ärger", "ärger"));
    EXPECT_FALSE(EqualsNoCase("abc", "abcä"));
}

TEST(IsAscii, FindsAHighByteAtEveryPositionAndLength) {
    EXPECT_TRUE(IsAscii(""));
    for (std::size_t length = 1; length <= 20; ++length) {
        std::string text(length, 'a');
        EXPECT_TRUE(IsAscii(text)) << length;
        for (std::size_t at = 0; at < length; ++at) {
            std::string marked = text;
            marked[at] = '\xC3';
            EXPECT_FALSE(IsAscii(marked)) << length << " " << at;
        }
    }
}

}  // namespace
}  // namespace velmora
