#include "store/AdoDatabase.h"
#include "store/TextCatalog.h"
#include "support/TestSupport.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

QList<QList<qint32>> Rows(CAdoDatabase& db, const QString& sql, const QStringList& columns) {
    QList<QList<qint32>> out;
    EXPECT_TRUE(db.OpenQuery(sql)) << sql.toStdString();
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        QList<qint32> row;
        for (const QString& c : columns) {
            qint32 v = 0;
            EXPECT_TRUE(db.GetLong(c, v)) << c.toStdString();
            row << v;
        }
        out << row;
    }
    return out;
}

} // namespace

// Every value that the program shows as a text has one in every language, and the tables
// answer the statements the program runs on them.
TEST(ReferenceData, TablesAreCoherentWithTheCatalogue) {
    const QString bin = QStringLiteral(V740_BIN_DIR);
    CNotifierScope notes;
    CAdoDatabase db;
    ASSERT_TRUE(db.Open(bin, QStringLiteral("velmor.db")));
    CTextCatalog catalog;
    ASSERT_TRUE(catalog.Open(bin));

    QSet<qint32> textIds;
    const auto meas =
        Rows(db, QStringLiteral("SELECT * FROM MessTab"),
             {QStringLiteral("MeasNo"), QStringLiteral("MessNrTextID"), QStringLiteral("Digits"),
              QStringLiteral("LimitCompareMode"), QStringLiteral("BuchsenAktiv")});
    ASSERT_GE(meas.size(), 7);
    QSet<qint32> modes;
    for (const auto& m : meas) {
        textIds << m[1];
        modes << m[3];
        EXPECT_GE(m[2], 0);
        EXPECT_LE(m[2], 4);
    }
    EXPECT_EQ(modes, (QSet<qint32>{-1, 0, 1, 2})) << "every way of judging a value is used";

    // Ranges are numbers with the decimal point, lower end below the upper.
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT MeasNo, MinValue, MaxValue FROM MessTab")));
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        QString lo, hi;
        ASSERT_TRUE(db.GetString(QStringLiteral("MinValue"), lo));
        ASSERT_TRUE(db.GetString(QStringLiteral("MaxValue"), hi));
        bool okLo = false, okHi = false;
        EXPECT_LT(lo.toDouble(&okLo), hi.toDouble(&okHi)) << lo.toStdString() << " " << hi.toStdString();
        EXPECT_TRUE(okLo && okHi);
    }

    const QList<qint32> standards{5800, 6000, 6200, 6400, 6600, 6800, 7000, 7200};
    for (const qint32 norm : standards) {
        const auto factor =
            Rows(db, QStringLiteral("select CalcFactor from NormenTab where NormID = %1").arg(norm),
                 {QStringLiteral("CalcFactor")});
        ASSERT_EQ(factor.size(), 1) << norm;
        EXPECT_GT(factor[0][0], 0);
        textIds << norm;
        const auto classes = Rows(
            db,
            QStringLiteral("SELECT DISTINCT ClassID FROM ClassIDTypIDRefTab WHERE StandardID = %1").arg(norm),
            {QStringLiteral("ClassID")});
        EXPECT_FALSE(classes.isEmpty()) << norm;
        for (const auto& c : classes) {
            textIds << c[0];
            const auto types = Rows(
                db,
                QStringLiteral(
                    "SELECT * FROM ClassIDTypIDRefTab WHERE ClassID = %1 AND StandardID = %2 ORDER BY TypID")
                    .arg(c[0])
                    .arg(norm),
                {QStringLiteral("TypID")});
            for (qsizetype i = 0; i < types.size(); ++i) {
                textIds << types[i][0] << types[i][0] + 1; // the type's name and its help text
                if (i > 0) {
                    EXPECT_GT(types[i][0], types[i - 1][0]);
                }
            }
        }
    }
    QSet<qint32> allTypes;
    for (const auto& t :
         Rows(db, QStringLiteral("SELECT TypID FROM ClassIDTypIDRefTab"), {QStringLiteral("TypID")}))
        allTypes << t[0];
    for (const qint32 withPower : {5060, 5254, 6256})
        EXPECT_TRUE(allTypes.contains(withPower)) << withPower;

    for (qint32 id = 10501; id <= 10519; id += 2)
        textIds << id;
    textIds << 10601 << 10603 << 10605 << 30800 << 30801 << 30803;

    for (const QString& language : CTextCatalog::Languages())
        for (const qint32 id : textIds) {
            QString text;
            EXPECT_TRUE(catalog.SeekText(id, language, text)) << id << " " << language.toStdString();
            EXPECT_FALSE(text.trimmed().isEmpty()) << id;
        }

    // Nominal-power codes in the loop-impedance range exist as texts.
    const auto powers =
        Rows(db, QStringLiteral("SELECT TextID FROM TexteTab WHERE TextID > 6600 AND TextID < 6700"),
             {QStringLiteral("TextID")});
    EXPECT_GE(powers.size(), 3);
    EXPECT_TRUE(notes.recorder.messages.isEmpty());
}
