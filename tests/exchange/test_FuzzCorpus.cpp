// The fuzz target's corpus, every prefix of each file and a few byte flips, run through the
// same harness in the normal build, so that a crash the fuzzer once found stays fixed.
#include <QDir>
#include <QFile>
#include <cstdint>
#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(FuzzCorpus, EveryPrefixAndFlipIsReadWithoutCrash) {
    const QDir corpus(QStringLiteral(V740_SOURCE_DIR "/fuzz/corpus"));
    const QStringList files = corpus.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        QFile f(corpus.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray data = f.readAll();
        for (qsizetype n = 0; n <= data.size(); ++n)
            EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.constData()), size_t(n)),
                      0);
        for (qsizetype i = 0; i < data.size(); i += 7) {
            QByteArray flipped = data;
            for (const char c : {'"', '<', '>', '&', '\'', '\0', '\xff'}) {
                flipped[i] = c;
                EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(flipped.constData()),
                                                 size_t(flipped.size())),
                          0);
            }
        }
    }
}
