#include <QApplication>
#include <gtest/gtest.h>

// Widgets need an application; the German locale gives the numbers their group separator.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "de_DE.UTF-8");
    qputenv("VELMOR_PROGRAM_FILES", V740_BIN_DIR);
    qunsetenv("VELMOR_REMOVABLE_DRIVES");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
