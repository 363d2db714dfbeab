#include "store/TextFormat.h"
#include "store/Texte.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Required {
    qint32 id;
    QString args;
    QString kind;
    QString fallback;
};

QList<Required> RequiredTexts() {
    QFile f(QStringLiteral(V740_SOURCE_DIR "/data/required-texts.tsv"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QList<Required> out;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList p = lines[i].split(QLatin1Char('\t'));
        if (p.size() < 4)
            continue;
        out.append({p[0].toInt(), p[1], p[2], p[3]});
    }
    return out;
}

QString BinDir() {
    return QStringLiteral(V740_BIN_DIR);
}

// Fills each placeholder of a format with a harmless value of its kind.
QList<TextArg> ArgsFor(const QString& placeholders) {
    QList<TextArg> args;
    for (const QString& p : placeholders.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (p == QLatin1String("%s"))
            args << TextArg(QStringLiteral("X"));
        else if (p == QLatin1String("%f") || p == QLatin1String("%g"))
            args << TextArg(1.5);
        else
            args << TextArg(qint64(7));
    }
    return args;
}

} // namespace

TEST(TextCatalog, EveryRequiredTextExistsInEveryLanguageWithItsPlaceholders) {
    CNotifierScope notes;
    CTextCatalog catalog;
    ASSERT_TRUE(catalog.Open(BinDir()));
    const QList<Required> required = RequiredTexts();
    ASSERT_GT(required.size(), 600);
    static const QRegularExpression joined(QStringLiteral(R"(joined\(([^)]*)\):(.*))"));
    for (const QString& language : CTextCatalog::Languages()) {
        for (const Required& r : required) {
            QString text;
            ASSERT_TRUE(catalog.SeekText(r.id, language, text)) << r.id << " " << language.toStdString();
            EXPECT_FALSE(text.trimmed().isEmpty()) << r.id << " " << language.toStdString();
            const auto m = joined.match(r.args);
            if (!m.hasMatch()) {
                EXPECT_EQ(FormatPlaceholders(text), r.args) << r.id << " " << language.toStdString();
                continue;
            }
            // A text shown joined with its partner: the pair together carries the arguments.
            for (const QString& pair : m.captured(1).split(QStringLiteral(" or "))) {
                const QStringList ids = pair.split(QLatin1Char('+'));
                QString combined;
                for (const QString& id : ids) {
                    QString part;
                    ASSERT_TRUE(catalog.SeekText(id.toInt(), language, part)) << id.toStdString();
                    combined += part + QLatin1Char(' ');
                }
                EXPECT_EQ(FormatPlaceholders(combined), m.captured(2))
                    << pair.toStdString() << " " << language.toStdString();
            }
        }
    }
    EXPECT_TRUE(notes.recorder.messages.isEmpty());
}

TEST(TextCatalog, EnglishIsTheProgramsOwnFallback) {
    CTextCatalog catalog;
    ASSERT_TRUE(catalog.Open(BinDir()));
    // 224's fallback is the German word; the English column says it in English.
    const QList<qint32> mended{224};
    for (const Required& r : RequiredTexts()) {
        // Several differing fallbacks are listed with their sources; only single ones count.
        if (r.fallback.isEmpty() || r.fallback.contains(QStringLiteral(" || ")) || mended.contains(r.id))
            continue;
        EXPECT_EQ(catalog.Text(r.id, QStringLiteral("English")), r.fallback) << r.id;
    }
    EXPECT_EQ(catalog.Text(224, QStringLiteral("English")), QStringLiteral("Device-specific:"));
}

TEST(TextCatalog, EveryTextFormatsWithItsArgumentsAndNeverCrashes) {
    CTextCatalog catalog;
    ASSERT_TRUE(catalog.Open(BinDir()));
    CAdoDatabase db;
    ASSERT_TRUE(db.Open(BinDir(), QStringLiteral("velmor.db")));
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT TextID FROM TexteTab")));
    QList<qint32> ids;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        qint32 id = 0;
        ASSERT_TRUE(db.GetLong(QStringLiteral("TextID"), id));
        ids << id;
    }
    int formatted = 0;
    for (const QString& language : CTextCatalog::Languages()) {
        for (const qint32 id : ids) {
            const QString text = catalog.Text(id, language);
            const QString placeholders = FormatPlaceholders(text);
            const QString out = FormatTextList(text, ArgsFor(placeholders));
            if (!placeholders.isEmpty()) {
                EXPECT_NE(out, text) << id << " " << language.toStdString();
                ++formatted;
            }
            // Wrong arguments never crash; the text stays as it stands.
            EXPECT_EQ(FormatText(text, 1, 2, 3, 4, 5, 6), text.contains(QLatin1Char('%')) ? text : text);
            (void)FormatText(text, QStringLiteral("%s%s%n"));
        }
    }
    EXPECT_GT(formatted, 100);
}

