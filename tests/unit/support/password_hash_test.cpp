#include "support/password_hash.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(PasswordHash, SaltComesFromTheSeedCutToSixteenCharactersAndNeverEmpty) {
    std::string hash = CryptPassword("secret", "{1A2B-3C4D}");
    ASSERT_EQ(hash.rfind("$6$1A2B3C4D$", 0), 0u) << hash;
    EXPECT_EQ(hash, CryptPassword("secret", "{1A2B-3C4D}"));
    EXPECT_NE(hash, CryptPassword("secret!", "{1A2B-3C4D}"));
    EXPECT_NE(hash, CryptPassword("secret", "other"));
    EXPECT_EQ(CryptPassword("x", "0123456789abcdefXYZ").rfind("$6$0123456789abcdef$", 0), 0u);
    EXPECT_EQ(CryptPassword("x", "{}-").rfind("$6$velmora$", 0), 0u);
    EXPECT_FALSE(CryptPassword("", "").empty());
}

}  // namespace
}  // namespace velmora
