// The small rules of the update: expected duration, the tester path of a version query,
// the tester's detail text of a refused block.
#include "maintenance/SoftwareUpdate.h"

#include <gtest/gtest.h>

TEST(UpdateRules, ExpectedDurationInMinutesAndSecondsOrSeconds) {
    struct Case {
        qint64 bytes;
        qint32 rate;
        QString text;
    } cases[] = {
        {600000, 9000, "1 min 6 s"},
        {600000, 4500, "2 min 13 s"},
        {539999, 9000, "59 s"},
        {540000, 9000, "1 min 0 s"},
        {0, 9000, "0 s"},
        {8999, 9000, "0 s"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            CSoftwareUpdate::Duration(c.bytes, c.rate, QStringLiteral("%d min %d s"), QStringLiteral("%d s")),
            c.text)
            << c.bytes << " at " << c.rate;
}

TEST(UpdateRules, VersionQueriesNameTheSystemFolderOrTheListedPath) {
    struct Case {
        QString file, path, query;
    } cases[] = {
        {"Remote.dll", "\\%SYSTEM%\\Remote.dll", "\\%SYSTEM%\\Remote.dll"},
        {"Remote.dll", "\\%SYSTEM%\\Sub\\Remote.dll", "\\%SYSTEM%\\Remote.dll"},
        {"App.exe", "\\Flash\\App.exe", "\\Flash\\App.exe"},
        {"App.exe", "%SYSTEM%\\App.exe", "%SYSTEM%\\App.exe"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CSoftwareUpdate::TesterVersionPath(CopyEntry{"copy", c.file, c.path, 1}), c.query);
}

TEST(UpdateRules, TheTestersDetailFollowsTheFirstHashBlankAfterTheFirstCharacter) {
    struct Case {
        QString reply, detail;
    } cases[] = {
        {"#ERROR# memory full", "memory full"},
        {"# #ERROR# x", "x"},
        {"#ERROR#", "#ERROR#"},
        {"12 #ERROR# disk", "disk"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CSoftwareUpdate::TesterDetail(c.reply), c.detail) << c.reply.toStdString();
}
