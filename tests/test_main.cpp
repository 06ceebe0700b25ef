// Every test process gets its own settings stores and user folder, so that tests never read or
// change the settings of the person running them.
#include <gtest/gtest.h>

#include "test_support.h"

int main(int argc, char** argv) {
    velmora::test::IsolateEnvironment();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
