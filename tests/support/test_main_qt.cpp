// Test entry point for tests that need the application object and its event loop: a
// QApplication on the offscreen platform, created on the thread that runs the tests.
#include <QApplication>
#include <gtest/gtest.h>

namespace dorvo2test {
void installTestEnvironment();
void removeTestEnvironment();
} // namespace dorvo2test

int main(int argc, char** argv) {
    dorvo2test::installTestEnvironment();
    testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    dorvo2test::removeTestEnvironment();
    return result;
}