TEST(TextCatalog, LookupEdges) {
    CNotifierScope notes;
    QTemporaryDir dir;
    ASSERT_TRUE(
        QFile::copy(BinDir() + QStringLiteral("/velmor.db"), dir.filePath(QStringLiteral("velmor.db"))));
    QFile::setPermissions(dir.filePath(QStringLiteral("velmor.db")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    {
        CAdoDatabase db;
        ASSERT_TRUE(db.Open(dir.path(), QStringLiteral("velmor.db")));
        ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE TexteTab SET Français = NULL WHERE TextID = 50020")));
        ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM TexteTab WHERE TextID = 3")));
    }
    CTexte texte;
    ASSERT_TRUE(texte.Open(dir.path()));
    QString text;
    ASSERT_TRUE(texte.SeekText(50020, QStringLiteral("Česky"), text));
    EXPECT_TRUE(text.contains(QStringLiteral("%s")));
    EXPECT_TRUE(text.contains(QChar(0x017E)) || text.contains(QChar(0x00ED))) << "Czech letters come through";

    text = QStringLiteral("kept");
    EXPECT_FALSE(texte.SeekText(3, QStringLiteral("Deutsch"), text)); // missing TextID
    EXPECT_EQ(text, QStringLiteral("kept"));
    EXPECT_FALSE(
        texte.SeekText(50020, QStringLiteral("Français"), text)); // NULL: empty, not another language
    EXPECT_TRUE(text.isEmpty());
    EXPECT_TRUE(texte.SeekText(50020, QStringLiteral("English"), text));
    EXPECT_TRUE(notes.recorder.messages.isEmpty());

    // A language without a column: the driver's message once, then empty texts.
    text = QStringLiteral("kept");
    EXPECT_FALSE(texte.SeekText(5, QStringLiteral("Klingon"), text));
    EXPECT_TRUE(text.isEmpty());
    EXPECT_FALSE(texte.SeekText(26, QStringLiteral("Klingon"), text));
    EXPECT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_TRUE(texte.SeekText(5, QStringLiteral("Deutsch"), text));

    CTextCatalog missing;
    EXPECT_FALSE(missing.Open(dir.filePath(QStringLiteral("nowhere"))));
    EXPECT_EQ(missing.Text(5, QStringLiteral("Deutsch"), QStringLiteral("fallback")),
              QStringLiteral("fallback"));
}

TEST(TextFormat, FillsOnlyMatchingPlaceholders) {
    struct Case {
        QString format;
        QList<TextArg> args;
        QString expected;
    };
    const QList<Case> cases = {
        {QStringLiteral("%d item(s)"), {qint64(12)}, QStringLiteral("12 item(s)")},
        {QStringLiteral("%s\n%s"), {QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("a\nb")},
        {QStringLiteral("100%% of %s"), {QStringLiteral("x")}, QStringLiteral("100% of x")},
        {QStringLiteral("%2.1lf m"), {1.25}, QStringLiteral("1.2 m")},
        {QStringLiteral("%3.4lf"), {0.5}, QStringLiteral("0.5000")},
        {QStringLiteral("%08lx"), {qint64(0x80004005)}, QStringLiteral("80004005")},
        {QStringLiteral("%-4s|"), {QStringLiteral("a")}, QStringLiteral("a   |")},
        // Mismatches stay as they stand.
        {QStringLiteral("%s and %s"), {QStringLiteral("one")}, QStringLiteral("%s and %s")},
        {QStringLiteral("%d"), {QStringLiteral("text")}, QStringLiteral("%d")},
        {QStringLiteral("no placeholder"), {qint64(1)}, QStringLiteral("no placeholder")},
        {QStringLiteral("%n%s"), {QStringLiteral("x")}, QStringLiteral("%n%s")},
        {QStringLiteral("trailing %"), {}, QStringLiteral("trailing %")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatTextList(c.format, c.args), c.expected) << c.format.toStdString();
    EXPECT_EQ(FormatText(QStringLiteral("%d min %d s"), 3, 5), QStringLiteral("3 min 5 s"));
    EXPECT_EQ(FormatPlaceholders(QStringLiteral("%s: %d%% (%2.1lf)")), QStringLiteral("%s %d %f"));
}

TEST(TextCatalog, CommandLinePrintsTextsInTheSettingsLanguage) {
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("V740Control.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Ansicht]\r\nSprache=English\r\n");
    ini.close();
    auto r =
        RunProgram(QStringLiteral("v740ctl"), {QStringLiteral("--data"), dir.path(), QStringLiteral("text"),
                                               QStringLiteral("50020"), QStringLiteral("410")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    CTextCatalog catalog;
    ASSERT_TRUE(catalog.Open(BinDir()));
    EXPECT_EQ(r.out, QStringLiteral("VELMOR - Roziraz Uvurad is already in use by user: %s!\n") +
                         catalog.Text(410, QStringLiteral("English")) + QLatin1Char('\n'));
    r = RunProgram(QStringLiteral("v740ctl"),
                   {QStringLiteral("--data"), dir.path(), QStringLiteral("--lang"), QStringLiteral("Deutsch"),
                    QStringLiteral("text"), QStringLiteral("3"), QStringLiteral("123456")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Prüfvorschriften\n"))) << r.out.toStdString();
    r = RunProgram(QStringLiteral("v740ctl"), {QStringLiteral("--lang"), QStringLiteral("Latin"),
                                               QStringLiteral("text"), QStringLiteral("3")});
    EXPECT_EQ(r.exitCode, 2);
}
