// v740sim --pace stands in for the real line: no byte may reach either side sooner than
// 11 bit times after the one before it, and the simulator's account of each block's line
// time must match the bytes that crossed.
#include "link/RS232.h"
#include "link/SimHarness.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr double kByteMicroseconds = 11e6 / 115200;

// The bytes of a logged line: the log writes CR, LF, backslash and other control bytes
// as escapes.
QByteArray Unescaped(const QString& logged) {
    const QByteArray text = logged.toLatin1();
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            bytes += text[i];
            continue;
        }
        const char next = text[++i];
        if (next == 'r')
            bytes += '\r';
        else if (next == 'n')
            bytes += '\n';
        else if (next == 'x') {
            bytes += char(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else
            bytes += next;
    }
    return bytes;
}

qsizetype FirstStartingWith(const QStringList& lines, const QString& start) {
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith(start))
            return i;
    return -1;
}

} // namespace

TEST(SimPacing, LineTimeOfEveryBlockIsExactAndNeverBeaten) {
    CSimHarness sim({QStringLiteral("--pace")});
    ASSERT_TRUE(sim.Started());
    QTemporaryDir dir;
    // Two full blocks and one short one.
    QByteArray data(2 * 1024 + 100, '\0');
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + 1);
    const QString local = dir.filePath(QStringLiteral("paced.bin"));
    QFile f(local);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();

    CRS232 link;
    QString reply;
    ASSERT_TRUE(link.BeginTransfer(reply, sim.Port(), QStringLiteral("115200"), QStringLiteral("8"), true));
    // A command and its reply take at least their line time.
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(link.SendCommand(QStringLiteral(":TRANSFER:FILE \\%SYSTEM%\\paced.bin")));
    ASSERT_TRUE(link.ReadReply(reply));
    const double exchangeUs = clock.nsecsElapsed() / 1000.0;
    ASSERT_TRUE(link.SendFile(local, QStringLiteral("\\%SYSTEM%\\paced.bin"))) << link.GetErrorCode();
    ASSERT_TRUE(link.EndTransfer());
    EXPECT_EQ(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\paced.bin")), data);

    const QStringList received = sim.LoggedLines('<');
    const QStringList sent = sim.LoggedLines('>');
    const qsizetype fileCommand = FirstStartingWith(received, QStringLiteral(":TRANSFER:FILE "));
    ASSERT_GE(fileCommand, 0);
    const qsizetype nullReply = FirstStartingWith(sent, QStringLiteral("#NULL#"));
    ASSERT_GE(nullReply, 0);
    EXPECT_GE(exchangeUs, (Unescaped(received[fileCommand]).size() + 2 + Unescaped(sent[nullReply]).size()) *
                                  kByteMicroseconds -
                              1);

    const QStringList headers = received.filter(QStringLiteral("BLKCNT="));
    const QStringList acks = sent.filter(QStringLiteral("#OK#"));
    const QStringList cycles = sim.LoggedLines('=');
    ASSERT_EQ(headers.size(), 3);
    ASSERT_EQ(cycles.size(), 3);
    const QRegularExpression account(
        QStringLiteral("^block (\\d+): wire (\\d+) us, cycle (\\d+) us, host (-?\\d+) us$"));
    const qsizetype sizes[] = {1024, 1024, 100};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const auto m = account.match(cycles[k]);
        ASSERT_TRUE(m.hasMatch()) << cycles[k].toStdString();
        EXPECT_EQ(m.captured(1).toInt(), k);
        const qint64 wire = m.captured(2).toLongLong(), cycle = m.captured(3).toLongLong();
        // Header line, its #OK#, the block, the block's #OK#.
        const qsizetype bytes =
            Unescaped(headers[k]).size() + 2 + 2 * Unescaped(acks.value(2 * k)).size() + sizes[k];
        EXPECT_NEAR(double(wire), bytes * kByteMicroseconds, 2.0);
        EXPECT_GE(cycle, wire) << "the upload went faster than the line";
        EXPECT_EQ(m.captured(4).toLongLong(), cycle - wire);
    }
}
