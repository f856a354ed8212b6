#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testsupport::IsolateEnvironment();
    return RUN_ALL_TESTS();
}
