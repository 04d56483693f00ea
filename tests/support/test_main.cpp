// Test entry point for tests that need no application object.
#include <gtest/gtest.h>

namespace dorvo2test {
void installTestEnvironment();
void removeTestEnvironment();
} // namespace dorvo2test

int main(int argc, char** argv) {
    dorvo2test::installTestEnvironment();
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    dorvo2test::removeTestEnvironment();
    return result;
}
