#include "tests/common/TestSupport.h"

#include <QApplication>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace {

// The headless platform with one screen of a common laptop's size at 96 dpi, whatever the
// machine's default, so windows placed inside the screen land in the same place everywhere.
std::string OffscreenWithFixedScreen()
{
    const std::string config = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/screen.json";
    std::ofstream(config) << R"({"screens": [{"name": "Test", "x": 0, "y": 0,)"
                          << R"( "width": 1366, "height": 768, "logicalDpi": 96,)"
                          << R"( "logicalBaseDpi": 96, "dpr": 1}]})";
    return "offscreen:configfile=" + config;
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testsupport::IsolateEnvironment();
    // Test discovery runs the program without the test environment, so pick a headless
    // platform here unless one was asked for.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", OffscreenWithFixedScreen().c_str(), 1);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
