#include "cli/Commands.h"

#include "platform/LocaleFormat.h"
#include "sheets/ProtocolMasterData.h"
#include "store/AdoDatabase.h"
#include "store/TextCatalog.h"
#include "store/UserSchema.h"

#include <QDate>
#include <QFileInfo>
#include <cstdio>
#include <memory>

namespace Cli {
namespace {

struct SheetArgs {
    QString kind;
    qint32 id = 0;
    QList<QPair<QString, QString>> sets;
    int reviewPeriod = -1;
    QDate nextTestDate;
    bool nextTestDateGiven = false;
};

bool Parse(const char* command, const QStringList& args, bool edit, SheetArgs& out) {
    const QString name = QString::fromUtf8(command);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--kind") && hasValue) {
            out.kind = args[++i];
        } else if (a == QLatin1String("--id") && hasValue) {
            bool ok = false;
            out.id = args[++i].toInt(&ok);
            if (!ok || out.id <= 0) {
                Err(QStringLiteral("%1: --id takes a record id, not '%2'").arg(name, args[i]));
                return false;
            }
        } else if (edit && a == QLatin1String("--set") && hasValue) {
            const QString set = args[++i];
            const qsizetype eq = set.indexOf(QLatin1Char('='));
            if (eq <= 0) {
                Err(QStringLiteral("%1: --set takes COLUMN=VALUE, not '%2'").arg(name, set));
                return false;
            }
            out.sets.append({set.left(eq), set.mid(eq + 1)});
        } else if (edit && a == QLatin1String("--review-period") && hasValue) {
            bool ok = false;
            out.reviewPeriod = args[++i].toInt(&ok);
            if (!ok || out.reviewPeriod < 0 || out.reviewPeriod > 60) {
                Err(QStringLiteral("%1: --review-period takes 0 (the specification's) to 60 months, not '%2'")
                        .arg(name, args[i]));
                return false;
            }
        } else if (edit && a == QLatin1String("--next-test-date") && hasValue) {
            out.nextTestDate = QDate::fromString(args[++i], QStringLiteral("yyyy-MM-dd"));
            out.nextTestDateGiven = true;
            if (!out.nextTestDate.isValid()) {
                Err(QStringLiteral("%1: --next-test-date takes YYYY-MM-DD, not '%2'").arg(name, args[i]));
                return false;
            }
        } else {
            Err(QStringLiteral("%1: unexpected argument '%2'").arg(name, a));
            return false;
        }
    }
    if (out.kind != QLatin1String("specs") && out.kind != QLatin1String("protocols")) {
        Err(QStringLiteral("%1: --kind specs|protocols is required").arg(name));
        return false;
    }
    if (out.id == 0) {
        Err(QStringLiteral("%1: --id is required").arg(name));
        return false;
    }
    return true;
}

// The catalogue in the command's language, for the sheets' labels.
CProtocolMasterData::Texts CatalogueTexts(const GlobalOptions& options,
                                          std::shared_ptr<CTextCatalog> catalog) {
    catalog->Open();
    const QString language = Language(options);
    return [catalog, language](qint32 id, const QString& fallback) {
        return catalog->Text(id, language, fallback);
    };
}

void Line(const QString& page, const QString& label, const QString& value) {
    std::printf("%s\n", QStringList{page, label, value}.join(QLatin1Char('\t')).toUtf8().constData());
}

QString DateText(const QDateTime& d) {
    return d.isValid() ? LocaleFormat::ShortDate(d.date()) : QString();
}

bool OpenUserDatabase(const GlobalOptions& options, const char* command, CAdoDatabase& db) {
    const QString folder = DataFolder(options);
    if (!QFileInfo::exists(folder + QLatin1Char('/') + UserSchema::FileName())) {
        Err(QStringLiteral("%1: there is no user database in %2").arg(QString::fromUtf8(command), folder));
        return false;
    }
    return db.Open(folder, UserSchema::FileName());
}

int CmdShow(const GlobalOptions& options, const QStringList& args) {
    SheetArgs a;
    if (!Parse("show", args, false, a))
        return 2;
    if (a.kind == QLatin1String("specs")) {
        Err(QStringLiteral("show: the test specification sheet is not in this build yet"));
        return 1;
    }
    CAdoDatabase db;
    if (!OpenUserDatabase(options, "show", db))
        return 1;
    auto catalog = std::make_shared<CTextCatalog>();
    const auto texts = CatalogueTexts(options, catalog);
    CProtocolMasterData data;
    if (!data.Load(db, a.id, texts)) {
        Err(QStringLiteral("show: device protocol %1 cannot be read").arg(a.id));
        return 1;
    }
    const QString page = texts(30448, QStringLiteral("Device"));
    Line(page, texts(26, QStringLiteral("Device")), data.device);
    Line(page, QString(), data.resultText);
    Line(page, texts(30436, QStringLiteral("Operator")), data.operatorName);
    Line(page, texts(30435, QStringLiteral("Test date")), DateText(data.testDate));
    Line(page, texts(30438, QStringLiteral("Next test")), DateText(data.nextTestDate));
    for (const auto& f : data.fields)
        Line(page, f.label, f.value);
    return 0;
}

int CmdEdit(const GlobalOptions& options, const QStringList& args) {
    SheetArgs a;
    if (!Parse("edit", args, true, a))
        return 2;
    if (a.kind == QLatin1String("specs")) {
        Err(QStringLiteral("edit: the test specification sheet is not in this build yet"));
        return 1;
    }
    CAdoDatabase db;
    if (!OpenUserDatabase(options, "edit", db))
        return 1;
    auto catalog = std::make_shared<CTextCatalog>();
    CProtocolMasterData data;
    if (!data.Load(db, a.id, CatalogueTexts(options, catalog))) {
        Err(QStringLiteral("edit: device protocol %1 cannot be read").arg(a.id));
        return 1;
    }
    for (const auto& [column, value] : a.sets) {
        if (!data.SetField(column, value)) {
            Err(QStringLiteral("edit: %1").arg(data.Message()));
            return 1;
        }
    }
    if (a.reviewPeriod >= 0 || a.nextTestDateGiven)
        data.SetNextTest(a.nextTestDateGiven ? a.nextTestDate : data.nextTestDate.date(),
                         a.reviewPeriod >= 0 ? a.reviewPeriod : data.reviewPeriod);
    if (!data.Modified()) {
        Err(QStringLiteral("edit: nothing to change"));
        return 2;
    }
    if (data.Save(db) != CProtocolMasterData::SaveResult::Saved) {
        Err(QStringLiteral("edit: %1").arg(data.Message()));
        return 1;
    }
    std::printf("%d\n", a.id);
    return 0;
}

const CommandRegistration
    kShow("show", "show --kind specs|protocols --id N   what the record's sheet shows, page by page",
          CmdShow);
const CommandRegistration kEdit(
    "edit",
    "edit --kind protocols --id N [--set COLUMN=VALUE]... [--review-period M] [--next-test-date YYYY-MM-DD]\n"
    "                            save master data as the device protocol sheet does (client check included)",
    CmdEdit);

} // namespace
} // namespace Cli
