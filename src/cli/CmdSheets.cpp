#include "cli/Commands.h"

#include "platform/Folders.h"
#include "platform/LocaleFormat.h"
#include "sheets/ProtocolMasterData.h"
#include "sheets/ProtocolMeasurements.h"
#include "sheets/ProtocolSpecLines.h"
#include "sheets/SpecSheetPages.h"
#include "sheets/TestStepsData.h"
#include "store/AdoDatabase.h"
#include "store/TextCatalog.h"
#include "store/TextFormat.h"
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

// What `show` prints: a head line per page, then each row's displayed columns.
void PageTitle(const QString& title) {
    std::printf("== %s\n", title.toUtf8().constData());
}

void Row(const QStringList& columns) {
    std::printf("%s\n", columns.join(QLatin1Char('\t')).toUtf8().constData());
}

QString DateText(const QDateTime& d) {
    return d.isValid() ? LocaleFormat::ShortDate(d.date()) : QString();
}

// The program's field editor never lets an apostrophe or a backslash through; the command
// line refuses them rather than storing what the program could not have typed.
bool RefuseUntypable(const QList<QPair<QString, QString>>& sets) {
    for (const auto& [column, value] : sets) {
        if (value.contains(QLatin1Char('\'')) || value.contains(QLatin1Char('\\'))) {
            Err(QStringLiteral("edit: %1 cannot hold an apostrophe or a backslash").arg(column));
            return true;
        }
    }
    return false;
}

bool OpenUserDatabase(const GlobalOptions& options, const char* command, CAdoDatabase& db) {
    const QString folder = DataFolder(options);
    if (!UserDatabaseExists(options)) {
        Err(QStringLiteral("%1: there is no user database in %2").arg(QString::fromUtf8(command), folder));
        return false;
    }
    return db.Open(folder, UserSchema::FileName());
}

// The rows of a specification sheet's page that a command may set, by their column.
CBaseEntry* SpecRow(CSpecSheetPages& pages, const QString& column, CSpecSheetPages::Page** owner) {
    for (auto& page : pages.pages) {
        for (auto& row : page.rows) {
            if (!row->m_Editable || row->m_AssignmentFormat.isEmpty())
                continue;
            if (row->m_AssignmentFormat.section(QLatin1Char(' '), 0, 0)
                    .compare(column, Qt::CaseInsensitive) == 0) {
                *owner = &page;
                return row.get();
            }
        }
    }
    return nullptr;
}

bool LoadSpecification(const GlobalOptions& options, CAdoDatabase& db, qint32 id, CSpecSheetPages& pages,
                       CTestStepsData* steps) {
    auto catalog = std::make_shared<CTextCatalog>();
    const auto texts = CatalogueTexts(options, catalog);
    CAdoDatabase ref;
    if (!ref.Open(Folders::ReferenceDatabaseFolder(), QStringLiteral("velmor.db")) ||
        !pages.Load(db, ref, id, texts)) {
        Err(QStringLiteral("test specification %1 cannot be read").arg(id));
        return false;
    }
    if (steps)
        steps->Load(db, ref, id, texts); // a failed read keeps the rows read so far, as the page does
    return true;
}

int ShowSpecification(const GlobalOptions& options, CAdoDatabase& db, qint32 id) {
    CSpecSheetPages pages;
    CTestStepsData steps;
    if (!LoadSpecification(options, db, id, pages, &steps))
        return 1;
    const QString mark(QChar(0x221A));
    for (const auto& page : pages.pages) {
        PageTitle(page.title);
        for (const auto& row : page.rows) {
            const bool marked = row->m_Kind == CBaseEntry::ChoiceRow && row->m_Mark;
            Row({marked ? mark : QString(), row->m_Caption, row->m_Value});
        }
    }
    auto catalog = std::make_shared<CTextCatalog>();
    PageTitle(CatalogueTexts(options, catalog)(10821, QStringLiteral("Test steps")));
    for (const auto& row : steps.rows) {
        QStringList columns{row.key, row.text};
        if (steps.partsUsed)
            columns << row.apColumn;
        Row(columns);
    }
    return 0;
}

