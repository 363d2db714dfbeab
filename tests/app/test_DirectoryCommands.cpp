#include "app/DirectoryCommands.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(DirectoryCommands, InstalledHandlerRunsAndRemovedOneSaysNotInThisBuild) {
    CNotifierScope notes;
    CVELMOR740PCRemoteDoc doc;
    CDirectoryCommandContext context{nullptr, &doc, false, {7, 9}, QStringLiteral("Drill"), false};
    QList<qint32> seen;
    DirectoryCommands::Install(DirectoryCommand::Print, [&](CDirectoryCommandContext& c) {
        seen = c.ids;
        return true;
    });
    EXPECT_TRUE(DirectoryCommands::IsInstalled(DirectoryCommand::Print));
    EXPECT_TRUE(DirectoryCommands::Run(DirectoryCommand::Print, context));
    EXPECT_EQ(seen, (QList<qint32>{7, 9}));
    EXPECT_TRUE(notes.recorder.messages.isEmpty());

    DirectoryCommands::Install(DirectoryCommand::Print, {});
    EXPECT_FALSE(DirectoryCommands::IsInstalled(DirectoryCommand::Print));
    EXPECT_FALSE(DirectoryCommands::Run(DirectoryCommand::Print, context));
    ASSERT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_TRUE(notes.recorder.messages[0].contains(QStringLiteral("not in this build")))
        << notes.recorder.messages[0].toStdString();
}

TEST(DirectoryCommands, CaptionsFollowTheDirectory) {
    struct Case {
        DirectoryCommand command;
        qint32 specs, protocols;
    } cases[] = {
        {DirectoryCommand::Properties, 82, 114},      {DirectoryCommand::Print, 77, 115},
        {DirectoryCommand::PrintOutline, 137, 158},   {DirectoryCommand::PrintPreview, 50024, 50022},
        {DirectoryCommand::XmlExportDrive, 160, 161}, {DirectoryCommand::XmlExportFolder, 50067, 50068}};
    for (const Case& c : cases) {
        EXPECT_EQ(DirectoryCommands::CaptionTextId(c.command, true), c.specs);
        EXPECT_EQ(DirectoryCommands::CaptionTextId(c.command, false), c.protocols);
    }
}
