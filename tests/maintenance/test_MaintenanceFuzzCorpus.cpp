// The corpora of the copy list and version reader fuzz targets, every prefix and a few
// byte changes, run through the same harnesses in the normal build.
#include <QDir>
#include <QFile>
#include <cstdint>
#include <gtest/gtest.h>

int FuzzCopyList(const uint8_t* data, size_t size);
int FuzzFileVersion(const uint8_t* data, size_t size);

namespace {

void RunCorpus(const char* folder, int (*harness)(const uint8_t*, size_t), const QByteArray& changes) {
    const QDir corpus(QStringLiteral(V740_SOURCE_DIR "/fuzz/") + QLatin1String(folder));
    const QStringList files = corpus.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty()) << folder;
    for (const QString& name : files) {
        QFile f(corpus.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray data = f.readAll();
        for (qsizetype n = 0; n <= data.size(); ++n)
            EXPECT_EQ(harness(reinterpret_cast<const uint8_t*>(data.constData()), size_t(n)), 0);
        for (qsizetype i = 0; i < data.size(); i += 3) {
            QByteArray changed = data;
            for (const char c : changes) {
                changed[i] = c;
                EXPECT_EQ(
                    harness(reinterpret_cast<const uint8_t*>(changed.constData()), size_t(changed.size())),
                    0);
            }
        }
    }
}

} // namespace

TEST(MaintenanceFuzzCorpus, CopyListsAreReadWithoutCrash) {
    RunCorpus("corpus-copylist", FuzzCopyList, QByteArray(" \t\r\n\0\xff.", 7));
}

TEST(MaintenanceFuzzCorpus, PeFilesEndInAValueOrAMarker) {
    RunCorpus("corpus-pe", FuzzFileVersion, QByteArray("\0\x80\xff\x10\x7f", 5));
}