int ShowProtocol(const GlobalOptions& options, CAdoDatabase& db, qint32 id) {
    auto catalog = std::make_shared<CTextCatalog>();
    const auto texts = CatalogueTexts(options, catalog);
    CProtocolMasterData data;
    if (!data.Load(db, id, texts)) {
        Err(QStringLiteral("show: device protocol %1 cannot be read").arg(id));
        return 1;
    }
    auto line = [](const QString& label, const QString& value) {
        return FormatText(QStringLiteral("%s: %s"), label, value);
    };
    PageTitle(texts(30448, QStringLiteral("Device data")));
    Row({data.device});
    Row({data.resultText});
    Row({line(texts(30436, QStringLiteral("Operator")), data.operatorName)});
    Row({line(texts(30435, QStringLiteral("Test date")), DateText(data.testDate))});
    Row({line(texts(30438, QStringLiteral("Next test")), DateText(data.nextTestDate))});
    for (const auto& f : data.fields)
        Row({f.label, f.value});

    CAdoDatabase ref;
    if (!ref.Open(Folders::ReferenceDatabaseFolder(), QStringLiteral("velmor.db"))) {
        Err(QStringLiteral("show: the reference database cannot be opened"));
        return 1;
    }
    QString missing;
    const std::pair<CProtocolMeasurements::Mode, qint32> pages[] = {
        {CProtocolMeasurements::Mode::Results, 10821}, {CProtocolMeasurements::Mode::FirstValues, 30446}};
    for (const auto& [mode, title] : pages) {
        CProtocolMeasurements m;
        m.Load(db, ref, id, mode, texts); // a failed read keeps the rows read so far, as the page does
        PageTitle(texts(title,
                        title == 10821 ? QStringLiteral("Test steps") : QStringLiteral("First test values")));
        for (int i = 0; i < int(m.rows.size()); ++i)
            Row(m.Columns(i));
        if (m.specificationMissing)
            missing = m.message;
    }
    CProtocolSpecLines spec;
    spec.Load(db, ref, id, texts);
    PageTitle(texts(30432, QStringLiteral("Test specification")));
    for (int i = 0; i < int(spec.lines.size()); ++i)
        Row(spec.Columns(i));
    if (!missing.isEmpty())
        Err(missing);
    return 0;
}

