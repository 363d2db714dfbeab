#include <QGuiApplication>
#include <gtest/gtest.h>

// Fonts and the PDF writer need a graphical application object; no display is used.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VELMOR_PROGRAM_FILES", V740_BIN_DIR);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
