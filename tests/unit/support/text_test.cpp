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
    EXPECT_TRUE(EqualsNoCase("Straße", "STRASSE") == (CompareNoCase("Straße", "STRASSE") == 0));
    EXPECT_TRUE(EqualsNoCase("Größe", "GRÖSSE") == (CompareNoCase("Größe", "GRÖSSE") == 0));
    EXPECT_TRUE(EqualsNoCase("Ärger", "ärger"));
    EXPECT_TRUE(EqualsNoCase("\xE2\x84\xAA" "elvin", "kelvin") == (CompareNoCase("\xE2\x84\xAA" "elvin", "kelvin") == 0));
    EXPECT_TRUE(EqualsNoCase("k", "\xE2\x84\xAA") == (CompareNoCase("k", "\xE2\x84\xAA") == 0));
    EXPECT_FALSE(EqualsNoCase("abc", "abcä"));
}

}  // namespace
}  // namespace velmora