int EditSpecification(const GlobalOptions& options, CAdoDatabase& db, const SheetArgs& a) {
    CSpecSheetPages pages;
    if (!LoadSpecification(options, db, a.id, pages, nullptr))
        return 1;
    bool changed = false;
    for (const auto& [column, value] : a.sets) {
        CSpecSheetPages::Page* page = nullptr;
        CBaseEntry* row = SpecRow(pages, column, &page);
        const bool sequence = page && page->role == CSpecSheetPages::Role::Sequence;
        if (!row && column.compare(QLatin1String("TestSequenceID"), Qt::CaseInsensitive) != 0) {
            Err(QStringLiteral(
                    "edit: %1 cannot be changed here; the editable fields are Manufacturer, Description, "
                    "ReviewPeriod, PowerPhase, WarningNotice and TestSequenceID (where the sheet shows them)")
                    .arg(column));
            return 1;
        }
        if (sequence || column.compare(QLatin1String("TestSequenceID"), Qt::CaseInsensitive) == 0) {
            const CSpecSheetPages::Page* seq = pages.FindPage(CSpecSheetPages::Role::Sequence);
            bool found = false;
            if (seq) {
                for (const auto& r : seq->rows)
                    found = found || r->m_AssignmentFormat.endsWith(QLatin1Char(' ') + value.trimmed());
                for (const auto& r : seq->rows) {
                    const int mark =
                        found && r->m_AssignmentFormat.endsWith(QLatin1Char(' ') + value.trimmed()) ? 1 : 0;
                    changed = changed || (found && r->m_Mark != mark);
                    r->m_Mark = mark;
                }
            }
            if (!found) {
                Err(QStringLiteral(
                        "edit: TestSequenceID takes 10601, 10603 or 10605 on a specification that has a "
                        "test sequence, not '%1'")
                        .arg(value));
                return 1;
            }
            continue;
        }
        const bool choice = row->m_Kind == CBaseEntry::ChoiceRow;
        if (choice && value != QLatin1String("0") && value != QLatin1String("1")) {
            Err(QStringLiteral("edit: %1 takes 0 or 1").arg(column));
            return 1;
        }
        const auto* edit = dynamic_cast<const CEditEntry*>(row);
        if (edit && edit->m_Max > 0 && value.size() > edit->m_Max) {
            Err(QStringLiteral("edit: %1 takes at most %2 characters")
                    .arg(column, QString::number(edit->m_Max)));
            return 1;
        }
        if (column.compare(QLatin1String("ReviewPeriod"), Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const int months = value.trimmed().toInt(&ok);
            if (!ok || months < 1 || months > 999) {
                Err(QStringLiteral("edit: ReviewPeriod takes 1 to 999 months, not '%1'").arg(value));
                return 1;
            }
        }
        if (!row->FormatAssignment(value)) {
            Err(QStringLiteral("edit: '%1' is not a valid value for %2").arg(value, column));
            return 1;
        }
        if (choice) {
            const int mark = value == QLatin1String("1") ? 1 : 0;
            changed = changed || row->m_Mark != mark;
            row->m_Mark = mark;
        } else {
            changed = changed || row->m_Value != value;
            row->m_Value = value;
        }
    }
    if (!changed) {
        Err(QStringLiteral("edit: nothing to change"));
        return 0;
    }
    if (const auto result = pages.Save(db); result != CSpecSheetPages::SaveResult::Saved) {
        Err(result == CSpecSheetPages::SaveResult::ChangedElsewhere
                ? QStringLiteral("edit: %1").arg(pages.Message())
                : QStringLiteral("edit: the test specification could not be saved"));
        return 1;
    }
    std::printf("%d\n", a.id);
    return 0;
}

int CmdShow(const GlobalOptions& options, const QStringList& args) {
    SheetArgs a;
    if (!Parse("show", args, false, a))
        return 2;
    CAdoDatabase db;
    if (!OpenUserDatabase(options, "show", db))
        return 1;
    if (a.kind == QLatin1String("specs"))
        return ShowSpecification(options, db, a.id);
    return ShowProtocol(options, db, a.id);
}

int CmdEdit(const GlobalOptions& options, const QStringList& args) {
    SheetArgs a;
    if (!Parse("edit", args, true, a))
        return 2;
    if (RefuseUntypable(a.sets))
        return 1;
    CAdoDatabase db;
    if (!OpenUserDatabase(options, "edit", db))
        return 1;
    if (a.kind == QLatin1String("specs")) {
        if (a.reviewPeriod >= 0 || a.nextTestDateGiven) {
            Err(QStringLiteral(
                "edit: --review-period and --next-test-date belong to device protocols; use --set "
                "ReviewPeriod=M"));
            return 2;
        }
        return EditSpecification(options, db, a);
    }
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
    const QDate date = a.nextTestDateGiven ? a.nextTestDate : data.nextTestDate.date();
    const int months = a.reviewPeriod >= 0 ? a.reviewPeriod : data.reviewPeriod;
    if (date != data.nextTestDate.date() || months != data.reviewPeriod)
        data.SetNextTest(date, months);
    if (!data.Modified()) {
        Err(QStringLiteral("edit: nothing to change"));
        return 0;
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
const CommandRegistration kEdit("edit",
                                "edit --kind specs|protocols --id N [--set COLUMN=VALUE]... [--review-period "
                                "M] [--next-test-date YYYY-MM-DD]\n"
                                "                            save what the record's sheet lets the user edit "
                                "(protocols: client check included)",
                                CmdEdit);

} // namespace
} // namespace Cli
